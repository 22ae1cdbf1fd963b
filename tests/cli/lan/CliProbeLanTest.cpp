// lanwick-cli ping and scan against the namespace LAN: exact hosts, MACs, vendors and names, the exit statuses,
// --add saving the machine file, and refusals that send nothing even when the other arguments are good.
#include "cli/CliRun.h"
#include "lan/Lan.h"
#include "registry/MachineList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>

namespace lanwick::test {
namespace {

// True when the monitor's neighbour table holds an entry for the address: something was sent to it.
bool NeighbourKnown(const std::string& strAddress) {
    return Shell("ip neigh show to " + strAddress + " | grep -q .") == 0;
}

// Each call refused, and none of them sent anything to `quiet`.
void ExpectRefusedSilently(const Refusals& refused, const std::vector<std::string>& quiet) {
    for (const std::string& address : quiet)
        Shell("ip neigh flush to " + address);
    ExpectRefused(refused);
    for (const std::string& address : quiet)
        EXPECT_FALSE(NeighbourKnown(address)) << "a refused call sent something to " << address;
}

TEST(CliPingLan, AnswersInArgumentOrderWithStatusOneForSilence_AndRefusalsSendNothing) {
    LANWICK_REQUIRE_LAN();
    const auto& hosts = CLan::Get().Hosts();
    const std::string silent = CLan::Get().SilentAddress();
    std::vector<std::string> args = {"ping", "--retries", "2", "--pause", "10", "host10.lanwick.test"};
    for (auto it = hosts.rbegin(); it != hosts.rend(); ++it)
        args.push_back(it->address);
    CliResult r = RunCli(args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const auto lines = SplitLines(r.out);
    ASSERT_EQ(lines.size(), hosts.size() + 1);
    const std::regex answer(R"(([0-9.a-z]+)\t[0-9]{1,3}\.[0-9]{3})");
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::smatch m;
        EXPECT_TRUE(std::regex_match(lines[i], m, answer)) << lines[i];
        EXPECT_EQ(m[1], args[5 + i]);
    }
    r = RunCli({"ping", "--pause", "0", hosts[0].address, silent, CLan::Get().SilentAddress(1)});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.substr(r.out.find('\n') + 1), silent + "\tNo\n" + CLan::Get().SilentAddress(1) + "\tNo\n");

    const std::string good = hosts.at(5).address;
    ExpectRefusedSilently(
        {
            {{"ping", good, "198.18.0.300"}, "bad address \"198.18.0.300\""},
            {{"ping", good, "nohost.lanwick.test"}, "cannot resolve host name \"nohost.lanwick.test\""},
            {{"ping", "--retries", "0", good}, "--retries"},
            {{"ping", "--pause", "60001", good}, "--pause"},
            {{"ping", "--timeout", "9", good}, "--timeout"},
            {{"ping", "--timeout", "10001", good}, "--timeout"},
            // Addresses that reach more than one host, or none: the LAN's own broadcast address among them.
            {{"ping", good, "198.18.0.255"}, "198.18.0.255 is the broadcast address of a subnet on this machine"},
            {{"ping", good, "255.255.255.255"}, "is the broadcast address, not a single host"},
            {{"ping", good, "224.0.0.1"}, "is a multicast address"},
            {{"ping", good, "0.0.0.0"}, "0.0.0.0/8"},
            {{"ping", good, "240.1.2.3"}, "reserved"},
        },
        {good});
    // The check sees a ping that does go out.
    EXPECT_EQ(RunCli({"ping", good}).status, 0);
    EXPECT_TRUE(NeighbourKnown(good));
}

// The rows of a scan's output by address (each once), their order, and the status line.
std::map<std::string, std::vector<std::string>> ScanRows(const std::string& strOut, std::vector<std::string>& order,
                                                         std::string& strLast) {
    std::map<std::string, std::vector<std::string>> rows;
    auto lines = SplitLines(strOut);
    strLast = lines.empty() ? "" : lines.back();
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        const auto fields = SplitFields(lines[i], '\t');
        EXPECT_EQ(fields.size(), 4u) << lines[i];
        EXPECT_TRUE(rows.emplace(fields[0], fields).second) << "twice: " << lines[i];
        order.push_back(fields[0]);
    }
    return rows;
}

