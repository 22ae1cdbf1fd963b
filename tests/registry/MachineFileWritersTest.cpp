// Two writers of one machine file: every read-modify-write under the writers' lock, so that neither loses the
// other's machines, even though each save replaces the file the other has open.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "platform/FileStore.h"
#include "registry/MachineList.h"
#include "support/TempDir.h"

namespace lanwick {
namespace {

constexpr int kRounds = 20;

// One writer process: kRounds times lock, reload, append one machine, save, unlock, as `scan --add` does. The
// pause between reading and saving stands for the scan, and gives the other writer its chance to interleave.
[[noreturn]] void Writer(const std::string& strPath, int nWriter) {
    for (int nRound = 0; nRound < kRounds; ++nRound) {
        platform::CWriteLock lock;
        if (!lock.Lock(strPath))
            std::_Exit(2);
        CMachineList list;
        if (list.LoadFile(strPath) == 1)
            std::_Exit(3);
        list.AddMachine({198, 18, static_cast<std::uint8_t>(nWriter), static_cast<std::uint8_t>(nRound)},
                        "00A0C9000001", "Lab", "w" + std::to_string(nWriter) + "-" + std::to_string(nRound), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (!list.SaveFile(strPath))
            std::_Exit(4);
    }
    std::_Exit(0);
}

TEST(MachineFileWriters, TwoLockedWritersLoseNothing) {
    test::CTempDir dir;
    const std::string strPath = dir.File("machines.xml");
    CMachineList empty;
    ASSERT_TRUE(empty.SaveFile(strPath));

    pid_t children[2] = {};
    for (int n = 0; n < 2; ++n) {
        children[n] = ::fork();
        ASSERT_GE(children[n], 0);
        if (children[n] == 0)
            Writer(strPath, n + 1);
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
    EXPECT_EQ(list.GetCount(), std::size_t{2 * kRounds});
    EXPECT_EQ(names.size(), std::size_t{2 * kRounds});
}

// The lock file is made beside the machine file by whoever writes first; a link or a FIFO planted under its name
// is neither followed nor waited on.
TEST(MachineFileWriters, LockRefusesWhatIsPlantedUnderItsName) {
    test::CTempDir dir;
    const std::string strPath = dir.File("machines.xml");
    const std::string strSecret = dir.File("secret");
    {
        platform::CWriteLock lock;
        std::string strReason;
        ASSERT_TRUE(lock.Lock(strPath, &strReason)) << strReason;
        EXPECT_TRUE(std::filesystem::is_regular_file(dir.File(".machines.xml.lock")));
    }
    std::filesystem::remove(dir.File(".machines.xml.lock"));
    std::filesystem::create_symlink(strSecret, dir.File(".machines.xml.lock"));
    platform::CWriteLock lock;
    std::string strReason;
    EXPECT_FALSE(lock.Lock(strPath, &strReason));
    EXPECT_FALSE(std::filesystem::exists(strSecret));

    std::filesystem::remove(dir.File(".machines.xml.lock"));
    ASSERT_EQ(::mkfifo(dir.File(".machines.xml.lock").c_str(), 0644), 0);
    EXPECT_FALSE(lock.Lock(strPath, &strReason));
    EXPECT_NE(strReason.find("not a regular file"), std::string::npos) << strReason;
}

// A lock that another process holds and does not give back (stuck, or taken by someone else who can write the
// folder) is given up on after a bounded wait with a reason, so that no window or scan waits for ever.
TEST(MachineFileWriters, LockHeldByAnotherIsGivenUpOnWithAReason) {
    test::CTempDir dir;
    const std::string strPath = dir.File("machines.xml");
    int ready[2];
    int done[2];
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
    platform::CWriteLock lock;
    std::string strReason;
    EXPECT_FALSE(lock.Lock(strPath, &strReason));
    EXPECT_NE(strReason.find("another program holds it"), std::string::npos) << strReason;
    (void)!::write(done[1], "x", 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(lock.Lock(strPath, &strReason)) << strReason; // given back: taken at once
    for (int fd : {ready[0], ready[1], done[0], done[1]})
        ::close(fd);
}

} // namespace
} // namespace lanwick
