// lanwick-cli without the test LAN: help, the vendor table, every refusal that comes before anything is sent (one
// line on stderr, status 2, nothing on stdout), and, as root, the commands in a network namespace of their own.
#include "cli/CliRun.h"
#include "registry/MachineList.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <unistd.h>

namespace lanwick::test {
namespace {

// Machines that are all excluded: a command that wrongly went ahead would still ping nothing.
void WriteExcludedFile(const std::string& strPath) {
    CMachineList list;
    list.AddMachine({198, 18, 0, 10}, "00A0C9000001", "Lab", "one", 1, 1, 1);
    list.AddMachine({198, 18, 0, 11}, "00A0C9000002", "Lab", "two", 1, 0, 0);
    ASSERT_TRUE(list.SaveFile(strPath));
}

TEST(CliHelp, EveryCommandExplainsItselfOnStdout) {
    for (const std::string cmd : {"list", "ping", "scan", "monitor", "history", "wake", "vendor", "watch", "devices"}) {
        for (const auto& args : std::vector<std::vector<std::string>>{
                 {cmd, "--help"}, {cmd, "-h"}, {"help", cmd}, {"--help", cmd}, {cmd, "x", "--help"}}) {
            SCOPED_TRACE(args[0] + " " + args[1]);
            const CliResult r = RunCli(args);
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.err, "");
            EXPECT_EQ(r.out.rfind("Usage: lanwick-cli " + cmd + " ", 0), 0u) << r.out;
        }
    }
    const CliResult general = RunCli({"--help"});
    EXPECT_EQ(general.status, 0);
    EXPECT_NE(general.out.find("monitor [FILE]"), std::string::npos);
    const CliResult none = RunCli({});
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err.rfind("Usage: lanwick-cli", 0), 0u);
}

