// The settings store: defaults, the ranges of the numbers, the default machine file, what a save writes and keeps,
// and where the settings file lives.
#include "monitor/Settings.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace lanwick;
namespace fs = std::filesystem;

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void WriteIni(const std::string& text) const { test::WriteFile(m_strIni, text); }
    std::string ReadIni() const { return test::ReadFile(m_strIni); }
    CSettings Loaded() const {
        CSettings s;
        s.LoadSettings(m_strIni, m_strAppDir);
        return s;
    }
    // Every member in file order, the default machine file in the program folder written as "~".
    std::string Dump(const CSettings& s) const {
        const std::string file = s.m_strDefFile == m_strAppDir + "machines.xml" ? "~" : s.m_strDefFile;
        return std::to_string(s.m_bShowPingTime) + " " + std::to_string(s.m_bHideExcluded) + " " + file + " " +
               std::to_string(s.m_nRetries) + " " + std::to_string(s.m_nPause) + " " + std::to_string(s.m_bMonitor) +
               " " + std::to_string(s.m_nRefresh);
    }

    test::CTempDir m_dir;
    const std::string m_strAppDir = m_dir.Path() + "/";
    const std::string m_strIni = m_strAppDir + "Lanwick.ini";
};

} // namespace

// What the settings sheet would refuse cannot come in through the file either: a Pause of 24 days stalled every
// ping, a Refresh past 32 bits read as some other number.
TEST_F(SettingsTest, ReadsEveryKeyFromItsSectionWithDefaultsAndTheSheetsRanges) {
    const struct {
        const char *ini, *expected;
    } cases[] = {
        {"", "0 0 ~ 1 500 0 60"},
        {"[General]\nShowPingTime=1\nHideExcluded=1\nDefFile=/data/lan.xml\n[Scan]\nRetries=3\nPause=250\n"
         "[Monitor]\nEnabled=1\nRefresh=15\n",
         "1 1 /data/lan.xml 3 250 1 15"},
        {"[Scan]\nShowPingTime=1\n[General]\nRetries=3\n", "0 0 ~ 1 500 0 60"}, // keys belong to their section
        {"[General]\nDefFile=\n", "0 0 ~ 1 500 0 60"},
        {"[General]\nDefFile=  \n", "0 0 ~ 1 500 0 60"},
        {"[Scan]\nRetries=255\nPause=5000\n[Monitor]\nRefresh=86400", "0 0 ~ 255 5000 0 86400"},
        {"[Scan]\nRetries=256\nPause=5001\n[Monitor]\nRefresh=86401", "0 0 ~ 255 5000 0 86400"},
        {"[Scan]\nRetries=512\nPause=2147483647\n[Monitor]\nRefresh=9999999999", "0 0 ~ 255 5000 0 86400"},
        {"[Scan]\nRetries=4294967297\n[Monitor]\nRefresh=4294967295", "0 0 ~ 255 500 0 86400"},
        {"[Scan]\nRetries=300\n[Monitor]\nRefresh=4294967306", "0 0 ~ 255 500 0 86400"},
        {"[Scan]\nRetries=0\nPause=0\n[Monitor]\nRefresh=0", "0 0 ~ 1 1 0 10"},
        {"[Scan]\nRetries=-3\nPause=-1\n[Monitor]\nRefresh=9", "0 0 ~ 1 1 0 10"},
        {"[Scan]\nRetries=many\n[Monitor]\nRefresh=-60", "0 0 ~ 1 500 0 10"},
    };
    EXPECT_EQ(Dump(Loaded()), "0 0 ~ 1 500 0 60") << "no file";
    EXPECT_FALSE(fs::exists(m_strIni)) << "loading creates nothing";
    for (const auto& c : cases) {
        WriteIni(c.ini);
        EXPECT_EQ(Dump(Loaded()), c.expected) << c.ini;
    }
}

// A settings file is a few hundred bytes: a huge one is refused at once, not parsed line by line for minutes.
TEST_F(SettingsTest, FileOverOneMegabyteIsRefusedWithTheDefaults) {
    WriteIni("[Scan]\nPause=250\n");
    fs::resize_file(m_strIni, (1u << 20) + 1);
    CSettings s;
    std::string strError;
    EXPECT_FALSE(s.LoadSettings(m_strIni, m_strAppDir, &strError));
    EXPECT_NE(strError.find("too large"), std::string::npos) << strError;
    EXPECT_EQ(s.m_nPause, 500);
    EXPECT_FALSE(s.SaveSettings(m_strIni)) << "a file that is no settings file is not replaced";
    EXPECT_EQ(fs::file_size(m_strIni), (1u << 20) + 1);

    fs::resize_file(m_strIni, 1u << 20);
    EXPECT_TRUE(s.LoadSettings(m_strIni, m_strAppDir, &strError));
    EXPECT_EQ(s.m_nPause, 250);
}

