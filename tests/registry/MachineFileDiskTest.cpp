// The machine file on disk: load results, saves that never damage the old file (permissions, unprivileged users,
// full and read-only file systems, SIGKILL mid-save), links followed only as the kernel's protected_symlinks rule
// would, and the writers' lock.
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>
#include <vector>

#include "platform/FileStore.h"
#include "registry/MachineList.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"

namespace lanwick {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

using test::kNobody;
using test::RunUnprivileged;

std::vector<std::string> Entries(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void Fill(CMachineList& list, int count) {
    for (int i = 0; i < count; ++i)
        list.AddMachine({10, 0, static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)},
                        "00A0C9" + std::to_string(100000 + i), "Group " + std::to_string(i % 10),
                        "host-" + std::to_string(i) + ".example.lan", 0, i % 2, i % 3 == 0);
}

TEST(MachineFileDisk, LoadFileTellsMissingFromUnreadableAndRefusesHugeFilesUnread) {
    test::CTempDir dir;
    ASSERT_EQ(::mkfifo(dir.File("fifo.xml").c_str(), 0600), 0);
    WriteFile(dir.File("empty.xml"), "");
    CMachineList list;
    EXPECT_EQ(list.LoadFile(dir.File("missing.xml")), 2);
    EXPECT_EQ(list.LoadFile(dir.Path()), 1);
    EXPECT_EQ(list.LoadFile(dir.File("fifo.xml")), 1) << "and without blocking";
    EXPECT_EQ(list.LoadFile(dir.File("empty.xml")), 0);
    EXPECT_EQ(list.GetCount(), 0u);
    CMachineList saved;
    Fill(saved, 2);
    ASSERT_TRUE(saved.SaveFile(dir.File("big.xml")));
    // Sparse, so the test costs no disk: what counts is the size the file claims.
    fs::resize_file(dir.File("big.xml"), kMaxMachineFileBytes + 1);
    EXPECT_EQ(list.LoadFile(dir.File("big.xml")), 1);
    EXPECT_EQ(list.GetCount(), 0u);
    fs::resize_file(dir.File("big.xml"), kMaxMachineFileBytes);
    EXPECT_EQ(list.LoadFile(dir.File("big.xml")), 0);
    EXPECT_EQ(list.GetCount(), 2u);
}

TEST(MachineFileDisk, SaveWritesTheTextKeepsPermissionsAndLinksAndLeavesNoTemporaryFile) {
    test::CTempDir dir;
    WriteFile(dir.File("m.xml"), "old");
    fs::permissions(dir.File("m.xml"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    WriteFile(dir.File("real.xml"), "old");
    fs::create_symlink("real.xml", dir.File("link.xml"));
    CMachineList list;
    Fill(list, 1500); // far beyond 64,000 bytes
    list.AddMachine({10, 9, 8, 7}, "0011223344AA", "R&D \">", "name </Name> & more", 1, 1, 1);
    ASSERT_TRUE(list.SaveFile(dir.File("m.xml")));
    EXPECT_EQ(list.LastSaveError(), CMachineList::SaveError::None);
    EXPECT_EQ(ReadFile(dir.File("m.xml")), list.SaveToText());
    EXPECT_GT(fs::file_size(dir.File("m.xml")), 200000u);
    EXPECT_EQ(fs::status(dir.File("m.xml")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    CMachineList copy;
    EXPECT_EQ(copy.LoadFile(dir.File("m.xml")), 0);
    EXPECT_EQ(copy.GetCount(), 1501u);
    EXPECT_EQ(copy.SaveToText(), list.SaveToText());

    ASSERT_TRUE(list.SaveFile(dir.File("link.xml")));
    EXPECT_TRUE(fs::is_symlink(dir.File("link.xml")));
    EXPECT_EQ(ReadFile(dir.File("real.xml")), list.SaveToText());
    const mode_t oldMask = ::umask(022);
    const bool bSaved = list.SaveFile(dir.File("new.xml"));
    ::umask(oldMask);
    ASSERT_TRUE(bSaved);
    EXPECT_EQ(fs::status(dir.File("new.xml")).permissions(), static_cast<fs::perms>(0644));
    EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"link.xml", "m.xml", "new.xml", "real.xml"}));
}

// Run as an ordinary user: the file and folder belong to it, their modes decide. Without privileges the unnamed
// file is given its name through /proc, the one way open to an ordinary user.
TEST(MachineFileDisk, UnprivilegedSaveReplacesOnlyWhatItMayWrite) {
    const struct {
        const char* what;
        fs::perms fileMode, dirMode;
        CMachineList::SaveError error;
    } cases[] = {
        {"a file of its own", static_cast<fs::perms>(0644), static_cast<fs::perms>(0755),
         CMachineList::SaveError::None},
        {"a file it may not write", static_cast<fs::perms>(0444), static_cast<fs::perms>(0777),
         CMachineList::SaveError::NotAccessible},
        {"a folder it may not write", static_cast<fs::perms>(0644), static_cast<fs::perms>(0555),
         CMachineList::SaveError::WriteFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::CTempDir dir;
        const std::string strPath = dir.File("m.xml");
        WriteFile(strPath, "old");
        if (::geteuid() == 0) {
            ASSERT_EQ(::chown(dir.Path().c_str(), kNobody, kNobody), 0);
            ASSERT_EQ(::chown(strPath.c_str(), kNobody, kNobody), 0);
        }
        fs::permissions(strPath, c.fileMode);
        fs::permissions(dir.Path(), c.dirMode);
        CMachineList list;
        Fill(list, 2);
        const int result = RunUnprivileged([&] {
            const bool bSaved = list.SaveFile(strPath);
            CMachineList reader;
            const int nLoad = reader.LoadFile(strPath);
            return (bSaved == (c.error == CMachineList::SaveError::None) ? 0 : 1) |
                   (list.LastSaveError() == c.error ? 0 : 2) |
                   (nLoad == (c.error == CMachineList::SaveError::NotAccessible ? 2 : 0) ? 0 : 4);
        });
        EXPECT_EQ(result, 0);
        EXPECT_EQ(ReadFile(strPath), c.error == CMachineList::SaveError::None ? list.SaveToText() : "old");
        EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"m.xml"});
    }
}

// A small tmpfs in a private mount namespace, so it vanishes with the test process whatever happens: full, then
// read-only.
TEST(MachineFileDisk, SaveOntoAFullOrReadOnlyFileSystemKeepsTheOldFile) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a file system needs root";
    test::CTempDir dir;
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", dir.Path().c_str(), "tmpfs", 0, "size=64k,mode=0755") != 0) {
        // CI runs as root with mounts allowed: there this case must really run.
        const char* required = std::getenv("LANWICK_REQUIRE_LAN");
        if (required != nullptr && std::string(required) == "1")
            FAIL() << "cannot mount a tmpfs";
        GTEST_SKIP() << "cannot mount a tmpfs here";
    }
    const struct Unmount {
        std::string strPath;
        ~Unmount() { ::umount2(strPath.c_str(), MNT_DETACH); }
    } unmount{dir.Path()};
    const std::string strPath = dir.File("m.xml");
    CMachineList oldList;
    oldList.AddMachine({10, 0, 0, 1}, "001122334455", "Office", "old", 0);
    ASSERT_TRUE(oldList.SaveFile(strPath));
    {
        std::ofstream filler(dir.File("filler"), std::ios::binary);
        const std::string chunk(4096, 'x');
        for (int i = 0; i < 1024 && filler; ++i)
            filler.write(chunk.data(), static_cast<std::streamsize>(chunk.size())).flush();
    }
    CMachineList list;
    list.AddMachine({10, 0, 0, 2}, "001122334455", "Office", "new", 0);
    EXPECT_FALSE(list.SaveFile(strPath));
    EXPECT_EQ(list.LastSaveError(), CMachineList::SaveError::WriteFailed);
    EXPECT_EQ(ReadFile(strPath), oldList.SaveToText());
    EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"filler", "m.xml"}));
    // A text far larger than the whole file system fails the same way once space is freed.
    fs::remove(dir.File("filler"));
    Fill(list, 2000);
    EXPECT_FALSE(list.SaveFile(strPath));
    EXPECT_EQ(ReadFile(strPath), oldList.SaveToText());
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"m.xml"});

    ASSERT_EQ(::mount(nullptr, dir.Path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    EXPECT_FALSE(list.SaveFile(strPath));
    EXPECT_FALSE(list.SaveFile(dir.File("other.xml")));
    EXPECT_EQ(list.LastSaveError(), CMachineList::SaveError::WriteFailed);
    EXPECT_EQ(ReadFile(strPath), oldList.SaveToText());
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"m.xml"});
    // Not writable, so the load refuses it too, as it always has.
    EXPECT_EQ(list.LoadFile(strPath), 2);
}

