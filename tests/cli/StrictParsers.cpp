// Strict CSV, JSON and Prometheus text readers for the command-line tests; written from the formats' rules, not
// from the program's writers, so that a mistake is not made twice.
#include "cli/StrictParsers.h"

#include <cstdlib>
#include <set>

namespace lanwick::test {

namespace {

bool IsValidUtf8(const std::string& s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size())
            return false;
        unsigned long cp = n == 1 ? c : c & (0xFFu >> (n + 1));
        for (std::size_t k = 1; k < n; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (d & 0x3Fu);
        }
        const unsigned long minimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < minimum[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n;
    }
    return true;
}

void AppendUtf8(std::string& out, unsigned long cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// JSON reader over one text; every method returns false on the first fault.
class CJson {
public:
    explicit CJson(const std::string& s) : m_s(s) {}

    bool Objects(std::vector<JsonObject>& out) {
        if (!IsValidUtf8(m_s) || !Expect('['))
            return false;
        if (Peek(']'))
            return Expect(']') && End();
        do {
            JsonObject object;
            if (!Object(object))
                return false;
            out.push_back(std::move(object));
        } while (Accept(','));
        return Expect(']') && End();
    }

private:
    void Blank() {
        while (m_i < m_s.size() && (m_s[m_i] == ' ' || m_s[m_i] == '\t' || m_s[m_i] == '\n' || m_s[m_i] == '\r'))
            ++m_i;
    }
    bool Peek(char c) {
        Blank();
        return m_i < m_s.size() && m_s[m_i] == c;
    }
    bool Accept(char c) {
        if (!Peek(c))
            return false;
        ++m_i;
        return true;
    }
    bool Expect(char c) { return Accept(c); }
    bool End() {
        Blank();
        return m_i == m_s.size();
    }
    bool Word(const char* w) {
        const std::string word(w);
        if (m_s.compare(m_i, word.size(), word) != 0)
            return false;
        m_i += word.size();
        return true;
    }
    bool Hex4(unsigned long& v) {
        if (m_i + 4 > m_s.size())
            return false;
        v = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = m_s[m_i++];
            const int d = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
            if (d < 0)
                return false;
            v = v * 16 + static_cast<unsigned long>(d);
        }
        return true;
    }
    bool String(std::string& out) {
        if (!Accept('"'))
            return false;
        while (m_i < m_s.size()) {
            const char c = m_s[m_i++];
            if (c == '"')
                return true;
            if (static_cast<unsigned char>(c) < 0x20)
                return false;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_i >= m_s.size())
                return false;
            const char e = m_s[m_i++];
            const std::string simple = "\"\\/bfnrt";
            const std::string meaning = "\"\\/\b\f\n\r\t";
            if (const auto k = simple.find(e); k != std::string::npos) {
                out += meaning[k];
                continue;
            }
            unsigned long cp = 0;
            if (e != 'u' || !Hex4(cp))
                return false;
            if (cp >= 0xD800 && cp <= 0xDBFF) {
                unsigned long low = 0;
                if (!Word("\\u") || !Hex4(low) || low < 0xDC00 || low > 0xDFFF)
                    return false;
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                return false;
            }
            AppendUtf8(out, cp);
        }
        return false;
    }
    bool Object(JsonObject& object) {
        if (!Expect('{'))
            return false;
        if (Accept('}'))
            return true;
        do {
            std::string key;
            Blank();
            if (!String(key) || !Expect(':') || object.count(key) != 0)
                return false;
            Blank();
            if (Peek('"')) {
                std::string value;
                if (!String(value))
                    return false;
                object[key] = value;
            } else if (Word("true")) {
                object[key] = true;
            } else if (Word("false")) {
                object[key] = false;
            } else {
                return false;
            }
        } while (Accept(','));
        return Expect('}');
    }

    const std::string& m_s;
    std::size_t m_i = 0;
};

bool IsNameChar(char c, bool bFirst, bool bColon) {
    const bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || (bColon && c == ':');
    return alpha || (!bFirst && c >= '0' && c <= '9');
}

// A metric (colons allowed) or label name at i.
bool ReadName(const std::string& line, std::size_t& i, std::string& name, bool bColon) {
    const std::size_t begin = i;
    while (i < line.size() && IsNameChar(line[i], i == begin, bColon))
        ++i;
    name = line.substr(begin, i - begin);
    return !name.empty();
}

bool ReadValue(const std::string& text, double& value) {
    if (text == "NaN" || text == "+Inf" || text == "-Inf") {
        value = text == "NaN" ? 0.0 : text == "+Inf" ? 1e308 : -1e308;
        return true;
    }
    if (text.empty())
        return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && text.find_first_of("xXpPiInN") == std::string::npos;
}

// HELP text knows only the escapes \\ and \n.
bool HelpEscapesValid(const std::string& text) {
    for (std::size_t k = 0; k < text.size(); ++k) {
        if (text[k] != '\\')
            continue;
        if (k + 1 >= text.size() || (text[k + 1] != '\\' && text[k + 1] != 'n'))
            return false;
        ++k;
    }
    return true;
}

