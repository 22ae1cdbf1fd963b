// The INI store: reading with defaults, writing one key while every other line stays, and the file on disk.
#include "monitor/IniFile.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace lanwick;
namespace fs = std::filesystem;

TEST(IniText, GetFindsTheFirstKeyOfTheFirstSectionWithoutRegardToCaseTrimmingBlanksAndOneQuotePair) {
    const std::string text =
        "k=0\n; k=1\n[General]\r\nShowPingTime=1\r\n[Scan]\nretries = 3 \n# k=2\n;k=3\n"
        "garbage\n[broken\n  a =  x y  \nb=\" padded \"\nc='q'\nd=\"half\ne=\nf=\"\"\"\ng=\"\"\nk=4\nk=5\n"
        "[Scan]\nk=6\nj=7\n";
    const struct {
        const char *section, *key;
        std::optional<std::string> expected;
    } cases[] = {{"general", "SHOWPINGTIME", "1"},
                 {"SCAN", "Retries", "3"},
                 {"General", "Retries", std::nullopt},
                 {"Monitor", "Enabled", std::nullopt},
                 {"Scan", "a", "x y"},
                 {"Scan", "b", " padded "},
                 {"Scan", "c", "q"},
                 {"Scan", "d", "\"half"},
                 {"Scan", "e", ""},
                 {"Scan", "f", "\""},
                 {"Scan", "g", ""},
                 {"Scan", "k", "4"},
                 {"Scan", "j", std::nullopt},
                 {"", "k", std::nullopt}};
    const CIniText ini(text);
    for (const auto& c : cases)
        EXPECT_EQ(ini.Get(c.section, c.key), c.expected) << c.section << "/" << c.key;
    // A byte order mark is read past even at the very start.
    EXPECT_EQ(CIniText("\xEF\xBB\xBF[S]\r\nk=v\r\n").Get("S", "k"), "v");
}

TEST(IniText, SetReplacesOrAddsTheKeyAtTheEndOfItsSectionOrAddsTheSectionKeepingEveryOtherLine) {
    const struct {
        const char *before, *section, *key, *value, *after;
    } cases[] = {
        {"; settings\n[General]\nShowPingTime=0\nExtra = keep me\n\n[Other]\nX=1\n", "general", "showpingtime", "1",
         "; settings\n[General]\nshowpingtime=1\nExtra = keep me\n\n[Other]\nX=1\n"},
        {"[General]\nA=1\n\n[Other]\nX=1\n", "General", "B", "2", "[General]\nA=1\nB=2\n\n[Other]\nX=1\n"},
        {"[General]\n[Other]\n", "General", "B", "2", "[General]\nB=2\n[Other]\n"},
        {"", "Scan", "Retries", "3", "[Scan]\nRetries=3\n"},
        {"[A]\nx=1", "Scan", "Retries", "3", "[A]\nx=1\n[Scan]\nRetries=3\n"},
        {"\xEF\xBB\xBF[S]\r\nk=v\r\n", "S", "j", "w", "\xEF\xBB\xBF[S]\r\nk=v\r\nj=w\r\n"},
    };
    for (const auto& c : cases) {
        CIniText ini(c.before);
        EXPECT_TRUE(ini.Set(c.section, c.key, c.value));
        EXPECT_EQ(ini.Text(), c.after) << c.before;
    }
}

TEST(IniText, SetQuotesValuesThatWouldNotReadBackAndRefusesWhatWouldBreakTheFile) {
    for (std::string value : {" lead", "trail ", "\"quoted\"", "'single'", "\"", "a\"b", "", "x=y;z"}) {
        CIniText ini;
        ASSERT_TRUE(ini.Set("S", "k", value));
        EXPECT_EQ(CIniText(ini.Text()).Get("S", "k"), value) << ini.Text();
    }
    CIniText ini("[S]\nk=1\n");
    const std::array<const char*, 3> refused[] = {{"S", "k", "two\nlines"}, {"S", "k", "cr\r"}, {"S", "a=b", "1"},
                                                  {"S", "", "1"},           {"S", " k", "1"},   {"S", ";k", "1"},
                                                  {"S]", "k", "1"},         {"", "k", "1"},     {"S\n[T", "k", "1"}};
    for (const auto& [section, key, value] : refused)
        EXPECT_FALSE(ini.Set(section, key, value)) << section << "/" << key << "=" << value;
    EXPECT_EQ(ini.Text(), "[S]\nk=1\n");
}