// Whose link, in what folder, the save may follow: the rule of fs.protected_symlinks, applied whatever the sysctl
// says, since a root save through someone else's link in /tmp is the attack it exists for. A chain is judged link
// by link, and the ".bak" copy kept before a lossy file is first saved over obeys the same rule.
TEST(MachineFileSafeSave, SaveFollowsALinkOnlyWhereTheKernelWould) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "links of another user need root to plant";
    const uid_t me = ::geteuid();
    const struct {
        const char* what;
        mode_t folderMode;
        uid_t folderOwner, linkOwner;
        bool bFollowed;
    } cases[] = {
        {"another user's link in a sticky world-writable folder", 01777, me, kNobody, false},
        {"our own link in a sticky world-writable folder", 01777, me, me, true},
        {"the folder owner's link in its sticky world-writable folder", 01777, kNobody, kNobody, true},
        {"another user's link in a world-writable folder without the sticky bit", 0777, me, kNobody, true},
        {"another user's link in a sticky folder only its owner writes", 01755, me, kNobody, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::CTempDir dir;
        const std::string strSecret = dir.File("secret");
        WriteFile(strSecret, "root only\n");
        const fs::path shared = dir.File("shared");
        fs::create_directory(shared);
        ASSERT_EQ(::chown(shared.c_str(), c.folderOwner, c.folderOwner), 0);
        ASSERT_EQ(::chmod(shared.c_str(), c.folderMode), 0);
        const std::string strLink = (shared / "machines.xml").string();
        fs::create_symlink(strSecret, strLink);
        ASSERT_EQ(::lchown(strLink.c_str(), c.linkOwner, c.linkOwner), 0);
        fs::create_symlink(strLink, dir.File("chain.xml"));

        EXPECT_EQ(platform::ReplaceRefusal(strLink).empty(), c.bFollowed) << platform::ReplaceRefusal(strLink);
        EXPECT_EQ(platform::ReplaceFile(dir.File("chain.xml"), "chained\n"), c.bFollowed);
        CMachineList list;
        list.AddMachine({198, 18, 0, 1}, "00A0C9000001", "Lab", "one", 0);
        EXPECT_EQ(list.SaveFile(strLink), c.bFollowed);
        std::string strReason;
        EXPECT_EQ(platform::ReplaceFile(strLink, "plain text\n", &strReason), c.bFollowed);
        EXPECT_TRUE(fs::is_symlink(strLink));
        EXPECT_EQ(ReadFile(strSecret), c.bFollowed ? "plain text\n" : "root only\n");
        if (!c.bFollowed) {
            EXPECT_NE(strReason.find("another user"), std::string::npos) << strReason;
            EXPECT_EQ(Entries(shared), std::vector<std::string>{"machines.xml"});
        }
        // The same link planted under the backup's name.
        WriteFile((shared / "m.xml").string(), "machines\n");
        fs::create_symlink(strSecret, (shared / "m.xml.bak").string());
        ASSERT_EQ(::lchown((shared / "m.xml.bak").c_str(), c.linkOwner, c.linkOwner), 0);
        EXPECT_EQ(KeepBackup((shared / "m.xml").string(), &strReason), c.bFollowed) << strReason;
        EXPECT_EQ(ReadFile(strSecret), c.bFollowed ? "machines\n" : "root only\n");
        EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"chain.xml", "secret", "shared"}));
    }
}

