// The Prometheus text reader of the command-line tests; written from the format's rules, not from the program's
// writer, so that a mistake is not made twice.
#include "cli/StrictParsers.h"

#include "cli/CliRun.h"

#include <cstdlib>
#include <regex>
#include <set>

namespace lanwick::test {

PromParse ParseProm(const std::string& strText) {
    static const std::regex help(R"(# HELP ([a-zA-Z_:][a-zA-Z0-9_:]*) ([^\\]|\\[\\n])*)");
    static const std::regex type(R"(# TYPE ([a-zA-Z_:][a-zA-Z0-9_:]*) (counter|gauge|untyped|summary|histogram))");
    static const std::regex sample(
        R"(([a-zA-Z_:][a-zA-Z0-9_:]*)(\{([a-zA-Z_][a-zA-Z0-9_]*="([^"\\\n]|\\[\\"n])*",?)*\})? ([^ ]+))");
    PromParse result;
    if (strText.empty() || strText.back() != '\n')
        return {{}, {}, "no final line feed"};
    std::set<std::string> closed;
    std::set<std::string> sampled;
    std::string current;
    int nLine = 0;
    for (const std::string& line : SplitLines(strText)) {
        const std::string where = "line " + std::to_string(++nLine) + ": ";
        std::smatch m;
        std::string family;
        if (std::regex_match(line, m, help)) {
            family = m[1];
        } else if (std::regex_match(line, m, type)) {
            family = m[1];
            if (sampled.count(family) != 0 || !result.types.emplace(family, m[2]).second)
                return {{}, {}, where + "TYPE twice or after the samples"};
        } else if (std::regex_match(line, m, sample)) {
            family = m[1];
            const std::string value = m[5];
            char* end = nullptr;
            const double d = std::strtod(value.c_str(), &end);
            if (end != value.c_str() + value.size() || value.find_first_of("xXpP") != std::string::npos)
                return {{}, {}, where + "bad value"};
            if (!result.series.emplace(m[1].str() + m[2].str(), d).second)
                return {{}, {}, where + "repeated series"};
            sampled.insert(family);
        } else {
            return {{}, {}, where + "not a HELP, TYPE or sample line: " + line};
        }
        if (family != current) {
            closed.insert(current);
            if (closed.count(family) != 0)
                return {{}, {}, where + "family " + family + " split into several groups"};
            current = family;
        }
    }
    return result;
}

} // namespace lanwick::test
