// Remote shutdown on POSIX through Samba's `net rpc shutdown`, started without a shell and bounded in time.
// The password travels in the child's environment, never on its command line, where every user could read it.
#include "platform/Shutdown.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace lanwick::platform {

namespace {

constexpr std::size_t kMaxOutput = 8192;

struct ChildRun {
    bool bStarted = false;
    bool bTimedOut = false;
    int nStatus = -1; // exit status, or -1 when the child did not end normally
    int nErrno = 0;   // why it could not be started
    std::string strOutput;
};

std::int64_t NowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
        const std::string candidate = dir + "/" + name;
        struct stat st {};
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

bool StartsWith(const char* entry, const char* prefix) {
    return std::strncmp(entry, prefix, std::strlen(prefix)) == 0;
}

// Our environment without any credentials of its own; the account's name and password when one was chosen.
std::vector<std::string> BuildEnvironment(const ShutdownRequest& request) {
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        if (StartsWith(*e, "PASSWD=") || StartsWith(*e, "PASSWD_FD=") || StartsWith(*e, "PASSWD_FILE="))
            continue;
        if (request.bUseAccount && StartsWith(*e, "USER="))
            continue;
        env.emplace_back(*e);
    }
    if (request.bUseAccount) {
        env.push_back("USER=" + request.strUser);
        env.push_back("PASSWD=" + request.strPassword);
    }
    return env;
}

std::vector<std::string> BuildArguments(const ShutdownRequest& request) {
    // The --name=value forms keep a name or message that starts with '-' from being read as an option.
    std::vector<std::string> args{"net",
                                  "rpc",
                                  "shutdown",
                                  "--server=" + request.strMachine,
                                  "--comment=" + request.strMessage,
                                  "--timeout=" + std::to_string(request.nDelay)};
    if (request.bForce)
        args.emplace_back("--force");
    if (request.bReboot)
        args.emplace_back("--reboot");
    // Current credentials: never ask for a password (a ticket of the user's Kerberos cache is still used).
    if (!request.bUseAccount)
        args.emplace_back("--no-pass");
    return args;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> out;
    for (auto& t : texts)
        out.push_back(t.data());
    out.push_back(nullptr);
    return out;
}

// Only async-signal-safe calls between fork and exec: the program may have other threads.
[[noreturn]] void ExecChild(const char* path, char* const* argv, char* const* envp, int devNull, int out) {
    setsid(); // no controlling terminal: nothing can open /dev/tty to ask for a password
    dup2(devNull, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
    close_range(3, ~0U, 0);
    execve(path, argv, envp);
    const char text[] = "cannot start net: ";
    const char* reason = strerror(errno);
    (void)!write(STDERR_FILENO, text, sizeof text - 1);
    (void)!write(STDERR_FILENO, reason, std::strlen(reason));
    _exit(127);
}

void ReadUntilEof(int fd, std::int64_t deadline, ChildRun& run) {
    char buffer[1024];
    for (;;) {
        const std::int64_t left = deadline - NowMs();
        if (left <= 0) {
            run.bTimedOut = true;
            return;
        }
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            continue;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        const std::size_t room = kMaxOutput - std::min(kMaxOutput, run.strOutput.size());
        run.strOutput.append(buffer, std::min(room, static_cast<std::size_t>(n)));
    }
}

void Reap(pid_t pid, std::int64_t deadline, ChildRun& run) {
    int status = 0;
    while (!run.bTimedOut) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            run.nStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return;
        }
        if (done < 0 && errno != EINTR)
            return; // not our child any more (SIGCHLD ignored): the outcome is unknown
        if (NowMs() >= deadline)
            run.bTimedOut = true;
        else
            usleep(5000);
    }
    kill(-pid, SIGKILL); // the child leads its own process group: end it with anything it started
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

ChildRun RunBounded(const std::string& path, std::vector<std::string> args, std::vector<std::string> env,
                    std::uint32_t timeoutMs) {
    ChildRun run;
    std::vector<char*> argv = Pointers(args);
    std::vector<char*> envp = Pointers(env);
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        run.nErrno = errno;
        return run;
    }
    const int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t pid = devNull >= 0 ? fork() : -1;
    run.nErrno = errno;
    if (pid == 0)
        ExecChild(path.c_str(), argv.data(), envp.data(), devNull, pipeFds[1]);
    close(pipeFds[1]);
    if (devNull >= 0)
        close(devNull);
    if (pid < 0) {
        close(pipeFds[0]);
        return run;
    }
    run.bStarted = true;
    const std::int64_t deadline = NowMs() + timeoutMs;
    ReadUntilEof(pipeFds[0], deadline, run);
    close(pipeFds[0]);
    Reap(pid, deadline, run);
    return run;
}

// net says most things twice (it tries two RPC services) and pads with blank lines: one copy of each line.
std::string Tidy(const std::string& output) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        std::string line = output.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        bool seen = line.empty();
        for (const auto& l : lines)
            seen = seen || l == line;
        if (!seen)
            lines.push_back(line);
        start = end + 1;
    }
    std::string text;
    for (const auto& l : lines)
        text += (text.empty() ? "" : "\n") + l;
    return text;
}

} // namespace

std::vector<std::string> EnableShutdownPrivilege() {
    return {}; // the right to shut a machine down is checked by the remote side alone
}

ShutdownCall InitiateRemoteShutdown(const ShutdownRequest& request) {
    ShutdownCall call;
    const std::string path = FindProgram("net");
    if (path.empty()) {
        call.strError = "Samba's net program was not found (Debian package samba-common-bin).";
        return call;
    }
    ChildRun run = RunBounded(path, BuildArguments(request), BuildEnvironment(request), request.nTimeoutMs);
    if (!run.bStarted) {
        call.strError = std::string("cannot start net: ") + std::strerror(run.nErrno);
        return call;
    }
    std::string text = Tidy(run.strOutput);
    if (run.bTimedOut) {
        call.strError = "net gave no answer within " + std::to_string((request.nTimeoutMs + 999) / 1000) + " s" +
                        (text.empty() ? "" : ":\n" + text);
        return call;
    }
    call.bOk = run.nStatus == 0;
    if (!call.bOk)
        call.strError = text.empty() ? "net ended with status " + std::to_string(run.nStatus) : text;
    return call;
}

} // namespace lanwick::platform