// "name{labels} value" of one sample line; the error names the fault.
std::string ReadSample(const std::string& line, PromSample& sample) {
    std::size_t i = 0;
    if (!ReadName(line, i, sample.metric, true))
        return "bad metric name";
    if (i < line.size() && line[i] == '{') {
        ++i;
        while (i < line.size() && line[i] != '}') {
            std::string name;
            if (!ReadName(line, i, name, false) || name.rfind("__", 0) == 0)
                return "bad label name";
            if (i + 1 >= line.size() || line[i] != '=' || line[i + 1] != '"')
                return "label " + name + " without =\"";
            i += 2;
            std::string value;
            while (i < line.size() && line[i] != '"') {
                if (line[i] == '\\') {
                    if (i + 1 >= line.size())
                        return "label value ends in a backslash";
                    const char e = line[i + 1];
                    if (e != '\\' && e != '"' && e != 'n')
                        return std::string("bad escape \\") + e;
                    value += e == 'n' ? '\n' : e;
                    i += 2;
                } else {
                    value += line[i++];
                }
            }
            if (i >= line.size())
                return "unterminated label value";
            ++i;
            if (!sample.labels.emplace(name, value).second)
                return "label " + name + " twice";
            if (i < line.size() && line[i] == ',')
                ++i;
            else if (i < line.size() && line[i] != '}')
                return "labels not separated by commas";
        }
        if (i >= line.size())
            return "unterminated label set";
        ++i;
    }
    if (i >= line.size() || line[i] != ' ')
        return "no blank before the value";
    const std::string rest = line.substr(i + 1);
    if (rest.find(' ') != std::string::npos)
        return "more than a value after the labels (a timestamp?)";
    if (!ReadValue(rest, sample.value))
        return "bad value \"" + rest + "\"";
    return {};
}

} // namespace

std::optional<std::vector<std::vector<std::string>>> ParseCsv(const std::string& s) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::size_t i = 0;
    while (i < s.size()) {
        std::string field;
        if (s[i] == '"') {
            ++i;
            for (;;) {
                if (i >= s.size())
                    return std::nullopt;
                if (s[i] == '"') {
                    if (i + 1 < s.size() && s[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += s[i++];
            }
        } else {
            while (i < s.size() && s[i] != ',' && s[i] != '\r' && s[i] != '\n') {
                if (s[i] == '"')
                    return std::nullopt;
                field += s[i++];
            }
        }
        record.push_back(field);
        if (i < s.size() && s[i] == ',') {
            ++i;
            continue;
        }
        if (s.compare(i, 2, "\r\n") != 0)
            return std::nullopt;
        i += 2;
        records.push_back(std::move(record));
        record.clear();
    }
    return records;
}

std::optional<std::vector<JsonObject>> ParseJsonObjects(const std::string& strText) {
    std::vector<JsonObject> objects;
    CJson json(strText);
    if (!json.Objects(objects))
        return std::nullopt;
    return objects;
}

PromParse ParseProm(const std::string& strText) {
    PromParse result;
    if (!IsValidUtf8(strText) || strText.empty() || strText.back() != '\n') {
        result.error = "not UTF-8 text ending in a line feed";
        return result;
    }
    std::set<std::string> closed; // families whose group of lines has ended
    std::set<std::pair<std::string, std::map<std::string, std::string>>> series;
    std::string current;
    std::size_t begin = 0;
    for (int nLine = 1; begin < strText.size(); ++nLine) {
        const std::size_t nl = strText.find('\n', begin);
        const std::string line = strText.substr(begin, nl - begin);
        begin = nl + 1;
        const std::string where = "line " + std::to_string(nLine) + ": ";
        std::string family;
        PromSample sample;
        if (line.rfind("# HELP ", 0) == 0 || line.rfind("# TYPE ", 0) == 0) {
            std::size_t i = 7;
            if (!ReadName(line, i, family, true) || i >= line.size() || line[i] != ' ')
                return {{}, where + "bad HELP or TYPE line"};
            const std::string text = line.substr(i + 1);
            PromFamily& f = result.families[family];
            std::string& slot = line[2] == 'H' ? f.help : f.type;
            if (!slot.empty() || (line[2] == 'T' && !f.samples.empty()))
                return {{}, where + "HELP or TYPE repeated, or TYPE after samples"};
            if (line[2] == 'T' && text != "gauge" && text != "counter" && text != "untyped" && text != "summary" &&
                text != "histogram")
                return {{}, where + "unknown type " + text};
            if (line[2] == 'H' && !HelpEscapesValid(text))
                return {{}, where + "bad escape in HELP"};
            slot = text;
        } else if (line.empty() || line[0] == '#') {
            continue;
        } else {
            if (const std::string error = ReadSample(line, sample); !error.empty())
                return {{}, where + error};
            family = sample.metric;
            if (!series.emplace(sample.metric, sample.labels).second)
                return {{}, where + "repeated series"};
            result.families[family].samples.push_back(sample);
        }
        if (family != current) {
            if (closed.count(family) != 0)
                return {{}, where + "family " + family + " split into several groups"};
            if (!current.empty())
                closed.insert(current);
            current = family;
        }
    }
    return result;
}

} // namespace lanwick::test
