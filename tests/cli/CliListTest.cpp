// lanwick-cli list and devices: every format against known files with awkward texts, pinned as exact texts (CSV
// with CRLF and RFC 4180 quotes, JSON with its escapes and stray bytes read as Latin-1), and where the default
// machine file and the settings file are found.
#include "cli/CliRun.h"
#include "history/DeviceBook.h"
#include "registry/MachineList.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace lanwick::test {
namespace {

// Added interleaved so that the file's grouping by first occurrence, not the adding order, decides the listing.
void WriteKnownFile(const std::string& strPath) {
    CMachineList list;
    list.AddMachine({192, 168, 1, 10}, "00A0C9123456", "Office", "plain", false, true, false);
    list.AddMachine({10, 0, 0, 5}, "000000000000", "Lab, east", "say \"hi\", ok", true, false, true);
    list.AddMachine({172, 16, 4, 200}, "08002012ABCD", "Office", "tab\there", false, false, false);
    list.AddMachine({10, 0, 0, 6}, "001B21000001", "Lab, east", "line\nbreak\\back", false, true, true);
    list.AddMachine({10, 0, 0, 7}, "00000C000002", "Caf\xE9", "Zo\xC3\xAB", false, false, false);
    ASSERT_TRUE(list.SaveFile(strPath));
}

const std::string kTsv = "Office\tplain\t192.168.1.10\t00A0C9123456\tNo\tYes\tNo\n"
                         "Office\ttab\\there\t172.16.4.200\t08002012ABCD\tNo\tNo\tNo\n"
                         "Lab, east\tsay \"hi\", ok\t10.0.0.5\t000000000000\tYes\tNo\tYes\n"
                         "Lab, east\tline\\nbreak\\\\back\t10.0.0.6\t001B21000001\tNo\tYes\tYes\n"
                         "Caf\xE9\tZo\xC3\xAB\t10.0.0.7\t00000C000002\tNo\tNo\tNo\n";
const std::string kCsvHeader = "group,name,address,mac,excluded,notify,notify_offline\r\n";

using OutputTable = std::vector<std::pair<std::vector<std::string>, std::string>>;

// Each command line succeeds, quietly, with exactly the expected output.
void ExpectOutputs(const OutputTable& table) {
    for (const auto& [args, expected] : table) {
        SCOPED_TRACE(args.back());
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out, expected);
    }
}

TEST(CliList, EveryFormatGivesTheMachinesInFileOrderWithExactTexts) {
    CTempDir dir;
    WriteKnownFile(dir.File("m.xml"));
    CMachineList empty;
    ASSERT_TRUE(empty.SaveFile(dir.File("empty.xml")));
    dir.Write("zero.xml", "");
    const std::string m = dir.File("m.xml");
    const OutputTable table = {
        {{"list", m}, kTsv},
        {{"list", "--format=tsv", m}, kTsv},
        {{"list", m, "--format", "csv"},
         kCsvHeader + "Office,plain,192.168.1.10,00A0C9123456,No,Yes,No\r\n"
                      "Office,tab\there,172.16.4.200,08002012ABCD,No,No,No\r\n"
                      "\"Lab, east\",\"say \"\"hi\"\", ok\",10.0.0.5,000000000000,Yes,No,Yes\r\n"
                      "\"Lab, east\",\"line\nbreak\\back\",10.0.0.6,001B21000001,No,Yes,Yes\r\n"
                      "Caf\xE9,Zo\xC3\xAB,10.0.0.7,00000C000002,No,No,No\r\n"},
        // The lone byte E9 of the file is Latin-1 "e acute", written as UTF-8; valid UTF-8 stays as it is.
        {{"list", "--format", "json", m},
         "[\n  {\"group\": \"Office\", \"name\": \"plain\", \"address\": \"192.168.1.10\", \"mac\": \"00A0C9123456\", "
         "\"excluded\": false, \"notify\": true, \"notify_offline\": false},\n"
         "  {\"group\": \"Office\", \"name\": \"tab\\there\", \"address\": \"172.16.4.200\", \"mac\": "
         "\"08002012ABCD\", "
         "\"excluded\": false, \"notify\": false, \"notify_offline\": false},\n"
         "  {\"group\": \"Lab, east\", \"name\": \"say \\\"hi\\\", ok\", \"address\": \"10.0.0.5\", \"mac\": "
         "\"000000000000\", \"excluded\": true, \"notify\": false, \"notify_offline\": true},\n"
         "  {\"group\": \"Lab, east\", \"name\": \"line\\nbreak\\\\back\", \"address\": \"10.0.0.6\", \"mac\": "
         "\"001B21000001\", \"excluded\": false, \"notify\": true, \"notify_offline\": true},\n"
         "  {\"group\": \"Caf\xC3\xA9\", \"name\": \"Zo\xC3\xAB\", \"address\": \"10.0.0.7\", \"mac\": "
         "\"00000C000002\", "
         "\"excluded\": false, \"notify\": false, \"notify_offline\": false}\n]\n"},
    };
    ExpectOutputs(table);
    for (const char* file : {"empty.xml", "zero.xml"}) {
        SCOPED_TRACE(file);
        EXPECT_EQ(RunCli({"list", dir.File(file)}).out, "");
        EXPECT_EQ(RunCli({"list", dir.File(file), "--format", "csv"}).out, kCsvHeader);
        EXPECT_EQ(RunCli({"list", dir.File(file), "--format", "json"}).out, "[]\n");
    }
}

