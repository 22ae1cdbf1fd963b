// A small INI store of our own: sections in brackets, "key=value" lines, read one key at a time with a default,
// written one key at a time so that every other line of the file stays as it was.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lanwick {

// The text of an INI file, line by line. Sections and keys compare without regard to ASCII case; the first
// of duplicate sections or keys is the one read and written.
class CIniText {
public:
    CIniText() = default;
    explicit CIniText(std::string_view text);

    // The value as written, without surrounding blanks or one pair of matching quotes; nothing when missing.
    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    // Replaces the key's value in its section, or adds the key (and the section at the end) when missing.
    // False, changing nothing, for a section or key that could not be read back (empty, line breaks, "=" or
    // "]") or a value with a line break.
    bool Set(std::string_view section, std::string_view key, std::string_view value);
    std::string Text() const;

private:
    std::optional<std::size_t> FindSection(std::string_view section) const;
    std::optional<std::size_t> FindKey(std::size_t sectionLine, std::string_view key) const;

    std::vector<std::string> m_lines;
    std::string m_strNewline = "\n";
    bool m_bBom = false;
};

// Integers are decimal: leading blanks, digits up to the first non-digit, taken modulo 2^32 (as the platform's
// profile reader does); a negative or non-numeric value reads 0.
std::uint32_t ParseProfileInt(std::string_view value);

// Settings files are a few hundred bytes; anything beyond this is not one, and reading it would only cost time.
constexpr std::size_t kMaxIniFileBytes = 1u << 20;

// One INI file on disk, read once (at Load or the first Get) and served from memory afterwards; every write reads
// the file anew, changes its keys and replaces the file whole (through a temporary file, so a failed write leaves
// the old file intact).
class CIniFile {
public:
    explicit CIniFile(std::string strPath) : m_strPath(std::move(strPath)) {}
    const std::string& Path() const { return m_strPath; }

    // Reads the file now. A missing file is an empty one; false, with the reason in *pstrError when given, for a
    // file that exists but cannot be read or is larger than kMaxIniFileBytes (every Get then gives its default).
    bool Load(std::string* pstrError = nullptr) const;
    // The default when the file or the key is missing.
    std::uint32_t GetInt(std::string_view section, std::string_view key, std::uint32_t nDefault) const;
    std::string GetString(std::string_view section, std::string_view key, const std::string& strDefault) const;
    // The value as written, nothing when the file or the key is missing.
    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    // Creates the file (and its folder) when needed; false when the file could not be written.
    bool WriteInt(std::string_view section, std::string_view key, std::int64_t nValue);
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);
    // Reads the file (none is an empty one), applies `change` and writes the result when it returns true; false
    // when the change was refused or the file could not be read or written. Several keys in one replace.
    bool Update(const std::function<bool(CIniText&)>& change);

private:
    std::string m_strPath;
    mutable std::optional<CIniText> m_text; // the file as last read or written
};

} // namespace lanwick
