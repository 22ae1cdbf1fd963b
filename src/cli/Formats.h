// Text forms of the command line's output: tab- and comma-separated fields, JSON strings, and the one-line form of
// a multi-line notification. Machine texts are bytes in whatever code page wrote the file, so every form that
// must be UTF-8 reads bytes that are not UTF-8 as Latin-1.
#pragma once

#include <cstdint>
#include <string>

namespace lanwick::cli {

// Valid UTF-8 kept as it is; every byte that is not part of a valid sequence becomes the character of the same
// Latin-1 code (so no byte is lost and the result is always valid UTF-8).
std::string ToUtf8(const std::string& strText);

// A tab-separated field: backslash, tab, line feed and carriage return written as \\, \t, \n and \r.
std::string TsvField(const std::string& strText);

// A comma-separated field (RFC 4180): quoted, with quotes doubled, when it holds a comma, quote, CR, LF or starts
// or ends with a blank.
std::string CsvField(const std::string& strText);

// A JSON string literal with its quotes; control characters escaped, the text passed through ToUtf8.
std::string JsonString(const std::string& strText);

// One line: backslash, line feed, carriage return and tab as \\, \n, \r and \t (the notification text is several
// lines, and a log reader wants one line per event).
std::string OneLine(const std::string& strText);

// Prometheus label value: backslash, quote and line feed as \\, \" and \n, the text passed through ToUtf8.
std::string PromLabelValue(const std::string& strText);

// Milliseconds with three decimals from the probes' microseconds: "0.052".
std::string FormatMilliseconds(double dMicroseconds);

// ASCII letters in upper case ("00:a0:c9:..." as the device book keeps a MAC, shown as "00:A0:C9:...").
std::string UpperCase(std::string strText);

// Unix seconds as local time in ISO 8601 with the offset: "2026-12-07T10:31:02+0100"; "?" when out of range.
std::string LocalTime(std::int64_t nUnixSeconds);

} // namespace lanwick::cli
