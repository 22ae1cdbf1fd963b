// lanwick-cli history on a database written here with chosen times: every format as exact text, hosts by address
// and by the machine file's name, and the refusals and missing pieces it reports.
#include "cli/CliRun.h"
#include "history/History.h"
#include "registry/MachineList.h"

#include <gtest/gtest.h>

#include <ctime>

namespace lanwick::test {
namespace {

class CliHistory : public ::testing::Test {
protected:
    void SetUp() override {
        const history::MachineKey a{"198.18.0.10", "02:00:00:00:00:0a"}, b{"198.18.0.9", ""};
        history::CHistoryWriter writer(m_dir.File("h.db"));
        writer.Record({m_nNow - 2 * 86400, {{b, 500}}});
        writer.Record({m_nNow - 7200, {{a, 1000}}});
        writer.Record({m_nNow - 3600, {{a, -1}, {b, 500}}});
        writer.Record({m_nNow - 1800, {{a, 3000}}});
        writer.Flush();
        ASSERT_EQ(writer.PauseReason(), "");
        CMachineList list;
        list.AddMachine({198, 18, 0, 10}, "02000000000A", "Lab", "alpha, \"one\"", 0, 1, 1);
        list.AddMachine({198, 18, 0, 9}, "000000000000", "Lab", "beta", 0, 1, 1);
        list.AddMachine({198, 18, 0, 11}, "020000000011", "Lab", "gamma", 0, 1, 1);
        ASSERT_TRUE(list.SaveFile(m_dir.File("m.xml")));
    }

    std::vector<std::string> Args(std::vector<std::string> args) const {
        args.insert(args.begin(), {"history", "--history", m_dir.File("h.db"), "--file", m_dir.File("m.xml")});
        return args;
    }

    CTempDir m_dir;
    const std::int64_t m_nNow = std::time(nullptr);
    const std::string m_strAlpha = "198.18.0.10\t02:00:00:00:00:0a\talpha, \"one\"\t66.67\t66.67\t66.67\t1.000\t2.000\t"
                                   "3.000\t-\t" +
                                   Local(m_nNow - 7200) + "=up " + Local(m_nNow - 3600) + "=down " +
                                   Local(m_nNow - 1800) + "=up\n";
};

TEST_F(CliHistory, EveryFormatGivesUptimeRoundTripsAndChangesByAddress) {
    // beta's first check lies before the span: no change in it, up before it, all of 7 days answered.
    const std::vector<std::pair<std::vector<std::string>, std::string>> table = {
        {{}, "198.18.0.9\t\tbeta\t100.00\t100.00\t100.00\t0.500\t0.500\t0.500\tup\t\n" + m_strAlpha},
        {{"--format", "csv", "--since", "7d"},
         "address,mac,name,uptime_24h,uptime_7d,uptime_30d,rtt_min_ms,rtt_avg_ms,rtt_max_ms,state_before,changes\r\n"
         "198.18.0.9,,beta,100.00,100.00,100.00,0.500,0.500,0.500,-," +
             Local(m_nNow - 2 * 86400) +
             "=up\r\n198.18.0.10,02:00:00:00:00:0a,\"alpha, \"\"one\"\"\",66.67,66.67,66.67,1.000,"
             "2.000,3.000,-," +
             Local(m_nNow - 7200) + "=up " + Local(m_nNow - 3600) + "=down " + Local(m_nNow - 1800) + "=up\r\n"},
        {{"198.18.0.10", "--format", "json"},
         "[\n  {\"address\": \"198.18.0.10\", \"mac\": \"02:00:00:00:00:0a\", \"name\": \"alpha, \\\"one\\\"\", "
         "\"uptime_24h\": 66.67, \"uptime_7d\": 66.67, \"uptime_30d\": 66.67, \"rtt_min_ms\": 1.000, \"rtt_avg_ms\": "
         "2.000, \"rtt_max_ms\": 3.000, \"state_before\": null, \"changes\": [{\"time\": \"" +
             Local(m_nNow - 7200) + "\", \"state\": \"up\"}, {\"time\": \"" + Local(m_nNow - 3600) +
             "\", \"state\": \"down\"}, {\"time\": \"" + Local(m_nNow - 1800) + "\", \"state\": \"up\"}]}\n]\n"},
        {{"ALPHA, \"ONE\"", "198.18.0.10"}, m_strAlpha}, // one machine named twice is listed once
    };
    for (const auto& [args, expected] : table) {
        const CliResult r = RunCli(Args(args));
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, expected);
    }
}

TEST_F(CliHistory, ReportsWhatIsMissingAndRefusesWhatItCannotRead) {
    const CliResult missing = RunCli(Args({"gamma", "198.18.0.10", "198.18.0.200"}));
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, m_strAlpha);
    EXPECT_EQ(missing.err, "lanwick-cli: history: nothing recorded of gamma in " + m_dir.File("h.db") +
                               "\nlanwick-cli: history: nothing recorded of 198.18.0.200 in " + m_dir.File("h.db") +
                               "\n");
    const CliResult none = RunCli({"history", "--history", m_dir.File("none.db")});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "lanwick-cli: history: no history database at " + m_dir.File("none.db") + "\n");

    ExpectRefused({
        {Args({"--since", "2d"}), "unknown span \"2d\""},
        {Args({"--format", "xml"}), "unknown format \"xml\""},
        {Args({"nosuch"}), "no machine with the address or name \"nosuch\""},
        {Args({"10.1"}), "no machine with the address or name \"10.1\""},
    });
}

} // namespace
} // namespace lanwick::test
