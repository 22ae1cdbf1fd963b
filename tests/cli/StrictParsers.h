// Strict readers of the formats lanwick-cli writes, so that the tests check the output as a consumer would read
// it: RFC 4180 CSV, the JSON of the list command, and the Prometheus text exposition format.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace lanwick::test {

// CSV records with CRLF line ends; nothing when the text breaks RFC 4180 (a stray quote, a bare LF, text after a
// closing quote, a missing final CRLF).
std::optional<std::vector<std::vector<std::string>>> ParseCsv(const std::string& strText);

using JsonValue = std::variant<std::string, bool>;
using JsonObject = std::map<std::string, JsonValue>;
// A JSON array of flat objects whose values are strings or booleans; nothing for any text that is not valid
// JSON (RFC 8259, UTF-8) of that shape. Duplicate keys are refused.
std::optional<std::vector<JsonObject>> ParseJsonObjects(const std::string& strText);

struct PromSample {
    std::string metric;
    std::map<std::string, std::string> labels; // values unescaped
    double value = 0;
};
struct PromFamily {
    std::string help;
    std::string type;
    std::vector<PromSample> samples;
};
// The text exposition format: "# HELP" and "# TYPE" before the samples of each family, metric and label names
// of the allowed characters, label values with only \\, \" and \n escapes, a value, no timestamps, no
// family twice, no repeated series, UTF-8 throughout and a final line feed. The error says what broke.
struct PromParse {
    std::map<std::string, PromFamily> families;
    std::string error; // empty when the text is valid
};
PromParse ParseProm(const std::string& strText);

} // namespace lanwick::test
