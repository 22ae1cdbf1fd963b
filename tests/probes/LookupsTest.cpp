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

// The table in a heap block of exactly its size, so that the address sanitizer sees any read past its end.
class CExactTable {
public:
    explicit CExactTable(const std::string& text) : m_size(text.size()), m_pBytes(new char[text.size()]) {
        std::copy(text.begin(), text.end(), m_pBytes.get());
    }
    std::string Lookup(const std::string& prefix) const { return LookupVendor(m_pBytes.get(), m_size, prefix); }

private:
    std::size_t m_size;
    std::unique_ptr<char[]> m_pBytes;
};

const std::string kError = "Error retreiving vendor name";

std::string BuiltIn(const std::string& prefix) {
    return LookupVendor(VendorTableData(), VendorTableSize(), prefix);
}

} // namespace

TEST(FormatMac, PutsAColonBetweenEveryPair) {
    EXPECT_EQ(FormatMac("001A2B3C0D5E"), "00:1A:2B:3C:0D:5E");
}

TEST(FormatMac, ShortTextsGetTheirRemainingColonsAtTheEnd) {
    EXPECT_EQ(FormatMac(""), ":::::");
    EXPECT_EQ(FormatMac("ABC"), "AB:C::::");
    EXPECT_EQ(FormatMac("0011223344"), "00:11:22:33:44:");
}

TEST(CapitalizeWords, GivesTheDocumentedExamples) {
    EXPECT_EQ(CapitalizeWords("XEROX CORPORATION"), "Xerox Corporation");
    EXPECT_EQ(CapitalizeWords("SMC NETWORKS, INC."), "Smc Networks, Inc.");
    EXPECT_EQ(CapitalizeWords("D-LINK CORPORATION"), "D-link Corporation");
    EXPECT_EQ(CapitalizeWords("Unknown vendor"), "Unknown Vendor");
    EXPECT_EQ(CapitalizeWords(kError), "Error Retreiving Vendor Name");
    EXPECT_EQ(CapitalizeWords(""), "");
}

TEST(CapitalizeWords, CapitalizesAfterSpacesAndPeriodsOnly) {
    EXPECT_EQ(CapitalizeWords("a.b c-d,e"), "A.B C-d,e");
    EXPECT_EQ(CapitalizeWords("ends with space "), "Ends With Space ");
    EXPECT_EQ(CapitalizeWords("x"), "X");
    EXPECT_EQ(CapitalizeWords(" lead"), " lead"); // index 0 starts no word after it
}

TEST(CapitalizeWords, LeavesMultiByteCharactersIntact) {
    EXPECT_EQ(CapitalizeWords("SECURITAS DIRECT ESPA\xC3\x91"
                              "A, SAU"),
              "Securitas Direct Espa\xC3\x91"
              "a, Sau");
    EXPECT_EQ(CapitalizeWords("\xC3\x89"
                              "COLE"),
              "\xC3\x89"
              "cole");
}

TEST(ParseDottedAddress, ReadsFourNumbers) {
    EXPECT_EQ(ParseDottedAddress("192.168.1.20"), (std::array<std::uint8_t, 4>{192, 168, 1, 20}));
    EXPECT_EQ(ParseDottedAddress("0.0.0.0"), (std::array<std::uint8_t, 4>{0, 0, 0, 0}));
}

TEST(ParseDottedAddress, KeepsTheLow8BitsOfEachNumber) {
    EXPECT_EQ(ParseDottedAddress("10.0.0.300"), (std::array<std::uint8_t, 4>{10, 0, 0, 44}));
    EXPECT_EQ(ParseDottedAddress("256.511.-1.99999999999999999999"), (std::array<std::uint8_t, 4>{0, 255, 255, 255}));
}

