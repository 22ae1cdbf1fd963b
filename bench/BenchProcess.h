// Runs another program as a benchmark sees it: wall time, exit status, everything it printed, and its own peak
// memory from wait4, so that Lanwick and its peers (fping, nmap) are measured the same way.
#pragma once

#include <string>
#include <vector>

namespace lanwick::bench {

struct ProcessRun {
    double dWall = 0;   // seconds from fork to reaped
    long nPeakKb = 0;   // the child's maximum resident set size
    int nStatus = -1;   // exit status, -1 when it did not exit normally
    std::string strOut; // standard output and standard error, interleaved
};

// Runs argv with strInput on its standard input (an unnamed in-memory file, so a list of any length costs no
// pipe dance and leaves nothing on disk). With bColdNeighbours the caller's neighbour table is flushed first,
// so that every run pays for its ARP as a first pass would.
ProcessRun RunProcess(const std::vector<std::string>& argv, const std::string& strInput, bool bColdNeighbours);

// True when "PROGRAM COMMAND --help" mentions option: benchmarks pass options only to a CLI that has them.
bool HelpMentions(const std::string& strProgram, const std::string& strCommand, const std::string& strOption);

bool Installed(const std::string& strProgram);

} // namespace lanwick::bench
