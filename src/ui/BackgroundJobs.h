// Runs blocking work (pings, lookups) on worker threads and hands each result back to the window thread, so the
// window never waits on the network.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "ui/WindowMailbox.h"

namespace lanwick {

class CBackgroundJobs final {
public:
    // Created on the window thread, which is where the results arrive.
    explicit CBackgroundJobs(int nThreads = 4);
    // Runs the work already queued to its end; results not yet delivered are dropped with this object.
    ~CBackgroundJobs();
    CBackgroundJobs(const CBackgroundJobs&) = delete;
    CBackgroundJobs& operator=(const CBackgroundJobs&) = delete;

    // work runs on a worker thread; done(result) later runs on the window thread.
    template <class R>
    void Run(std::function<R()> work, std::function<void(R)> done) {
        auto pResult = std::make_shared<R>();
        Start([work = std::move(work), pResult] { *pResult = work(); },
              [done = std::move(done), pResult] { done(std::move(*pResult)); });
    }

    // Window thread: jobs started whose result has not been delivered yet.
    int Pending() const { return m_nPending; }
    // Window thread: returns once no work is queued or running.
    void WaitForWorkers();

private:
    struct Job {
        std::function<void()> work;
        std::function<void()> deliver;
    };

    void Start(std::function<void()> work, std::function<void()> deliver);
    void WorkerLoop();

    CWindowMailbox m_mailbox;
    std::mutex m_mutex;
    std::condition_variable m_cvWork;
    std::condition_variable m_cvIdle;
    std::deque<Job> m_jobs; // under m_mutex
    int m_nBusy = 0;        // under m_mutex
    bool m_bStop = false;   // under m_mutex
    int m_nPending = 0;     // window thread only
    std::vector<std::thread> m_threads;
};

} // namespace lanwick