TEST(CliVendor, NamesTheVendorsOfTheBuiltInTableInEveryMacForm) {
    const CliResult r = RunCli(
        {"vendor", "00:00:0C:12:00:0A", "00-a0-c9-12-00-0b", "080020120012", "00:1b:21:12:00:0d", "FCFFFF000000"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "00:00:0C:12:00:0A\tCisco Systems, Inc\n"
                     "00:A0:C9:12:00:0B\tIntel Corporation\n"
                     "08:00:20:12:00:12\tOracle Corporation\n"
                     "00:1B:21:12:00:0D\tIntel Corporate\n"
                     "FC:FF:FF:00:00:00\tUnknown Vendor\n");
}

TEST(CliRefusal, CommandsOptionsArgumentsAndFilesAreCheckedBeforeAnythingIsSent) {
    CTempDir dir;
    WriteExcludedFile(dir.File("m.xml"));
    const std::string m = dir.File("m.xml");
    const std::string db = dir.File("history.db");
    dir.Write("passwd", "root:x:0:0:root:/root:/bin/bash\n");
    std::filesystem::create_directory(dir.File("folder"));
    dir.Write("big.ini", "[Scan]\nPause=250\n");
    std::filesystem::resize_file(dir.File("big.ini"), (1u << 20) + 1);
    WriteExcludedFile(dir.File("big.xml"));
    std::filesystem::resize_file(dir.File("big.xml"), (256u << 20) + 1);
    const std::vector<std::string> watch = {"watch", "198.18.0.1", "198.18.0.254", "--history", db};
    const auto with = [](std::vector<std::string> args, const std::vector<std::string>& extra) {
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    };
    ExpectRefused({
        {{"frobnicate"}, "unknown command \"frobnicate\""},
        {{"list", m, "--bogus"}, "unknown option --bogus"},
        {{"list", "--format", "csv", "--format", "tsv", m}, "given twice"},
        {{"list", m, "--format"}, "needs a value"},
        {{"list", "--format", "xml", m}, "unknown format \"xml\""},
        {{"list", m, m}, "unexpected argument"},
        {{"vendor", "--help=yes"}, "takes no value"},
        {{"wake", "a", "b", "c"}, "unexpected argument \"c\""},
        {{"list", m, "--format", "--csv"}, "option --format needs a value"},
        {{"list", m, "--format=--csv"}, "option --format needs a value"},
        {{"monitor", m, "--refresh", "--passes", "1"}, "option --refresh needs a value"},
        // A "-" alone is still a value where the option reads one.
        {{"list", m, "--format", "-"}, "unknown format \"-\""},
        // Missing, foreign, unreadable and oversized files.
        {{"list", dir.File("none.xml")}, "No such file"},
        {{"list", dir.File("folder")}, "it is a folder"},
        {{"list", dir.File("passwd")}, "is not a machine file"},
        {{"list", "/dev/null"}, "not a regular file"},
        {{"list", dir.File("big.xml")}, "larger than 256 MB"},
        {{"monitor", dir.File("big.xml"), "--refresh", "1"}, "larger than 256 MB"},
        {{"monitor", dir.File("passwd"), "--refresh", "1"}, "is not a machine file"},
        {{"monitor", dir.File("none.xml"), "--refresh", "1"}, "No such file"},
        {{"wake", "host", "--file", dir.File("folder")}, "it is a folder"},
        // A named settings file is checked by every command, used or not.
        {{"list", "--settings", dir.File("folder")}, "cannot read settings file"},
        {{"list", m, "--settings", dir.File("none.ini")}, "cannot read settings file"},
        {{"list", m, "--settings", ""}, "settings"},
        {{"list", m, "--settings=" + dir.File("none.ini")}, "settings"},
        {{"vendor", "00A0C9000001", "--settings", ""}, "settings"},
        {{"--settings", dir.File("none.ini"), "vendor", "00A0C9000001"}, "cannot read settings file"},
        {{"list", m, "--settings", dir.File("big.ini")}, "too large for a settings file"},
        // MACs and addresses.
        {{"vendor"}, "missing MAC"},
        {{"ping", ""}, "bad address"},
        {{"ping"}, "missing HOST"},
        {{"ping", "--retries", "0", "10.0.0.300"}, "--retries must be a whole number from 1 to 255"},
        {{"ping", "--retries", "256", "10.0.0.300"}, "--retries"},
        {{"ping", "--pause", "-1", "10.0.0.300"}, "--pause must be a whole number from 0 to 60000"},
        {{"ping", "--pause", "1e3", "10.0.0.300"}, "--pause"},
        {{"scan", "198.18.0.300", "198.18.0.254"}, "bad address \"198.18.0.300\""},
        {{"scan", "198.18.0.10"}, "missing START and END"},
        // Scan ranges the dialog refuses.
        {{"scan", "198.18.0.10", "198.18.0.10"}, "END must lie above START"},
        {{"scan", "198.18.1.1", "198.18.0.254"}, "END must lie above START"},
        {{"scan", "198.18.0.20", "198.18.0.10"}, "END must lie above START"},
        {{"scan", "198.18.0.1", "199.18.0.254"}, "same first number"},
        {{"scan", "198.19.0.1", "198.18.0.254"}, "second number must not go down"},
        // Monitor, watch and devices options.
        {{"monitor", m, "--history", "x.db", "--no-history"}, "--history and --no-history exclude each other"},
        {{"monitor", m, "--refresh", "0"}, "--refresh must be a whole number from 1 to 86400"},
        {{"monitor", m, "--refresh", "86401"}, "--refresh"},
        {{"monitor", m, "--refresh", "1", "--passes", "0"}, "--passes"},
        {{"monitor", m, "--refresh", "1", "--prom-file", ""}, "--prom-file needs a file name"},
        {{"monitor", m, "--refresh", "1", "--group", "Nosuch"}, "no machine of group \"Nosuch\""},
        {with(watch, {"--every", "0"}), "--every must be a whole number from 1 to 86400"},
        {with(watch, {"--every", "86401"}), "--every"},
        {with(watch, {"--sweeps", "0"}), "--sweeps"},
        {with(watch, {"--exec", ""}), "--exec needs a command"},
        {with(watch, {"--timeout", "5"}), "--timeout"},
        {with(watch, {"--file", dir.File("none.xml")}), "No such file"},
        {{"watch", "198.18.0.10", "198.18.0.5", "--history", db}, "refused"},
        {{"watch", "224.0.0.1", "224.0.0.20", "--history", db}, "not a single host"},
        {{"watch", "198.18.0.1", "198.18.0.20", "--history", ""}, "--history needs a file name"},
        {{"devices", "--history", dir.File("none.db")}, "no such database"},
        {{"devices", "--history", db, "--format", "xml"}, "unknown format"},
        {{"devices", "--history", db, "--accept", "00:11:22"}, "is not a MAC address"},
        {{"devices", "--history", db, "--accept", "001122334455", "--unknown"}, "--accept lists nothing"},
    });
    for (const char* bad : {"00A0C912345", "00A0C91234567", "00:A0:C9:12:34", "00:A0-C9:12:34:56", "00A0C912345G",
                            "00.A0.C9.12.34.56", ""})
        ExpectRefused({"vendor", "00A0C9123456", bad}, "bad MAC");
    for (const char* bad : {"10.0.0.300", "198.18.0", "10.1", "0x0a.0.0.1", "1.2.3.4.5", "1..2.3", "1.2.3.4 "})
        ExpectRefused({"ping", bad}, "bad address");
    // Refused before the resolver is asked.
    for (const char* bad : {"-", ".example", "a b", "host/x", "h\xC3\xA9te"})
        ExpectRefused({"ping", bad}, "bad host name");
    // Refused before anything was created.
    EXPECT_FALSE(std::filesystem::exists(db));
    EXPECT_FALSE(std::filesystem::exists(dir.File("none.db")));
    EXPECT_EQ(RunCli({"list", m, "--settings", m}).status, 0) << "any readable file will do as settings";
}

TEST(CliRefusal, RunawayArgumentsAreShortenedInTheMessage) {
    CTempDir dir;
    WriteExcludedFile(dir.File("m.xml"));
    const std::string m = dir.File("m.xml");
    const std::string strHuge(100 * 1024, 'x');
    const std::vector<std::vector<std::string>> table = {{"list", m, "--format", strHuge},
                                                         {"list", m, "--" + strHuge},
                                                         {"list", m, strHuge},
                                                         {strHuge},
                                                         {"list", dir.File(strHuge)},
                                                         {"vendor", strHuge},
                                                         {"monitor", m, "--refresh", "1", "--group", strHuge}};
    for (const auto& args : table)
        ExpectRefused(args, "xxx...");
    EXPECT_LT(RunCli({"vendor", strHuge}).err.size(), 400u);
    // Cut where a character starts: nothing of a broken character is kept, even when no character starts at all.
    ExpectRefused({"vendor", std::string(300, '\x80')}, "\"...\"");
}

// The commands that send run as root in a network namespace of their own with one pair of linked interfaces, so
// that nothing leaves it: the namespace, its links and the program go away together.
CliResult RunIsolated(const std::vector<std::string>& args) {
    std::vector<std::string> all = {"--net", "/bin/sh", "-c",
                                    "ip link add lw0 type veth peer name lw1 && ip addr add 198.18.0.1/24 dev lw0 && "
                                    "ip link set lw1 up && ip link set lw0 up && exec \"$0\" \"$@\"",
                                    LANWICK_CLI};
    all.insert(all.end(), args.begin(), args.end());
    return RunCli(all, 60000, "/usr/bin/unshare");
}

TEST(CliIsolated, WakeNamesAndWatchOnALinkOfTheirOwn) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "a network namespace of its own needs root";
    const CliResult wake = RunIsolated({"wake", "198.18.0.10", "00a0c9000001"});
    EXPECT_EQ(wake.status, 0) << wake.err;
    EXPECT_EQ(wake.out, "magic packet for 00:A0:C9:00:00:01 sent to 198.18.0.255 port 7\n");
    // Letters and digits to their last ones, '-' and '_' make a name: it is looked up (and found nowhere), not
    // refused as malformed.
    const CliResult name = RunIsolated({"ping", "zz-9_Z.invalid"});
    EXPECT_EQ(name.status, 2);
    EXPECT_NE(name.err.find("cannot resolve host name \"zz-9_Z.invalid\""), std::string::npos) << name.err;
    CTempDir dir;
    const CliResult watch = RunIsolated({"watch", "198.18.0.2", "198.18.0.3", "--names", "--sweeps", "1", "--history",
                                         dir.File("h.db"), "--prom-file", dir.File("d.prom")});
    EXPECT_EQ(watch.status, 0) << watch.err;
    EXPECT_NE(dir.Read("d.prom").find("\nlanwick_devices_unknown 0\n"), std::string::npos) << dir.Read("d.prom");
}

