// Commands through posix_spawn: the shell gets the command text untouched, the fields only in its environment,
// so no text seen on the network is ever parsed as shell syntax.
#include "platform/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

extern char** environ;

namespace lanwick::platform {

namespace {

// Our environment less the names env sets, then env: "NAME=value" texts, in that order.
std::vector<std::string> ChildEnvironment(const Environment& env) {
    std::vector<std::string> out;
    for (char** p = environ; p && *p; ++p) {
        const std::string entry = *p;
        const std::string name = entry.substr(0, entry.find('='));
        if (std::none_of(env.begin(), env.end(), [&](const auto& kv) { return kv.first == name; }))
            out.push_back(entry);
    }
    for (const auto& [name, value] : env)
        out.push_back(name + '=' + value);
    return out;
}

} // namespace

CCommandRunner::CCommandRunner(std::size_t nMaxRunning, std::size_t nMaxQueued)
    : m_nMaxRunning(std::max<std::size_t>(1, nMaxRunning)), m_nMaxQueued(nMaxQueued) {}

CCommandRunner::~CCommandRunner() {
    Reap();
}

bool CCommandRunner::Run(const std::string& strCommand, const Environment& env, std::string* pstrError) {
    Reap();
    if (m_running.size() < m_nMaxRunning && m_queue.empty())
        return Start({strCommand, env}, pstrError);
    if (m_queue.size() >= m_nMaxQueued) {
        if (pstrError)
            *pstrError = std::to_string(m_running.size()) + " commands still running and " +
                         std::to_string(m_queue.size()) + " waiting";
        return false;
    }
    m_queue.push_back({strCommand, env});
    return true;
}

void CCommandRunner::Pump(std::vector<std::string>* pErrors) {
    Reap();
    while (!m_queue.empty() && m_running.size() < m_nMaxRunning) {
        std::string strError;
        if (!Start(m_queue.front(), &strError) && pErrors)
            pErrors->push_back(strError);
        m_queue.pop_front();
    }
}

bool CCommandRunner::Start(const Pending& pending, std::string* pstrError) {
    std::vector<std::string> envText = ChildEnvironment(pending.env);
    std::vector<char*> envp;
    for (std::string& entry : envText)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string strShell = "sh", strDashC = "-c", strCommand = pending.strCommand;
    char* argv[] = {strShell.data(), strDashC.data(), strCommand.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    // The command starts with the signals as a shell would give them, whatever this process blocks or ignores.
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int nSignal : {SIGPIPE, SIGINT, SIGTERM, SIGCHLD, SIGHUP})
        sigaddset(&defaults, nSignal);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = -1;
    const int nError = posix_spawn(&pid, "/bin/sh", &actions, &attr, argv, envp.data());
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (nError != 0) {
        if (pstrError)
            *pstrError = std::string("cannot start /bin/sh: ") + std::strerror(nError);
        return false;
    }
    m_running.push_back(pid);
    return true;
}

// Only our own children, each by its id: another part of the program may have children of its own.
void CCommandRunner::Reap() {
    std::erase_if(m_running, [](long long pid) {
        int nStatus = 0;
        const pid_t done = waitpid(static_cast<pid_t>(pid), &nStatus, WNOHANG);
        return done == static_cast<pid_t>(pid) || (done < 0 && errno == ECHILD);
    });
}

} // namespace lanwick::platform
