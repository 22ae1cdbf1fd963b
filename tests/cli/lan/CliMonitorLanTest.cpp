// lanwick-cli monitor on the namespace LAN: the test switches hosts off and on between passes and expects the
// window's notification texts line by line, a strictly valid Prometheus file after every pass, and a clean stop.
#include "cli/CliRun.h"
#include "cli/StrictParsers.h"
#include "lan/Lan.h"
#include "registry/MachineList.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <regex>

namespace lanwick::test {
namespace {

// Waits until the file at strPath is a new one (the program has finished a pass); its text.
std::string NextProm(const CTempDir& dir, ino_t& last) {
    if (!WaitForNewFile(dir.File("lanwick.prom"), last)) {
        ADD_FAILURE() << "no new prom file within 15 s";
        return {};
    }
    return dir.Read("lanwick.prom");
}

// True once the process catches SIGINT (its SigCgt mask in /proc): the monitor's stop handler is in place.
bool CatchesSigint(pid_t pid) {
    const std::string status = ReadFile("/proc/" + std::to_string(pid) + "/status");
    const std::size_t at = status.find("SigCgt:");
    return at != std::string::npos && (std::stoull(status.substr(at + 7), nullptr, 16) >> (SIGINT - 1) & 1) != 0;
}

// The notification text of one printed line: local time, a tab, the text with \n, \t, \r and \\ escaped.
std::string NotificationText(const std::string& line) {
    static const std::regex form(R"(^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}[+-][0-9]{4}\t(.*)$)");
    std::smatch match;
    if (!std::regex_match(line, match, form)) {
        ADD_FAILURE() << "not a notification line: " << line;
        return {};
    }
    const std::string escaped = match[1];
    std::string text;
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] != '\\' || i + 1 == escaped.size()) {
            text += escaped[i];
            continue;
        }
        const char e = escaped[++i];
        text += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
    }
    return text;
}

// The pass's end time, one unlabelled sample within a minute of now: the alert for a stopped monitor relies on it.
void ExpectRecentPassTime(const PromParse& parsed) {
    const auto family = parsed.families.find("lanwick_last_pass_timestamp_seconds");
    ASSERT_NE(family, parsed.families.end());
    EXPECT_EQ(family->second.type, "gauge");
    ASSERT_EQ(family->second.samples.size(), 1u);
    EXPECT_TRUE(family->second.samples[0].labels.empty());
    const double dNow = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    EXPECT_NEAR(family->second.samples[0].value, dNow, 60.0);
}

// "up" value by machine name, after checking the whole file strictly and the rtt series against it.
std::map<std::string, double> UpByName(const std::string& strProm) {
    const PromParse parsed = ParseProm(strProm);
    EXPECT_EQ(parsed.error, "") << strProm;
    std::map<std::string, double> up;
    if (!parsed.error.empty())
        return up;
    const auto upFamily = parsed.families.find("lanwick_machine_up");
    const auto rttFamily = parsed.families.find("lanwick_machine_rtt_seconds");
    EXPECT_EQ(parsed.families.size(), 3u);
    ExpectRecentPassTime(parsed);
    if (upFamily == parsed.families.end() || rttFamily == parsed.families.end()) {
        ADD_FAILURE() << "families missing:\n" << strProm;
        return up;
    }
    EXPECT_EQ(upFamily->second.type, "gauge");
    EXPECT_EQ(rttFamily->second.type, "gauge");
    EXPECT_FALSE(upFamily->second.help.empty());
    for (const PromSample& s : upFamily->second.samples) {
        EXPECT_EQ(s.labels.size(), 3u);
        EXPECT_TRUE(s.value == 0.0 || s.value == 1.0);
        up[s.labels.at("name")] = s.value;
    }
    std::size_t nUp = 0;
    for (const auto& [name, value] : up)
        nUp += value == 1.0 ? 1 : 0;
    EXPECT_EQ(rttFamily->second.samples.size(), nUp);
    for (const PromSample& s : rttFamily->second.samples) {
        EXPECT_EQ(up[s.labels.at("name")], 1.0) << "rtt of a machine that is down";
        EXPECT_GE(s.value, 0.0);
        EXPECT_LT(s.value, 1.0);
    }
    return up;
}

void SetHosts(const std::vector<const LanHost*>& hosts, bool up) {
    for (const LanHost* host : hosts)
        ASSERT_TRUE(SetHostUp(*host, up)) << host->ns;
}

