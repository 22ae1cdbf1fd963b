// Runs the real lanwick-cli binary for the tests: whole runs with their output, or a running process whose lines
// are read as they come; the files a test gives it go to the shared temporary folder.
#pragma once

#include <sys/types.h>

#include "support/TempDir.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
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

    // The next whole line of standard output without its "\n"; nothing at the end of output or after timeoutMs.
    std::optional<std::string> ReadLine(int timeoutMs);
    void Signal(int nSignal);
    pid_t Pid() const { return m_pid; }
    // Exit status as RunCli gives it, -1 when it did not end within timeoutMs.
    int Wait(int timeoutMs);
    // Standard output not yet read as lines, once the process has ended, and standard error.
    std::string RestOfOutput();
    std::string Errors() const;

private:
    bool Fill(int timeoutMs);

    pid_t m_pid = -1;
    int m_outFd = -1;
    std::string m_strErrFile;
    std::string m_buffer;
    bool m_bEof = false;
    int m_nStatus = -1;
};

// Waits up to timeoutMs for the file at strPath to be a new one (the program replaces its metrics file at the end
// of every pass); last is the inode seen before, and becomes the new one's.
bool WaitForNewFile(const std::string& strPath, ino_t& last, int timeoutMs = 15000);

// A time as lanwick-cli prints it: local, to the second, with the zone's offset.
std::string Local(std::int64_t nAt);

// A dotted address as the machine list holds it.
std::array<std::uint8_t, 4> Ip(const std::string& strAddress);

std::vector<std::string> SplitLines(const std::string& strText);
std::vector<std::string> SplitFields(const std::string& strLine, char sep);

} // namespace lanwick::test
