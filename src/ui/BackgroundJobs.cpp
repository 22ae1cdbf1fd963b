// Worker pool of the window. Work and results pass through queues under our own mutex; the window thread learns
// of results through its mailbox, which is destroyed with this object, so no result reaches a destroyed window.
#include "ui/BackgroundJobs.h"

namespace lanwick {

CBackgroundJobs::CBackgroundJobs(int nThreads) {
    m_threads.reserve(static_cast<std::size_t>(nThreads));
    for (int i = 0; i < nThreads; ++i)
        m_threads.emplace_back([this] { WorkerLoop(); });
}

CBackgroundJobs::~CBackgroundJobs() {
    {
        std::lock_guard lock(m_mutex);
        m_bStop = true;
    }
    m_cvWork.notify_all();
    for (auto& thread : m_threads)
        thread.join();
}

void CBackgroundJobs::WaitForWorkers() {
    std::unique_lock lock(m_mutex);
    m_cvIdle.wait(lock, [this] { return m_jobs.empty() && m_nBusy == 0; });
}

void CBackgroundJobs::Start(std::function<void()> work, std::function<void()> deliver) {
    ++m_nPending;
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back({std::move(work), std::move(deliver)});
    }
    m_cvWork.notify_one();
}

void CBackgroundJobs::WorkerLoop() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            // On stop, work already queued still runs: the destructor ends the queue, it does not skip it.
            m_cvWork.wait(lock, [this] { return m_bStop || !m_jobs.empty(); });
            if (m_jobs.empty())
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
            ++m_nBusy;
        }
        job.work();
        m_mailbox.Post([this, deliver = std::move(job.deliver)] {
            --m_nPending;
            deliver();
        });
        {
            std::lock_guard lock(m_mutex);
            --m_nBusy;
        }
        m_cvIdle.notify_all();
    }
}

} // namespace lanwick