TEST(MachineFileSafeSave, BackupKeepsTheFileAsItIs) {
    test::CTempDir dir;
    const std::string strFile = dir.File("machines.xml");
    WriteFile(strFile, "original text\r\n");
    WriteFile(strFile + ".bak", "older copy\n");
    std::string strReason;
    ASSERT_TRUE(KeepBackup(strFile, &strReason)) << strReason;
    EXPECT_EQ(ReadFile(strFile + ".bak"), "original text\r\n");
    EXPECT_EQ(ReadFile(strFile), "original text\r\n");
    EXPECT_TRUE(KeepBackup(dir.File("none.xml"), &strReason));
    EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"machines.xml", "machines.xml.bak"}));
}

// A path the process may not look behind (EACCES, as a protected link also answers) is not a missing file: taking
// it for one would let a save create or replace what it was never allowed to see.
TEST(MachineFileSafeSave, RefusedLookupIsNotTakenForAMissingFile) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to make a folder that another user cannot search";
    test::CTempDir dir;
    fs::create_directory(dir.File("locked"));
    WriteFile(dir.File("locked/m.xml"), "old\n");
    ASSERT_EQ(::chmod(dir.File("locked").c_str(), 0700), 0);
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    const int result = RunUnprivileged([&] {
        return (platform::FileExists(dir.File("locked/m.xml")) ? 0 : 1) |
               (platform::FileExists(dir.File("none.xml")) ? 2 : 0);
    });
    EXPECT_EQ(result, 0);
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
            [[maybe_unused]] const ssize_t n = ::write(ready[1], "r", 1);
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
        nKilledMidSave += WIFSIGNALED(status) ? 1 : 0;
        EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"m.xml"}) << "round " << round;
        const auto size = fs::file_size(strPath);
        EXPECT_TRUE(size == strOld.size() || size == strNew.size()) << size;
    }
    // Every round killed before the save ended would prove nothing about a kill mid-save; all ending first neither.
    std::printf("%d of %d saves killed mid-save, none left a file behind\n", nKilledMidSave, kRounds);
    EXPECT_GT(nKilledMidSave, 0);
}

