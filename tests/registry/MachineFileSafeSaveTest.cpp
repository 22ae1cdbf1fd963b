// Saves under attack and under kill -9: links planted in shared folders are followed only as the kernel's
// protected_symlinks rule would, and a save killed at any moment leaves no file behind but the old one.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "Unprivileged.h"
#include "platform/FileStore.h"
#include "registry/MachineList.h"
#include "support/TempDir.h"

namespace lanwick {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

std::vector<std::string> Entries(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct LinkCase {
    const char* what;
    mode_t folderMode;
    uid_t folderOwner;
    uid_t linkOwner;
    bool bFollowed;
};

// Whose link, in what folder, the save may follow: the rule of fs.protected_symlinks, applied whatever the sysctl
// says, since a root save through someone else's link in /tmp is the attack it exists for.
TEST(MachineFileSafeSave, SaveFollowsALinkOnlyWhereTheKernelWould) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "links of another user need root to plant";
    const uid_t me = ::geteuid();
    const LinkCase cases[] = {
        {"another user's link in a sticky world-writable folder", 01777, me, test::kNobody, false},
        {"our own link in a sticky world-writable folder", 01777, me, me, true},
        {"the folder owner's link in its sticky world-writable folder", 01777, test::kNobody, test::kNobody, true},
        {"another user's link in a world-writable folder without the sticky bit", 0777, me, test::kNobody, true},
        {"another user's link in a sticky folder only its owner writes", 01755, me, test::kNobody, true},
    };
    for (const LinkCase& c : cases) {
        SCOPED_TRACE(c.what);
        test::CTempDir dir;
        const std::string strSecret = dir.File("secret");
        WriteFile(strSecret, "root only\n");
        ::chmod(strSecret.c_str(), 0600);
        const fs::path shared = dir.File("shared");
        fs::create_directory(shared);
        ASSERT_EQ(::chown(shared.c_str(), c.folderOwner, c.folderOwner), 0);
        ASSERT_EQ(::chmod(shared.c_str(), c.folderMode), 0);
        const std::string strLink = (shared / "machines.xml").string();
        fs::create_symlink(strSecret, strLink);
        ASSERT_EQ(::lchown(strLink.c_str(), c.linkOwner, c.linkOwner), 0);

        EXPECT_EQ(platform::ReplaceRefusal(strLink).empty(), c.bFollowed) << platform::ReplaceRefusal(strLink);
        CMachineList list;
        list.AddMachine({198, 18, 0, 1}, "00A0C9000001", "Lab", "one", 0);
        EXPECT_EQ(list.SaveFile(strLink), c.bFollowed);
        std::string strReason;
        EXPECT_EQ(platform::ReplaceFile(strLink, "plain text\n", &strReason), c.bFollowed);
        EXPECT_TRUE(fs::is_symlink(strLink));
        if (c.bFollowed) {
            EXPECT_EQ(ReadFile(strSecret), "plain text\n");
        } else {
            EXPECT_EQ(ReadFile(strSecret), "root only\n");
            EXPECT_NE(strReason.find("another user"), std::string::npos) << strReason;
            EXPECT_EQ(Entries(shared), std::vector<std::string>{"machines.xml"});
        }
        EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"secret", "shared"}));
    }
}

// The copy kept before a lossy file is first saved over: the file as it is, replacing an older copy; a ".bak" name
// that another user has planted as a link in a shared folder is not written through.
TEST(MachineFileSafeSave, BackupKeepsTheFileAndRefusesAPlantedLink) {
    test::CTempDir dir;
    const std::string strFile = dir.File("machines.xml");
    WriteFile(strFile, "original text\r\n");
    WriteFile(strFile + ".bak", "older copy\n");
    std::string strReason;
    ASSERT_TRUE(KeepBackup(strFile, &strReason)) << strReason;
    EXPECT_EQ(ReadFile(strFile + ".bak"), "original text\r\n");
    EXPECT_EQ(ReadFile(strFile), "original text\r\n");
    EXPECT_TRUE(KeepBackup(dir.File("none.xml"), &strReason));
    EXPECT_FALSE(fs::exists(dir.File("none.xml.bak")));

    if (::geteuid() != 0)
        GTEST_SKIP() << "links of another user need root to plant";
    const fs::path shared = dir.File("shared");
    fs::create_directory(shared);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    const std::string strSecret = dir.File("secret");
    WriteFile(strSecret, "root only\n");
    const std::string strShared = (shared / "m.xml").string();
    WriteFile(strShared, "machines\n");
    fs::create_symlink(strSecret, strShared + ".bak");
    ASSERT_EQ(::lchown((strShared + ".bak").c_str(), test::kNobody, test::kNobody), 0);
    EXPECT_FALSE(KeepBackup(strShared, &strReason));
    EXPECT_NE(strReason.find("another user"), std::string::npos) << strReason;
    EXPECT_EQ(ReadFile(strSecret), "root only\n");
}

