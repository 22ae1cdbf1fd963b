// What a sequence of passes leaves in a real database file and what the reader makes of it: the state changes,
// the hourly counts and round trips, machines told apart by address and MAC, what a reopened writer carries on
// from, the pruning, folded backlogs, the uptime over the three spans, and a missing file.
#include "history/History.h"
#include "history/HistoryStore.h"
#include "history/HistoryTestFiles.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace lanwick::test {
namespace {

using history::CHistoryReader;
using history::CHistoryWriter;
using history::MachineHistory;
using history::MachineKey;
using history::PassRecord;

std::string WriteAll(const std::string& strFile, const std::vector<PassRecord>& passes, std::int64_t nDays = 30) {
    CHistoryWriter writer(strFile, nDays);
    for (const PassRecord& pass : passes)
        writer.Record(pass);
    writer.Flush();
    return writer.PauseReason();
}

MachineHistory ReadOne(const std::string& strFile, const MachineKey& key, std::int64_t nSince, std::int64_t nNow) {
    CHistoryReader reader;
    std::string strError;
    EXPECT_TRUE(reader.Open(strFile, &strError)) << strError;
    return reader.Read(key, nSince, nNow);
}

TEST(HistoryWriter, RecordsStateChangesAndHourlyCountsOfPasses) {
    const struct {
        const char* what;
        std::vector<std::pair<std::int64_t, std::int32_t>> samples; // seconds after the first hour's start, RTT
        const char* expected;
    } table[] = {
        {"up, a drop, back in the next hour",
         {{0, 500}, {60, 700}, {120, -1}, {3600, -1}, {3660, 300}},
         "before -1; up@0 down@120 up@3660; hours @0 3/2 0.5/0.6/0.7 @3600 2/1 0.3/0.3/0.3"},
        {"never answered: one change, no round trips",
         {{10, -1}, {70, -1}},
         "before -1; down@10; hours @0 2/0 -1/-1/-1"},
        {"a zero round trip is an answer",
         {{0, 0}, {60, -1}, {7300, 0}},
         "before -1; up@0 down@60 up@7300; hours @0 2/1 0/0/0 @7200 1/1 0/0/0"},
    };
    const std::int64_t nBase = RecentHour();
    for (const auto& seq : table) {
        SCOPED_TRACE(seq.what);
        CTempDir dir;
        const MachineKey key = Key("198.18.0.10", "02:00:00:00:00:0a");
        std::vector<PassRecord> passes;
        for (const auto& [nOffset, nRtt] : seq.samples)
            passes.push_back(Pass(nBase + nOffset, {{key, nRtt}, {Key("198.18.0.11"), 100}}));
        ASSERT_EQ(WriteAll(dir.File("h.db"), passes), "");
        const MachineHistory h = ReadOne(dir.File("h.db"), key, nBase, nBase + 4 * 3600);
        EXPECT_TRUE(h.bKnown);
        EXPECT_EQ(Text(h, nBase), seq.expected);
    }
}

TEST(HistoryWriter, TellsMachinesApartByAddressAndMac) {
    CTempDir dir;
    const std::int64_t t = RecentHour();
    const MachineKey a = Key("198.18.0.10", "02:00:00:00:00:0a"), b = Key("198.18.0.10", "02:00:00:00:00:0b");
    const MachineKey c = Key("198.18.0.9"), d = Key("198.18.0.100");
    // Texts in no canonical form are kept as given, apart from the canonical ones.
    const MachineKey e = Key("198.18.0.010"), f = Key("198.18.0.10", "02:00:00:00:00:0A");
    ASSERT_EQ(WriteAll(dir.File("h.db"), {Pass(t, {{a, 100}, {b, -1}, {c, 100}, {d, 100}, {e, 100}, {f, -1}}),
                                          Pass(t + 60, {{a, 100}, {b, 200}, {d, 100}, {e, -1}, {f, -1}})}),
              "");
    CHistoryReader reader;
    ASSERT_TRUE(reader.Open(dir.File("h.db")));
    // By address as a number, then MAC.
    EXPECT_EQ(reader.Machines(), (std::vector<MachineKey>{c, e, f, a, b, d}));
    EXPECT_EQ(Text(reader.Read(e, t, t + 120), t), "before -1; up@0 down@60; hours @0 2/1 0.1/0.1/0.1");
    EXPECT_EQ(Text(reader.Read(f, t, t + 120), t), "before -1; down@0; hours @0 2/0 -1/-1/-1");
    EXPECT_EQ(Text(reader.Read(a, t, t + 120), t), "before -1; up@0; hours @0 2/2 0.1/0.1/0.1");
    EXPECT_EQ(Text(reader.Read(b, t, t + 120), t), "before -1; down@0 up@60; hours @0 2/1 0.2/0.2/0.2");
    EXPECT_EQ(Text(reader.Read(c, t, t + 120), t), "before -1; up@0; hours @0 1/1 0.1/0.1/0.1");
    EXPECT_FALSE(reader.Read(Key("198.18.0.10"), t, t + 120).bKnown);
}

TEST(HistoryWriter, AReopenedWriterCarriesOnAndPruningKeepsTheStateBeforeTheCut) {
    CTempDir dir;
    const std::int64_t t = RecentHour();
    const MachineKey key = Key("198.18.0.10");
    ASSERT_EQ(WriteAll(dir.File("h.db"), {Pass(t, {{key, 100}})}), "");
    ASSERT_EQ(WriteAll(dir.File("h.db"), {Pass(t + 60, {{key, 200}}), Pass(t + 120, {{key, -1}})}), "");
    EXPECT_EQ(Text(ReadOne(dir.File("h.db"), key, t, t + 3600), t),
              "before -1; up@0 down@120; hours @0 3/2 0.1/0.15/0.2");

    const std::int64_t now = t + 1800, day = 86400;
    const MachineKey gone = Key("198.18.0.11");
    ASSERT_EQ(WriteAll(dir.File("p.db"),
                       {Pass(now - 5 * day, {{key, -1}, {gone, 100}}), Pass(now - 4 * day, {{key, 100}}),
                        Pass(now - 3 * day, {{key, 100}}), Pass(now, {{key, 100}})},
                       2),
              "");
    CHistoryReader reader;
    ASSERT_TRUE(reader.Open(dir.File("p.db")));
    EXPECT_EQ(reader.Machines(), std::vector<MachineKey>{key});
    // Only the hour of the last pass is within two days; the drop five days back is pruned, the return four days
    // back is the last change before the cut and stays.
    EXPECT_EQ(Text(reader.Read(key, now - 6 * day, now), now), "before -1; up@-345600; hours @-1800 1/1 0.1/0.1/0.1");
}

TEST(HistoryWriter, FoldedPassesLeaveWhatSeparatePassesLeave) {
    const std::int64_t t = RecentHour();
    const MachineKey a = Key("198.18.0.10"), b = Key("198.18.0.11", "02:00:00:00:00:0b");
    const std::vector<PassRecord> passes = {
        Pass(t, {{a, 100}, {b, -1}}),         Pass(t + 60, {{a, -1}, {b, -1}}), Pass(t + 3590, {{a, -1}, {b, 400}}),
        Pass(t + 3600, {{a, 250}, {b, 300}}), Pass(t + 3660, {{a, 50}}),        Pass(t + 7300, {{a, -1}, {b, 900}}),
    };
    CTempDir dir;
    {
        history::CHistoryStore separate, folded;
        ASSERT_EQ(separate.Open(dir.File("separate.db"), 30), "");
        ASSERT_EQ(folded.Open(dir.File("folded.db"), 30), "");
        history::CFoldedPasses all;
        for (const PassRecord& pass : passes) {
            ASSERT_EQ(separate.WritePass(pass), "");
            all.Add(pass);
        }
        EXPECT_EQ(all.Passes(), passes.size());
        ASSERT_EQ(folded.WriteFolded(all), "");
    }
    for (const MachineKey& key : {a, b})
        EXPECT_EQ(Text(ReadOne(dir.File("separate.db"), key, t, t + 4 * 3600), t),
                  Text(ReadOne(dir.File("folded.db"), key, t, t + 4 * 3600), t));
}

TEST(HistoryWriter, ABacklogIsFoldedWithoutLosingACheckOrAChange) {
    // Forty passes of 10,000 machines handed over at once: far more than the queue holds, so the writer, busy
    // with the first, finds most of them folded together.
    constexpr int kMachines = 10000, kPasses = 40;
    const std::int64_t t = RecentHour();
    const auto isUp = [](int nPass, int nMachine) { return (nPass / 3 + nMachine) % 4 != 0; };
    const auto key = [](int m) { return Key("10.1." + std::to_string(m / 200) + "." + std::to_string(m % 200 + 1)); };
    CTempDir dir;
    {
        CHistoryWriter writer(dir.File("h.db"));
        for (int p = 0; p < kPasses; ++p) {
            PassRecord pass{t + p * 180, {}};
            for (int m = 0; m < kMachines; ++m)
                pass.checks.push_back({key(m), isUp(p, m) ? 100 + p : -1});
            writer.Record(std::move(pass));
        }
        writer.Flush();
        ASSERT_EQ(writer.PauseReason(), "");
    }
    CHistoryReader reader;
    ASSERT_TRUE(reader.Open(dir.File("h.db")));
    for (const int m : {0, 1, 2, 3, 4999, 9999}) {
        SCOPED_TRACE(m);
        const MachineHistory h = reader.Read(key(m), t, t + kPasses * 180);
        std::string strChanges = "before -1;";
        std::int32_t nAnswered[2] = {0, 0};
        for (int p = 0; p < kPasses; ++p) {
            if (p == 0 || isUp(p - 1, m) != isUp(p, m))
                strChanges += (isUp(p, m) ? " up@" : " down@") + std::to_string(p * 180);
            nAnswered[p * 180 / 3600] += isUp(p, m) ? 1 : 0;
        }
        EXPECT_EQ(Text(h, t).substr(0, strChanges.size() + 1), strChanges + ";");
        ASSERT_EQ(h.hours.size(), 2u);
        EXPECT_EQ(h.hours[0].nChecks, 20);
        EXPECT_EQ(h.hours[1].nChecks, 20);
        EXPECT_EQ(h.hours[0].nAnswered, nAnswered[0]);
        EXPECT_EQ(h.hours[1].nAnswered, nAnswered[1]);
    }
}

// A pass ten minutes into each of these hours (counted back from the hour of "now"), up or down; uptime counts
// the hours that start within each span.
TEST(HistoryReader, UptimeOverThreeSpansAndOneSpanWithTheStateBeforeIt) {
    CTempDir dir;
    const std::int64_t nNowHour = RecentHour(), nNow = nNowHour + 1800;
    const std::pair<std::int64_t, bool> hours[] = {{720, false}, {719, true}, {168, true}, {167, false},
                                                   {100, true},  {24, false}, {23, false}, {0, true}};
    std::vector<PassRecord> passes;
    for (const auto& [nBack, bUp] : hours)
        passes.push_back(Pass(nNowHour - nBack * 3600 + 600, {{Key("198.18.0.10"), bUp ? 1500 : -1}}));
    ASSERT_EQ(WriteAll(dir.File("h.db"), passes), "");
    CHistoryReader reader;
    ASSERT_TRUE(reader.Open(dir.File("h.db")));
    const MachineHistory h = reader.Read(Key("198.18.0.10"), nNow - 86400, nNow);
    ASSERT_TRUE(h.bKnown);
    EXPECT_DOUBLE_EQ(h.uptime.d24h, 1.0 / 2); // hours 0 and 23
    EXPECT_DOUBLE_EQ(h.uptime.d7d, 2.0 / 5);  // and 24, 100, 167
    EXPECT_DOUBLE_EQ(h.uptime.d30d, 4.0 / 7); // and 168, 719; 720 began more than 30 days back
    // The hour 24 back overlaps the span's start.
    EXPECT_EQ(Text(h, nNowHour),
              "before 0; up@600; hours @-86400 1/0 -1/-1/-1 @-82800 1/0 -1/-1/-1 @0 1/1 1.5/1.5/1.5");
    const MachineHistory all = reader.Read(Key("198.18.0.10"), nNow - 40 * 86400, nNow);
    EXPECT_EQ(all.hours.size(), std::size(hours));
    EXPECT_EQ(all.changes.size(), 6u);
    EXPECT_EQ(all.nStateBefore, -1);
    const MachineHistory unknown = reader.Read(Key("198.18.0.10", "02:00:00:00:00:01"), nNow - 86400, nNow);
    EXPECT_FALSE(unknown.bKnown);
    EXPECT_LT(unknown.uptime.d24h, 0);
    EXPECT_TRUE(unknown.hours.empty());

    CHistoryReader none;
    std::string strError;
    EXPECT_FALSE(none.Open(dir.File("none.db"), &strError));
    EXPECT_NE(strError.find("no history database at " + dir.File("none.db")), std::string::npos) << strError;
    EXPECT_NE(access(dir.File("none.db").c_str(), F_OK), 0) << "a missing file is not created";
    EXPECT_TRUE(none.Machines().empty());
}

} // namespace
} // namespace lanwick::test
