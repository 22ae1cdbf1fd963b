// Process plumbing of the command-line tests: fork, exec and bounded waits, every child ended by its PID.
#include "cli/CliRun.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>

#include "support/WaitUntil.h"

#include <gtest/gtest.h>

namespace lanwick::test {

CCliProcess::CCliProcess(const std::vector<std::string>& args, const std::string& program) {
    std::vector<std::string> argv = {program.empty() ? std::string(LANWICK_CLI) : program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (std::string& arg : argv)
        cargv.push_back(arg.data());
    cargv.push_back(nullptr);
    const std::string strOut = m_dir.File("out"), strErr = m_dir.File("err");
    m_pid = fork();
    if (m_pid == 0) {
        dup2(open("/dev/null", O_RDONLY), 0);
        dup2(open(strOut.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        dup2(open(strErr.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        execv(cargv[0], cargv.data());
        _exit(127);
    }
}

CCliProcess::~CCliProcess() {
    if (m_pid > 0 && m_nStatus < 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
}

std::optional<std::string> CCliProcess::ReadLine(int timeoutMs) {
    std::string line;
    const auto next = [&] {
        const std::string out = m_dir.Read("out");
        const std::size_t nl = out.find('\n', m_nRead);
        if (nl == std::string::npos)
            return false;
        line = out.substr(m_nRead, nl - m_nRead);
        m_nRead = nl + 1;
        return true;
    };
    if (!WaitUntil(next, std::chrono::milliseconds(timeoutMs)))
        return std::nullopt;
    return line;
}

void CCliProcess::Signal(int nSignal) {
    if (m_pid > 0 && m_nStatus < 0)
        kill(m_pid, nSignal);
}

int CCliProcess::Wait(int timeoutMs) {
    const auto ended = [&] {
        int raw = 0;
        if (m_nStatus >= 0 || m_pid <= 0 || waitpid(m_pid, &raw, WNOHANG) != m_pid)
            return m_nStatus >= 0;
        m_nStatus = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        return true;
    };
    WaitUntil(ended, std::chrono::milliseconds(timeoutMs));
    return m_nStatus;
}

std::string CCliProcess::RestOfOutput() {
    const std::string rest = m_dir.Read("out").substr(m_nRead);
    m_nRead += rest.size();
    return rest;
}

CliResult RunCli(const std::vector<std::string>& args, int timeoutMs, const std::string& program) {
    CCliProcess process(args, program);
    CliResult result;
    result.status = process.Wait(timeoutMs);
    result.out = process.RestOfOutput();
    result.err = process.Errors();
    return result;
}

void ExpectRefused(const std::vector<std::string>& args, const std::string& strReason) {
    std::string strCall;
    for (const std::string& arg : args)
        strCall += " [" + arg.substr(0, 100) + "]";
    SCOPED_TRACE(strCall);
    const CliResult r = RunCli(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("lanwick-cli: ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
    EXPECT_NE(r.err.find(strReason), std::string::npos) << r.err;
}

void ExpectRefused(const Refusals& calls) {
    for (const auto& [args, strReason] : calls)
        ExpectRefused(args, strReason);
}

std::string Local(std::int64_t nAt) {
    const auto t = static_cast<std::time_t>(nAt);
    std::tm local{};
    char text[64];
    localtime_r(&t, &local);
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    return text;
}

std::array<std::uint8_t, 4> Ip(const std::string& strAddress) {
    std::array<std::uint8_t, 4> ip{};
    std::sscanf(strAddress.c_str(), "%hhu.%hhu.%hhu.%hhu", &ip[0], &ip[1], &ip[2], &ip[3]);
    return ip;
}

std::vector<std::string> SplitFields(const std::string& strLine, char sep) {
    std::vector<std::string> fields;
    std::size_t begin = 0;
    for (std::size_t at; (at = strLine.find(sep, begin)) != std::string::npos; begin = at + 1)
        fields.push_back(strLine.substr(begin, at - begin));
    fields.push_back(strLine.substr(begin));
    return fields;
}

std::vector<std::string> SplitLines(const std::string& strText) {
    if (strText.empty())
        return {};
    std::vector<std::string> lines = SplitFields(strText, '\n');
    if (strText.back() == '\n')
        lines.pop_back();
    return lines;
}

} // namespace lanwick::test