TEST(CliMonitorLan, NotifiesAsTheWindowWhileHostsGoOffAndOnAndExportsEveryPass) {
    LANWICK_REQUIRE_LAN();
    const auto& h = CLan::Get().Hosts();
    ASSERT_GE(h.size(), 8u);
    CTempDir dir;
    {
        CMachineList list;
        list.AddMachine(Ip(h[0].address), h[0].MacDigits(), "Lab", "alpha \"one\"", 0, 1, 0);
        list.AddMachine(Ip(h[1].address), h[1].MacDigits(), "Lab", "back\\slash", 0, 0, 1);
        list.AddMachine(Ip(h[6].address), h[6].MacDigits(), "Other", "iota", 0, 1, 1);
        list.AddMachine(Ip(h[2].address), h[2].MacDigits(), "lab", "gamma", 0, 0, 1);
        list.AddMachine(Ip(h[3].address), h[3].MacDigits(), "Lab", "delta", 0, 0, 1);
        list.AddMachine(Ip(h[4].address), h[4].MacDigits(), "Lab", "epsilon", 0, 0, 0);
        list.AddMachine(Ip(h[5].address), h[5].MacDigits(), "Lab", "zeta", 1, 1, 1);
        list.AddMachine(Ip(CLan::Get().SilentAddress()), "000000000000", "Lab", "eta", 0, 1, 1);
        list.AddMachine(Ip(h[7].address), h[7].MacDigits(), "Lab", "theta", 0, 0, 1);
        ASSERT_TRUE(list.SaveFile(dir.File("m.xml")));
    }
    dir.Write("s.ini", "[Scan]\nRetries=1\nPause=0\n");
    // Passes two seconds apart take one second each (the silent machine's wait): the hosts are switched right
    // after a pass has written its file, a second before the next pass pings.
    CCliProcess monitor({"monitor", dir.File("m.xml"), "--group", "LAB", "--refresh", "2", "--settings",
                         dir.File("s.ini"), "--prom-file", dir.File("lanwick.prom")});
    ino_t last = 0;
    auto up = UpByName(NextProm(dir, last));
    EXPECT_EQ(up, (std::map<std::string, double>{{"alpha \"one\"", 1},
                                                 {"back\\slash", 1},
                                                 {"gamma", 1},
                                                 {"delta", 1},
                                                 {"epsilon", 1},
                                                 {"eta", 0},
                                                 {"theta", 1}}));

    // Four machines that asked for it go offline (the one without flags and the other group's say nothing):
    // three names and "....", as the popup shows them.
    SetHosts({&h[0], &h[1], &h[2], &h[3], &h[4], &h[6]}, false);
    up = UpByName(NextProm(dir, last));
    EXPECT_EQ(up["alpha \"one\""] + up["back\\slash"] + up["gamma"] + up["delta"] + up["epsilon"], 0.0);
    EXPECT_EQ(up["theta"], 1.0);
    auto line = monitor.ReadLine(5000);
    ASSERT_TRUE(line);
    EXPECT_EQ(NotificationText(*line), "       offline\nalpha \"one\"\nback\\slash\ngamma\n....\n");

    // Back on, while another goes off: the online block comes first. Only alpha asked to hear of coming back.
    SetHosts({&h[0], &h[1], &h[2], &h[3], &h[4], &h[6]}, true);
    SetHosts({&h[7]}, false);
    up = UpByName(NextProm(dir, last));
    EXPECT_EQ(up["alpha \"one\""] + up["back\\slash"] + up["gamma"] + up["delta"] + up["epsilon"], 5.0);
    EXPECT_EQ(up["theta"], 0.0);
    line = monitor.ReadLine(5000);
    ASSERT_TRUE(line);
    EXPECT_EQ(NotificationText(*line), "        online\nalpha \"one\"\n       offline\ntheta\n");

    // theta has only the offline flag: its return is not announced.
    SetHosts({&h[7]}, true);
    up = UpByName(NextProm(dir, last));
    EXPECT_EQ(up["theta"], 1.0);
    NextProm(dir, last);
    EXPECT_FALSE(monitor.ReadLine(500)) << "no notification expected";

    monitor.Signal(SIGTERM);
    EXPECT_EQ(monitor.Wait(5000), 0);
    EXPECT_EQ(monitor.RestOfOutput(), "");
    EXPECT_EQ(monitor.Errors(), "");
}

TEST(CliMonitorLan, GroupAndPassesLimitTheRunAndTheExport) {
    LANWICK_REQUIRE_LAN();
    const auto& h = CLan::Get().Hosts();
    CTempDir dir;
    {
        CMachineList list;
        list.AddMachine(Ip(h[0].address), h[0].MacDigits(), "Lab", "a", 0, 1, 1);
        list.AddMachine(Ip(h[1].address), h[1].MacDigits(), "Other", "b", 0, 1, 1);
        list.AddMachine(Ip(h[1].address), h[1].MacDigits(), "Other", "b", 0, 1, 1); // the same series twice
        list.AddMachine(Ip(h[2].address), h[2].MacDigits(), "Other", "c", 1, 0, 0);
        ASSERT_TRUE(list.SaveFile(dir.File("m.xml")));
    }
    const std::string prom = dir.File("lanwick.prom");
    const CliResult other = RunCli({"monitor", dir.File("m.xml"), "--group", "other", "--refresh", "1", "--passes", "2",
                                    "--prom-file", prom, "--no-history"},
                                   20000);
    ASSERT_EQ(other.status, 0) << other.err;
    EXPECT_EQ(other.out, "");
    EXPECT_EQ(UpByName(dir.Read("lanwick.prom")), (std::map<std::string, double>{{"b", 1}}));

    const CliResult all = RunCli(
        {"monitor", dir.File("m.xml"), "--refresh", "1", "--passes", "1", "--prom-file", prom, "--no-history"}, 20000);
    ASSERT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(UpByName(dir.Read("lanwick.prom")), (std::map<std::string, double>{{"a", 1}, {"b", 1}}));
    // No temporary file is left beside the export.
    std::size_t nFiles = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        ++nFiles;
    EXPECT_EQ(nFiles, 2u);
}

