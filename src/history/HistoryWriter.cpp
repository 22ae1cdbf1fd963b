// The history's writer thread: Record only queues, the thread writes. While the thread is behind, the oldest
// queued passes are folded together, so that memory stays bounded and nothing is dropped.
#include "history/History.h"
#include "history/HistoryStore.h"

#include <atomic>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <mutex>
#include <thread>

namespace lanwick::history {

namespace {

// About 20 MB of queued checks (two short strings each): some twenty passes of 10,000 machines.
constexpr std::size_t kMaxQueuedChecks = 200000;

std::int64_t ThreadCpuNs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

} // namespace

struct CHistoryWriter::Impl {
    std::string strPath;
    std::int64_t nRetentionDays = kDefaultRetentionDays;

    mutable std::mutex mutex;
    std::condition_variable cvWork; // a pass, a flush or the end for the thread
    std::condition_variable cvDone; // passes written, or the pause
    std::deque<PassRecord> queue;
    std::size_t nQueuedChecks = 0;
    CFoldedPasses folded; // older than every queued pass
    std::uint64_t nHanded = 0, nWritten = 0;
    bool bOpenWanted = false;
    bool bOpened = false;
    bool bStop = false;
    std::atomic<bool> bPaused{false};
    bool bPauseTold = false;
    std::string strPause;
    std::function<void(const std::string&)> onPause;
    std::atomic<std::int64_t> nCpuNs{0};
    std::thread thread;

    void Run();
    void Pause(const std::string& strReason);
};

void CHistoryWriter::Impl::Pause(const std::string& strReason) {
    std::function<void(const std::string&)> callback;
    {
        const std::lock_guard lock(mutex);
        strPause = strReason;
        bPaused = true;
        queue.clear();
        nQueuedChecks = 0;
        folded = {};
        callback = onPause;
    }
    if (callback)
        callback(strReason);
    // Flush returns only now, so that a caller that flushed has seen the message.
    {
        const std::lock_guard lock(mutex);
        bPauseTold = true;
    }
    cvDone.notify_all();
}

void CHistoryWriter::Impl::Run() {
    CHistoryStore store;
    bool bOpen = false;
    for (;;) {
        CFoldedPasses older;
        std::deque<PassRecord> passes;
        {
            std::unique_lock lock(mutex);
            cvWork.wait(lock, [&] { return bStop || (bOpenWanted && !bOpen) || !queue.empty() || !folded.Empty(); });
            if (queue.empty() && folded.Empty() && bStop)
                return;
            std::swap(older, folded);
            passes.swap(queue);
            nQueuedChecks = 0;
        }
        // Opened at the first pass or flush rather than at construction, so that OnPause is set by then.
        if (!bOpen) {
            if (const std::string strError = store.Open(strPath, nRetentionDays); !strError.empty()) {
                Pause(strError);
                return;
            }
            bOpen = true;
            const std::lock_guard lock(mutex);
            bOpened = true;
        }
        if (!older.Empty()) {
            if (const std::string strError = store.WriteFolded(older); !strError.empty()) {
                Pause(strError);
                return;
            }
            const std::lock_guard lock(mutex);
            nWritten += older.Passes();
        }
        nCpuNs = ThreadCpuNs();
        for (const PassRecord& pass : passes) {
            if (const std::string strError = store.WritePass(pass); !strError.empty()) {
                Pause(strError);
                return;
            }
            nCpuNs = ThreadCpuNs();
            {
                const std::lock_guard lock(mutex);
                ++nWritten;
            }
            cvDone.notify_all();
        }
        nCpuNs = ThreadCpuNs();
        cvDone.notify_all();
    }
}

CHistoryWriter::CHistoryWriter(const std::string& strPath, std::int64_t nRetentionDays)
    : m_pImpl(std::make_unique<Impl>()) {
    m_pImpl->strPath = strPath;
    m_pImpl->nRetentionDays = nRetentionDays < 1 ? 1 : nRetentionDays;
    m_pImpl->thread = std::thread([impl = m_pImpl.get()] { impl->Run(); });
}

CHistoryWriter::~CHistoryWriter() {
    {
        const std::lock_guard lock(m_pImpl->mutex);
        m_pImpl->bStop = true;
    }
    m_pImpl->cvWork.notify_all();
    m_pImpl->thread.join();
}

void CHistoryWriter::Record(PassRecord pass) {
    if (m_pImpl->bPaused)
        return;
    {
        const std::lock_guard lock(m_pImpl->mutex);
        if (m_pImpl->bPaused || m_pImpl->bStop)
            return;
        ++m_pImpl->nHanded;
        m_pImpl->nQueuedChecks += pass.checks.size();
        m_pImpl->queue.push_back(std::move(pass));
        // The writer is behind: fold the oldest passes, never the newest, which is the one most likely to be
        // read soon and the one a kill may take.
        while (m_pImpl->nQueuedChecks > kMaxQueuedChecks && m_pImpl->queue.size() > 1) {
            m_pImpl->folded.Add(m_pImpl->queue.front());
            m_pImpl->nQueuedChecks -= m_pImpl->queue.front().checks.size();
            m_pImpl->queue.pop_front();
        }
    }
    m_pImpl->cvWork.notify_one();
}

void CHistoryWriter::Flush() {
    std::unique_lock lock(m_pImpl->mutex);
    const std::uint64_t nTarget = m_pImpl->nHanded;
    m_pImpl->bOpenWanted = true;
    m_pImpl->cvWork.notify_one();
    m_pImpl->cvDone.wait(lock,
                         [&] { return m_pImpl->bPauseTold || (m_pImpl->bOpened && m_pImpl->nWritten >= nTarget); });
}

std::string CHistoryWriter::PauseReason() const {
    const std::lock_guard lock(m_pImpl->mutex);
    return m_pImpl->strPause;
}

void CHistoryWriter::OnPause(std::function<void(const std::string& strReason)> callback) {
    std::string strReason;
    {
        const std::lock_guard lock(m_pImpl->mutex);
        m_pImpl->onPause = callback;
        strReason = m_pImpl->strPause;
    }
    // Set after the pause: told now, so that the message is never lost.
    if (!strReason.empty() && callback)
        callback(strReason);
}

const std::string& CHistoryWriter::Path() const {
    return m_pImpl->strPath;
}

double CHistoryWriter::WriterCpuSeconds() const {
    return static_cast<double>(m_pImpl->nCpuNs.load()) * 1e-9;
}

} // namespace lanwick::history
