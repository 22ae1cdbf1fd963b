// INI text kept line by line so that a write changes one line and leaves comments, unknown keys and other
// sections exactly as they were.
#include "monitor/IniFile.h"

#include "platform/FileStore.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace lanwick {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

bool HasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

// The section a header line opens; nothing for any other line.
std::optional<std::string_view> SectionOf(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    std::size_t close = line.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return Trim(line.substr(1, close - 1));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> KeyOf(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() == ';' || line.front() == '#' || line.front() == '[')
        return std::nullopt;
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return KeyLine{Trim(line.substr(0, eq)), Trim(line.substr(eq + 1))};
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// Quotes a value that reading would otherwise change (outer blanks trimmed, outer quotes taken off).
std::string Encode(std::string_view value) {
    if (!value.empty() &&
        (IsBlank(value.front()) || IsBlank(value.back()) || value.front() == '"' || value.front() == '\''))
        return "\"" + std::string(value) + "\"";
    return std::string(value);
}

bool IsValidName(std::string_view name, bool bKey) {
    if (name.empty() || Trim(name) != name || HasLineBreak(name) || name.find(']') != std::string_view::npos)
        return false;
    if (bKey &&
        (name.find('=') != std::string_view::npos || name.front() == ';' || name.front() == '#' || name.front() == '['))
        return false;
    return true;
}

} // namespace

CIniText::CIniText(std::string_view text) {
    static constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (text.substr(0, kBom.size()) == kBom) {
        m_bBom = true;
        text.remove_prefix(kBom.size());
    }
    std::size_t first = text.find('\n');
    if (first != std::string_view::npos && first > 0 && text[first - 1] == '\r')
        m_strNewline = "\r\n";
    while (!text.empty()) {
        std::size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        // Every carriage return before the line feed goes, so that no value ends in one and reads differently
        // once written back.
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        m_lines.emplace_back(line);
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
    }
}

std::optional<std::size_t> CIniText::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        auto name = SectionOf(m_lines[i]);
        if (name && SameText(*name, section))
            return i;
    }
    return std::nullopt;
}

std::optional<std::size_t> CIniText::FindKey(std::size_t sectionLine, std::string_view key) const {
    for (std::size_t i = sectionLine + 1; i < m_lines.size() && !SectionOf(m_lines[i]); ++i) {
        auto kv = KeyOf(m_lines[i]);
        if (kv && SameText(kv->key, key))
            return i;
    }
    return std::nullopt;
}

std::optional<std::string> CIniText::Get(std::string_view section, std::string_view key) const {
    auto sectionLine = FindSection(section);
    if (!sectionLine)
        return std::nullopt;
    auto keyLine = FindKey(*sectionLine, key);
    if (!keyLine)
        return std::nullopt;
    return std::string(Unquote(KeyOf(m_lines[*keyLine])->value));
}

bool CIniText::Set(std::string_view section, std::string_view key, std::string_view value) {
    if (!IsValidName(section, false) || !IsValidName(key, true) || HasLineBreak(value))
        return false;
    std::string line = std::string(key) + "=" + Encode(value);
    auto sectionLine = FindSection(section);
    if (!sectionLine) {
        m_lines.push_back("[" + std::string(section) + "]");
        m_lines.push_back(std::move(line));
        return true;
    }
    if (auto keyLine = FindKey(*sectionLine, key)) {
        m_lines[*keyLine] = std::move(line);
        return true;
    }
    // A new key goes after the section's last non-blank line, keeping the blank lines before the next section.
    std::size_t end = *sectionLine + 1;
    while (end < m_lines.size() && !SectionOf(m_lines[end]))
        ++end;
    while (end > *sectionLine + 1 && Trim(m_lines[end - 1]).empty())
        --end;
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(end), std::move(line));
    return true;
}

std::string CIniText::Text() const {
    std::string text = m_bBom ? "\xEF\xBB\xBF" : "";
    for (const auto& line : m_lines)
        text += line + m_strNewline;
    return text;
}

std::uint32_t ParseProfileInt(std::string_view value) {
    value = Trim(value);
    if (!value.empty() && value.front() == '+')
        value.remove_prefix(1);
    std::uint32_t n = 0;
    for (char c : value) {
        if (c < '0' || c > '9')
            break;
        n = n * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return n;
}

bool CIniFile::Load(std::string* pstrError) const {
    std::string text;
    m_text.emplace();
    if (platform::ReadWholeFile(m_strPath, text, kMaxIniFileBytes)) {
        m_text.emplace(text);
        return true;
    }
    const int nError = errno;
    if (nError == EFBIG) {
        if (pstrError != nullptr)
            *pstrError =
                "it is larger than " + std::to_string(kMaxIniFileBytes >> 20) + " MB, too large for a settings file";
        return false;
    }
    if (!platform::FileExists(m_strPath))
        return true;
    if (pstrError != nullptr)
        *pstrError = std::strerror(nError);
    return false;
}

std::optional<std::string> CIniFile::Get(std::string_view section, std::string_view key) const {
    if (!m_text)
        Load();
    return m_text->Get(section, key);
}

std::uint32_t CIniFile::GetInt(std::string_view section, std::string_view key, std::uint32_t nDefault) const {
    auto value = Get(section, key);
    return value ? ParseProfileInt(*value) : nDefault;
}

std::string CIniFile::GetString(std::string_view section, std::string_view key, const std::string& strDefault) const {
    auto value = Get(section, key);
    return value ? *value : strDefault;
}

bool CIniFile::WriteInt(std::string_view section, std::string_view key, std::int64_t nValue) {
    return WriteString(section, key, std::to_string(nValue));
}

bool CIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    return Update([&](CIniText& ini) { return ini.Set(section, key, value); });
}

bool CIniFile::Update(const std::function<bool(CIniText&)>& change) {
    std::string text;
    // A file that exists but cannot be read (or is no settings file, by its size) is left alone rather than
    // replaced by our few keys.
    if (!platform::ReadWholeFile(m_strPath, text, kMaxIniFileBytes) && platform::FileExists(m_strPath))
        return false;
    CIniText ini(text);
    if (!change(ini))
        return false;
    std::error_code ec;
    auto folder = std::filesystem::path(m_strPath).parent_path();
    if (!folder.empty())
        std::filesystem::create_directories(folder, ec);
    if (!platform::ReplaceFile(m_strPath, ini.Text()))
        return false;
    m_text = std::move(ini);
    return true;
}

} // namespace lanwick
