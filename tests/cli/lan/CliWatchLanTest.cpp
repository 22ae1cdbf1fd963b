// lanwick-cli watch on the namespace LAN: a spare host brought up during the watch is announced exactly once with
// its MAC and vendor (and --exec sees its fields), and a host that takes another MAC is announced as such.
#include "cli/CliRun.h"
#include "cli/StrictParsers.h"
#include "lan/Lan.h"
#include "registry/MachineList.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <map>
#include <set>

namespace lanwick::test {
namespace {

// The vendor the program's own table gives a MAC, read through its "vendor" command.
std::string VendorOf(const std::string& strMac) {
    return SplitFields(SplitLines(RunCli({"vendor", strMac}).out).at(0), '\t').at(1);
}

// Reads event lines (time, event, address, MAC, vendor, name; each kept in `seen`) until one for strAddress
// arrives: its fields, or nothing when no line came for timeoutMs (or after far more lines than the LAN has hosts).
std::vector<std::string> WaitFor(CCliProcess& watch, const std::string& strAddress,
                                 std::vector<std::vector<std::string>>& seen, int timeoutMs) {
    for (std::optional<std::string> line; seen.size() < 100 && (line = watch.ReadLine(timeoutMs));) {
        seen.push_back(SplitFields(*line, '\t'));
        EXPECT_EQ(seen.back().size(), 6u) << *line;
        if (seen.back().size() == 6 && seen.back()[2] == strAddress)
            return seen.back();
    }
    return {};
}

// The event's variables the --exec command saw, from the env file it wrote for strAddress.
std::map<std::string, std::string> EnvOf(const CTempDir& dir, const std::string& strAddress) {
    const std::set<std::string> names = {"LANWICK_EVENT", "LANWICK_ADDRESS",      "LANWICK_MAC", "LANWICK_VENDOR",
                                         "LANWICK_NAME",  "LANWICK_PREVIOUS_MAC", "LANWICK_TIME"};
    std::map<std::string, std::string> env;
    for (const std::string& line : SplitLines(dir.Read("env-" + strAddress))) {
        if (names.count(line.substr(0, line.find('='))) != 0)
            env[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
    }
    return env;
}

bool SaveMachines(const std::string& strPath, const std::vector<LanHost>& hosts) {
    CMachineList list;
    for (const LanHost& h : hosts)
        list.AddMachine(Ip(h.address), h.MacDigits(), "Lab", "", 0, 0, 0);
    return list.SaveFile(strPath);
}

std::vector<std::string> WatchArgs(const CTempDir& dir, const std::string& strAfter = "") {
    return {"watch", "198.18.0.1", "198.18.0.40", "--every", "1", "--timeout", "300", "--names", "--history",
            dir.File("history.db"), "--file", dir.File("machines.xml"), "--prom-file", dir.File("devices.prom"),
            // The fields reach the command only through its environment; the address names its file.
            "--exec", "env > \"" + dir.Path() + "/env-$LANWICK_ADDRESS\"" + strAfter};
}

TEST(CliWatchLanTest, HostThatAppears_IsAnnouncedOnceWithItsFields) {
    LANWICK_REQUIRE_LAN();
    const auto& hosts = CLan::Get().Hosts();
    ASSERT_FALSE(CLan::Get().Spares().empty()) << "the test needs with_lan.sh --spare 1";
    const LanHost& spare = CLan::Get().Spares()[0];
    CTempDir dir;
    // One machine of the LAN is in the machine file: it is known, never announced.
    ASSERT_TRUE(SaveMachines(dir.File("machines.xml"), {hosts[0]}));
    // Every command hangs after its work: the watch must go on sweeping and stop when asked all the same (the
    // fixture ends what is left).
    CCliProcess watch(WatchArgs(dir, "; exec sleep 120"));
    std::vector<std::vector<std::string>> seen;
    // The first sweep over a fresh book announces every other host; the spare is down.
    ASSERT_FALSE(WaitFor(watch, hosts.back().address, seen, 20000).empty()) << watch.Errors();
    ASSERT_TRUE(SetHostUp(spare, true));
    const std::vector<std::string> event = WaitFor(watch, spare.address, seen, 20000);
    ASSERT_FALSE(event.empty()) << watch.Errors();
    const std::string strVendor = VendorOf(spare.mac);
    EXPECT_NE(strVendor, "Unknown Vendor") << "the fixture gives every host a known prefix";
    EXPECT_EQ(event, (std::vector<std::string>{event[0], "new", spare.address, spare.mac, strVendor, spare.name}));
    EXPECT_TRUE(WaitFor(watch, "none", seen, 3500).empty()) << "three more sweeps add nothing";
    const std::string strUnknown = "\nlanwick_devices_unknown " + std::to_string(hosts.size()) + "\n";
    EXPECT_NE(dir.Read("devices.prom").find(strUnknown), std::string::npos) << dir.Read("devices.prom");
    const PromParse prom = ParseProm(dir.Read("devices.prom"));
    EXPECT_EQ(prom.error, "");
    EXPECT_EQ(std::count_if(
                  prom.series.begin(), prom.series.end(),
                  [](const auto& s) { return s.first.rfind("lanwick_device_first_seen_timestamp_seconds{", 0) == 0; }),
              static_cast<std::ptrdiff_t>(hosts.size()));
    // The spare added to the machine file is known from the next sweep on: the file is read again.
    ASSERT_TRUE(SaveMachines(dir.File("machines.xml"), {hosts[0], spare}));
    const std::string strKnown = "\nlanwick_devices_unknown " + std::to_string(hosts.size() - 1) + "\n";
    EXPECT_TRUE(WaitUntil([&] { return dir.Read("devices.prom").find(strKnown) != std::string::npos; },
                          std::chrono::seconds(5)))
        << dir.Read("devices.prom");
    watch.Signal(SIGTERM);
    EXPECT_EQ(watch.Wait(10000), 0) << watch.Errors();
    SetHostUp(spare, false);

    std::map<std::string, int> announced;
    for (const auto& e : seen)
        ++announced[e.at(2)];
    std::map<std::string, int> expected = {{spare.address, 1}};
    for (std::size_t i = 1; i < hosts.size(); ++i)
        expected[hosts[i].address] = 1;
    EXPECT_EQ(announced, expected) << "each host but the listed one once, the monitor's own address never";
    EXPECT_EQ(EnvOf(dir, spare.address), (std::map<std::string, std::string>{{"LANWICK_EVENT", "new"},
                                                                             {"LANWICK_ADDRESS", spare.address},
                                                                             {"LANWICK_MAC", spare.mac},
                                                                             {"LANWICK_VENDOR", strVendor},
                                                                             {"LANWICK_NAME", spare.name},
                                                                             {"LANWICK_PREVIOUS_MAC", ""},
                                                                             {"LANWICK_TIME", event[0]}}));

    // Accepted, a host leaves the unknown list; a MAC the book never saw is refused.
    EXPECT_EQ(RunCli({"devices", "--accept", hosts[1].MacDigits(), "--history", dir.File("history.db")}).status, 0);
    const CliResult unknown = RunCli({"devices", "--unknown", "--history", dir.File("history.db")});
    EXPECT_EQ(unknown.status, 0) << unknown.err;
    EXPECT_EQ(SplitLines(unknown.out).size(), hosts.size() - 2);
    EXPECT_EQ(unknown.out.find(hosts[1].mac), std::string::npos);
    EXPECT_EQ(unknown.out.find(spare.mac), std::string::npos);
    const CliResult refused = RunCli({"devices", "--accept", "02:00:5E:00:00:99", "--history", dir.File("history.db")});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("no device with MAC"), std::string::npos) << refused.err;
}

TEST(CliWatchLanTest, HostThatTakesAnotherMac_IsAnnounced) {
    LANWICK_REQUIRE_LAN();
    const LanHost& host = CLan::Get().Hosts().at(1);
    const std::string strNewMac = "00:1B:21:12:00:99";
    CTempDir dir;
    ASSERT_TRUE(SaveMachines(dir.File("machines.xml"), {}));
    CCliProcess watch(WatchArgs(dir));
    std::vector<std::vector<std::string>> seen;
    ASSERT_FALSE(WaitFor(watch, CLan::Get().Hosts().back().address, seen, 20000).empty()) << watch.Errors();
    ASSERT_EQ(ShellIn(host.ns, "ip link set dev eth0 address " + strNewMac), 0);
    // A neighbour entry keeps the old MAC until it ages (up to about a minute); flushed here so the test is short.
    ASSERT_EQ(Shell("ip neigh flush to " + host.address), 0);
    const std::vector<std::string> event = WaitFor(watch, host.address, seen, 20000);
    ShellIn(host.ns, "ip link set dev eth0 address " + host.mac);
    Shell("ip neigh flush to " + host.address);
    ASSERT_FALSE(event.empty()) << watch.Errors();
    EXPECT_EQ(event[1], "mac-changed");
    EXPECT_EQ(event[3], strNewMac);
    EXPECT_EQ(event[4], VendorOf(strNewMac));
    watch.Signal(SIGINT);
    EXPECT_EQ(watch.Wait(10000), 0) << watch.Errors();
    EXPECT_EQ(EnvOf(dir, host.address)["LANWICK_PREVIOUS_MAC"], host.mac);
}

} // namespace
} // namespace lanwick::test
