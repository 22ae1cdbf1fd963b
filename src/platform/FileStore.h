// File services of the machine, settings and metrics files: access checks, reading a whole file, and replacing a
// file so that a failure at any step leaves the old one as it was.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace lanwick::platform {

bool FileExists(const std::string& strPath);
// True when the calling process may both read and write the file.
bool IsReadWritable(const std::string& strPath);
// Reads the whole file into strText; false when it cannot be opened or read (strText is then empty). A file larger
// than nMaxBytes is not read: false with errno EFBIG.
bool ReadWholeFile(const std::string& strPath, std::string& strText,
                   std::size_t nMaxBytes = static_cast<std::size_t>(-1));

// Empty when ReplaceFile may write strPath, else the reason it would refuse: a link the kernel's protection of
// shared folders would not let this process follow, a target that is not a regular file, or a folder that cannot
// take the new file. Nothing is written.
std::string ReplaceRefusal(const std::string& strPath);

// Writes strText to an unnamed file in the target's folder, flushes it to disk and puts it in place of strPath in
// one rename, keeping the old file's permissions (and owner where allowed). A symbolic link is followed only where
// the kernel's protected_symlinks rule would follow it. False on any failure, with the reason in *pstrError when
// given; the old file is then untouched and no temporary file is left behind.
bool ReplaceFile(const std::string& strPath, const std::string& strText, std::string* pstrError = nullptr);

// strPath with every symbolic link among its folders resolved, each followed only where the kernel's
// protected_symlinks rule would follow it (as ReplaceFile does), and the file's own name left as it is: for SQLite,
// which refuses a link anywhere on the way when told not to follow one, while a service's state folder is often
// reached through one (/var/lib/NAME -> private/NAME). Empty with the reason when a link is refused or a folder on
// the way is missing.
std::string ResolveFolders(const std::string& strPath, std::string* pstrError = nullptr);

// What tells one version of a file from another: a save renames a new file over the old one (a new inode), and
// an edit in place changes the time or size. An absent file has bExists false.
struct FileStamp {
    bool bExists = false;
    std::uint64_t nDevice = 0, nInode = 0, nSize = 0;
    std::int64_t nModifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp StampOf(const std::string& strPath);

// The lock that writers of one file take around a read-modify-write. It is held on ".NAME.lock" beside the file's
// target rather than on the file itself, because every save replaces the file: a lock on the replaced inode would
// let the next writer in while this one still works.
inline constexpr std::chrono::seconds kLockPatience{5};

class CWriteLock {
public:
    CWriteLock() = default;
    ~CWriteLock();
    CWriteLock(const CWriteLock&) = delete;
    CWriteLock& operator=(const CWriteLock&) = delete;

    // Waits until this process holds the lock for strPath, at most kLockPatience. False with the reason when the
    // lock file cannot be made or opened safely (a link or anything but a regular file in its place is refused)
    // or another holds it that long.
    bool Lock(const std::string& strPath, std::string* pstrError = nullptr);
    void Unlock();

private:
    int m_fd = -1;
};

} // namespace lanwick::platform
