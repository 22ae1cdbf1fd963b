// Address lookups without the network: MAC display form, vendor table walks (built-in and malformed), the
// capitalisation of vendor names and the dotted-address conversion.
#include "probes/Lookups.h"
#include "probes/VendorTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>

using namespace lanwick;

namespace {

// Looks up in a copy of the table in a heap block of exactly its size, so that the address sanitizer sees any read
// past its end.
std::string LookupExact(const std::string& table, const std::string& prefix) {
    const auto bytes = std::make_unique<char[]>(table.size());
    std::copy(table.begin(), table.end(), bytes.get());
    return LookupVendor(bytes.get(), table.size(), prefix);
}

const std::string kError = "Error retreiving vendor name";

} // namespace

TEST(TextHelpers, FormatMacCapitalizeWordsAndParseDottedAddressFollowTheirRules) {
    const std::pair<const char*, const char*> macs[] = {
        {"001A2B3C0D5E", "00:1A:2B:3C:0D:5E"}, {"", ":::::"}, {"ABC", "AB:C::::"}, {"0011223344", "00:11:22:33:44:"}};
    for (const auto& [mac, expected] : macs)
        EXPECT_EQ(FormatMac(mac), expected);
    // Upper case after a space or a period only, not at a leading space; multi-byte characters stay intact.
    const std::pair<const char*, const char*> names[] = {
        {"XEROX CORPORATION", "Xerox Corporation"},
        {"SMC NETWORKS, INC.", "Smc Networks, Inc."},
        {"D-LINK CORPORATION", "D-link Corporation"},
        {"Unknown vendor", "Unknown Vendor"},
        {"", ""},
        {"a.b c-d,e", "A.B C-d,e"},
        {"ends with space ", "Ends With Space "},
        {"x", "X"},
        {"AZ BUZZ", "Az Buzz"},
        {" lead", " lead"},
        {"SECURITAS DIRECT ESPA\xC3\x91"
         "A, SAU",
         "Securitas Direct Espa\xC3\x91"
         "a, Sau"},
        {"\xC3\x89"
         "COLE",
         "\xC3\x89"
         "cole"},
    };
    for (const auto& [name, expected] : names)
        EXPECT_EQ(CapitalizeWords(name), expected);
    // The low 8 bits of each number; missing numbers are zeros, a fifth is ignored.
    const std::pair<const char*, std::array<std::uint8_t, 4>> addresses[] = {
        {"192.168.1.20", {192, 168, 1, 20}},
        {"0.0.0.0", {0, 0, 0, 0}},
        {"10.0.0.300", {10, 0, 0, 44}},
        {"256.511.-1.99999999999999999999", {0, 255, 255, 255}},
        {"10.0.5", {10, 0, 5, 0}},
        {"7", {7, 0, 0, 0}},
        {"", {0, 0, 0, 0}},
        {"1.2.3.4.5", {1, 2, 3, 4}},
        {" 1.x.3y.4", {1, 0, 3, 4}},
    };
    for (const auto& [text, expected] : addresses)
        EXPECT_EQ(ParseDottedAddress(text), expected) << text;
}

TEST(NetworkLookups, TextThatIsNoUnicastAddressGivesNothingAtOnce) {
    // Loopback and multicast have no neighbour; nothing is sent for them.
    for (const char* address : {"not an address", "", "127.0.0.1", "224.0.0.1"})
        EXPECT_EQ(GetMacAddress(address), "000000000000") << address;
    EXPECT_FALSE(ResolveName("no.such.address.").has_value());
}