TEST(CliList, DefaultMachineFileIsFoundBesideTheProgramOrThroughTheSettings) {
    CTempDir dir;
    // A copy of the program in a folder of its own, so that "beside the program" is a folder the test controls.
    const std::string program = dir.File("lanwick-cli");
    std::filesystem::copy_file(LANWICK_CLI, program);
    WriteKnownFile(dir.File("machines.xml"));
    std::filesystem::create_directory(dir.File("conf"));
    WriteKnownFile(dir.File("conf/machines.xml"));
    CMachineList other;
    other.AddMachine({10, 1, 2, 3}, "00A0C9000001", "Other", "elsewhere", 0);
    ASSERT_TRUE(other.SaveFile(dir.File("other.xml")));
    const std::string strOther = "Other\telsewhere\t10.1.2.3\t00A0C9000001\tNo\tNo\tNo\n";
    // An empty DefFile means machines.xml beside the settings file.
    dir.Write("conf/a.ini", "[General]\nDefFile=\n");
    dir.Write("b.ini", "[General]\nDefFile=" + dir.File("other.xml") + "\n");

    EXPECT_EQ(RunCli({"list"}, 60000, program).out, kTsv) << "no settings file: machines.xml beside the program";
    EXPECT_EQ(RunCli({"list", "--settings", dir.File("conf/a.ini")}).out, kTsv);
    EXPECT_EQ(RunCli({"--settings", dir.File("b.ini"), "list", "--format", "csv"}).out,
              kCsvHeader + "Other,elsewhere,10.1.2.3,00A0C9000001,No,No,No\r\n");
    EXPECT_EQ(RunCli({"list", "--settings=" + dir.File("b.ini")}).out, strOther);
    EXPECT_EQ(RunCli({"list", "--settings", dir.File("b.ini"), dir.File("conf/machines.xml")}).out, kTsv)
        << "a file named on the command line wins over the settings";
    dir.Write("Lanwick.ini", "[General]\r\nDefFile=" + dir.File("other.xml") + "\r\n");
    EXPECT_EQ(RunCli({"list"}, 60000, program).out, strOther) << "Lanwick.ini beside the program names the file";
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
    const std::string t = Local(1'700'000'000);
    const OutputTable table = {
        {{"devices", "--history", db},
         "\t198.18.0.9\t\t\t" + t + "\t" + t + "\tNo\tNo\n00:00:0C:12:00:14\t198.18.0.20\ttab\\there\xE9\t\t" + t +
             "\t" + t + "\tNo\tYes\n00:A0:C9:12:00:64\t198.18.0.100\tIntel, \"Corp\"\t\t" + t + "\t" + t +
             "\tYes\tNo\n"},
        {{"devices", "--history", db, "--format", "csv"},
         "mac,address,vendor,name,first_seen,last_seen,accepted,in_machine_file\r\n,198.18.0.9,,," + t + "," + t +
             ",No,No\r\n00:00:0C:12:00:14,198.18.0.20,tab\there\xE9,," + t + "," + t +
             ",No,Yes\r\n00:A0:C9:12:00:64,198.18.0.100,\"Intel, \"\"Corp\"\"\",," + t + "," + t + ",Yes,No\r\n"},
        {{"devices", "--history", db, "--unknown", "--format", "json"},
         "[\n  {\"mac\": \"\", \"address\": \"198.18.0.9\", \"vendor\": \"\", \"name\": \"\", \"first_seen\": \"" + t +
             "\", \"last_seen\": \"" + t + "\", \"accepted\": false, \"in_machine_file\": false}\n]\n"},
    };
    ExpectOutputs(table);
}

} // namespace
} // namespace lanwick::test