// --add saves only what it read: a file the reader could not take in whole is left as it is, and so is a file that
// merely holds the count tag.
TEST(CliIsolated, AddRefusesAFileItCouldNotReadWhole) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "a network namespace of its own needs root";
    const std::string strMachine = "   <MAC Address=\"00A0C9000001\">\r\n    <IPAddress>198.18.0.10</IPAddress>\r\n"
                                   "    <Name>one</Name>\r\n    <Notify>No</Notify>\r\n    <NotifyOffline>No"
                                   "</NotifyOffline>\r\n    <Excluded>No</Excluded>\r\n   </MAC>\r\n";
    const std::string strNoNotify = "   <MAC Address=\"00A0C9000002\">\r\n    <IPAddress>198.18.0.11</IPAddress>\r\n"
                                    "    <Name>two</Name>\r\n    <NotifyOffline>No</NotifyOffline>\r\n"
                                    "    <Excluded>No</Excluded>\r\n   </MAC>\r\n";
    const auto file = [](const std::string& strCount, const std::string& strMachines) {
        return "<?xml version=\"1.0\"?>\r\n <Machines>\r\n  <Count mach=\"" + strCount +
               "\">\r\n  </Count>\r\n  <Group name=\"Lab\">\r\n" + strMachines + "  </Group>\r\n </Machines>\r\n";
    };
    const std::pair<std::string, std::string> cases[] = {
        {file("1", strMachine + strMachine + strMachine), "would lose 2 machines beyond its count;"},
        {file("2", strMachine + strNoNotify), "would lose 1 machine too damaged to read;"},
        {"junk <Count mach=\"1\"> junk", "is not a machine file"},
    };
    for (const auto& [strText, strReason] : cases) {
        CTempDir dir;
        dir.Write("m.xml", strText);
        const CliResult r =
            RunIsolated({"scan", "198.18.0.2", "198.18.0.3", "--add", "New", "--file", dir.File("m.xml")});
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(strReason), std::string::npos) << r.err;
        EXPECT_EQ(dir.Read("m.xml"), strText);
    }
}

} // namespace
} // namespace lanwick::test
