// Where the history lives by default, what the settings file's [History] section changes, and the one form of a
// MAC in the history's keys.
#include "history/History.h"
#include "history/HistoryTestFiles.h"
#include "registry/Machine.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace lanwick::test {
namespace {

using history::DefaultHistoryPath;
using history::LoadHistoryOptions;

TEST(HistoryPaths, DefaultPathFollowsTheSettingsFileRule) {
    CTempDir dir;
    const std::string build = dir.File("build"), bin = dir.File("usr/bin");
    std::filesystem::create_directories(build);
    std::filesystem::create_directories(dir.File("usr/share/lanwick"));
    std::filesystem::create_directories(bin);
    dir.Write("usr/share/lanwick/installed", "");
    const std::string state = dir.File("state"), xdg = dir.File("xdg"), home = dir.File("home");
    const std::string stateList = state + ":" + dir.File("other");
    struct Case {
        const char* what;
        std::string exeDir;
        const char *xdg, *home, *state;
        std::string expected;
    } table[] = {
        {"a build tree keeps it beside the program", build, xdg.c_str(), home.c_str(), state.c_str(),
         build + "/Lanwick-history.db"},
        {"a service's state folder, the first listed", bin, xdg.c_str(), home.c_str(), stateList.c_str(),
         state + "/Lanwick-history.db"},
        {"the user's data folder", bin, xdg.c_str(), home.c_str(), nullptr, xdg + "/lanwick/Lanwick-history.db"},
        {"a relative XDG_DATA_HOME is ignored", bin, "rel", home.c_str(), "rel",
         home + "/.local/share/lanwick/Lanwick-history.db"},
        {"nowhere to go", bin, nullptr, nullptr, nullptr, ""},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.what);
        const std::string path = DefaultHistoryPath(c.exeDir, c.xdg, c.home, c.state);
        EXPECT_EQ(path, c.expected);
        if (path.empty() || c.exeDir == build)
            continue;
        // Made when missing, for the owner only.
        struct stat st {};
        ASSERT_EQ(stat(std::filesystem::path(path).parent_path().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
    }
}

TEST(HistoryPaths, TheHistorySectionSwitchesMovesAndShortens) {
    CTempDir dir;
    const std::string byDefault = dir.Path() + "/Lanwick-history.db";
    struct Case {
        const char* ini;
        bool bEnabled;
        std::string path;
        std::int64_t nDays;
    } table[] = {
        {"[Monitor]\nEnabled=1\n", true, byDefault, 30},
        {"[History]\nEnabled=0\n", false, byDefault, 30},
        {"[history]\nfile=sub/h.db\nDays=400\n", true, dir.Path() + "/sub/h.db", 400},
        {"[History]\nFile=/var/lib/x/h.db\nDays=0\n", true, "/var/lib/x/h.db", 1},
        {"[History]\nFile=\nDays=99999\nEnabled=1\n", true, byDefault, 3650},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.ini);
        dir.Write("Lanwick.ini", c.ini);
        const history::HistoryOptions options = LoadHistoryOptions(dir.File("Lanwick.ini"), dir.Path());
        EXPECT_EQ(options.bEnabled, c.bEnabled);
        EXPECT_EQ(options.strPath, c.path);
        EXPECT_EQ(options.nRetentionDays, c.nDays);
    }
    const history::HistoryOptions none = LoadHistoryOptions(dir.File("none.ini"), dir.Path());
    EXPECT_TRUE(none.bEnabled);
    EXPECT_EQ(none.strPath, byDefault);
}

TEST(HistoryPaths, FoldersReachedThroughLinksAreFollowedAsTheKernelWould) {
    CTempDir dir;
    std::filesystem::create_directories(dir.File("private/state"));
    std::filesystem::create_directory_symlink("private/state", dir.File("state"));
    {
        history::CHistoryWriter writer(dir.File("state/../state/h.db"));
        writer.Record(Pass(RecentHour(), {{Key("198.18.0.10"), 100}}));
        writer.Flush();
        EXPECT_EQ(writer.PauseReason(), "");
    }
    EXPECT_TRUE(std::filesystem::is_regular_file(dir.File("private/state/h.db")));
    history::CHistoryReader reader;
    EXPECT_TRUE(reader.Open(dir.File("state/h.db")));
    // The file itself as a link is refused.
    std::filesystem::create_symlink("private/state/h.db", dir.File("h.db"));
    EXPECT_FALSE(reader.Open(dir.File("h.db")));

    if (geteuid() != 0)
        GTEST_SKIP() << "links of another user need root to plant";
    // Another user's link in a sticky world-writable folder, as in /tmp.
    std::filesystem::create_directory(dir.File("shared"));
    ASSERT_EQ(chmod(dir.File("shared").c_str(), 01777), 0);
    std::filesystem::create_directory_symlink(dir.File("private/state"), dir.File("shared/planted"));
    ASSERT_EQ(lchown(dir.File("shared/planted").c_str(), 12345, 12345), 0);
    history::CHistoryWriter writer(dir.File("shared/planted/h.db"));
    writer.Flush();
    EXPECT_NE(writer.PauseReason().find("a link of another user (uid 12345)"), std::string::npos)
        << writer.PauseReason();
}

TEST(HistoryPaths, NormaliseMacTakesEveryFormOfSixBytes) {
    const std::pair<const char*, const char*> table[] = {
        {"00-1A-2b-CC-dd-EE", "00:1a:2b:cc:dd:ee"},
        {"001A2BCCDDEE", "00:1a:2b:cc:dd:ee"},
        {"001a.2bcc.ddee", "00:1a:2b:cc:dd:ee"},
        {"00:1a:2b:cc:dd:ee", "00:1a:2b:cc:dd:ee"},
        {"000000000000", ""},
        {"00:1a:2b:cc:dd", ""},
        {"00:1a:2b:cc:dd:ee:ff", ""},
        {"00:1g:2b:cc:dd:ee", ""},
        {"", ""},
    };
    for (const auto& [in, out] : table) {
        EXPECT_EQ(history::NormaliseMac(in), out) << in;
        // A machine's check, packed straight from its record, is filed under the key its sheet reads.
        CMachine machine({198, 18, 0, 7}, in, "", "", 0);
        machine.m_dPingTime = 1234.9;
        const history::Check check = history::CheckOf(machine);
        const history::MachineKey key = check.Key();
        EXPECT_EQ(key.strAddress, "198.18.0.7");
        EXPECT_EQ(key.strMac, out) << in;
        EXPECT_EQ(history::KeyOf(machine).strMac, out) << in;
        EXPECT_EQ(check.nRoundTripUs, 1234);
    }
    CMachine silent({10, 0, 0, 255}, "", "", "", 0);
    silent.m_dPingTime = -1.0;
    EXPECT_EQ(history::CheckOf(silent).nRoundTripUs, -1);
    EXPECT_EQ(history::CheckOf(silent).Key().strAddress, "10.0.0.255");
}

} // namespace
} // namespace lanwick::test
