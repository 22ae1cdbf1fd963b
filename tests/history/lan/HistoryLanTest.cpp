// lanwick-cli monitor records into the history on the namespace LAN: a host switched off and on appears as state
// changes at the times of the passes that saw them, in the database and in lanwick-cli history; a full file
// system pauses the history with one line while the monitoring goes on.
#include "cli/CliRun.h"
#include "history/History.h"
#include "lan/Lan.h"
#include "registry/MachineList.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <sys/stat.h>

namespace lanwick::test {
namespace {

// The program replaces its metrics file at the end of every pass: true once a new one stands at strPath.
bool WaitForNewFile(const std::string& strPath, ino_t& last) {
    struct stat st {};
    const bool bNew =
        WaitUntil([&] { return ::stat(strPath.c_str(), &st) == 0 && st.st_ino != last; }, std::chrono::seconds(15));
    last = st.st_ino;
    return bNew;
}

TEST(HistoryLan, AHostSwitchedOffAndOnIsRecordedAtTheTimesOfItsPasses) {
    LANWICK_REQUIRE_LAN();
    const auto& h = CLan::Get().Hosts();
    ASSERT_GE(h.size(), 2u);
    CTempDir dir;
    {
        CMachineList list;
        list.AddMachine(Ip(h[0].address), h[0].MacDigits(), "Lab", "alpha", 0, 1, 1);
        list.AddMachine(Ip(h[1].address), h[1].MacDigits(), "Lab", "beta", 0, 1, 1);
        ASSERT_TRUE(list.SaveFile(dir.File("m.xml")));
    }
    dir.Write("s.ini", "[Scan]\nRetries=1\nPause=0\n");
    const std::string prom = dir.File("lanwick.prom"), db = dir.File("h.db");
    const history::MachineKey alpha{h[0].address, history::NormaliseMac(h[0].mac)};
    std::int64_t nOff = 0, nOn = 0;
    {
        CCliProcess monitor({"monitor", dir.File("m.xml"), "--refresh", "1", "--timeout", "300", "--settings",
                             dir.File("s.ini"), "--prom-file", prom, "--history", db});
        ino_t last = 0;
        ASSERT_TRUE(WaitForNewFile(prom, last));
        ASSERT_TRUE(WaitForNewFile(prom, last));
        nOff = std::time(nullptr);
        ASSERT_TRUE(SetHostUp(h[0], false));
        ASSERT_TRUE(WaitForNewFile(prom, last));
        ASSERT_TRUE(WaitForNewFile(prom, last));
        nOn = std::time(nullptr);
        ASSERT_TRUE(SetHostUp(h[0], true));
        ASSERT_TRUE(WaitForNewFile(prom, last));
        ASSERT_TRUE(WaitForNewFile(prom, last));
        monitor.Signal(SIGTERM);
        EXPECT_EQ(monitor.Wait(10000), 0);
        EXPECT_EQ(monitor.Errors(), "");
    }

    // A pass starts at most a refresh period plus one pass's pings after the switch.
    history::CHistoryReader reader;
    std::string strError;
    ASSERT_TRUE(reader.Open(db, &strError)) << strError;
    const std::int64_t nNow = std::time(nullptr);
    const history::MachineHistory a = reader.Read(alpha, nNow - 3600, nNow);
    ASSERT_EQ(a.changes.size(), 3u);
    EXPECT_TRUE(a.changes[0].bUp);
    EXPECT_LE(a.changes[0].nUnixSeconds, nOff);
    EXPECT_FALSE(a.changes[1].bUp);
    EXPECT_GE(a.changes[1].nUnixSeconds, nOff);
    EXPECT_LE(a.changes[1].nUnixSeconds, nOff + 3);
    EXPECT_TRUE(a.changes[2].bUp);
    EXPECT_GE(a.changes[2].nUnixSeconds, nOn);
    EXPECT_LE(a.changes[2].nUnixSeconds, nOn + 3);
    const history::MachineHistory b = reader.Read({h[1].address, history::NormaliseMac(h[1].mac)}, nNow - 3600, nNow);
    EXPECT_EQ(b.changes.size(), 1u);
    EXPECT_DOUBLE_EQ(b.uptime.d24h, 1.0);
    // Every pass whose metrics were seen was written before the stop ended the program.
    std::int32_t nChecks = 0;
    for (const history::HourStats& hour : b.hours)
        nChecks += hour.nChecks;
    EXPECT_GE(nChecks, 6);
    EXPECT_GT(a.uptime.d24h, 0.0);
    EXPECT_LT(a.uptime.d24h, 1.0);

    // The command shows the same changes, by address and by the machine file's name.
    const std::string strChanges = Local(a.changes[0].nUnixSeconds) + "=up " + Local(a.changes[1].nUnixSeconds) +
                                   "=down " + Local(a.changes[2].nUnixSeconds) + "=up";
    for (const std::string& host : {h[0].address, std::string("ALPHA")}) {
        SCOPED_TRACE(host);
        const CliResult r = RunCli({"history", host, "--history", db, "--file", dir.File("m.xml")});
        ASSERT_EQ(r.status, 0) << r.err;
        const std::vector<std::string> fields = SplitFields(r.out.substr(0, r.out.size() - 1), '\t');
        ASSERT_EQ(fields.size(), 11u) << r.out;
        EXPECT_EQ(fields[0], h[0].address);
        EXPECT_EQ(fields[1], alpha.strMac);
        EXPECT_EQ(fields[2], "alpha");
        EXPECT_EQ(fields[9], "-");
        EXPECT_EQ(fields[10], strChanges);
    }
}

TEST(HistoryLan, AFullFileSystemPausesTheHistoryWhileTheMonitoringGoesOn) {
    LANWICK_REQUIRE_LAN();
    const auto& h = CLan::Get().Hosts();
    CTempDir dir;
    {
        CMachineList list;
        list.AddMachine(Ip(h[0].address), h[0].MacDigits(), "Lab", "alpha", 0, 1, 1);
        ASSERT_TRUE(list.SaveFile(dir.File("m.xml")));
    }
    std::filesystem::create_directory(dir.File("full"));
    // A small file system of the monitor's own mount namespace, filled up before it starts.
    const std::string full = dir.File("full");
    const CliResult r = RunCli({"-m", "sh", "-c",
                                "mount -t tmpfs -o size=64k lanwick-full '" + full + "' && (head -c 1M /dev/zero > '" +
                                    full + "/filler' 2>/dev/null; exec \"$0\" \"$@\")",
                                LANWICK_CLI, "monitor", dir.File("m.xml"), "--refresh", "1", "--passes", "3",
                                "--prom-file", dir.File("lanwick.prom"), "--history", full + "/h.db"},
                               30000, "/usr/bin/unshare");
    EXPECT_EQ(r.status, 0);
    const std::vector<std::string> errors = SplitLines(r.err);
    ASSERT_EQ(errors.size(), 1u) << r.err;
    EXPECT_EQ(errors[0].rfind("lanwick-cli: monitor: history paused: ", 0), 0u) << r.err;
    EXPECT_NE(errors[0].find(full + "/h.db"), std::string::npos) << r.err;
    EXPECT_NE(errors[0].find("full"), std::string::npos) << r.err;
    // Every pass still exported its metrics.
    EXPECT_NE(dir.Read("lanwick.prom").find("lanwick_machine_up{"), std::string::npos);
}

} // namespace
} // namespace lanwick::test
