// The machine file on disk: load results, whole-file loading, and saves that never damage the old file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "Unprivileged.h"
#include "registry/MachineList.h"
#include "support/TempDir.h"

namespace lanwick {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

void Fill(CMachineList& list, int count, int groups = 10) {
    for (int i = 0; i < count; ++i) {
        list.AddMachine(
            {10, static_cast<std::uint8_t>(i >> 16), static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)},
            "00A0C9" + std::to_string(100000 + i), "Group " + std::to_string(i % groups),
            "host-" + std::to_string(i) + ".example.lan", 0, i % 2, i % 3 == 0);
    }
}

std::size_t EntryCount(const fs::path& dir) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

TEST(MachineFileDisk, LoadFile_MissingFileReturnsTwo) {
    test::CTempDir dir;
    CMachineList list;
    EXPECT_EQ(list.LoadFile(dir.File("missing.xml")), 2);
}

TEST(MachineFileDisk, LoadFile_UnreadableReturnsOne) {
    test::CTempDir dir;
    CMachineList list;
    EXPECT_EQ(list.LoadFile(dir.Path()), 1);
}

TEST(MachineFileDisk, LoadFile_FifoReturnsOneWithoutBlocking) {
    test::CTempDir dir;
    ASSERT_EQ(::mkfifo(dir.File("fifo.xml").c_str(), 0600), 0);
    CMachineList list;
    EXPECT_EQ(list.LoadFile(dir.File("fifo.xml")), 1);
}

TEST(MachineFileDisk, LoadFile_EmptyFileLoadsNothingAndReturnsZero) {
    test::CTempDir dir;
    WriteFile(dir.File("empty.xml"), "");
    CMachineList list;
    EXPECT_EQ(list.LoadFile(dir.File("empty.xml")), 0);
    EXPECT_EQ(list.GetCount(), 0u);
}

TEST(MachineFileDisk, SaveFile_WritesTheTextAndLoadsBack) {
    test::CTempDir dir;
    CMachineList list;
    Fill(list, 25, 4);
    list.AddMachine({10, 9, 8, 7}, "0011223344AA", "R&D \">", "name </Name> & more", 1, 1, 1);
    ASSERT_TRUE(list.SaveFile(dir.File("m.xml")));
    EXPECT_EQ(ReadFile(dir.File("m.xml")), list.SaveToText());
    EXPECT_EQ(list.LastSaveError(), CMachineList::SaveError::None);

    CMachineList copy;
    EXPECT_EQ(copy.LoadFile(dir.File("m.xml")), 0);
    EXPECT_EQ(copy.SaveToText(), list.SaveToText());
    copy.ResetCursor();
    const CMachine* pLast = nullptr;
    while (const CMachine* pMachine = copy.GetNextMachine())
        pLast = pMachine;
    ASSERT_NE(pLast, nullptr);
    EXPECT_EQ(pLast->m_strName, "name </Name> & more");
    EXPECT_EQ(pLast->m_strGroup, "R&D \">");
}

TEST(MachineFileDisk, LoadFile_ReadsMachinesBeyond64000Bytes) {
    test::CTempDir dir;
    CMachineList list;
    Fill(list, 1500);
    ASSERT_TRUE(list.SaveFile(dir.File("big.xml")));
    ASSERT_GT(fs::file_size(dir.File("big.xml")), 200000u);

    CMachineList copy;
    EXPECT_EQ(copy.LoadFile(dir.File("big.xml")), 0);
    EXPECT_EQ(copy.GetCount(), 1500u);
    EXPECT_EQ(copy.SaveToText(), list.SaveToText());
}

TEST(MachineFileDisk, LoadFile_FileOver256MegabytesIsRefusedUnread) {
    test::CTempDir dir;
    const std::string strPath = dir.File("big.xml");
    CMachineList saved;
    Fill(saved, 2);
    ASSERT_TRUE(saved.SaveFile(strPath));
    // Sparse, so the test costs no disk: what counts is the size the file claims.
    fs::resize_file(strPath, kMaxMachineFileBytes + 1);
    CMachineList list;
    EXPECT_EQ(list.LoadFile(strPath), 1);
    EXPECT_EQ(list.GetCount(), 0u);
    fs::resize_file(strPath, kMaxMachineFileBytes);
    EXPECT_EQ(list.LoadFile(strPath), 0);
    EXPECT_EQ(list.GetCount(), 2u);
}

TEST(MachineFileDisk, SaveFile_KeepsPermissionsAndLeavesNoTemporaryFile) {
    test::CTempDir dir;
    const std::string strPath = dir.File("m.xml");
    WriteFile(strPath, "old");
    fs::permissions(strPath, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    CMachineList list;
    Fill(list, 3);
    ASSERT_TRUE(list.SaveFile(strPath));
    EXPECT_EQ(fs::status(strPath).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(EntryCount(dir.Path()), 1u);
}

TEST(MachineFileDisk, SaveFile_NewFileGetsUmaskPermissions) {
    test::CTempDir dir;
    const mode_t oldMask = ::umask(022);
    CMachineList list;
    const bool bSaved = list.SaveFile(dir.File("new.xml"));
    ::umask(oldMask);
    ASSERT_TRUE(bSaved);
    struct stat st {};
    ASSERT_EQ(::stat(dir.File("new.xml").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST(MachineFileDisk, SaveFile_ThroughSymlinkReplacesTheTarget) {
    test::CTempDir dir;
    WriteFile(dir.File("real.xml"), "old");
    fs::create_symlink("real.xml", dir.File("link.xml"));
    CMachineList list;
    Fill(list, 2);
    ASSERT_TRUE(list.SaveFile(dir.File("link.xml")));
    EXPECT_TRUE(fs::is_symlink(dir.File("link.xml")));
    EXPECT_EQ(ReadFile(dir.File("real.xml")), list.SaveToText());
}

TEST(MachineFileDisk, SaveFile_FileNotReadWritableIsLeftAlone) {
    test::CTempDir dir;
    const std::string strPath = dir.File("locked.xml");
    WriteFile(strPath, "old");
    fs::permissions(strPath, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    if (::geteuid() == 0) {
        fs::permissions(dir.Path(), fs::perms::all);
        ASSERT_EQ(::chown(strPath.c_str(), test::kNobody, test::kNobody), 0);
    }
    const int result = test::RunUnprivileged([&] {
        CMachineList list;
        Fill(list, 2);
        const bool bSaved = list.SaveFile(strPath);
        const bool bRightReason = list.LastSaveError() == CMachineList::SaveError::NotAccessible;
        return (bSaved ? 1 : 0) | (bRightReason ? 0 : 2) | (list.LoadFile(strPath) == 2 ? 0 : 4);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadFile(strPath), "old");
    EXPECT_EQ(EntryCount(dir.Path()), 1u);
}

TEST(MachineFileDisk, SaveFile_IntoReadOnlyDirectoryKeepsOldFile) {
    test::CTempDir dir;
    const std::string strPath = dir.File("m.xml");
    WriteFile(strPath, "old");
    const auto readOnly = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                          fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(strPath.c_str(), test::kNobody, test::kNobody), 0);
    }
    fs::permissions(dir.Path(), readOnly);
    const int result = test::RunUnprivileged([&] {
        CMachineList list;
        Fill(list, 2);
        const bool bSaved = list.SaveFile(strPath);
        return (bSaved ? 1 : 0) | (list.LastSaveError() == CMachineList::SaveError::WriteFailed ? 0 : 2);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadFile(strPath), "old");
    EXPECT_EQ(EntryCount(dir.Path()), 1u);
}

} // namespace
} // namespace lanwick
