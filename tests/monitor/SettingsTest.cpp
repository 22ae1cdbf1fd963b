// The settings store: defaults, the Retries rules, the default machine file, what a save writes and keeps, and
// where the settings file lives.
#include "monitor/Settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

using namespace lanwick;
namespace fs = std::filesystem;

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("lanwick-settings-" + std::to_string(getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_strAppDir = m_dir.string() + "/";
        m_strIni = m_strAppDir + "Lanwick.ini";
    }
    void TearDown() override { fs::remove_all(m_dir); }
    void WriteIni(const std::string& text) const { std::ofstream(m_strIni, std::ios::binary) << text; }
    std::string ReadIni() const {
        std::ifstream in(m_strIni, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    CSettings Loaded() const {
        CSettings s;
        s.LoadSettings(m_strIni, m_strAppDir);
        return s;
    }
    std::uint8_t RetriesFrom(const std::string& value) const {
        WriteIni("[Scan]\nRetries=" + value + "\n");
        return Loaded().m_nRetries;
    }

    fs::path m_dir;
    std::string m_strAppDir;
    std::string m_strIni;
};

} // namespace

TEST_F(SettingsTest, NoFileGivesTheDefaultsAndCreatesNothing) {
    CSettings s = Loaded();
    EXPECT_EQ(s.m_bShowPingTime, 0);
    EXPECT_EQ(s.m_bHideExcluded, 0);
    EXPECT_EQ(s.m_strDefFile, m_strAppDir + "machines.xml");
    EXPECT_EQ(s.m_nRetries, 1);
    EXPECT_EQ(s.m_nPause, 500);
    EXPECT_EQ(s.m_bMonitor, 0);
    EXPECT_EQ(s.m_nRefresh, 60);
    EXPECT_FALSE(fs::exists(m_strIni));
}

TEST_F(SettingsTest, ReadsEveryKeyFromItsSection) {
    WriteIni("[General]\nShowPingTime=1\nHideExcluded=1\nDefFile=/data/lan.xml\n[Scan]\nRetries=3\nPause=250\n"
             "[Monitor]\nEnabled=1\nRefresh=15\n");
    CSettings s = Loaded();
    EXPECT_EQ(s.m_bShowPingTime, 1);
    EXPECT_EQ(s.m_bHideExcluded, 1);
    EXPECT_EQ(s.m_strDefFile, "/data/lan.xml");
    EXPECT_EQ(s.m_nRetries, 3);
    EXPECT_EQ(s.m_nPause, 250);
    EXPECT_EQ(s.m_bMonitor, 1);
    EXPECT_EQ(s.m_nRefresh, 15);
}

// What the settings sheet would refuse cannot come in through the file either: a Pause of 24 days stalled every
// ping, a Refresh past 32 bits read as some other number.
TEST_F(SettingsTest, NumbersOfTheFileAreHeldToTheSheetsRanges) {
    struct Case {
        const char* key;
        const char* value;
        std::int64_t expected;
    };
    const Case cases[] = {
        {"Retries", "3", 3},
        {"Retries", "255", 255},
        {"Retries", "256", 255},
        {"Retries", "300", 255},
        {"Retries", "512", 255},
        {"Retries", "0", 1},
        {"Retries", "-3", 1},
        {"Retries", "many", 1},
        {"Retries", "4294967297", 255},
        {"Pause", "250", 250},
        {"Pause", "5000", 5000},
        {"Pause", "5001", 5000},
        {"Pause", "2147483647", 5000},
        {"Pause", "0", 1},
        {"Pause", "-1", 1},
        {"Refresh", "15", 15},
        {"Refresh", "86400", 86400},
        {"Refresh", "86401", 86400},
        {"Refresh", "9999999999", 86400},
        {"Refresh", "4294967295", 86400},
        {"Refresh", "4294967306", 86400},
        {"Refresh", "0", 10},
        {"Refresh", "9", 10},
        {"Refresh", "-60", 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.value);
        WriteIni(std::string("[") + (std::string(c.key) == "Refresh" ? "Monitor" : "Scan") + "]\n" + c.key + "=" +
                 c.value + "\n");
        const CSettings s = Loaded();
        const std::int64_t actual = std::string(c.key) == "Retries" ? s.m_nRetries
                                    : std::string(c.key) == "Pause" ? s.m_nPause
                                                                    : s.m_nRefresh;
        EXPECT_EQ(actual, c.expected);
    }
}

TEST_F(SettingsTest, RetriesOutOfRangeIsWrittenBackAsItsLimit) {
    WriteIni("[Scan]\nRetries=300\n");
    CSettings s = Loaded();
    ASSERT_TRUE(s.SaveSettings(m_strIni));
    EXPECT_NE(ReadIni().find("Retries=255\n"), std::string::npos) << ReadIni();
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

TEST_F(SettingsTest, EmptyDefFileBehavesAsMissing) {
    WriteIni("[General]\nDefFile=\n");
    EXPECT_EQ(Loaded().m_strDefFile, m_strAppDir + "machines.xml");
    WriteIni("[General]\nDefFile=  \n");
    EXPECT_EQ(Loaded().m_strDefFile, m_strAppDir + "machines.xml");
}

TEST_F(SettingsTest, SaveWritesAllSevenKeysInOrder) {
    CSettings s = Loaded();
    ASSERT_TRUE(s.SaveSettings(m_strIni));
    EXPECT_EQ(ReadIni(), "[General]\nShowPingTime=0\nHideExcluded=0\nDefFile=" + m_strAppDir +
                             "machines.xml\n[Scan]\nRetries=1\nPause=500\n[Monitor]\nEnabled=0\nRefresh=60\n");
}

TEST_F(SettingsTest, SaveKeepsOtherKeysAndSections) {
    WriteIni("; written by hand\n[Window]\nLeft=10\n[General]\nTheme=dark\nShowPingTime=0\n\n[Scan]\nPause=100\n");
    CSettings s = Loaded();
    s.m_bShowPingTime = 1;
    ASSERT_TRUE(s.SaveSettings(m_strIni));
    EXPECT_EQ(ReadIni(), "; written by hand\n[Window]\nLeft=10\n[General]\nTheme=dark\nShowPingTime=1\n"
                         "HideExcluded=0\nDefFile=" +
                             m_strAppDir +
                             "machines.xml\n\n[Scan]\nPause=100\nRetries=1\n[Monitor]\nEnabled=0\n"
                             "Refresh=60\n");
}

TEST_F(SettingsTest, SavedValuesLoadBackUnchanged) {
    CSettings s;
    s.m_bShowPingTime = 1;
    s.m_bHideExcluded = 7;
    s.m_strDefFile = " /odd path/with 'quotes'.xml ";
    s.m_nRetries = 200;
    s.m_nPause = 1;
    s.m_bMonitor = 1;
    s.m_nRefresh = 3600;
    ASSERT_TRUE(s.SaveSettings(m_strIni));
    CSettings t = Loaded();
    EXPECT_EQ(t.m_bShowPingTime, 1);
    EXPECT_EQ(t.m_bHideExcluded, 7);
    EXPECT_EQ(t.m_strDefFile, s.m_strDefFile);
    EXPECT_EQ(t.m_nRetries, 200);
    EXPECT_EQ(t.m_nPause, 1);
    EXPECT_EQ(t.m_bMonitor, 1);
    EXPECT_EQ(t.m_nRefresh, 3600);
}

TEST_F(SettingsTest, MonitoringSwitchedOnWithoutSaveIsOffAtNextStart) {
    WriteIni("[Monitor]\nEnabled=0\n");
    CSettings s = Loaded();
    s.m_bMonitor = 1; // the switch changes the member only
    EXPECT_EQ(Loaded().m_bMonitor, 0);
}

TEST_F(SettingsTest, SaveThatCannotBeWrittenSaysSoAndKeepsTheFile) {
    WriteIni("[General]\nShowPingTime=1\n");
    CSettings s;
    s.m_strDefFile = "/tmp/line\nbreak.xml"; // would inject a line into the file
    EXPECT_FALSE(s.SaveSettings(m_strIni));
    EXPECT_EQ(ReadIni(), "[General]\nShowPingTime=1\n");
    EXPECT_FALSE(CSettings().SaveSettings("/proc/lanwick-no-such-dir/Lanwick.ini"));
}

TEST_F(SettingsTest, EmptyPathDoesNothing) {
    CSettings s;
    s.m_nRefresh = 5;
    s.LoadSettings("", m_strAppDir);
    EXPECT_EQ(s.m_nRefresh, 5);
    EXPECT_TRUE(s.m_strDefFile.empty());
    EXPECT_FALSE(s.SaveSettings(""));
}

TEST_F(SettingsTest, WritableProgramFolderHoldsTheFile) {
    for (std::string exeDir : {m_dir.string(), m_dir.string() + "/"}) {
        SettingsLocation where = LocateSettings(exeDir, "/nowhere/xdg", "/nowhere/home");
        EXPECT_EQ(where.strAppDir, m_strAppDir);
        EXPECT_EQ(where.strIniFile, m_strAppDir + "Lanwick.ini");
    }
}

TEST_F(SettingsTest, UnwritableProgramFolderUsesTheUserConfigFolder) {
    // No folder can be written where none exists, not even by root.
    const std::string exeDir = m_dir.string() + "/missing/bin";
    const std::string xdg = m_dir.string() + "/xdg";
    const std::string home = m_dir.string() + "/home";

    SettingsLocation where = LocateSettings(exeDir, xdg.c_str(), home.c_str());
    EXPECT_EQ(where.strAppDir, xdg + "/lanwick/");
    EXPECT_EQ(where.strIniFile, xdg + "/lanwick/Lanwick.ini");
    EXPECT_TRUE(fs::is_directory(where.strAppDir));

    for (const char* unsetXdg : {static_cast<const char*>(nullptr), "", "relative/xdg"}) {
        where = LocateSettings(exeDir, unsetXdg, home.c_str());
        EXPECT_EQ(where.strAppDir, home + "/.config/lanwick/");
        EXPECT_EQ(where.strIniFile, home + "/.config/lanwick/Lanwick.ini");
    }
    EXPECT_TRUE(fs::is_directory(home + "/.config/lanwick"));
}

TEST_F(SettingsTest, InstalledProgramUsesTheServiceOrUserFolderEvenWhenItsFolderIsWritable) {
    // <prefix>/bin beside <prefix>/share/lanwick/installed, as `cmake --install` lays it out; root can write it.
    const std::string exeDir = m_dir.string() + "/prefix/bin";
    fs::create_directories(exeDir);
    fs::create_directories(m_dir / "prefix/share/lanwick");
    std::ofstream(m_dir / "prefix/share/lanwick/installed") << "installed\n";
    const std::string xdg = m_dir.string() + "/xdg";
    const std::string state = m_dir.string() + "/state";
    const std::string stateList = state + ":/var/lib/other";
    const struct {
        const char* stateDirectory;
        std::string strAppDir;
    } cases[] = {
        {nullptr, xdg + "/lanwick/"},
        {"relative/state", xdg + "/lanwick/"},
        {state.c_str(), state + "/"},
        {stateList.c_str(), state + "/"},
    };
    for (const auto& c : cases) {
        const SettingsLocation where = LocateSettings(exeDir, xdg.c_str(), "/nowhere/home", c.stateDirectory);
        EXPECT_EQ(where.strAppDir, c.strAppDir) << (c.stateDirectory ? c.stateDirectory : "(unset)");
        EXPECT_EQ(where.strIniFile, c.strAppDir + "Lanwick.ini");
    }
    // The build tree keeps its settings beside the program, even under a service.
    EXPECT_EQ(LocateSettings(m_dir.string(), xdg.c_str(), nullptr, state.c_str()).strAppDir, m_strAppDir);
}

TEST_F(SettingsTest, WithoutAnyUserFolderTheProgramFolderIsKept) {
    const std::string exeDir = m_dir.string() + "/missing";
    SettingsLocation where = LocateSettings(exeDir, nullptr, nullptr);
    EXPECT_EQ(where.strAppDir, exeDir + "/");
    EXPECT_EQ(where.strIniFile, exeDir + "/Lanwick.ini");
}