TEST(ParseProfileInt, ReadsLeadingDecimalDigitsModulo32Bits) {
    const std::pair<const char*, unsigned> cases[] = {{"300", 300U},      {" 42 ", 42U},
                                                      {"+7", 7U},         {"12abc", 12U},
                                                      {"abc", 0U},        {"", 0U},
                                                      {"-5", 0U},         {"4294967295", 4294967295U},
                                                      {"4294967296", 0U}, {"4294967597", 301U}};
    for (const auto& [text, value] : cases)
        EXPECT_EQ(ParseProfileInt(text), value) << text;
}

TEST(IniFile, ReadsWithDefaultsAndWritesOneKeyCreatingFoldersAndKeepingOtherLines) {
    const test::CTempDir temp;
    const fs::path dir = temp.Path();
    CIniFile none((dir / "none.ini").string());
    EXPECT_EQ(none.GetInt("S", "k", 17), 17U);
    EXPECT_EQ(none.GetString("S", "k", "def"), "def");
    EXPECT_FALSE(fs::exists(dir / "none.ini"));

    temp.Write("a.ini", "[S]\r\nn=5\r\ns=text\r\nempty=\r\n; note\r\n");
    CIniFile ini((dir / "a.ini").string());
    EXPECT_EQ(ini.GetInt("S", "n", 1), 5U);
    EXPECT_EQ(ini.GetInt("S", "m", 1), 1U);
    EXPECT_EQ(ini.GetString("S", "s", "d"), "text");
    EXPECT_EQ(ini.GetString("S", "empty", "d"), "");
    EXPECT_EQ(ini.GetInt("S", "s", 9), 0U); // present but not a number
    ASSERT_TRUE(ini.WriteInt("S", "n", 4));
    EXPECT_FALSE(ini.WriteString("S", "s", "a\nb"));
    EXPECT_EQ(temp.Read("a.ini"), "[S]\r\nn=4\r\ns=text\r\nempty=\r\n; note\r\n");

    CIniFile fresh((dir / "sub/dir/new.ini").string());
    ASSERT_TRUE(fresh.WriteInt("Scan", "Retries", 3));
    ASSERT_TRUE(fresh.WriteString("General", "DefFile", "/x/m.xml"));
    EXPECT_EQ(temp.Read("sub/dir/new.ini"), "[Scan]\nRetries=3\n[General]\nDefFile=/x/m.xml\n");
    EXPECT_EQ(fresh.GetInt("scan", "retries", 0), 3U);

    // Nothing can be written where no folder can be made, nor over a folder.
    EXPECT_FALSE(CIniFile("/proc/lanwick-no-such-dir/x.ini").WriteInt("S", "k", 1));
    fs::create_directories(dir / "dir.ini");
    EXPECT_FALSE(CIniFile((dir / "dir.ini").string()).WriteInt("S", "k", 1));
}

// A settings file that exists but cannot be read is left alone rather than replaced by the few keys being written.
TEST(IniFile, AFileThatCannotBeReadIsNotReplaced) {
    const test::CTempDir temp;
    temp.Write("locked.ini", "[S]\nk=kept\n");
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(temp.Path().c_str(), test::kNobody, test::kNobody), 0);
        ASSERT_EQ(::chown(temp.File("locked.ini").c_str(), test::kNobody, test::kNobody), 0);
    }
    fs::permissions(temp.File("locked.ini"), fs::perms::owner_write);
    EXPECT_EQ(test::RunUnprivileged([&] { return CIniFile(temp.File("locked.ini")).WriteInt("S", "k", 1) ? 1 : 0; }),
              0);
    fs::permissions(temp.File("locked.ini"), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(temp.Read("locked.ini"), "[S]\nk=kept\n");
}
