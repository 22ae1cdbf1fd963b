// File services of the machine file: access checks, reading a whole file, and replacing a file so that a failure
// at any step leaves the old one as it was.
#pragma once

#include <string>

namespace lanwick::platform {

bool FileExists(const std::string& strPath);
// True when the calling process may both read and write the file.
bool IsReadWritable(const std::string& strPath);
// Reads the whole file into strText; false when it cannot be opened or read (strText is then empty).
bool ReadWholeFile(const std::string& strPath, std::string& strText);
// Writes strText to a new file in the same directory, flushes it to disk and renames it over strPath, keeping the
// old file's permissions (and owner where allowed). False on any failure; the old file is then untouched and no
// temporary file is left behind.
bool ReplaceFile(const std::string& strPath, const std::string& strText);

} // namespace lanwick::platform
