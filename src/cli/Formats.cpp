// Escaping for the output formats; every function here is total, so no machine text can break a line or a record.
#include "cli/Formats.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string_view>

namespace lanwick::cli {

namespace {

// Length of the valid UTF-8 sequence starting at i, or 0 (overlong forms, surrogates and values above U+10FFFF
// are not valid).
std::size_t Utf8SequenceLength(const std::string& strText, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(strText[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    std::uint32_t value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07u;
    } else {
        return 0;
    }
    if (i + length > strText.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (byte(i + k) & 0x3Fu);
    }
    const std::uint32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < minimum[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

std::string ToUtf8(const std::string& strText) {
    std::string out;
    out.reserve(strText.size());
    for (std::size_t i = 0; i < strText.size();) {
        const std::size_t length = Utf8SequenceLength(strText, i);
        if (length > 0) {
            out.append(strText, i, length);
            i += length;
            continue;
        }
        const auto c = static_cast<unsigned char>(strText[i++]);
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

namespace {

// The one escaper of every form: each character of `from` is written as a backslash and the character at the
// same place in `to`; with bUnicodeControls every other control character becomes \u00XX (JSON's rule).
std::string BackslashEscaped(const std::string& strText, std::string_view from, std::string_view to,
                             bool bUnicodeControls = false) {
    std::string out;
    out.reserve(strText.size());
    for (const char c : strText) {
        if (const std::size_t n = from.find(c); n != std::string_view::npos) {
            out += '\\';
            out += to[n];
        } else if (bUnicodeControls && static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

std::string TsvField(const std::string& strText) {
    return BackslashEscaped(strText, "\\\t\n\r", "\\tnr");
}

std::string CsvField(const std::string& strText) {
    const bool bQuote = strText.find_first_of(",\"\r\n") != std::string::npos ||
                        (!strText.empty() && (strText.front() == ' ' || strText.back() == ' '));
    if (!bQuote)
        return strText;
    std::string out = "\"";
    for (const char c : strText) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

std::string JsonString(const std::string& strText) {
    return '"' + BackslashEscaped(ToUtf8(strText), "\"\\\b\f\n\r\t", "\"\\bfnrt", true) + '"';
}

std::string OneLine(const std::string& strText) {
    // The same escapes as a tab-separated field: a log line is one field.
    return TsvField(strText);
}

std::string PromLabelValue(const std::string& strText) {
    return BackslashEscaped(ToUtf8(strText), "\\\"\n", "\\\"n");
}

std::string FormatMilliseconds(double dMicroseconds) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", dMicroseconds / 1000.0);
    return text;
}

std::string UpperCase(std::string strText) {
    for (char& c : strText)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return strText;
}

std::string LocalTime(std::int64_t nUnixSeconds) {
    const auto t = static_cast<std::time_t>(nUnixSeconds);
    std::tm local{};
    char text[64];
    if (localtime_r(&t, &local) == nullptr || std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local) == 0)
        return "?";
    return text;
}

} // namespace lanwick::cli
