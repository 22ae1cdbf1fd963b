// The INI store: reading with defaults, writing one key while every other line stays, and the file on disk.
#include "monitor/IniFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

using namespace lanwick;
namespace fs = std::filesystem;

namespace {

std::string Set(std::string text, std::string_view section, std::string_view key, std::string_view value) {
    CIniText ini(text);
    EXPECT_TRUE(ini.Set(section, key, value));
    return ini.Text();
}

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("lanwick-ini-" + std::to_string(getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string PathOf(const std::string& name) const { return (m_dir / name).string(); }
    static void WriteText(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string ReadText(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    fs::path m_dir;
};

} // namespace

TEST(IniText, GetFindsSectionAndKeyWithoutRegardToCase) {
    CIniText ini("[General]\nShowPingTime=1\n[Scan]\nretries = 3 \n");
    EXPECT_EQ(ini.Get("general", "SHOWPINGTIME"), "1");
    EXPECT_EQ(ini.Get("SCAN", "Retries"), "3");
    EXPECT_FALSE(ini.Get("General", "Retries").has_value()); // keys belong to their own section
    EXPECT_FALSE(ini.Get("Monitor", "Enabled").has_value());
}

TEST(IniText, GetTrimsBlanksAndOnePairOfQuotes) {
    CIniText ini("[S]\n  a =  x y  \nb=\" padded \"\nc='q'\nd=\"half\ne=\nf=\"\"\"\n");
    EXPECT_EQ(ini.Get("S", "a"), "x y");
    EXPECT_EQ(ini.Get("S", "b"), " padded ");
    EXPECT_EQ(ini.Get("S", "c"), "q");
    EXPECT_EQ(ini.Get("S", "d"), "\"half");
    EXPECT_EQ(ini.Get("S", "e"), ""); // present but empty is not missing
    EXPECT_EQ(ini.Get("S", "f"), "\"");
}

TEST(IniText, FirstOfDuplicateSectionsAndKeysIsRead) {
    CIniText ini("[S]\nk=1\nk=2\n[S]\nk=3\nj=4\n");
    EXPECT_EQ(ini.Get("S", "k"), "1");
    EXPECT_FALSE(ini.Get("S", "j").has_value());
}

TEST(IniText, IgnoresCommentsStrayLinesAndKeysBeforeAnySection) {
    CIniText ini("k=0\n; k=1\n[S]\n# k=2\n;k=3\ngarbage\n[broken\nk=4\n");
    EXPECT_EQ(ini.Get("S", "k"), "4");
    EXPECT_FALSE(ini.Get("", "k").has_value());
}

TEST(IniText, ReadsCrLfFilesAndAByteOrderMark) {
    CIniText ini("\xEF\xBB\xBF[S]\r\nk=v\r\n");
    EXPECT_EQ(ini.Get("S", "k"), "v");
    EXPECT_EQ(Set("\xEF\xBB\xBF[S]\r\nk=v\r\n", "S", "j", "w"), "\xEF\xBB\xBF[S]\r\nk=v\r\nj=w\r\n");
}

TEST(IniText, SetReplacesTheKeyAndKeepsEveryOtherLine) {
    const std::string before = "; settings\n[General]\nShowPingTime=0\nExtra = keep me\n\n[Other]\nX=1\n";
    EXPECT_EQ(Set(before, "general", "showpingtime", "1"),
              "; settings\n[General]\nshowpingtime=1\nExtra = keep me\n\n[Other]\nX=1\n");
}

TEST(IniText, SetAddsAMissingKeyAtTheEndOfItsSection) {
    EXPECT_EQ(Set("[General]\nA=1\n\n[Other]\nX=1\n", "General", "B", "2"), "[General]\nA=1\nB=2\n\n[Other]\nX=1\n");
    EXPECT_EQ(Set("[General]\n[Other]\n", "General", "B", "2"), "[General]\nB=2\n[Other]\n");
}

TEST(IniText, SetAddsAMissingSectionAtTheEnd) {
    EXPECT_EQ(Set("", "Scan", "Retries", "3"), "[Scan]\nRetries=3\n");
    EXPECT_EQ(Set("[A]\nx=1", "Scan", "Retries", "3"), "[A]\nx=1\n[Scan]\nRetries=3\n");
}

TEST(IniText, SetQuotesValuesThatWouldNotReadBack) {
    for (std::string value : {" lead", "trail ", "\"quoted\"", "'single'", "\"", "a\"b", "", "x=y;z"}) {
        CIniText ini;
        ASSERT_TRUE(ini.Set("S", "k", value));
        EXPECT_EQ(CIniText(ini.Text()).Get("S", "k"), value) << ini.Text();
    }
}

TEST(IniText, SetRefusesWhatWouldBreakTheFile) {
    CIniText ini("[S]\nk=1\n");
    EXPECT_FALSE(ini.Set("S", "k", "two\nlines"));
    EXPECT_FALSE(ini.Set("S", "k", "cr\r"));
    EXPECT_FALSE(ini.Set("S", "a=b", "1"));
    EXPECT_FALSE(ini.Set("S", "", "1"));
    EXPECT_FALSE(ini.Set("S", " k", "1"));
    EXPECT_FALSE(ini.Set("S", ";k", "1"));
    EXPECT_FALSE(ini.Set("S]", "k", "1"));
    EXPECT_FALSE(ini.Set("", "k", "1"));
    EXPECT_FALSE(ini.Set("S\n[T", "k", "1"));
    EXPECT_EQ(ini.Text(), "[S]\nk=1\n");
}

TEST(ParseProfileInt, ReadsLeadingDecimalDigits) {
    EXPECT_EQ(ParseProfileInt("300"), 300U);
    EXPECT_EQ(ParseProfileInt(" 42 "), 42U);
    EXPECT_EQ(ParseProfileInt("+7"), 7U);
    EXPECT_EQ(ParseProfileInt("12abc"), 12U);
    EXPECT_EQ(ParseProfileInt("abc"), 0U);
    EXPECT_EQ(ParseProfileInt(""), 0U);
    EXPECT_EQ(ParseProfileInt("-5"), 0U);
    EXPECT_EQ(ParseProfileInt("4294967295"), 4294967295U);
    EXPECT_EQ(ParseProfileInt("4294967296"), 0U);
    EXPECT_EQ(ParseProfileInt("4294967597"), 301U);
}

TEST_F(IniFileTest, MissingFileGivesTheDefaults) {
    CIniFile ini(PathOf("none.ini"));
    EXPECT_EQ(ini.GetInt("S", "k", 17), 17U);
    EXPECT_EQ(ini.GetString("S", "k", "def"), "def");
    EXPECT_FALSE(fs::exists(PathOf("none.ini")));
}

TEST_F(IniFileTest, MissingKeyGivesTheDefaultAndPresentKeyItsValue) {
    WriteText(PathOf("a.ini"), "[S]\nn=5\ns=text\nempty=\n");
    CIniFile ini(PathOf("a.ini"));
    EXPECT_EQ(ini.GetInt("S", "n", 1), 5U);
    EXPECT_EQ(ini.GetInt("S", "m", 1), 1U);
    EXPECT_EQ(ini.GetString("S", "s", "d"), "text");
    EXPECT_EQ(ini.GetString("S", "empty", "d"), "");
    EXPECT_EQ(ini.GetInt("S", "s", 9), 0U); // present but not a number
}

TEST_F(IniFileTest, WriteCreatesFileAndFolders) {
    const std::string path = PathOf("sub/dir/new.ini");
    CIniFile ini(path);
    ASSERT_TRUE(ini.WriteInt("Scan", "Retries", 3));
    ASSERT_TRUE(ini.WriteString("General", "DefFile", "/x/m.xml"));
    EXPECT_EQ(ReadText(path), "[Scan]\nRetries=3\n[General]\nDefFile=/x/m.xml\n");
    EXPECT_EQ(ini.GetInt("scan", "retries", 0), 3U);
}

TEST_F(IniFileTest, WriteKeepsOtherKeysAndSections) {
    const std::string path = PathOf("keep.ini");
    WriteText(path, "[Window]\r\nLeft=10\r\n[Scan]\r\nPause=100\r\nRetries=2\r\n; note\r\n");
    ASSERT_TRUE(CIniFile(path).WriteInt("Scan", "Retries", 4));
    EXPECT_EQ(ReadText(path), "[Window]\r\nLeft=10\r\n[Scan]\r\nPause=100\r\nRetries=4\r\n; note\r\n");
}

TEST_F(IniFileTest, RefusedWriteLeavesTheFileAlone) {
    const std::string path = PathOf("same.ini");
    WriteText(path, "[S]\nk=1\n");
    EXPECT_FALSE(CIniFile(path).WriteString("S", "k", "a\nb"));
    EXPECT_EQ(ReadText(path), "[S]\nk=1\n");
}

TEST_F(IniFileTest, WriteIntoAnUnwritablePlaceFails) {
    EXPECT_FALSE(CIniFile("/proc/lanwick-no-such-dir/x.ini").WriteInt("S", "k", 1));
    // A folder where the file should be cannot be replaced either.
    fs::create_directories(PathOf("dir.ini"));
    EXPECT_FALSE(CIniFile(PathOf("dir.ini")).WriteInt("S", "k", 1));
}
