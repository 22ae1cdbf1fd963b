// Runs the real lanwick-cli binary for the tests: whole runs with their output, or a running process whose lines
// are read as they come. Both outputs go to files of the process's own folder, so no pipe can fill up.
#pragma once

#include <sys/types.h>

#include "support/TempDir.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lanwick::test {

struct CliResult {
    int status = -1; // exit status; 128 + N when ended by signal N; -1 when it did not end in time
    std::string out;
    std::string err;
};

// Runs LANWICK_CLI (or `program` when given) with `args`, stdin from /dev/null, killed after timeoutMs.
CliResult RunCli(const std::vector<std::string>& args, int timeoutMs = 60000, const std::string& program = "");

class CCliProcess {
public:
    // Starts LANWICK_CLI (or `program` when given) with `args`.
    explicit CCliProcess(const std::vector<std::string>& args, const std::string& program = "");
    ~CCliProcess(); // ends the process by its PID if it still runs
    CCliProcess(const CCliProcess&) = delete;
    CCliProcess& operator=(const CCliProcess&) = delete;

    // The next whole line of standard output without its "\n"; nothing when none came within timeoutMs.
    std::optional<std::string> ReadLine(int timeoutMs);
    void Signal(int nSignal);
    pid_t Pid() const { return m_pid; }
    // Exit status as RunCli gives it, -1 when it did not end within timeoutMs.
    int Wait(int timeoutMs);
    // Standard output not yet read as lines, and standard error.
    std::string RestOfOutput();
    std::string Errors() const { return m_dir.Read("err"); }

private:
    CTempDir m_dir;
    pid_t m_pid = -1;
    std::size_t m_nRead = 0;
    int m_nStatus = -1;
};

// Each call is refused before anything is done: status 2, nothing on stdout, one line on stderr that starts with
// "lanwick-cli: " and holds the reason.
void ExpectRefused(const std::vector<std::string>& args, const std::string& strReason);
using Refusals = std::vector<std::pair<std::vector<std::string>, std::string>>;
void ExpectRefused(const Refusals& calls);

// A time as lanwick-cli prints it: local, to the second, with the zone's offset.
std::string Local(std::int64_t nAt);

// A dotted address as the machine list holds it.
std::array<std::uint8_t, 4> Ip(const std::string& strAddress);

std::vector<std::string> SplitLines(const std::string& strText);
std::vector<std::string> SplitFields(const std::string& strLine, char sep);

} // namespace lanwick::test