TEST(CliMonitorLan, StopSignalCutsAPassShortAndExitsZero) {
    LANWICK_REQUIRE_LAN();
    CTempDir dir;
    {
        CMachineList list;
        list.AddMachine(Ip(CLan::Get().SilentAddress()), "000000000000", "Lab", "silent", 0, 1, 1);
        ASSERT_TRUE(list.SaveFile(dir.File("m.xml")));
    }
    // Twenty attempts of a second each: only the cancelled engine ends the list fill in time.
    dir.Write("s.ini", "[Scan]\nRetries=20\nPause=0\n");
    CCliProcess monitor({"monitor", dir.File("m.xml"), "--settings", dir.File("s.ini"), "--refresh", "1"});
    // The handler in place, the list fill of twenty seconds follows at once.
    ASSERT_TRUE(WaitUntil([&] { return CatchesSigint(monitor.Pid()); }, std::chrono::seconds(10)));
    monitor.Signal(SIGINT);
    EXPECT_EQ(monitor.Wait(3000), 0);
    EXPECT_EQ(monitor.RestOfOutput(), "");
    EXPECT_EQ(monitor.Errors(), "");
}

TEST(CliMonitorLan, AllExcludedMachinesRunWithoutProbesAndExportOnlyTheHeadersAndThePassTime) {
    LANWICK_REQUIRE_LAN();
    CTempDir dir;
    {
        CMachineList list;
        list.AddMachine(Ip(CLan::Get().Hosts()[0].address), "00A0C9000001", "Lab", "x", 1, 1, 1);
        ASSERT_TRUE(list.SaveFile(dir.File("m.xml")));
    }
    const CliResult r = RunCli({"monitor", dir.File("m.xml"), "--refresh", "1", "--passes", "1", "--prom-file",
                                dir.File("lanwick.prom"), "--no-history"},
                               20000);
    ASSERT_EQ(r.status, 0) << r.err;
    const PromParse parsed = ParseProm(dir.Read("lanwick.prom"));
    EXPECT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.families.size(), 3u);
    ExpectRecentPassTime(parsed);
    for (const auto& [name, family] : parsed.families)
        EXPECT_EQ(family.samples.empty(), name != "lanwick_last_pass_timestamp_seconds") << name;
    // A prom file in a folder that does not exist is refused at once.
    const CliResult bad = RunCli(
        {"monitor", dir.File("m.xml"), "--refresh", "1", "--passes", "1", "--prom-file", dir.File("none/x.prom")});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("cannot write " + dir.File("none/x.prom")), std::string::npos) << bad.err;
}

// A metrics file that cannot be written is refused before the list fill pings anyone: an immutable folder (root
// cannot write it either) and a link planted by another user in a shared folder.
TEST(CliMonitorLan, UnwritableMetricsFileIsRefusedBeforeAnyPing) {
    LANWICK_REQUIRE_LAN();
    const std::string strHost = CLan::Get().Hosts()[0].address;
    CTempDir dir;
    {
        CMachineList list;
        list.AddMachine(Ip(strHost), "00A0C9000001", "Lab", "x", 0);
        ASSERT_TRUE(list.SaveFile(dir.File("m.xml")));
    }
    std::filesystem::create_directory(dir.File("ro"));
    ASSERT_EQ(Shell("chattr +i " + dir.File("ro")), 0);
    std::filesystem::create_directory(dir.File("shared"));
    std::filesystem::permissions(dir.File("shared"), std::filesystem::perms::all | std::filesystem::perms::sticky_bit);
    dir.Write("secret", "root only\n");
    std::filesystem::create_symlink(dir.File("secret"), dir.File("shared/lanwick.prom"));
    ASSERT_EQ(Shell("chown -h 65534:65534 " + dir.File("shared/lanwick.prom")), 0);
    for (const std::string& strProm : {dir.File("ro/lanwick.prom"), dir.File("shared/lanwick.prom")}) {
        SCOPED_TRACE(strProm);
        Shell("ip neigh flush to " + strHost);
        const CliResult r = RunCli(
            {"monitor", dir.File("m.xml"), "--refresh", "1", "--passes", "1", "--prom-file", strProm, "--no-history"},
            20000);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("cannot write " + strProm), std::string::npos) << r.err;
        EXPECT_NE(Shell("ip neigh show to " + strHost + " | grep -q ."), 0) << "a ping went out first";
    }
    Shell("chattr -i " + dir.File("ro"));
    EXPECT_EQ(dir.Read("secret"), "root only\n");
}

} // namespace
} // namespace lanwick::test