TEST_F(SettingsTest, SaveWritesAllSevenKeysInOrderKeepingOtherLinesAndLimitsAndLoadsBack) {
    const struct {
        const char *before, *after; // "~" stands for the program folder
    } cases[] = {
        {"", "[General]\nShowPingTime=0\nHideExcluded=0\nDefFile=~machines.xml\n[Scan]\nRetries=1\nPause=500\n"
             "[Monitor]\nEnabled=0\nRefresh=60\n"},
        {"; written by hand\n[Window]\nLeft=10\n[General]\nTheme=dark\nShowPingTime=0\n\n[Scan]\nRetries=300\n",
         "; written by hand\n[Window]\nLeft=10\n[General]\nTheme=dark\nShowPingTime=0\nHideExcluded=0\n"
         "DefFile=~machines.xml\n\n[Scan]\nRetries=255\nPause=500\n[Monitor]\nEnabled=0\nRefresh=60\n"},
    };
    for (const auto& c : cases) {
        WriteIni(c.before);
        ASSERT_TRUE(Loaded().SaveSettings(m_strIni));
        std::string after = c.after;
        after.replace(after.find('~'), 1, m_strAppDir);
        EXPECT_EQ(ReadIni(), after);
    }
    CSettings s;
    s.m_bShowPingTime = 1;
    s.m_bHideExcluded = 7;
    s.m_strDefFile = " /odd path/with 'quotes'.xml ";
    s.m_nRetries = 200;
    s.m_nPause = 1;
    s.m_bMonitor = 1;
    s.m_nRefresh = 3600;
    ASSERT_TRUE(s.SaveSettings(m_strIni));
    EXPECT_EQ(Dump(Loaded()), Dump(s)) << "saved values load back unchanged";
}

TEST_F(SettingsTest, SaveThatCannotBeWrittenSaysSoAndKeepsTheFileAndAnEmptyPathDoesNothing) {
    WriteIni("[General]\nShowPingTime=1\n");
    CSettings s;
    s.m_strDefFile = "/tmp/line\nbreak.xml"; // would inject a line into the file
    EXPECT_FALSE(s.SaveSettings(m_strIni));
    EXPECT_EQ(ReadIni(), "[General]\nShowPingTime=1\n");
    EXPECT_FALSE(CSettings().SaveSettings("/proc/lanwick-no-such-dir/Lanwick.ini"));

    s.m_nRefresh = 5;
    s.LoadSettings("", m_strAppDir);
    EXPECT_EQ(s.m_nRefresh, 5);
    EXPECT_EQ(s.m_strDefFile, "/tmp/line\nbreak.xml");
    EXPECT_FALSE(s.SaveSettings(""));
}

TEST_F(SettingsTest, FileLivesBesideTheProgramWhenWritableElseInTheServiceOrUserFolder) {
    // <prefix>/bin beside <prefix>/share/lanwick/installed, as `cmake --install` lays it out; root can write it.
    // No folder can be written where none exists, not even by root.
    const std::string dir = m_dir.Path(), installed = dir + "/prefix/bin", missing = dir + "/missing/bin";
    fs::create_directories(installed);
    fs::create_directories(dir + "/prefix/share/lanwick");
    test::WriteFile(dir + "/prefix/share/lanwick/installed", "installed\n");
    const std::string xdg = dir + "/xdg", home = dir + "/home", state = dir + "/state";
    const std::string stateList = state + ":/var/lib/other";
    const struct {
        std::string exeDir;
        const char *xdg, *home, *state;
        std::string strAppDir;
    } cases[] = {
        {dir, "/nowhere/xdg", "/nowhere/home", nullptr, m_strAppDir},
        {dir + "/", "/nowhere/xdg", "/nowhere/home", nullptr, m_strAppDir},
        {dir, xdg.c_str(), nullptr, state.c_str(), m_strAppDir}, // the build tree, even under a service
        {missing, xdg.c_str(), home.c_str(), nullptr, xdg + "/lanwick/"},
        {missing, nullptr, home.c_str(), nullptr, home + "/.config/lanwick/"},
        {missing, "", home.c_str(), nullptr, home + "/.config/lanwick/"},
        {missing, "relative/xdg", home.c_str(), nullptr, home + "/.config/lanwick/"},
        {missing, nullptr, nullptr, nullptr, missing + "/"},
        {installed, xdg.c_str(), "/nowhere/home", nullptr, xdg + "/lanwick/"},
        {installed, xdg.c_str(), "/nowhere/home", "relative/state", xdg + "/lanwick/"},
        {installed, xdg.c_str(), "/nowhere/home", state.c_str(), state + "/"},
        {installed, xdg.c_str(), "/nowhere/home", stateList.c_str(), state + "/"},
    };
    for (const auto& c : cases) {
        const SettingsLocation where = LocateSettings(c.exeDir, c.xdg, c.home, c.state);
        EXPECT_EQ(where.strAppDir, c.strAppDir)
            << c.exeDir << " " << (c.xdg ? c.xdg : "-") << " " << (c.state ? c.state : "-");
        EXPECT_EQ(where.strIniFile, c.strAppDir + "Lanwick.ini");
    }
    EXPECT_TRUE(fs::is_directory(xdg + "/lanwick"));
    EXPECT_TRUE(fs::is_directory(home + "/.config/lanwick"));
}