TEST(CliScanLan, FindsExactlyTheLanHostsWithMacVendorAndName_BySweepAndByWorkers) {
    LANWICK_REQUIRE_LAN();
    const auto& hosts = CLan::Get().Hosts();
    const std::map<std::string, std::string> vendors = {{"00000C", "Cisco Systems, Inc"},
                                                        {"00A0C9", "Intel Corporation"},
                                                        {"080020", "Oracle Corporation"},
                                                        {"001B21", "Intel Corporate"}};
    // Twenty more sweeps after the first of each mode: every one finds every host.
    for (const std::vector<std::string>& mode :
         {std::vector<std::string>{"--workers", "80"}, {"--timeout", "250"}, {"--timeout", "500"}, {}}) {
        for (int nRound = 0; nRound < (mode.size() == 2 && mode[1] == "500" ? 20 : 1); ++nRound) {
            SCOPED_TRACE((mode.empty() ? "sweep" : mode[0] + " " + mode[1]) + " #" + std::to_string(nRound));
            // Each run starts from a cold neighbour table: the sweep must fill it itself.
            Shell("ip neigh flush all");
            std::vector<std::string> args{"scan", "198.18.0.1", "198.18.0.254", "--names"};
            args.insert(args.end(), mode.begin(), mode.end());
            const CliResult r = RunCli(args);
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.err, "");
            std::string last;
            std::vector<std::string> order;
            const auto rows = ScanRows(r.out, order, last);
            if (mode.empty() || mode[0] != "--workers") {
                EXPECT_TRUE(std::is_sorted(order.begin(), order.end(), [](const std::string& a, const std::string& b) {
                    return std::stoi(a.substr(a.rfind('.') + 1)) < std::stoi(b.substr(b.rfind('.') + 1));
                })) << "a sweep lists in address order";
            }
            EXPECT_EQ(last, std::to_string(hosts.size() + 1) + " addresses found");
            ASSERT_EQ(rows.size(), hosts.size() + 1);
            for (const auto& host : hosts) {
                const std::string mac = host.MacDigits();
                EXPECT_EQ(rows.at(host.address),
                          (std::vector<std::string>{host.address, mac, vendors.at(mac.substr(0, 6)),
                                                    host.name.empty() ? "n/a" : host.name}));
            }
            // The monitor answers for its own address; it has no neighbour entry for itself.
            EXPECT_EQ(rows.at("198.18.0.1"),
                      (std::vector<std::string>{"198.18.0.1", "000000000000", "n/a", "monitor.lanwick.test"}));
        }
    }
    const auto& host = hosts.at(0);
    const CliResult one = RunCli({"scan", "198.18.0.9", host.address});
    EXPECT_EQ(one.out, host.address + "\t" + host.MacDigits() + "\tCisco Systems, Inc\t\n1 address found\n")
        << "without --names the names stay empty";
    const CliResult none = RunCli({"scan", CLan::Get().SilentAddress(2), CLan::Get().SilentAddress(0)});
    EXPECT_EQ(none.status, 0) << none.err;
    EXPECT_EQ(none.out, "0 addresses found\n");
}

TEST(CliScanLan, AddPutsTheFoundMachinesInTheGroupAndSavesTheFile) {
    LANWICK_REQUIRE_LAN();
    const auto& hosts = CLan::Get().Hosts();
    CTempDir dir;
    const std::string file = dir.File("m.xml");
    CMachineList list;
    list.AddMachine({10, 0, 0, 1}, "00A0C9000001", "Office", "keep", 0, 1, 0);
    ASSERT_TRUE(list.SaveFile(file));
    const CliResult r = RunCli({"scan", hosts[0].address, hosts[3].address, "--names", "--add", "Lab", "--file", file});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::size_t cut = r.out.rfind("4 machines added");
    EXPECT_EQ(r.out.substr(cut), "4 machines added to group Lab in " + file + "\n");
    std::string last;
    std::vector<std::string> order;
    const auto rows = ScanRows(r.out.substr(0, cut), order, last);
    EXPECT_EQ(last, "4 addresses found");

    // The new machines follow in the order their rows were printed, as the dialog adds its rows, without flags.
    std::string strListed = "Office\tkeep\t10.0.0.1\t00A0C9000001\tNo\tYes\tNo\n";
    for (const std::string& address : order)
        strListed += "Lab\t" + rows.at(address)[3] + "\t" + address + "\t" + rows.at(address)[1] + "\tNo\tNo\tNo\n";
    EXPECT_EQ(RunCli({"list", file}).out, strListed);

    // A machine file that does not exist yet is created; without --names the names are empty.
    const CliResult created =
        RunCli({"scan", hosts[0].address, hosts[1].address, "--add", "New", "--file", dir.File("new.xml")});
    ASSERT_EQ(created.status, 0) << created.err;
    const CliResult listed = RunCli({"list", dir.File("new.xml")});
    EXPECT_EQ(SplitLines(listed.out).size(), 2u);
    EXPECT_EQ(listed.out.rfind("New\t\t198.18.0.1", 0), 0u) << listed.out;

    // Two scans adding to one file at once, as two operators' scripts would: each reads the file again under the
    // writers' lock once its scan is done, so every round keeps both writers' machines.
    for (std::size_t nRound = 1; nRound <= 20; ++nRound) {
        SCOPED_TRACE("round " + std::to_string(nRound));
        CCliProcess a({"scan", hosts[0].address, hosts[3].address, "--add", "A", "--file", dir.File("two.xml")});
        CCliProcess b({"scan", hosts[0].address, hosts[3].address, "--add", "B", "--file", dir.File("two.xml")});
        ASSERT_EQ(a.Wait(60000), 0) << a.Errors();
        ASSERT_EQ(b.Wait(60000), 0) << b.Errors();
        ASSERT_EQ(SplitLines(RunCli({"list", dir.File("two.xml")}).out).size(), 8 * nRound);
    }
}

