// What a sequence of passes leaves in a real database file: the state changes, the hourly counts and round trips,
// machines told apart by address and MAC, what a reopened writer carries on from, and the pruning.
#include "history/History.h"
#include "history/HistoryStore.h"
#include "history/HistoryTestFiles.h"

#include <gtest/gtest.h>

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

struct Sample {
    std::int64_t nOffset; // seconds after the first hour's start
    std::int32_t nRtt;
};
struct Hour {
    std::int64_t nHour; // hours after the first
    std::int32_t nChecks, nAnswered;
    double dMin, dAvg, dMax;
};
struct Sequence {
    const char* what;
    std::vector<Sample> samples;
    std::vector<std::pair<std::int64_t, bool>> changes; // offset, up
    std::vector<Hour> hours;
};

TEST(HistoryWriter, RecordsStateChangesAndHourlyCountsOfPasses) {
    const std::vector<Sequence> table = {
        {"up, a drop, back in the next hour",
         {{0, 500}, {60, 700}, {120, -1}, {3600, -1}, {3660, 300}},
         {{0, true}, {120, false}, {3660, true}},
         {{0, 3, 2, 0.5, 0.6, 0.7}, {1, 2, 1, 0.3, 0.3, 0.3}}},
        {"never answered: one change, no round trips", {{10, -1}, {70, -1}}, {{10, false}}, {{0, 2, 0, -1, -1, -1}}},
        {"a zero round trip is an answer",
         {{0, 0}, {60, -1}, {7300, 0}},
         {{0, true}, {60, false}, {7300, true}},
         {{0, 2, 1, 0, 0, 0}, {2, 1, 1, 0, 0, 0}}},
    };
    const std::int64_t nBase = RecentHour();
    for (const Sequence& seq : table) {
        SCOPED_TRACE(seq.what);
        CTempDir dir;
        const MachineKey key = Key("198.18.0.10", "02:00:00:00:00:0a");
        std::vector<PassRecord> passes;
        for (const Sample& s : seq.samples)
            passes.push_back(Pass(nBase + s.nOffset, {{key, s.nRtt}, {Key("198.18.0.11"), 100}}));
        ASSERT_EQ(WriteAll(dir.File("h.db"), passes), "");

        const MachineHistory h = ReadOne(dir.File("h.db"), key, nBase, nBase + 4 * 3600);
        EXPECT_TRUE(h.bKnown);
        EXPECT_EQ(h.nStateBefore, -1);
        ASSERT_EQ(h.changes.size(), seq.changes.size());
        for (std::size_t i = 0; i < seq.changes.size(); ++i) {
            EXPECT_EQ(h.changes[i].nUnixSeconds, nBase + seq.changes[i].first) << i;
            EXPECT_EQ(h.changes[i].bUp, seq.changes[i].second) << i;
        }
        ASSERT_EQ(h.hours.size(), seq.hours.size());
        for (std::size_t i = 0; i < seq.hours.size(); ++i) {
            EXPECT_EQ(h.hours[i].nHourStart, nBase + seq.hours[i].nHour * 3600) << i;
            EXPECT_EQ(h.hours[i].nChecks, seq.hours[i].nChecks) << i;
            EXPECT_EQ(h.hours[i].nAnswered, seq.hours[i].nAnswered) << i;
            EXPECT_DOUBLE_EQ(h.hours[i].dMinMs, seq.hours[i].dMin) << i;
            EXPECT_DOUBLE_EQ(h.hours[i].dAvgMs, seq.hours[i].dAvg) << i;
            EXPECT_DOUBLE_EQ(h.hours[i].dMaxMs, seq.hours[i].dMax) << i;
        }
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
    EXPECT_EQ(reader.Read(e, t, t + 120).changes.size(), 2u);
    EXPECT_EQ(reader.Read(f, t, t + 120).changes.size(), 1u);
    EXPECT_EQ(reader.Read(a, t, t + 120).changes.size(), 1u);
    EXPECT_EQ(reader.Read(b, t, t + 120).changes.size(), 2u);
    EXPECT_EQ(reader.Read(c, t, t + 120).hours.at(0).nChecks, 1);
    EXPECT_FALSE(reader.Read(Key("198.18.0.10"), t, t + 120).bKnown);
}

TEST(HistoryWriter, AReopenedWriterCarriesOnFromTheStoredState) {
    CTempDir dir;
    const std::int64_t t = RecentHour();
    const MachineKey key = Key("198.18.0.10");
    ASSERT_EQ(WriteAll(dir.File("h.db"), {Pass(t, {{key, 100}})}), "");
    ASSERT_EQ(WriteAll(dir.File("h.db"), {Pass(t + 60, {{key, 200}}), Pass(t + 120, {{key, -1}})}), "");
    const MachineHistory h = ReadOne(dir.File("h.db"), key, t, t + 3600);
    ASSERT_EQ(h.changes.size(), 2u);
    EXPECT_EQ(h.changes[1].nUnixSeconds, t + 120);
    EXPECT_EQ(h.hours.at(0).nChecks, 3);
    EXPECT_DOUBLE_EQ(h.hours.at(0).dAvgMs, 0.15);
}

TEST(HistoryWriter, PrunesWhatIsOlderThanTheRetentionButKeepsTheStateBeforeIt) {
    CTempDir dir;
    const std::int64_t now = RecentHour() + 1800, day = 86400;
    const MachineKey kept = Key("198.18.0.10"), gone = Key("198.18.0.11");
    ASSERT_EQ(WriteAll(dir.File("h.db"),
                       {Pass(now - 5 * day, {{kept, -1}, {gone, 100}}), Pass(now - 4 * day, {{kept, 100}}),
                        Pass(now - 3 * day, {{kept, 100}}), Pass(now, {{kept, 100}})},
                       2),
              "");
    CHistoryReader reader;
    ASSERT_TRUE(reader.Open(dir.File("h.db")));
    EXPECT_EQ(reader.Machines(), std::vector<MachineKey>{kept});
    const MachineHistory h = reader.Read(kept, now - 6 * day, now);
    ASSERT_EQ(h.hours.size(), 1u) << "only the hour of the last pass is within two days";
    EXPECT_EQ(h.hours[0].nHourStart, now - 1800);
    // The drop five days back is pruned; the return four days back is the last change before the cut and stays.
    ASSERT_EQ(h.changes.size(), 1u);
    EXPECT_EQ(h.changes[0].nUnixSeconds, now - 4 * day);
    EXPECT_TRUE(h.changes[0].bUp);
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
    for (const MachineKey& key : {a, b}) {
        const MachineHistory x = ReadOne(dir.File("separate.db"), key, t, t + 4 * 3600);
        const MachineHistory y = ReadOne(dir.File("folded.db"), key, t, t + 4 * 3600);
        ASSERT_EQ(x.hours.size(), y.hours.size());
        for (std::size_t i = 0; i < x.hours.size(); ++i) {
            EXPECT_EQ(x.hours[i].nChecks, y.hours[i].nChecks);
            EXPECT_EQ(x.hours[i].nAnswered, y.hours[i].nAnswered);
            EXPECT_EQ(x.hours[i].dMinMs, y.hours[i].dMinMs);
            EXPECT_EQ(x.hours[i].dAvgMs, y.hours[i].dAvgMs);
            EXPECT_EQ(x.hours[i].dMaxMs, y.hours[i].dMaxMs);
        }
        ASSERT_EQ(x.changes.size(), y.changes.size());
        for (std::size_t i = 0; i < x.changes.size(); ++i) {
            EXPECT_EQ(x.changes[i].nUnixSeconds, y.changes[i].nUnixSeconds);
            EXPECT_EQ(x.changes[i].bUp, y.changes[i].bUp);
        }
    }
}

TEST(HistoryWriter, ABacklogIsFoldedWithoutLosingACheckOrAChange) {
    // Forty passes of 10,000 machines handed over at once: far more than the queue holds, so the writer, busy
    // with the first, finds most of them folded together.
    constexpr int kMachines = 10000, kPasses = 40;
    const std::int64_t t = RecentHour();
    const auto isUp = [](int nPass, int nMachine) { return (nPass / 3 + nMachine) % 4 != 0; };
    std::vector<PassRecord> passes;
    for (int p = 0; p < kPasses; ++p) {
        PassRecord pass{t + p * 180, {}};
        for (int m = 0; m < kMachines; ++m)
            pass.checks.push_back({Key("10.1." + std::to_string(m / 200) + "." + std::to_string(m % 200 + 1)),
                                   isUp(p, m) ? 100 + p : -1});
        passes.push_back(std::move(pass));
    }
    CTempDir dir;
    {
        CHistoryWriter writer(dir.File("h.db"));
        for (PassRecord& pass : passes)
            writer.Record(std::move(pass));
        writer.Flush();
        ASSERT_EQ(writer.PauseReason(), "");
    }
    CHistoryReader reader;
    ASSERT_TRUE(reader.Open(dir.File("h.db")));
    for (const int m : {0, 1, 2, 3, 4999, 9999}) {
        SCOPED_TRACE(m);
        const MachineHistory h = reader.Read(Key("10.1." + std::to_string(m / 200) + "." + std::to_string(m % 200 + 1)),
                                             t, t + kPasses * 180);
        std::vector<std::pair<std::int64_t, bool>> expected;
        std::int32_t nFirstHour = 0, nAnswered = 0;
        for (int p = 0; p < kPasses; ++p) {
            if (expected.empty() || expected.back().second != isUp(p, m))
                expected.push_back({t + p * 180, isUp(p, m)});
            nFirstHour += p * 180 < 3600 ? 1 : 0;
            nAnswered += isUp(p, m) ? 1 : 0;
        }
        ASSERT_EQ(h.hours.size(), 2u);
        EXPECT_EQ(h.hours[0].nChecks, nFirstHour);
        EXPECT_EQ(h.hours[0].nChecks + h.hours[1].nChecks, kPasses);
        EXPECT_EQ(h.hours[0].nAnswered + h.hours[1].nAnswered, nAnswered);
        ASSERT_EQ(h.changes.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(h.changes[i].nUnixSeconds, expected[i].first) << i;
            EXPECT_EQ(h.changes[i].bUp, expected[i].second) << i;
        }
    }
}

} // namespace
} // namespace lanwick::test