TEST(ParseDottedAddress, MissingDotsGiveZerosForTheMissingNumbers) {
    EXPECT_EQ(ParseDottedAddress("10.0.5"), (std::array<std::uint8_t, 4>{10, 0, 5, 0}));
    EXPECT_EQ(ParseDottedAddress("7"), (std::array<std::uint8_t, 4>{7, 0, 0, 0}));
    EXPECT_EQ(ParseDottedAddress(""), (std::array<std::uint8_t, 4>{0, 0, 0, 0}));
    EXPECT_EQ(ParseDottedAddress("1.2.3.4.5"), (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(ParseDottedAddress(" 1.x.3y.4"), (std::array<std::uint8_t, 4>{1, 0, 3, 4}));
}

TEST(GetMacAddress, TextThatIsNoAddressGivesTwelveZerosAtOnce) {
    EXPECT_EQ(GetMacAddress("not an address"), "000000000000");
    EXPECT_EQ(GetMacAddress(""), "000000000000");
    // Loopback and multicast have no neighbour; nothing is sent for them.
    EXPECT_EQ(GetMacAddress("127.0.0.1"), "000000000000");
    EXPECT_EQ(GetMacAddress("224.0.0.1"), "000000000000");
}

TEST(ResolveName, TextThatIsNoAddressGivesNothing) {
    EXPECT_FALSE(ResolveName("no.such.address.").has_value());
}

TEST(LookupVendor, FindsAPrefixInEitherCase) {
    EXPECT_EQ(BuiltIn("00000C"), "Cisco Systems, Inc");
    EXPECT_EQ(BuiltIn("00a0c9"), "Intel Corporation");
    EXPECT_EQ(BuiltIn("00A0C9"), "Intel Corporation");
}

TEST(LookupVendor, DuplicatePrefixesFindTheirFirstEntry) {
    EXPECT_EQ(BuiltIn("0001C8"), "THOMAS CONRAD CORP.");
    EXPECT_EQ(BuiltIn("080030"), "NETWORK RESEARCH CORPORATION");
}

TEST(LookupVendor, FindsTheFirstAndTheLastEntryOfTheTable) {
    const std::string table(VendorTableData(), VendorTableSize());
    std::size_t lastStart = table.rfind("\r\n", table.size() - 3) + 2;
    std::string lastLine = table.substr(lastStart, table.size() - 2 - lastStart);
    EXPECT_EQ(BuiltIn(lastLine.substr(0, 6)), lastLine.substr(7));
    EXPECT_EQ(BuiltIn("000000"), "XEROX CORPORATION");
}

TEST(LookupVendor, AbsentOrMisshapenPrefixIsUnknown) {
    EXPECT_EQ(BuiltIn("FFFFFE"), "Unknown vendor");
    EXPECT_EQ(CapitalizeWords(BuiltIn("FFFFFE")), "Unknown Vendor");
    EXPECT_EQ(BuiltIn("00000"), "Unknown vendor");
    EXPECT_EQ(BuiltIn("00000C0"), "Unknown vendor");
    EXPECT_EQ(BuiltIn(""), "Unknown vendor");
    EXPECT_EQ(BuiltIn(std::string("00000\0", 6)), "Unknown vendor");
}

TEST(LookupVendor, NoTableIsAnEmptyTable) {
    EXPECT_EQ(LookupVendor(nullptr, 0, "00000C"), "Unknown vendor");
    EXPECT_EQ(LookupVendor(nullptr, 1000, "00000C"), "Unknown vendor");
    EXPECT_EQ(LookupVendor(VendorTableData(), 0, "00000C"), "Unknown vendor");
}

TEST(LookupVendor, NameWithoutCarriageReturnWithin100BytesIsAnError) {
    CExactTable table("AAAAAA,Short\r\n0001C8," + std::string(100, 'N') + "\r\nBBBBBB,After\r\n");
    EXPECT_EQ(table.Lookup("0001C8"), kError);
    EXPECT_EQ(table.Lookup("AAAAAA"), "Short");
    // A line too long to step over ends the walk: what follows it is never reached.
    EXPECT_EQ(table.Lookup("BBBBBB"), "Unknown vendor");
}

TEST(LookupVendor, NameOf99BytesIsFound) {
    const std::string name(99, 'N');
    CExactTable table("0001C8," + name + "\r\n");
    EXPECT_EQ(table.Lookup("0001C8"), name);
}

TEST(LookupVendor, TableEndingMidLineNeverReadsPastItsEnd) {
    EXPECT_EQ(CExactTable("AAAAAA,Foo\r\n0001C8").Lookup("0001C8"), kError);
    EXPECT_EQ(CExactTable("AAAAAA,Foo\r\n0001C8,Na").Lookup("0001C8"), kError);
    EXPECT_EQ(CExactTable("AAAAAA,Foo\r\n0001C8,Na").Lookup("BBBBBB"), "Unknown vendor");
    EXPECT_EQ(CExactTable("AAAAAA,Foo\r\n00").Lookup("000000"), "Unknown vendor");
    EXPECT_EQ(CExactTable("AAAAAA,Foo\r").Lookup("BBBBBB"), "Unknown vendor");
    EXPECT_EQ(CExactTable("0").Lookup("0"), "Unknown vendor");
    EXPECT_EQ(CExactTable("").Lookup("000000"), "Unknown vendor");
}

TEST(VendorTable, IsTheCommittedResourceByteForByte) {
    const char* source = std::getenv("LANWICK_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    std::ifstream in(std::string(source) + "/resources/vendors.txt", std::ios::binary);
    ASSERT_TRUE(in);
    std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(file, std::string(VendorTableData(), VendorTableSize()));
}

TEST(VendorTable, EveryLineHasTheFormatAndPrefixesAscend) {
    const std::string table(VendorTableData(), VendorTableSize());
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