TEST(CliScanLan, RefusalsSendNothingAndLeaveTheMachineFileAsItWas) {
    LANWICK_REQUIRE_LAN();
    const std::string first = CLan::Get().Hosts()[6].address;
    const std::string last = CLan::Get().Hosts()[7].address;
    CTempDir dir;
    dir.Write("passwd", "root:x:0:0:root:/root:/bin/bash\n");
    std::filesystem::create_directory(dir.File("folder"));
    // A machine file that can be read and written in a folder that cannot take the new file (immutable, so that
    // root is held back too), and a link planted by another user in a shared folder.
    std::filesystem::create_directory(dir.File("ro"));
    CMachineList kept;
    kept.AddMachine({198, 18, 0, 250}, "00A0C9000001", "Old", "kept", 0);
    ASSERT_TRUE(kept.SaveFile(dir.File("ro/m.xml")));
    const std::string strKept = dir.Read("ro/m.xml");
    ASSERT_EQ(Shell("chattr +i " + dir.File("ro")), 0);
    std::filesystem::create_directory(dir.File("shared"));
    std::filesystem::permissions(dir.File("shared"), std::filesystem::perms::all | std::filesystem::perms::sticky_bit);
    dir.Write("secret.xml", strKept);
    std::filesystem::create_symlink(dir.File("secret.xml"), dir.File("shared/m.xml"));
    ASSERT_EQ(Shell("chown -h 65534:65534 " + dir.File("shared/m.xml")), 0);
    const std::string m = dir.File("m.xml");
    ExpectRefusedSilently(
        {
            {{"scan", first, last, "--workers", "9"}, "--workers must be a whole number from 10 to 80"},
            {{"scan", first, last, "--workers", "81"}, "--workers"},
            {{"scan", first, last, "--workers", "many"}, "--workers"},
            {{"scan", first, last, "--add", ""}, "no group entered"},
            {{"scan", first, last, "--file", m}, "--file is only used with --add"},
            {{"scan", first, last, "--add", "Lab", "--file", dir.File("passwd")}, "is not a machine file"},
            {{"scan", first, last, "--add", "Lab", "--file", dir.File("folder")}, "it is a folder"},
            {{"scan", first, last, "--add", "Lab", "--file", dir.File("none/m.xml")}, "cannot save machine file"},
            {{"scan", first, last, "--add", "-x", "--file", m}, "must not start with \"-\""},
            {{"scan", first, last, "--add", "--names", "--file", m}, "option --add needs a value"},
            {{"scan", first, last, "--add", "Lab", "--file", dir.File("ro/m.xml")},
             "its folder cannot take a new file"},
            {{"scan", first, last, "--add", "Lab", "--file", dir.File("shared/m.xml")}, "link of another user"},
            {{"scan", first, last, "--settings", dir.File("none.ini")}, "cannot read settings file"},
            {{"scan", first, last, "--timeout", "9"}, "--timeout"},
            {{"scan", first, last, "--workers", "10", "--timeout", "100"}, "--timeout is for the sweep"},
            {{"scan", "224.0.0.1", "224.0.0.254"}, "224.0.0.1 is a multicast address"},
            {{"scan", "240.0.0.1", "240.0.0.254"}, "reserved"},
        },
        {first, last});
    EXPECT_EQ(dir.Read("passwd"), "root:x:0:0:root:/root:/bin/bash\n");
    EXPECT_EQ(dir.Read("secret.xml"), strKept);
    EXPECT_EQ(dir.Read("ro/m.xml"), strKept);
    Shell("chattr -i " + dir.File("ro"));
    EXPECT_FALSE(std::filesystem::exists(dir.File("none")));
    EXPECT_EQ(RunCli({"scan", first, last, "--workers", "10"}).status, 0);
    EXPECT_TRUE(NeighbourKnown(first) && NeighbourKnown(last)) << "the check sees a scan that does go out";
}

} // namespace
} // namespace lanwick::test
