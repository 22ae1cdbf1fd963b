// A small pool of lookup threads fed from one queue.
#include "discovery/NameResolver.h"

#include <algorithm>
#include <system_error>

namespace lanwick {

CNameResolver::CNameResolver(Resolve resolve, Answer answer, int nThreads)
    : m_resolve(std::move(resolve)), m_answer(std::move(answer)),
      m_nMaxThreads(static_cast<std::size_t>(std::max(nThreads, 1))) {}

CNameResolver::~CNameResolver() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
        m_queue.clear();
    }
    m_wake.notify_all();
    for (std::thread& t : m_threads)
        t.join();
}

void CNameResolver::Request(std::uint64_t key, std::string strAddress) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_nIdle == 0 && m_threads.size() < m_nMaxThreads) {
        try {
            m_threads.emplace_back(&CNameResolver::Run, this);
        } catch (const std::system_error&) {
            // Without any thread the request would wait for ever: look it up here instead.
            if (m_threads.empty()) {
                lock.unlock();
                m_answer(key, m_resolve(strAddress));
                return;
            }
        }
    }
    m_queue.push_back({key, std::move(strAddress)});
    lock.unlock();
    m_wake.notify_one();
}

std::size_t CNameResolver::DropPending() {
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::size_t n = m_queue.size();
    m_queue.clear();
    return n;
}

void CNameResolver::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        ++m_nIdle;
        m_wake.wait(lock, [this] { return m_bStop || !m_queue.empty(); });
        --m_nIdle;
        if (m_bStop)
            return;
        PendingRequest request = std::move(m_queue.front());
        m_queue.pop_front();
        lock.unlock();
        const std::optional<std::string> name = m_resolve(request.strAddress);
        m_answer(request.key, name);
        lock.lock();
    }
}

} // namespace lanwick
