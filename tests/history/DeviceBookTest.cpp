// The device book's rules over a real database file: what a sequence of sweeps announces, and what it keeps.
#include "history/DeviceBook.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace lanwick::history {
namespace {

constexpr char kA[] = "00A0C9120014", kB[] = "00000C120015", kC[] = "080020120016", kD[] = "001B21120017";

// "address/MAC": a sighting; a MAC left out (or all zeros) is a host that answered without one.
Sighting S(const std::string& strAddress, const std::string& strMac = "") {
    return {strAddress, strMac, strMac.empty() ? "" : "Vendor " + strMac.substr(0, 6), ""};
}

// What a sweep announced, as "event address mac [previous]" joined by "; ".
std::string Said(const std::vector<Announcement>& announcements) {
    std::string text;
    for (const Announcement& a : announcements) {
        text += (text.empty() ? "" : "; ") + std::string(EventName(a.event)) + ' ' + a.device.strAddress + ' ' +
                a.device.strMac;
        if (!a.strPreviousMac.empty())
            text += " was " + a.strPreviousMac;
    }
    return text;
}

struct Sweep {
    std::vector<Sighting> sightings;
    std::string strExpected;
};

struct Case {
    const char* name;
    std::vector<KnownMachine> machines;
    std::vector<Sweep> sweeps;
    // The book afterwards, as "address mac unknown|known" joined by "; ".
    std::string strBook;
};

std::string Book(CDeviceBook& book) {
    std::string text;
    for (const Device& d : book.Devices())
        text += (text.empty() ? "" : "; ") + d.strAddress + ' ' + d.strMac + (d.IsUnknown() ? " unknown" : " known");
    return text;
}

TEST(DeviceBookTest, Record_AnnouncesEachDeviceOnceByItsRules) {
    const std::vector<Case> cases = {
        {"new device, seen twice",
         {},
         {{{S("198.18.0.20", kA)}, "new 198.18.0.20 00:a0:c9:12:00:14"}, {{S("198.18.0.20", kA)}, ""}},
         "198.18.0.20 00:a0:c9:12:00:14 unknown"},
        {"a device that moves keeps its identity",
         {},
         {{{S("198.18.0.20", kA)}, "new 198.18.0.20 00:a0:c9:12:00:14"}, {{S("198.18.0.21", kA)}, ""}},
         "198.18.0.21 00:a0:c9:12:00:14 unknown"},
        {"another MAC at an address the book knows",
         {},
         {{{S("198.18.0.20", kA)}, "new 198.18.0.20 00:a0:c9:12:00:14"},
          {{S("198.18.0.20", kB)}, "mac-changed 198.18.0.20 00:00:0c:12:00:15 was 00:a0:c9:12:00:14"},
          {{S("198.18.0.20", kB)}, ""}},
         "198.18.0.20 00:a0:c9:12:00:14 unknown; 198.18.0.20 00:00:0c:12:00:15 unknown"},
        {"another MAC at an address of the machine file",
         // The address twice in the file: the entry with a MAC says what the address should answer with.
         {{"198.18.0.30", "08-00-20-12-00-16"}, {"198.18.0.30", ""}},
         {{{S("198.18.0.30", kD)}, "mac-changed 198.18.0.30 00:1b:21:12:00:17 was 08:00:20:12:00:16"},
          // Seen there once more without a MAC, it stays what it was: not the machine of the file.
          {{S("198.18.0.30")}, ""}},
         "198.18.0.30 00:1b:21:12:00:17 unknown"},
        {"machines of the file, by MAC anywhere or by an address without MAC, are never announced",
         {{"198.18.0.30", kC}, {"198.18.0.31", ""}},
         {{{S("198.18.0.32", kC), S("198.18.0.31", kA), S("198.18.0.30")}, ""}},
         "198.18.0.30  known; 198.18.0.31 00:a0:c9:12:00:14 known; 198.18.0.32 08:00:20:12:00:16 known"},
        {"a host without MAC is its address, until the address shows one",
         {},
         {{{S("198.19.0.7"), S("198.18.0.40", "000000000000")}, "new 198.19.0.7 ; new 198.18.0.40 "},
          {{S("198.19.0.7")}, ""},
          {{S("198.18.0.40", kA)}, ""}},
         "198.18.0.40 00:a0:c9:12:00:14 unknown; 198.19.0.7  unknown"},
        {"a known MAC device answering once without its MAC is not new",
         {},
         {{{S("198.18.0.20", kA)}, "new 198.18.0.20 00:a0:c9:12:00:14"}, {{S("198.18.0.20")}, ""}},
         "198.18.0.20 00:a0:c9:12:00:14 unknown"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::CTempDir dir;
        CDeviceBook book;
        std::string strError;
        ASSERT_TRUE(book.Open(dir.File("history.db"), &strError)) << strError;
        std::int64_t nNow = 1'700'000'000;
        for (const Sweep& sweep : c.sweeps) {
            const auto said = book.Record(sweep.sightings, c.machines, nNow += 60, &strError);
            ASSERT_TRUE(said) << strError;
            EXPECT_EQ(Said(*said), sweep.strExpected);
        }
        EXPECT_EQ(Book(book), c.strBook);
    }
}

TEST(DeviceBookTest, AcceptAndTimes_LastAcrossReopening) {
    test::CTempDir dir;
    {
        CDeviceBook book;
        ASSERT_TRUE(book.Open(dir.File("history.db")));
        ASSERT_TRUE(book.Record({S("198.18.0.20", kA), S("198.18.0.21", kB)}, {}, 100));
    }
    CDeviceBook book;
    ASSERT_TRUE(book.OpenExisting(dir.File("history.db")));
    const auto said = book.Record({S("198.18.0.22", kA)}, {}, 200);
    ASSERT_TRUE(said);
    EXPECT_EQ(Said(*said), "");
    EXPECT_EQ(book.Accept("00-A0-C9-12-00-14"), AcceptResult::Accepted);
    EXPECT_EQ(book.Accept(kC), AcceptResult::NoSuchDevice);
    std::string strBook;
    for (const Device& d : book.Devices())
        strBook += d.strAddress + ' ' + std::to_string(d.nFirstSeen) + '-' + std::to_string(d.nLastSeen) + ' ' +
                   d.strVendor + (d.bAccepted ? " accepted; " : "; ");
    EXPECT_EQ(strBook, "198.18.0.21 100-100 Vendor 00000C; 198.18.0.22 100-200 Vendor 00A0C9 accepted; ");
    const std::vector<Device> unknown = book.Devices(true);
    ASSERT_EQ(unknown.size(), 1u);
    EXPECT_EQ(unknown[0].strMac, "00:00:0c:12:00:15");
}

TEST(DeviceBookTest, OpenExisting_RefusesMissingAndForeignFiles) {
    test::CTempDir dir;
    test::WriteFile(dir.File("text.db"), std::string(4096, 'x'));
    CDeviceBook book;
    std::string strError;
    EXPECT_FALSE(book.OpenExisting(dir.File("missing.db"), &strError));
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing.db")));
    EXPECT_FALSE(book.OpenExisting(dir.File("text.db"), &strError));
    EXPECT_FALSE(strError.empty());
    // Another program's database: refused, and no table of ours is added to it.
    {
        CDatabase other;
        ASSERT_TRUE(other.Open(dir.File("other.db")));
        ASSERT_TRUE(other.Exec("CREATE TABLE invoices(id INTEGER)"));
    }
    EXPECT_FALSE(book.Open(dir.File("other.db"), &strError));
    EXPECT_NE(strError.find("invoices"), std::string::npos) << strError;
    CDatabase other;
    ASSERT_TRUE(other.Open(dir.File("other.db")));
    CStatement tables = other.Prepare("SELECT count(*) FROM sqlite_master WHERE name LIKE 'device%'");
    ASSERT_TRUE(tables.Step());
    EXPECT_EQ(tables.Int(0), 0);
}

} // namespace
} // namespace lanwick::history