TEST(LookupVendor, FindsTheFirstEntryOfAPrefixInEitherCaseElseUnknown) {
    const std::string table(VendorTableData(), VendorTableSize());
    const std::size_t lastStart = table.rfind("\r\n", table.size() - 3) + 2;
    const std::string lastLine = table.substr(lastStart, table.size() - 2 - lastStart);
    const std::pair<std::string, std::string> cases[] = {
        {"00000C", "Cisco Systems, Inc"},
        {"00a0c9", "Intel Corporation"},
        {"00A0C9", "Intel Corporation"},
        {"0001C8", "THOMAS CONRAD CORP."}, // duplicates: the first entry
        {"080030", "NETWORK RESEARCH CORPORATION"},
        {"000000", "XEROX CORPORATION"}, // the first line and the last
        {lastLine.substr(0, 6), lastLine.substr(7)},
        {"FFFFFE", "Unknown vendor"},
        {"00000", "Unknown vendor"},
        {"00000C0", "Unknown vendor"},
        {"", "Unknown vendor"},
        {std::string("00000\0", 6), "Unknown vendor"},
    };
    for (const auto& [prefix, expected] : cases)
        EXPECT_EQ(LookupVendor(VendorTableData(), VendorTableSize(), prefix), expected) << prefix;
    EXPECT_EQ(LookupVendor(nullptr, 0, "00000C"), "Unknown vendor");
    EXPECT_EQ(LookupVendor(nullptr, 1000, "00000C"), "Unknown vendor");
    EXPECT_EQ(LookupVendor(VendorTableData(), 0, "00000C"), "Unknown vendor");
}

TEST(LookupVendor, MalformedTablesGiveTheErrorOrUnknownAndAreNeverReadPastTheirEnd) {
    const std::string tooLong = "AAAAAA,Short\r\n0001C8," + std::string(100, 'N') + "\r\nBBBBBB,After\r\n";
    const struct {
        std::string table, prefix, expected;
    } cases[] = {
        {tooLong, "0001C8", kError},
        {tooLong, "AAAAAA", "Short"},
        {tooLong, "BBBBBB", "Unknown vendor"}, // a line too long to step over ends the walk
        {"0001C8," + std::string(99, 'N') + "\r\n", "0001C8", std::string(99, 'N')},
        {"AAAAAA,Foo\r\n0001C8", "0001C8", kError},
        {"AAAAAA,Foo\r\n0001C8,Na", "0001C8", kError},
        {"AAAAAA,Foo\r\n0001C8,Na", "BBBBBB", "Unknown vendor"},
        {"AAAAAA,Foo\r\n00", "000000", "Unknown vendor"},
        {"AAAAAA,Foo\r", "BBBBBB", "Unknown vendor"},
        {"0", "0", "Unknown vendor"},
        {"", "000000", "Unknown vendor"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LookupExact(c.table, c.prefix), c.expected) << c.table.substr(0, 30) << " / " << c.prefix;
}

TEST(VendorTable, IsTheCommittedResourceByteForByteWhereEveryLineHasTheFormatAndPrefixesAscend) {
    const char* source = std::getenv("LANWICK_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    std::ifstream in(std::string(source) + "/resources/vendors.txt", std::ios::binary);
    const std::string table(VendorTableData(), VendorTableSize());
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), table);
    ASSERT_GE(table.size(), 2U);
    EXPECT_EQ(table.substr(table.size() - 2), "\r\n");
    std::size_t pos = 0, lines = 0, countC8 = 0, count30 = 0;
    std::string previous;
    while (pos < table.size()) {
        std::size_t end = table.find("\r\n", pos);
        ASSERT_NE(end, std::string::npos);
        std::string line = table.substr(pos, end - pos);
        ASSERT_GE(line.size(), 8U) << line;
        ASSERT_LE(line.size(), 7U + 99U) << line;
        for (int i = 0; i < 6; ++i)
            ASSERT_TRUE(std::isxdigit(static_cast<unsigned char>(line[i])) && !std::islower(line[i])) << line;
        ASSERT_EQ(line[6], ',') << line;
        ASSERT_EQ(line.find('\r'), std::string::npos);
        std::string prefix = line.substr(0, 6);
        ASSERT_LE(previous, prefix);
        countC8 += prefix == "0001C8";
        count30 += prefix == "080030";
        previous = prefix;
        pos = end + 2;
        ++lines;
    }
    EXPECT_GT(lines, 30000U);
    // The registry really holds these duplicates, so the first-entry rule above is tested, not assumed.
    EXPECT_EQ(countC8, 2U);
    EXPECT_EQ(count30, 3U);
}
