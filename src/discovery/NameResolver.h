// Host name lookups for the rows of a scan, on a few threads of their own, so that neither the window nor the
// scan workers wait for a slow resolver.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace lanwick {

class CNameResolver {
public:
    using Resolve = std::function<std::optional<std::string>(const std::string& strAddress)>;
    // Called on a lookup thread with the key of the request and its result.
    using Answer = std::function<void(std::uint64_t key, const std::optional<std::string>& name)>;

    CNameResolver(Resolve resolve, Answer answer, int nThreads = 4);
    // Drops the requests not yet started and waits for the lookups under way (their answers are still given).
    ~CNameResolver();
    CNameResolver(const CNameResolver&) = delete;
    CNameResolver& operator=(const CNameResolver&) = delete;

    // Queues a lookup; threads are started as they are needed, up to the count given.
    void Request(std::uint64_t key, std::string strAddress);
    // Drops the requests not yet started; returns how many were dropped (they get no answer).
    std::size_t DropPending();

private:
    struct PendingRequest {
        std::uint64_t key;
        std::string strAddress;
    };
    void Run();

    const Resolve m_resolve;
    const Answer m_answer;
    const std::size_t m_nMaxThreads;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<PendingRequest> m_queue;
    std::size_t m_nIdle = 0;
    bool m_bStop = false;
    std::vector<std::thread> m_threads;
};

} // namespace lanwick
