// Scenarios of the whole-program benchmark: the tools that do the same work on the same targets, run in turns,
// and the one table that sets their medians side by side.
#pragma once

#include "BenchProcess.h"

#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace lanwick::bench {

// What a tool reported: every address it found up, with its round trip in milliseconds (negative when the tool
// gives none, as a scan does).
using Found = std::map<std::string, double>;
using Parser = std::function<Found(const std::string& strOut)>;

struct Tool {
    std::string strName;             // as the table shows it
    std::vector<std::string> argv;   // the whole run
    std::string strInput;            // standard input: the targets, for the peers
    Parser parse;                    // what the run found
    std::vector<std::string> single; // argv of a single-host probe (the host is appended); empty: none
};

struct Scenario {
    std::string strName;
    std::vector<std::string> targets;
    std::set<std::string> expected; // the targets that are up
    std::vector<Tool> tools;        // the first is the Lanwick reference for the ratio
};

struct Row {
    std::string strScenario, strTool;
    int nRuns = 0;
    double dMedian = 0;
    double dRatio = 0;
    std::size_t nFoundMin = 0, nFoundMax = 0, nExpected = 0, nExtra = 0;
    long nPeakKb = 0;
    double dRttDiff = -1; // largest difference from a single-host probe, ms; negative: not measured
    std::string strRttHost;
    bool bFailed = false; // some run ended with a status that means an error
};

// Runs every tool nRuns times in turns (a tool whose run took over dLong seconds runs no more), then, for tools
// with a single-host probe, probes nRttSamples live targets one at a time and compares with the median run.
std::vector<Row> RunScenario(const Scenario& scenario, int nRuns, double dLong, std::size_t nRttSamples = 0);

void PrintTable(const std::vector<Row>& rows, std::FILE* out);
void PrintRows(const std::vector<Row>& rows, std::FILE* out);
void PrintHeader(std::FILE* out);

// Parsers of each tool's output.
Found ParseLanwickPing(const std::string& strOut); // "HOST<tab>MS" or "HOST<tab>No"
Found ParseLanwickScan(const std::string& strOut); // "ADDRESS<tab>MAC<tab>VENDOR<tab>NAME"
Found ParseFpingCount(const std::string& strOut);  // -C summary on stderr: "HOST : MS MS ..." ("-" for none)
Found ParseAddresses(const std::string& strOut);   // fping -a: one address a line
Found ParseNmap(const std::string& strOut);        // "Nmap scan report for ADDRESS"
// lanwick-cli monitor --prom-file: the machines whose lanwick_machine_up is 1 in the file the run left.
Parser ParsePromFile(const std::string& strPath);

} // namespace lanwick::bench
