// lanwick-cli watch on the namespace LAN: a spare host brought up during the watch is announced exactly once with
// its MAC and vendor (and --exec sees its fields), and a host that takes another MAC is announced as such.
#include "cli/CliRun.h"
#include "cli/StrictParsers.h"
#include "lan/Lan.h"
#include "registry/MachineList.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <map>

namespace lanwick::test {
namespace {

// The vendor the program's own table gives a MAC, read through its "vendor" command.
std::string VendorOf(const std::string& strMac) {
    const CliResult r = RunCli({"vendor", strMac});
    const std::vector<std::string> fields = SplitFields(SplitLines(r.out).at(0), '\t');
    return fields.at(1);
}

struct Event {
    std::string strEvent, strAddress, strMac, strVendor, strName;
};

// Reads event lines until one for strAddress arrives (every line read is kept in `seen`), at most timeoutMs.
std::optional<Event> WaitFor(CCliProcess& watch, const std::string& strAddress, std::vector<Event>& seen,
                             int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 250) {
        const std::optional<std::string> line = watch.ReadLine(250);
        if (!line)
            continue;
        const std::vector<std::string> f = SplitFields(*line, '\t');
        EXPECT_EQ(f.size(), 6u) << *line;
        if (f.size() != 6)
            continue;
        seen.push_back({f[1], f[2], f[3], f[4], f[5]});
        if (f[2] == strAddress)
            return seen.back();
    }
    return std::nullopt;
}

std::map<std::string, std::string> EnvFile(const std::string& strText) {
    std::map<std::string, std::string> env;
    for (const std::string& line : SplitLines(strText)) {
        const std::size_t eq = line.find('=');
        if (line.rfind("LANWICK_", 0) == 0 && eq != std::string::npos)
            env[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return env;
}

bool SaveMachines(const std::string& strPath, const std::vector<LanHost>& hosts) {
    CMachineList list;
    for (const LanHost& h : hosts) {
        IpAddress ip{};
        std::sscanf(h.address.c_str(), "%hhu.%hhu.%hhu.%hhu", &ip[0], &ip[1], &ip[2], &ip[3]);
        list.AddMachine(ip, h.MacDigits(), "Lab", "", 0, 0, 0);
    }
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
    const CLan& lan = CLan::Get();
    ASSERT_FALSE(lan.Spares().empty()) << "the test needs with_lan.sh --spare 1";
    const LanHost& spare = lan.Spares()[0];
    const LanHost& listed = lan.Hosts()[0];
    CTempDir dir;
    // One machine of the LAN is in the machine file: it is known, never announced.
    ASSERT_TRUE(SaveMachines(dir.File("machines.xml"), {listed}));
    // Every command hangs after its work: the watch must go on sweeping and stop when asked all the same (the
    // fixture ends what is left).
    CCliProcess watch(WatchArgs(dir, "; exec sleep 120"));
    std::vector<Event> seen;
    // The first sweep over a fresh book announces every other host; the spare is down.
    ASSERT_TRUE(WaitFor(watch, lan.Hosts().back().address, seen, 20000)) << watch.Errors();
    ASSERT_TRUE(SetHostUp(spare, true));
    const std::optional<Event> event = WaitFor(watch, spare.address, seen, 20000);
    ASSERT_TRUE(event) << watch.Errors();
    EXPECT_EQ(event->strEvent, "new");
    EXPECT_EQ(event->strMac, spare.mac);
    EXPECT_EQ(event->strVendor, VendorOf(spare.mac));
    EXPECT_NE(event->strVendor, "Unknown vendor") << "the fixture gives every host a known prefix";
    EXPECT_EQ(event->strName, spare.name);
    // Three more sweeps add nothing.
    EXPECT_FALSE(WaitFor(watch, "none", seen, 3500));
    const std::string strUnknown = "lanwick_devices_unknown " + std::to_string(lan.Hosts().size());
    EXPECT_NE(dir.Read("devices.prom").find(strUnknown + "\n"), std::string::npos) << dir.Read("devices.prom");
    // The spare added to the machine file is known from the next sweep on: the file is read again.
    ASSERT_TRUE(SaveMachines(dir.File("machines.xml"), {listed, spare}));
    const std::string strKnown = "lanwick_devices_unknown " + std::to_string(lan.Hosts().size() - 1) + "\n";
    EXPECT_TRUE(WaitUntil([&] { return dir.Read("devices.prom").find(strKnown) != std::string::npos; },
                          std::chrono::seconds(5)))
        << dir.Read("devices.prom");
    watch.Signal(SIGTERM);
    EXPECT_EQ(watch.Wait(10000), 0) << watch.Errors();
    SetHostUp(spare, false);

    std::map<std::string, int> announced;
    for (const Event& e : seen)
        ++announced[e.strAddress];
    EXPECT_EQ(announced.count(listed.address), 0u);
    for (std::size_t i = 1; i < lan.Hosts().size(); ++i)
        EXPECT_EQ(announced[lan.Hosts()[i].address], 1) << lan.Hosts()[i].address;
    EXPECT_EQ(announced[spare.address], 1);

    const std::map<std::string, std::string> env = EnvFile(dir.Read("env-" + spare.address));
    const std::map<std::string, std::string> expected = {
        {"LANWICK_EVENT", "new"},     {"LANWICK_ADDRESS", spare.address},
        {"LANWICK_MAC", spare.mac},   {"LANWICK_VENDOR", event->strVendor},
        {"LANWICK_NAME", spare.name}, {"LANWICK_PREVIOUS_MAC", ""}};
    for (const auto& [name, value] : expected)
        EXPECT_EQ(env.count(name) ? env.at(name) : "(unset)", value) << name;
    EXPECT_EQ(env.count("LANWICK_TIME"), 1u);

    const PromParse prom = ParseProm(dir.Read("devices.prom"));
    ASSERT_EQ(prom.error, "");
    const auto& firstSeen = prom.families.at("lanwick_device_first_seen_timestamp_seconds").samples;
    EXPECT_EQ(firstSeen.size(), lan.Hosts().size() - 1);

    // Accepted, a host leaves the unknown list; a MAC the book never saw is refused.
    const LanHost& accepted = lan.Hosts()[1];
    EXPECT_EQ(RunCli({"devices", "--accept", accepted.MacDigits(), "--history", dir.File("history.db")}).status, 0);
    const CliResult unknown = RunCli({"devices", "--unknown", "--history", dir.File("history.db")});
    EXPECT_EQ(unknown.status, 0) << unknown.err;
    EXPECT_EQ(SplitLines(unknown.out).size(), lan.Hosts().size() - 2);
    EXPECT_EQ(unknown.out.find(accepted.mac), std::string::npos);
    EXPECT_EQ(unknown.out.find(spare.mac), std::string::npos);
    const CliResult refused = RunCli({"devices", "--accept", "02:00:5E:00:00:99", "--history", dir.File("history.db")});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("no device with MAC"), std::string::npos) << refused.err;
}

TEST(CliWatchLanTest, HostThatTakesAnotherMac_IsAnnounced) {
    LANWICK_REQUIRE_LAN();
    const CLan& lan = CLan::Get();
    const LanHost& host = lan.Hosts().at(1);
    const std::string strNewMac = "00:1B:21:12:00:99";
    CTempDir dir;
    ASSERT_TRUE(SaveMachines(dir.File("machines.xml"), {}));
    CCliProcess watch(WatchArgs(dir));
    std::vector<Event> seen;
    ASSERT_TRUE(WaitFor(watch, lan.Hosts().back().address, seen, 20000)) << watch.Errors();
    ASSERT_EQ(ShellIn(host.ns, "ip link set dev eth0 address " + strNewMac), 0);
    // A neighbour entry keeps the old MAC until it ages (up to about a minute); flushed here so the test is short.
    ASSERT_EQ(Shell("ip neigh flush to " + host.address), 0);
    const std::optional<Event> event = WaitFor(watch, host.address, seen, 20000);
    ShellIn(host.ns, "ip link set dev eth0 address " + host.mac);
    Shell("ip neigh flush to " + host.address);
    ASSERT_TRUE(event) << watch.Errors();
    EXPECT_EQ(event->strEvent, "mac-changed");
    EXPECT_EQ(event->strMac, strNewMac);
    EXPECT_EQ(event->strVendor, VendorOf(strNewMac));
    watch.Signal(SIGINT);
    EXPECT_EQ(watch.Wait(10000), 0) << watch.Errors();
    const std::map<std::string, std::string> env = EnvFile(dir.Read("env-" + host.address));
    EXPECT_EQ(env.count("LANWICK_PREVIOUS_MAC") ? env.at("LANWICK_PREVIOUS_MAC") : "", host.mac);
}

} // namespace
} // namespace lanwick::test
