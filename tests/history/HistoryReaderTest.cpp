// The reader on a real file: uptime over the three spans, one span's hours and changes with the state before it,
// and a missing file that is reported, never created.
#include "history/History.h"
#include "history/HistoryTestFiles.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace lanwick::test {
namespace {

using history::CHistoryReader;
using history::CHistoryWriter;
using history::MachineHistory;

// A pass ten minutes into each of these hours (counted back from the hour of "now"): up or down.
const std::vector<std::pair<std::int64_t, bool>> kHours = {{720, false}, {719, true}, {168, true}, {167, false},
                                                           {100, true},  {24, false}, {23, false}, {0, true}};

class HistoryReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        CHistoryWriter writer(m_dir.File("h.db"));
        for (const auto& [nBack, bUp] : kHours)
            writer.Record(Pass(m_nNowHour - nBack * 3600 + 600, {{Key("198.18.0.10"), bUp ? 1500 : -1}}));
        writer.Flush();
        ASSERT_EQ(writer.PauseReason(), "");
        std::string strError;
        ASSERT_TRUE(m_reader.Open(m_dir.File("h.db"), &strError)) << strError;
    }

    CTempDir m_dir;
    CHistoryReader m_reader;
    const std::int64_t m_nNowHour = RecentHour();
    const std::int64_t m_nNow = m_nNowHour + 1800;
};

TEST_F(HistoryReaderTest, UptimeCountsTheHoursThatStartWithinEachSpan) {
    const MachineHistory h = m_reader.Read(Key("198.18.0.10"), m_nNow - 3600, m_nNow);
    ASSERT_TRUE(h.bKnown);
    EXPECT_DOUBLE_EQ(h.uptime.d24h, 1.0 / 2); // hours 0 and 23
    EXPECT_DOUBLE_EQ(h.uptime.d7d, 2.0 / 5);  // and 24, 100, 167
    EXPECT_DOUBLE_EQ(h.uptime.d30d, 4.0 / 7); // and 168, 719; 720 began more than 30 days back
}

TEST_F(HistoryReaderTest, ASpanGivesItsHoursOldestFirstItsChangesAndTheStateBefore) {
    const MachineHistory h = m_reader.Read(Key("198.18.0.10"), m_nNow - 86400, m_nNow);
    ASSERT_EQ(h.hours.size(), 3u) << "the hour 24 back overlaps the span's start";
    EXPECT_EQ(h.hours[0].nHourStart, m_nNowHour - 24 * 3600);
    EXPECT_EQ(h.hours[1].nHourStart, m_nNowHour - 23 * 3600);
    EXPECT_EQ(h.hours[2].nHourStart, m_nNowHour);
    EXPECT_DOUBLE_EQ(h.hours[2].dAvgMs, 1.5);
    ASSERT_EQ(h.changes.size(), 1u);
    EXPECT_EQ(h.changes[0].nUnixSeconds, m_nNowHour + 600);
    EXPECT_TRUE(h.changes[0].bUp);
    EXPECT_EQ(h.nStateBefore, 0);

    const MachineHistory all = m_reader.Read(Key("198.18.0.10"), m_nNow - 40 * 86400, m_nNow);
    EXPECT_EQ(all.hours.size(), kHours.size());
    EXPECT_EQ(all.changes.size(), 6u);
    EXPECT_EQ(all.nStateBefore, -1);
}

TEST_F(HistoryReaderTest, AMachineNeverSeenIsUnknown) {
    const MachineHistory h = m_reader.Read(Key("198.18.0.10", "02:00:00:00:00:01"), m_nNow - 86400, m_nNow);
    EXPECT_FALSE(h.bKnown);
    EXPECT_LT(h.uptime.d24h, 0);
    EXPECT_TRUE(h.hours.empty());
}

TEST(HistoryReader, AMissingFileIsReportedAndNotCreated) {
    CTempDir dir;
    CHistoryReader reader;
    std::string strError;
    EXPECT_FALSE(reader.Open(dir.File("none.db"), &strError));
    EXPECT_NE(strError.find("no history database at " + dir.File("none.db")), std::string::npos) << strError;
    EXPECT_NE(access(dir.File("none.db").c_str(), F_OK), 0);
    EXPECT_TRUE(reader.Machines().empty());
}

} // namespace
} // namespace lanwick::test
