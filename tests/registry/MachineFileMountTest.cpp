// Saves onto a full and onto a read-only file system: small tmpfs mounts in a private mount namespace, so they
// vanish with the test process whatever happens.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "registry/MachineList.h"
#include "support/TempDir.h"

namespace lanwick {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

class MachineFileMount : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "mounting a file system needs root";
        const bool bMounted = ::unshare(CLONE_NEWNS) == 0 &&
                              ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                              ::mount("tmpfs", m_dir.Path().c_str(), "tmpfs", 0, "size=64k,mode=0755") == 0;
        if (!bMounted) {
            // CI runs as root with mounts allowed: there this case must really run.
            const char* required = std::getenv("LANWICK_REQUIRE_LAN");
            if (required != nullptr && std::string(required) == "1")
                FAIL() << "cannot mount a tmpfs";
            GTEST_SKIP() << "cannot mount a tmpfs here";
        }
        m_bMounted = true;
    }

    void TearDown() override {
        if (m_bMounted)
            ::umount2(m_dir.Path().c_str(), MNT_DETACH);
    }

    // Fills the file system until a write fails for want of space.
    void FillUp() {
        std::ofstream filler(m_dir.File("filler"), std::ios::binary);
        const std::string chunk(4096, 'x');
        for (int i = 0; i < 1024 && filler; ++i)
            filler.write(chunk.data(), static_cast<std::streamsize>(chunk.size())).flush();
    }

    std::size_t EntryCount() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(m_dir.Path()), fs::directory_iterator()));
    }

    test::CTempDir m_dir;
    bool m_bMounted = false;
};

TEST_F(MachineFileMount, SaveFile_OntoFullFileSystemKeepsOldFile) {
    const std::string strPath = m_dir.File("m.xml");
    CMachineList oldList;
    oldList.AddMachine({10, 0, 0, 1}, "001122334455", "Office", "old", 0);
    ASSERT_TRUE(oldList.SaveFile(strPath));
    const std::string strOld = ReadFile(strPath);
    FillUp();

    CMachineList list;
    list.AddMachine({10, 0, 0, 2}, "001122334455", "Office", "new", 0);
    EXPECT_FALSE(list.SaveFile(strPath));
    EXPECT_EQ(list.LastSaveError(), CMachineList::SaveError::WriteFailed);
    EXPECT_EQ(ReadFile(strPath), strOld);
    EXPECT_EQ(EntryCount(), 2u);

    // A text far larger than the whole file system fails the same way once space is freed.
    fs::remove(m_dir.File("filler"));
    for (int i = 0; i < 2000; ++i)
        list.AddMachine({10, 0, 0, 3}, "001122334455", "Office", "filler-" + std::to_string(i), 0);
    EXPECT_FALSE(list.SaveFile(strPath));
    EXPECT_EQ(ReadFile(strPath), strOld);
    EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(MachineFileMount, SaveFile_OnReadOnlyFileSystemLeavesFileAlone) {
    const std::string strPath = m_dir.File("m.xml");
    CMachineList oldList;
    oldList.AddMachine({10, 0, 0, 1}, "001122334455", "Office", "old", 0);
    ASSERT_TRUE(oldList.SaveFile(strPath));
    ASSERT_EQ(::mount(nullptr, m_dir.Path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);

    CMachineList list;
    list.AddMachine({10, 0, 0, 2}, "001122334455", "Office", "new", 0);
    EXPECT_FALSE(list.SaveFile(strPath));
    EXPECT_FALSE(list.SaveFile(m_dir.File("other.xml")));
    EXPECT_EQ(list.LastSaveError(), CMachineList::SaveError::WriteFailed);
    EXPECT_EQ(ReadFile(strPath), oldList.SaveToText());
    EXPECT_EQ(EntryCount(), 1u);
    // Not writable, so the load refuses it too, as it always has.
    EXPECT_EQ(list.LoadFile(strPath), 2);
}

} // namespace
} // namespace lanwick