// A chain of links is judged link by link: our link in a private folder that leads to a planted one is refused.
TEST(MachineFileSafeSave, EveryLinkOfAChainIsJudged) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "links of another user need root to plant";
    test::CTempDir dir;
    WriteFile(dir.File("secret"), "root only\n");
    const fs::path shared = dir.File("shared");
    fs::create_directory(shared);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    const std::string strPlanted = (shared / "planted").string();
    fs::create_symlink(dir.File("secret"), strPlanted);
    ASSERT_EQ(::lchown(strPlanted.c_str(), test::kNobody, test::kNobody), 0);
    fs::create_symlink(strPlanted, dir.File("mine.xml"));
    EXPECT_FALSE(platform::ReplaceFile(dir.File("mine.xml"), "x"));
    EXPECT_EQ(ReadFile(dir.File("secret")), "root only\n");
}

// A path the process may not look behind (EACCES, as a protected link also answers) is not a missing file: taking
// it for one would let a save create or replace what it was never allowed to see.
TEST(MachineFileSafeSave, RefusedLookupIsNotTakenForAMissingFile) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to make a folder that another user cannot search";
    test::CTempDir dir;
    const fs::path locked = dir.File("locked");
    fs::create_directory(locked);
    WriteFile((locked / "m.xml").string(), "old\n");
    ASSERT_EQ(::chmod(locked.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    const int result = test::RunUnprivileged([&] {
        return (platform::FileExists((locked / "m.xml").string()) ? 0 : 1) |
               (platform::FileExists(dir.File("none.xml")) ? 2 : 0);
    });
    EXPECT_EQ(result, 0);
}

// Without privileges the unnamed file is given its name through /proc, the one way open to an ordinary user.
TEST(MachineFileSafeSave, UnprivilegedSaveReplacesTheFileAndLeavesNothingElse) {
    test::CTempDir dir;
    const std::string strPath = dir.File("m.xml");
    WriteFile(strPath, "old\n");
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(dir.Path().c_str(), test::kNobody, test::kNobody), 0);
        ASSERT_EQ(::chown(strPath.c_str(), test::kNobody, test::kNobody), 0);
    }
    const int result = test::RunUnprivileged([&] { return platform::ReplaceFile(strPath, "new\n") ? 0 : 1; });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadFile(strPath), "new\n");
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"m.xml"});
}

// Children save a large file and are killed by SIGKILL at staggered moments of the save; whatever the moment, the
// folder holds only the machine file afterwards, old or new and whole.
TEST(MachineFileSafeSave, KilledSavesLeaveNothingBehind) {
    test::CTempDir dir;
    const std::string strPath = dir.File("m.xml");
    const std::string strOld = "old\n";
    WriteFile(strPath, strOld);
    const std::string strNew(48u << 20, 'x');
    int nKilledMidSave = 0;
    constexpr int kRounds = 16;
    for (int round = 0; round < kRounds; ++round) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(ready[0]);
            const char c = 'r';
            [[maybe_unused]] const ssize_t n = ::write(ready[1], &c, 1);
            ::_exit(platform::ReplaceFile(strPath, strNew) ? 0 : 1);
        }
        ::close(ready[1]);
        char c = 0;
        ASSERT_EQ(::read(ready[0], &c, 1), 1);
        ::close(ready[0]);
        ::usleep(static_cast<useconds_t>(round * 4000));
        ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        if (WIFSIGNALED(status))
            ++nKilledMidSave;
        EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"m.xml"}) << "round " << round;
        const auto size = fs::file_size(strPath);
        EXPECT_TRUE(size == strOld.size() || size == strNew.size()) << size;
    }
    // Every round killed before the save ended would prove nothing about a kill mid-save; all ending first neither.
    RecordProperty("killed_mid_save", nKilledMidSave);
    std::printf("%d of %d saves killed mid-save, none left a file behind\n", nKilledMidSave, kRounds);
    EXPECT_GT(nKilledMidSave, 0);
}

} // namespace
} // namespace lanwick
