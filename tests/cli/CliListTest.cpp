// lanwick-cli list: every format against a known machine file with awkward texts, and where the default machine
// file and the settings file are found.
#include "cli/CliRun.h"
#include "cli/StrictParsers.h"
#include "history/DeviceBook.h"
#include "registry/MachineList.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace lanwick::test {
namespace {

struct Expected {
    std::string group, name, address, mac;
    bool excluded, notify, notifyOffline;
};

// The machines in the order the file holds them: grouped by first occurrence, as the writer stores them.
const std::vector<Expected> kExpected = {
    {"Office", "plain", "192.168.1.10", "00A0C9123456", false, true, false},
    {"Office", "tab\there", "172.16.4.200", "08002012ABCD", false, false, false},
    {"Lab, east", "say \"hi\", ok", "10.0.0.5", "000000000000", true, false, true},
    {"Lab, east", "line\nbreak\\back", "10.0.0.6", "001B21000001", false, true, true},
    {"Caf\xE9", "Zo\xC3\xAB", "10.0.0.7", "00000C000002", false, false, false},
};

void WriteKnownFile(const std::string& strPath) {
    CMachineList list;
    const auto add = [&](const Expected& m, IpAddress ip) {
        list.AddMachine(ip, m.mac, m.group, m.name, m.excluded, m.notify, m.notifyOffline);
    };
    // Added interleaved so that the file's grouping, not the adding order, decides the listing.
    add(kExpected[0], {192, 168, 1, 10});
    add(kExpected[2], {10, 0, 0, 5});
    add(kExpected[1], {172, 16, 4, 200});
    add(kExpected[3], {10, 0, 0, 6});
    add(kExpected[4], {10, 0, 0, 7});
    ASSERT_TRUE(list.SaveFile(strPath));
}

std::string YesNo(bool b) {
    return b ? "Yes" : "No";
}

TEST(CliList, TsvGivesOneEscapedLinePerMachineInFileOrder) {
    CTempDir dir;
    WriteKnownFile(dir.File("m.xml"));
    const CliResult r = RunCli({"list", dir.File("m.xml")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "Office\tplain\t192.168.1.10\t00A0C9123456\tNo\tYes\tNo\n"
                     "Office\ttab\\there\t172.16.4.200\t08002012ABCD\tNo\tNo\tNo\n"
                     "Lab, east\tsay \"hi\", ok\t10.0.0.5\t000000000000\tYes\tNo\tYes\n"
                     "Lab, east\tline\\nbreak\\\\back\t10.0.0.6\t001B21000001\tNo\tYes\tYes\n"
                     "Caf\xE9\tZo\xC3\xAB\t10.0.0.7\t00000C000002\tNo\tNo\tNo\n");
    EXPECT_EQ(RunCli({"list", "--format=tsv", dir.File("m.xml")}).out, r.out);
}

TEST(CliList, CsvIsStrictRfc4180WithAHeaderAndTheExactTexts) {
    CTempDir dir;
    WriteKnownFile(dir.File("m.xml"));
    const CliResult r = RunCli({"list", dir.File("m.xml"), "--format", "csv"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto records = ParseCsv(r.out);
    ASSERT_TRUE(records) << r.out;
    ASSERT_EQ(records->size(), kExpected.size() + 1);
    EXPECT_EQ(records->front(),
              (std::vector<std::string>{"group", "name", "address", "mac", "excluded", "notify", "notify_offline"}));
    for (std::size_t i = 0; i < kExpected.size(); ++i) {
        const Expected& m = kExpected[i];
        EXPECT_EQ((*records)[i + 1], (std::vector<std::string>{m.group, m.name, m.address, m.mac, YesNo(m.excluded),
                                                               YesNo(m.notify), YesNo(m.notifyOffline)}));
    }
}

TEST(CliList, JsonIsStrictJsonWithEveryFieldAndStrayBytesReadAsLatin1) {
    CTempDir dir;
    WriteKnownFile(dir.File("m.xml"));
    const CliResult r = RunCli({"list", "--format", "json", dir.File("m.xml")});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto objects = ParseJsonObjects(r.out);
    ASSERT_TRUE(objects) << r.out;
    ASSERT_EQ(objects->size(), kExpected.size());
    for (std::size_t i = 0; i < kExpected.size(); ++i) {
        const Expected& m = kExpected[i];
        // The lone byte E9 of the file is Latin-1 "e acute", written as UTF-8; valid UTF-8 stays as it is.
        const std::string group = m.group == "Caf\xE9" ? "Caf\xC3\xA9" : m.group;
        const JsonObject want = {{"group", group},
                                 {"name", m.name},
                                 {"address", m.address},
                                 {"mac", m.mac},
                                 {"excluded", m.excluded},
                                 {"notify", m.notify},
                                 {"notify_offline", m.notifyOffline}};
        EXPECT_EQ((*objects)[i], want) << "machine " << i;
    }
}

TEST(CliList, EmptyMachineFileListsNothingInEveryFormat) {
    CTempDir dir;
    CMachineList empty;
    ASSERT_TRUE(empty.SaveFile(dir.File("empty.xml")));
    dir.Write("zero.xml", "");
    for (const char* file : {"empty.xml", "zero.xml"}) {
        EXPECT_EQ(RunCli({"list", dir.File(file)}).out, "");
        EXPECT_EQ(RunCli({"list", dir.File(file), "--format", "csv"}).out,
                  "group,name,address,mac,excluded,notify,notify_offline\r\n");
        const CliResult json = RunCli({"list", dir.File(file), "--format", "json"});
        EXPECT_EQ(json.status, 0);
        EXPECT_EQ(json.out, "[]\n");
    }
}

// A copy of the program in a folder of its own, so that "beside the program" is a folder the test controls.
std::string CopyProgram(const CTempDir& dir) {
    const std::string strCopy = dir.File("lanwick-cli");
    std::filesystem::copy_file(LANWICK_CLI, strCopy);
    std::filesystem::permissions(strCopy, std::filesystem::perms::owner_all);
    return strCopy;
}

TEST(CliList, DefaultMachineFileIsFoundThroughTheSettingsBesideTheProgram) {
    CTempDir dir;
    const std::string program = CopyProgram(dir);
    // No settings file: machines.xml beside the program.
    WriteKnownFile(dir.File("machines.xml"));
    const CliResult beside = RunCli({"list"}, 60000, program);
    ASSERT_EQ(beside.status, 0) << beside.err;
    EXPECT_EQ(beside.out.substr(0, 7), "Office\t");

    // Lanwick.ini beside the program names another file.
    CMachineList other;
    other.AddMachine({10, 1, 2, 3}, "00A0C9000001", "Other", "elsewhere", 0);
    ASSERT_TRUE(other.SaveFile(dir.File("other.xml")));
    dir.Write("Lanwick.ini", "[General]\r\nDefFile=" + dir.File("other.xml") + "\r\n");
    const CliResult named = RunCli({"list"}, 60000, program);
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(named.out, "Other\telsewhere\t10.1.2.3\t00A0C9000001\tNo\tNo\tNo\n");
}

TEST(CliList, SettingsOptionNamesTheSettingsFileBeforeOrAfterTheCommand) {
    CTempDir dir;
    std::filesystem::create_directory(dir.File("conf"));
    WriteKnownFile(dir.File("conf/machines.xml"));
    CMachineList other;
    other.AddMachine({10, 1, 2, 3}, "00A0C9000001", "Other", "elsewhere", 0);
    ASSERT_TRUE(other.SaveFile(dir.File("other.xml")));

    // An empty DefFile means machines.xml beside the settings file.
    dir.Write("conf/a.ini", "[General]\nDefFile=\n");
    const CliResult beside = RunCli({"list", "--settings", dir.File("conf/a.ini")});
    ASSERT_EQ(beside.status, 0) << beside.err;
    EXPECT_EQ(beside.out.substr(0, 7), "Office\t");

    dir.Write("b.ini", "[General]\nDefFile=" + dir.File("other.xml") + "\n");
    const CliResult before = RunCli({"--settings", dir.File("b.ini"), "list", "--format", "csv"});
    ASSERT_EQ(before.status, 0) << before.err;
    EXPECT_EQ(before.out, "group,name,address,mac,excluded,notify,notify_offline\r\n"
                          "Other,elsewhere,10.1.2.3,00A0C9000001,No,No,No\r\n");
    EXPECT_EQ(RunCli({"list", "--settings=" + dir.File("b.ini")}).out,
              "Other\telsewhere\t10.1.2.3\t00A0C9000001\tNo\tNo\tNo\n");
    // A file named on the command line wins over the settings.
    EXPECT_EQ(RunCli({"list", "--settings", dir.File("b.ini"), dir.File("conf/machines.xml")}).out.substr(0, 7),
              "Office\t");
}

TEST(CliDevices, EveryFormatGivesTheBookInAddressOrderWithExactTexts) {
    CTempDir dir;
    const std::string db = dir.File("history.db");
    {
        history::CDeviceBook book;
        ASSERT_TRUE(book.Open(db));
        ASSERT_TRUE(book.Record({{"198.18.0.100", "00A0C9120064", "Intel, \"Corp\"", ""},
                                 {"198.18.0.9", "", "", ""},
                                 {"198.18.0.20", "00000c120014", "tab\there\xe9", ""}},
                                {{"198.18.0.20", ""}}, 1'700'000'000));
        ASSERT_EQ(book.Accept("00:A0:C9:12:00:64"), history::AcceptResult::Accepted);
    }
    const CliResult tsv = RunCli({"devices", "--history", db});
    ASSERT_EQ(tsv.status, 0) << tsv.err;
    const std::vector<std::string> lines = SplitLines(tsv.out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].rfind("\t198.18.0.9\t\t\t", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("00:00:0C:12:00:14\t198.18.0.20\ttab\\there\xe9\t\t", 0), 0u) << lines[1];
    EXPECT_EQ(lines[1].substr(lines[1].size() - 7), "\tNo\tYes");
    EXPECT_EQ(lines[2].substr(lines[2].size() - 7), "\tYes\tNo");

    const CliResult csv = RunCli({"devices", "--history", db, "--format", "csv"});
    const auto records = ParseCsv(csv.out);
    ASSERT_TRUE(records) << csv.out;
    ASSERT_EQ(records->size(), 4u);
    EXPECT_EQ(records->at(0).at(0), "mac");
    EXPECT_EQ(records->at(3).at(2), "Intel, \"Corp\"");

    const CliResult unknown = RunCli({"devices", "--history", db, "--unknown", "--format", "json"});
    const auto objects = ParseJsonObjects(unknown.out);
    ASSERT_TRUE(objects) << unknown.out;
    ASSERT_EQ(objects->size(), 1u);
    EXPECT_EQ(std::get<std::string>(objects->at(0).at("address")), "198.18.0.9");
    EXPECT_EQ(std::get<std::string>(objects->at(0).at("mac")), "");
    EXPECT_FALSE(std::get<bool>(objects->at(0).at("accepted")));
    EXPECT_EQ(std::get<std::string>(objects->at(0).at("first_seen")).size(), 24u);
}

} // namespace
} // namespace lanwick::test
