// Commands run on behalf of the user (a watch's --exec), started without waiting for them: a command that hangs
// must never hold up the caller, and no more than a fixed number run at once.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace lanwick::platform {

using Environment = std::vector<std::pair<std::string, std::string>>;

class CCommandRunner {
public:
    // At most nMaxRunning commands at a time; up to nMaxQueued more wait for a free place.
    explicit CCommandRunner(std::size_t nMaxRunning = 4, std::size_t nMaxQueued = 1024);
    // Reaps what has ended; commands still running are left to finish on their own (the system adopts them).
    ~CCommandRunner();
    CCommandRunner(const CCommandRunner&) = delete;
    CCommandRunner& operator=(const CCommandRunner&) = delete;

    // Queues strCommand to run as `/bin/sh -c strCommand`, exactly as given, with this process's environment
    // plus env (which replaces variables of the same names). Standard input is /dev/null and standard output
    // goes to our standard error, so a command's chatter never mixes with the caller's output. Starts it at
    // once when a place is free. False with the reason when the queue is full or it could not be started.
    bool Run(const std::string& strCommand, const Environment& env, std::string* pstrError = nullptr);
    // Reaps the commands that ended and starts queued ones in their place; call it now and then. Reasons of the
    // queued commands that could not be started are appended to pErrors.
    void Pump(std::vector<std::string>* pErrors = nullptr);

    std::size_t Running() const { return m_running.size(); }
    std::size_t Queued() const { return m_queue.size(); }

private:
    struct Pending {
        std::string strCommand;
        Environment env;
    };
    bool Start(const Pending& pending, std::string* pstrError);
    void Reap();

    std::size_t m_nMaxRunning;
    std::size_t m_nMaxQueued;
    std::vector<long long> m_running; // process ids
    std::deque<Pending> m_queue;
};

} // namespace lanwick::platform
