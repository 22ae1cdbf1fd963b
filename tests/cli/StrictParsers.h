// A strict reader of the Prometheus text exposition format lanwick-cli writes, so that the tests read the metrics
// files as a consumer would. The other formats (CSV, JSON, TSV) are pinned by their exact texts.
#pragma once

#include <map>
#include <string>

namespace lanwick::test {

// "# HELP" and "# TYPE" lines of known types, samples with metric and label names of the allowed characters,
// label values with only \\, \" and \n escapes, one value and no timestamp, no TYPE twice or after its samples,
// no family split into several groups, no repeated series and a final line feed. The error says what broke.
struct PromParse {
    std::map<std::string, std::string> types; // by family
    std::map<std::string, double> series;     // by the series as written: name{labels}
    std::string error;                        // empty when the text is valid
};
PromParse ParseProm(const std::string& strText);

} // namespace lanwick::test
