// Signal handling of the long commands: the handler does nothing but lock-free atomic stores.
#include "cli/StopRequest.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <thread>

#include "probes/PingEngine.h"

namespace lanwick::cli {

namespace {

std::atomic<int> g_nSignal{0};
std::atomic<CPingEngine*> g_pEngine{nullptr};

extern "C" void OnStopSignal(int nSignal) {
    g_nSignal.store(nSignal);
    if (CPingEngine* pEngine = g_pEngine.load())
        pEngine->Cancel();
}

// How often a sleep looks at the request: short enough that a stop feels immediate.
constexpr auto kPollInterval = std::chrono::milliseconds(50);

} // namespace

void CStopRequest::Install(CPingEngine* pEngine) {
    static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free &&
                      std::atomic<CPingEngine*>::is_always_lock_free,
                  "the signal handler may only touch lock-free atomics");
    g_pEngine.store(pEngine);
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
}

bool CStopRequest::Requested() {
    return g_nSignal.load() != 0;
}

int CStopRequest::Signal() {
    return g_nSignal.load();
}

bool CStopRequest::SleepUntil(std::chrono::steady_clock::time_point until) {
    while (!Requested()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= until)
            return true;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(until - now, kPollInterval));
    }
    return false;
}

} // namespace lanwick::cli
