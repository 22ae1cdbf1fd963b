// Runs the tools of a scenario in turns and reduces their runs to one row each.
#include "BenchTable.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numeric>
#include <sstream>

namespace lanwick::bench {

namespace {

std::vector<std::string> SplitLines(const std::string& strText) {
    std::vector<std::string> lines;
    std::istringstream in(strText);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool IsAddress(const std::string& strText) {
    return !strText.empty() && strText.find_first_not_of("0123456789.") == std::string::npos &&
           std::count(strText.begin(), strText.end(), '.') == 3;
}

std::string Trim(const std::string& strText) {
    const std::size_t begin = strText.find_first_not_of(' ');
    const std::size_t end = strText.find_last_not_of(' ');
    return begin == std::string::npos ? std::string() : strText.substr(begin, end - begin + 1);
}

double Milliseconds(const std::string& strText) {
    try {
        return std::stod(strText);
    } catch (...) {
        return -1;
    }
}

std::size_t Hits(const Found& found, const std::set<std::string>& expected) {
    return static_cast<std::size_t>(
        std::count_if(found.begin(), found.end(), [&](const auto& entry) { return expected.count(entry.first) > 0; }));
}

// Up to n of the expected targets, spread evenly over the targets' order.
std::vector<std::string> Sample(const Scenario& scenario, std::size_t n) {
    std::vector<std::string> live;
    for (const std::string& target : scenario.targets)
        if (scenario.expected.count(target))
            live.push_back(target);
    std::vector<std::string> sample;
    for (std::size_t i = 0; i < n && i < live.size(); ++i)
        sample.push_back(live[i * live.size() / std::min(n, live.size())]);
    return sample;
}

// The median of three single-host probes of host (one is at the mercy of the other workers on the machine);
// negative when fewer than two answered.
double AloneMs(const Tool& tool, const std::string& host) {
    std::vector<std::string> argv = tool.single;
    argv.push_back(host);
    std::vector<double> rtts;
    for (int i = 0; i < 3; ++i) {
        const Found single = tool.parse(RunProcess(argv, "", true).strOut);
        if (const auto it = single.find(host); it != single.end() && it->second >= 0)
            rtts.push_back(it->second);
    }
    if (rtts.size() < 2)
        return -1;
    std::sort(rtts.begin(), rtts.end());
    return rtts[rtts.size() / 2];
}

// Single-host probes of each sampled host, compared with what the tool reported for it in its median run.
void MeasureRtt(const Tool& tool, const Found& big, const std::vector<std::string>& sample, Row& row) {
    for (const std::string& host : sample) {
        const auto inBig = big.find(host);
        const double dAlone = AloneMs(tool, host);
        if (inBig == big.end() || inBig->second < 0 || dAlone < 0)
            continue;
        const double dDiff = std::fabs(inBig->second - dAlone);
        std::printf("    rtt %-16s %-34s whole run %8.3f ms  alone %8.3f ms\n", host.c_str(), tool.strName.c_str(),
                    inBig->second, dAlone);
        if (dDiff > row.dRttDiff) {
            row.dRttDiff = dDiff;
            row.strRttHost = host;
        }
    }
}

} // namespace

std::vector<Row> RunScenario(const Scenario& scenario, int nRuns, double dLong, std::size_t nRttSamples) {
    std::vector<std::vector<ProcessRun>> runs(scenario.tools.size());
    std::vector<std::vector<Found>> founds(scenario.tools.size());
    std::printf("%s\n", scenario.strName.c_str());
    for (int round = 0; round < nRuns; ++round) {
        for (std::size_t t = 0; t < scenario.tools.size(); ++t) {
            const Tool& tool = scenario.tools[t];
            if (!runs[t].empty() && runs[t].back().dWall > dLong)
                continue;
            runs[t].push_back(RunProcess(tool.argv, tool.strInput, true));
            founds[t].push_back(tool.parse(runs[t].back().strOut));
            const ProcessRun& run = runs[t].back();
            std::printf("  %-36s run %d: %8.3f s  %8ld KB  found %5zu of %5zu  status %d\n", tool.strName.c_str(),
                        round + 1, run.dWall, run.nPeakKb, Hits(founds[t].back(), scenario.expected),
                        scenario.expected.size(), run.nStatus);
            std::fflush(stdout);
        }
    }
    std::vector<Row> rows;
    const std::vector<std::string> sample = Sample(scenario, nRttSamples);
    for (std::size_t t = 0; t < scenario.tools.size(); ++t) {
        Row row;
        row.strScenario = scenario.strName;
        row.strTool = scenario.tools[t].strName;
        row.nRuns = static_cast<int>(runs[t].size());
        row.nExpected = scenario.expected.size();
        std::vector<std::size_t> order(runs[t].size());
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(),
                  [&](std::size_t a, std::size_t b) { return runs[t][a].dWall < runs[t][b].dWall; });
        const std::size_t median = order[order.size() / 2];
        row.dMedian = runs[t][median].dWall;
        row.nFoundMin = SIZE_MAX;
        for (std::size_t r = 0; r < runs[t].size(); ++r) {
            const std::size_t hits = Hits(founds[t][r], scenario.expected);
            row.nFoundMin = std::min(row.nFoundMin, hits);
            row.nFoundMax = std::max(row.nFoundMax, hits);
            row.nExtra = std::max(row.nExtra, founds[t][r].size() - hits);
            row.nPeakKb = std::max(row.nPeakKb, runs[t][r].nPeakKb);
            // fping and lanwick-cli ping end with 1 when some target did not answer: only higher is an error.
            row.bFailed = row.bFailed || runs[t][r].nStatus < 0 || runs[t][r].nStatus > 1;
        }
        row.dRatio = rows.empty() ? 1.0 : row.dMedian / rows.front().dMedian;
        if (!scenario.tools[t].single.empty())
            MeasureRtt(scenario.tools[t], founds[t][median], sample, row);
        rows.push_back(row);
    }
    return rows;
}

void PrintHeader(std::FILE* out) {
    std::fprintf(out, "%-34s %-38s %4s %9s %9s %15s %6s %9s %s\n", "scenario", "tool", "runs", "median s", "x Lanwick",
                 "found/expected", "extra", "peak KB", "RTT max diff ms (host)");
}

void PrintRows(const std::vector<Row>& rows, std::FILE* out) {
    for (const Row& row : rows) {
        char found[48];
        if (row.nFoundMin == row.nFoundMax)
            std::snprintf(found, sizeof found, "%zu/%zu", row.nFoundMax, row.nExpected);
        else
            std::snprintf(found, sizeof found, "%zu-%zu/%zu", row.nFoundMin, row.nFoundMax, row.nExpected);
        char rtt[64] = "-";
        if (row.dRttDiff >= 0)
            std::snprintf(rtt, sizeof rtt, "%.3f (%s)", row.dRttDiff, row.strRttHost.c_str());
        std::fprintf(out, "%-34s %-38s %4d %9.3f %9.2f %15s %6zu %9ld %s%s\n", row.strScenario.c_str(),
                     row.strTool.c_str(), row.nRuns, row.dMedian, row.dRatio, found, row.nExtra, row.nPeakKb, rtt,
                     row.bFailed ? "  FAILED RUN" : "");
    }
}

void PrintTable(const std::vector<Row>& rows, std::FILE* out) {
    PrintHeader(out);
    PrintRows(rows, out);
}

Found ParseLanwickPing(const std::string& strOut) {
    Found found;
    for (const std::string& line : SplitLines(strOut)) {
        const std::size_t tab = line.find('\t');
        if (tab != std::string::npos && line.substr(tab + 1) != "No" && IsAddress(line.substr(0, tab)))
            found[line.substr(0, tab)] = Milliseconds(line.substr(tab + 1));
    }
    return found;
}

Found ParseLanwickScan(const std::string& strOut) {
    Found found;
    for (const std::string& line : SplitLines(strOut))
        if (std::count(line.begin(), line.end(), '\t') == 3 && IsAddress(line.substr(0, line.find('\t'))))
            found[line.substr(0, line.find('\t'))] = -1;
    return found;
}

Found ParseFpingCount(const std::string& strOut) {
    Found found;
    for (const std::string& line : SplitLines(strOut)) {
        const std::size_t colon = line.find(" : ");
        if (colon == std::string::npos || !IsAddress(Trim(line.substr(0, colon))))
            continue;
        // With several counts the first answered one stands for the host.
        std::istringstream values(line.substr(colon + 3));
        for (std::string value; values >> value;) {
            if (value != "-") {
                found[Trim(line.substr(0, colon))] = Milliseconds(value);
                break;
            }
        }
    }
    return found;
}

Found ParseAddresses(const std::string& strOut) {
    Found found;
    for (const std::string& line : SplitLines(strOut))
        if (IsAddress(Trim(line)))
            found[Trim(line)] = -1;
    return found;
}

Found ParseNmap(const std::string& strOut) {
    static const std::string kReport = "Nmap scan report for ";
    Found found;
    for (const std::string& line : SplitLines(strOut))
        if (line.rfind(kReport, 0) == 0 && IsAddress(Trim(line.substr(kReport.size()))))
            found[Trim(line.substr(kReport.size()))] = -1;
    return found;
}

Parser ParsePromFile(const std::string& strPath) {
    return [strPath](const std::string&) {
        Found found;
        std::ifstream in(strPath);
        for (std::string line; std::getline(in, line);) {
            const std::size_t at = line.find("address=\"");
            if (line.rfind("lanwick_machine_up{", 0) != 0 || at == std::string::npos || line.back() != '1')
                continue;
            const std::size_t begin = at + 9;
            found[line.substr(begin, line.find('"', begin) - begin)] = -1;
        }
        return found;
    };
}

} // namespace lanwick::bench
