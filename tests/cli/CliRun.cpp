// Process plumbing of the command-line tests: fork, exec, pipes and bounded waits, every child ended by its PID.
#include "cli/CliRun.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "support/WaitUntil.h"

namespace lanwick::test {

namespace {

using Clock = std::chrono::steady_clock;

std::string TempRoot() {
    const char* dir = std::getenv("LANWICK_LAN_DIR");
    return dir && *dir ? dir : "/tmp";
}

int DecodeStatus(int raw) {
    if (WIFEXITED(raw))
        return WEXITSTATUS(raw);
    if (WIFSIGNALED(raw))
        return 128 + WTERMSIG(raw);
    return -1;
}

int MillisecondsLeft(Clock::time_point end) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

ino_t Inode(const std::string& strPath) {
    struct stat st {};
    return ::stat(strPath.c_str(), &st) == 0 ? st.st_ino : 0;
}

} // namespace

CCliProcess::CCliProcess(const std::vector<std::string>& args, const std::string& program) {
    static int counter = 0;
    m_strErrFile = TempRoot() + "/cli-stderr-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    std::vector<std::string> argv = {program.empty() ? std::string(LANWICK_CLI) : program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (std::string& arg : argv)
        cargv.push_back(arg.data());
    cargv.push_back(nullptr);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return;
    m_pid = fork();
    if (m_pid == 0) {
        const int in = open("/dev/null", O_RDONLY);
        const int err = open(m_strErrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(in, 0);
        dup2(fds[1], 1);
        dup2(err, 2);
        execv(cargv[0], cargv.data());
        _exit(127);
    }
    close(fds[1]);
    m_outFd = fds[0];
}

CCliProcess::~CCliProcess() {
    if (m_pid > 0 && m_nStatus < 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    if (m_outFd >= 0)
        close(m_outFd);
    unlink(m_strErrFile.c_str());
}

bool CCliProcess::Fill(int timeoutMs) {
    if (m_bEof || m_outFd < 0)
        return false;
    pollfd p{m_outFd, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0)
        return false;
    char buf[4096];
    const ssize_t n = read(m_outFd, buf, sizeof buf);
    if (n <= 0) {
        m_bEof = true;
        return false;
    }
    m_buffer.append(buf, static_cast<std::size_t>(n));
    return true;
}

std::optional<std::string> CCliProcess::ReadLine(int timeoutMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const std::size_t nl = m_buffer.find('\n');
        if (nl != std::string::npos) {
            std::string line = m_buffer.substr(0, nl);
            m_buffer.erase(0, nl + 1);
            return line;
        }
        if (!Fill(MillisecondsLeft(end)) && (m_bEof || MillisecondsLeft(end) == 0))
            return std::nullopt;
    }
}

void CCliProcess::Signal(int nSignal) {
    if (m_pid > 0 && m_nStatus < 0)
        kill(m_pid, nSignal);
}

int CCliProcess::Wait(int timeoutMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_pid > 0 && m_nStatus < 0) {
        // Keep draining the output so that a full pipe never holds the process up.
        if (!Fill(10) && m_bEof)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        int raw = 0;
        if (waitpid(m_pid, &raw, WNOHANG) == m_pid) {
            m_nStatus = DecodeStatus(raw);
            break;
        }
        if (MillisecondsLeft(end) == 0)
            return -1;
    }
    while (Fill(1000)) {
    }
    return m_nStatus;
}

std::string CCliProcess::RestOfOutput() {
    std::string rest;
    rest.swap(m_buffer);
    return rest;
}

std::string CCliProcess::Errors() const {
    return ReadFile(m_strErrFile);
}

CliResult RunCli(const std::vector<std::string>& args, int timeoutMs, const std::string& program) {
    CCliProcess process(args, program);
    CliResult result;
    result.status = process.Wait(timeoutMs);
    result.out = process.RestOfOutput();
    result.err = process.Errors();
    return result;
}

bool WaitForNewFile(const std::string& strPath, ino_t& last, int timeoutMs) {
    ino_t now = 0;
    if (!WaitUntil([&] { return (now = Inode(strPath)) != 0 && now != last; }, std::chrono::milliseconds(timeoutMs)))
        return false;
    last = now;
    return true;
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

std::vector<std::string> SplitLines(const std::string& strText) {
    std::vector<std::string> lines;
    std::size_t begin = 0;
    while (begin < strText.size()) {
        std::size_t nl = strText.find('\n', begin);
        if (nl == std::string::npos)
            nl = strText.size();
        lines.push_back(strText.substr(begin, nl - begin));
        begin = nl + 1;
    }
    return lines;
}

std::vector<std::string> SplitFields(const std::string& strLine, char sep) {
    std::vector<std::string> fields;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t at = strLine.find(sep, begin);
        fields.push_back(strLine.substr(begin, at == std::string::npos ? std::string::npos : at - begin));
        if (at == std::string::npos)
            return fields;
        begin = at + 1;
    }
}

} // namespace lanwick::test
