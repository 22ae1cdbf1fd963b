// File services of the machine, settings and metrics files: access checks, reading a whole file, and replacing a
// file so that a failure at any step leaves the old one as it was.
#pragma once

#include <cstddef>
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
// the kernel's protected_symlinks rule would follow it. False on any failure, with the reason in *pstrReason when
// given; the old file is then untouched and no temporary file is left behind.
bool ReplaceFile(const std::string& strPath, const std::string& strText, std::string* pstrReason = nullptr);

} // namespace lanwick::platform