// Two writer processes, each 20 times: lock, reload, append one machine, save, unlock, as `scan --add` does. The
// pause between reading and saving stands for the scan, and gives the other writer its chance to interleave.
TEST(MachineFileWriters, TwoLockedWritersLoseNothing) {
    constexpr int kRounds = 20;
    test::CTempDir dir;
    const std::string strPath = dir.File("machines.xml");
    CMachineList empty;
    ASSERT_TRUE(empty.SaveFile(strPath));
    pid_t children[2] = {};
    for (int n = 0; n < 2; ++n) {
        children[n] = ::fork();
        ASSERT_GE(children[n], 0);
        if (children[n] != 0)
            continue;
        for (int nRound = 0; nRound < kRounds; ++nRound) {
            platform::CWriteLock lock;
            CMachineList list;
            if (!lock.Lock(strPath) || list.LoadFile(strPath) == 1)
                std::_Exit(2);
            list.AddMachine({198, 18, static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(nRound)}, "00A0C9000001",
                            "Lab", "w" + std::to_string(n) + "-" + std::to_string(nRound), 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            if (!list.SaveFile(strPath))
                std::_Exit(4);
        }
        std::_Exit(0);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    CMachineList list;
    ASSERT_EQ(list.LoadFile(strPath), 0);
    std::set<std::string> names;
    list.ResetCursor();
    while (const CMachine* pMachine = list.GetNextMachine())
        names.insert(pMachine->m_strName);
    EXPECT_EQ(names.size(), std::size_t{2 * kRounds});
    EXPECT_EQ(list.GetCount(), std::size_t{2 * kRounds});
}

// The lock file is made beside the machine file by whoever writes first; a link or a FIFO planted under its name
// is neither followed nor waited on, and a lock another process holds is given up on after a bounded wait with a
// reason, so that no window or scan waits for ever.
TEST(MachineFileWriters, LockRefusesWhatIsPlantedAndGivesUpOnAHeldLock) {
    test::CTempDir dir;
    const std::string strPath = dir.File("machines.xml"), strLock = dir.File(".machines.xml.lock");
    std::string strReason;
    {
        platform::CWriteLock lock;
        ASSERT_TRUE(lock.Lock(strPath, &strReason)) << strReason;
        EXPECT_TRUE(fs::is_regular_file(strLock));
    }
    fs::remove(strLock);
    fs::create_symlink(dir.File("secret"), strLock);
    platform::CWriteLock lock;
    EXPECT_FALSE(lock.Lock(strPath, &strReason));
    EXPECT_FALSE(fs::exists(dir.File("secret")));
    fs::remove(strLock);
    ASSERT_EQ(::mkfifo(strLock.c_str(), 0644), 0);
    EXPECT_FALSE(lock.Lock(strPath, &strReason));
    EXPECT_NE(strReason.find("not a regular file"), std::string::npos) << strReason;
    fs::remove(strLock);

    int ready[2], done[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(done), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        platform::CWriteLock held;
        char c = held.Lock(strPath) ? 'y' : 'n';
        (void)!::write(ready[1], &c, 1);
        (void)!::read(done[0], &c, 1); // holds the lock until the parent has tried
        std::_Exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    EXPECT_FALSE(lock.Lock(strPath, &strReason));
    EXPECT_NE(strReason.find("another program holds it"), std::string::npos) << strReason;
    (void)!::write(done[1], "x", 1);
    ::waitpid(child, nullptr, 0);
    EXPECT_TRUE(lock.Lock(strPath, &strReason)) << strReason; // given back: taken at once
    for (int fd : {ready[0], ready[1], done[0], done[1]})
        ::close(fd);
}

} // namespace
} // namespace lanwick
