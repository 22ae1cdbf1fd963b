// lanwick-cli monitor on the namespace LAN: the test switches hosts off and on between passes and expects the
// window's notification texts line by line, a strictly valid Prometheus file after every pass, and a clean stop.
#include "cli/CliRun.h"
#include "cli/StrictParsers.h"
#include "lan/Lan.h"
#include "registry/MachineList.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <regex>
#include <set>

namespace lanwick::test {
namespace {

// The labels of a machine's series as the file must write them (name escaped as the format wants).
std::string Labels(const std::string& strEscapedName, const std::string& strAddress, const std::string& strGroup) {
    return "{name=\"" + strEscapedName + "\",address=\"" + strAddress + "\",group=\"" + strGroup + "\"}";
}

// The up value by labels, after checking the whole file strictly: three gauges, an rtt below a second for exactly
// the machines that are up, and the pass's end time within a minute of now (the alert for a stopped monitor relies
// on it).
std::map<std::string, double> UpByLabels(const std::string& strProm) {
    const PromParse parsed = ParseProm(strProm);
    EXPECT_EQ(parsed.error, "") << strProm;
    EXPECT_EQ(parsed.types, (std::map<std::string, std::string>{{"lanwick_last_pass_timestamp_seconds", "gauge"},
                                                                {"lanwick_machine_rtt_seconds", "gauge"},
                                                                {"lanwick_machine_up", "gauge"}}));
    std::map<std::string, double> up, rtt;
    for (const auto& [series, value] : parsed.series) {
        const std::size_t brace = std::min(series.find('{'), series.size());
        if (series.substr(0, brace) == "lanwick_machine_up")
            up[series.substr(brace)] = value;
        if (series.substr(0, brace) == "lanwick_machine_rtt_seconds")
            rtt[series.substr(brace)] = value >= 0.0 && value < 1.0;
    }
    std::map<std::string, double> upOnes = up;
    std::erase_if(upOnes, [](const auto& entry) { return entry.second != 1.0; });
    EXPECT_EQ(rtt, upOnes);
    const double dNow = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    const auto pass = parsed.series.find("lanwick_last_pass_timestamp_seconds");
    EXPECT_NEAR(pass == parsed.series.end() ? 0.0 : pass->second, dNow, 60.0);
    return up;
}

// Waits until the metrics file is a new one (the program replaces it at the end of every pass); its text.
std::string NextProm(const CTempDir& dir, ino_t& last) {
    struct stat st {};
    const auto replaced = [&] { return ::stat(dir.File("lanwick.prom").c_str(), &st) == 0 && st.st_ino != last; };
    EXPECT_TRUE(WaitUntil(replaced, std::chrono::seconds(15))) << "no new metrics file within 15 s";
    last = st.st_ino;
    return dir.Read("lanwick.prom");
}

// The notification text of one printed line as written, after the local time and a tab: line breaks, tabs and
// backslashes escaped.
std::string Notification(const std::optional<std::string>& line) {
    static const std::regex form(R"([0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}[+-][0-9]{4}\t(.*))");
    std::smatch match;
    if (!line || !std::regex_match(*line, match, form))
        return "not a notification line: " + line.value_or("(none)");
    return match[1];
}

void SetHosts(const std::vector<const LanHost*>& hosts, bool up) {
    for (const LanHost* host : hosts)
        ASSERT_TRUE(SetHostUp(*host, up)) << host->ns;
}

TEST(CliMonitorLan, NotifiesAsTheWindowWhileHostsGoOffAndOnAndExportsEveryPass) {
    LANWICK_REQUIRE_LAN();
    const auto& h = CLan::Get().Hosts();
    ASSERT_GE(h.size(), 8u);
    const std::string silent = CLan::Get().SilentAddress();
    CTempDir dir;
    CMachineList list;
    list.AddMachine(Ip(h[0].address), h[0].MacDigits(), "Lab", "alpha \"one\"", 0, 1, 0);
    list.AddMachine(Ip(h[1].address), h[1].MacDigits(), "Lab", "back\\slash", 0, 0, 1);
    list.AddMachine(Ip(h[6].address), h[6].MacDigits(), "Other", "iota", 0, 1, 1);
    list.AddMachine(Ip(h[2].address), h[2].MacDigits(), "lab", "gamma", 0, 0, 1);
    list.AddMachine(Ip(h[3].address), h[3].MacDigits(), "Lab", "delta", 0, 0, 1);
    list.AddMachine(Ip(h[4].address), h[4].MacDigits(), "Lab", "epsilon", 0, 0, 0);
    list.AddMachine(Ip(h[5].address), h[5].MacDigits(), "Lab", "zeta", 1, 1, 1);
    list.AddMachine(Ip(silent), "000000000000", "Lab", "eta", 0, 1, 1);
    list.AddMachine(Ip(h[7].address), h[7].MacDigits(), "Lab", "theta", 0, 0, 1);
    ASSERT_TRUE(list.SaveFile(dir.File("m.xml")));
    // The group "LAB" takes in "lab" too, under the name of the group's first machine; the excluded zeta and the
    // other group's iota are not exported.
    const std::vector<std::string> labels = {Labels("alpha \\\"one\\\"", h[0].address, "Lab"),
                                             Labels("back\\\\slash", h[1].address, "Lab"),
                                             Labels("gamma", h[2].address, "Lab"),
                                             Labels("delta", h[3].address, "Lab"),
                                             Labels("epsilon", h[4].address, "Lab"),
                                             Labels("eta", silent, "Lab"),
                                             Labels("theta", h[7].address, "Lab")};
    const auto upExcept = [&](const std::set<std::size_t>& down) {
        std::map<std::string, double> up;
        for (std::size_t i = 0; i < labels.size(); ++i)
            up[labels[i]] = down.count(i) != 0 ? 0.0 : 1.0;
        return up;
    };
    dir.Write("s.ini", "[Scan]\nRetries=1\nPause=0\n");
    // Passes two seconds apart take one second each (the silent machine's wait): the hosts are switched right
    // after a pass has written its file, a second before the next pass pings.
    CCliProcess monitor({"monitor", dir.File("m.xml"), "--group", "LAB", "--refresh", "2", "--settings",
                         dir.File("s.ini"), "--prom-file", dir.File("lanwick.prom")});
    ino_t last = 0;
    EXPECT_EQ(UpByLabels(NextProm(dir, last)), upExcept({5}));

    // Four machines that asked for it go offline (the one without flags and the other group's say nothing):
    // three names and "....", as the popup shows them.
    SetHosts({&h[0], &h[1], &h[2], &h[3], &h[4], &h[6]}, false);
    EXPECT_EQ(UpByLabels(NextProm(dir, last)), upExcept({0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(Notification(monitor.ReadLine(5000)), "       offline\\nalpha \"one\"\\nback\\\\slash\\ngamma\\n....\\n");

    // Back on, while another goes off: the online block comes first. Only alpha asked to hear of coming back.
    SetHosts({&h[0], &h[1], &h[2], &h[3], &h[4], &h[6]}, true);
    SetHosts({&h[7]}, false);
    EXPECT_EQ(UpByLabels(NextProm(dir, last)), upExcept({5, 6}));
    EXPECT_EQ(Notification(monitor.ReadLine(5000)), "        online\\nalpha \"one\"\\n       offline\\ntheta\\n");

    // theta has only the offline flag: its return is not announced.
    SetHosts({&h[7]}, true);
    EXPECT_EQ(UpByLabels(NextProm(dir, last)), upExcept({5}));
    NextProm(dir, last);
    EXPECT_FALSE(monitor.ReadLine(500)) << "no notification expected";

    monitor.Signal(SIGTERM);
    EXPECT_EQ(monitor.Wait(5000), 0);
    EXPECT_EQ(monitor.RestOfOutput(), "");
    EXPECT_EQ(monitor.Errors(), "");
}

TEST(CliMonitorLan, GroupPassesAndExclusionLimitTheRunAndTheExport) {
    LANWICK_REQUIRE_LAN();
    const auto& h = CLan::Get().Hosts();
    CTempDir dir;
    CMachineList list;
    list.AddMachine(Ip(h[0].address), h[0].MacDigits(), "Lab", "a", 0, 1, 1);
    list.AddMachine(Ip(h[1].address), h[1].MacDigits(), "Other", "b", 0, 1, 1);
    list.AddMachine(Ip(h[1].address), h[1].MacDigits(), "Other", "b", 0, 1, 1); // the same series twice
    list.AddMachine(Ip(h[2].address), h[2].MacDigits(), "Other", "c", 1, 0, 0);
    list.AddMachine(Ip(h[3].address), h[3].MacDigits(), "Excluded", "x", 1, 1, 1);
    ASSERT_TRUE(list.SaveFile(dir.File("m.xml")));
    const std::vector<std::pair<std::vector<std::string>, std::map<std::string, double>>> table = {
        {{"--group", "other", "--passes", "2"}, {{Labels("b", h[1].address, "Other"), 1}}},
        {{"--passes", "1"}, {{Labels("a", h[0].address, "Lab"), 1}, {Labels("b", h[1].address, "Other"), 1}}},
        // All excluded: no probes, only the headers and the pass time.
        {{"--group", "Excluded", "--passes", "1"}, {}},
    };
    for (const auto& [extra, expected] : table) {
        SCOPED_TRACE(extra[1]);
        std::vector<std::string> args = {"monitor",     dir.File("m.xml"),       "--refresh", "1", "--no-history",
                                         "--prom-file", dir.File("lanwick.prom")};
        args.insert(args.end(), extra.begin(), extra.end());
        const CliResult r = RunCli(args, 20000);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(UpByLabels(dir.Read("lanwick.prom")), expected);
    }
    // No temporary file is left beside the export.
    std::size_t nFiles = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        ++nFiles;
    EXPECT_EQ(nFiles, 2u);
}

// True once the process catches SIGINT (its SigCgt mask in /proc): the monitor's stop handler is in place.
bool CatchesSigint(pid_t pid) {
    const std::string status = ReadFile("/proc/" + std::to_string(pid) + "/status");
    const std::size_t at = status.find("SigCgt:");
    return at != std::string::npos && (std::stoull(status.substr(at + 7), nullptr, 16) >> (SIGINT - 1) & 1) != 0;
}

TEST(CliMonitorLan, StopSignalCutsAPassShortAndExitsZero) {
    LANWICK_REQUIRE_LAN();
    CTempDir dir;
    CMachineList list;
    list.AddMachine(Ip(CLan::Get().SilentAddress()), "000000000000", "Lab", "silent", 0, 1, 1);
    ASSERT_TRUE(list.SaveFile(dir.File("m.xml")));
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

// A metrics file that cannot be written is refused before the list fill pings anyone: a folder that does not
// exist, an immutable folder (root cannot write it either) and a link planted by another user in a shared folder:
// the file it points at keeps its text.
TEST(CliMonitorLan, UnwritableMetricsFileIsRefusedBeforeAnyPing) {
    LANWICK_REQUIRE_LAN();
    const std::string strHost = CLan::Get().Hosts()[0].address;
    CTempDir dir;
    CMachineList list;
    list.AddMachine(Ip(strHost), "00A0C9000001", "Lab", "x", 0);
    ASSERT_TRUE(list.SaveFile(dir.File("m.xml")));
    std::filesystem::create_directory(dir.File("ro"));
    ASSERT_EQ(Shell("chattr +i " + dir.File("ro")), 0);
    std::filesystem::create_directory(dir.File("shared"));
    std::filesystem::permissions(dir.File("shared"), std::filesystem::perms::all | std::filesystem::perms::sticky_bit);
    dir.Write("secret", "root only\n");
    std::filesystem::create_symlink(dir.File("secret"), dir.File("shared/lanwick.prom"));
    ASSERT_EQ(Shell("chown -h 65534:65534 " + dir.File("shared/lanwick.prom")), 0);
    for (const std::string strProm : {"none/x.prom", "ro/lanwick.prom", "shared/lanwick.prom"}) {
        Shell("ip neigh flush to " + strHost);
        const std::string strReason = strProm[0] == 's' ? ": it leads through a link of another user" : ": ";
        ExpectRefused({"monitor", dir.File("m.xml"), "--refresh", "1", "--passes", "1", "--prom-file",
                       dir.File(strProm), "--no-history"},
                      "cannot write " + dir.File(strProm) + strReason);
        EXPECT_NE(Shell("ip neigh show to " + strHost + " | grep -q ."), 0) << "a ping went out first";
    }
    Shell("chattr -i " + dir.File("ro"));
    EXPECT_EQ(dir.Read("secret"), "root only\n");
}

} // namespace
} // namespace lanwick::test
