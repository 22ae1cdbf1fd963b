// The range scan without a window, on the namespace LAN, with wall time, hosts found and peak memory: on a /24 LAN
// the /24 at 10, 40 and 80 workers, on a /23 LAN the /23 at 80 workers. Run as
//   tests/lan/with_lan.sh --hosts 40 -- build/bench/bench_scan
//   tests/lan/with_lan.sh --prefix 23 --hosts 100 -- build/bench/bench_scan
#include "discovery/ScanWorker.h"

#include <sys/resource.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>

using namespace lanwick;

namespace {

class CCountingSink final : public IScanSink {
public:
    void OnScanFound(const std::string& strAddress, const std::string&) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        found.insert(strAddress);
    }
    void OnScanStep() override {}
    void OnScanDone() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bDone = true;
        m_done.notify_all();
    }
    void Wait() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_done.wait(lock, [this] { return m_bDone; });
    }
    std::set<std::string> found;

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_bDone = false;
};

long PeakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Returns false when the sweep was slower than its floor allows.
bool Sweep(const char* label, const IpAddress& start, const IpAddress& end, int workers) {
    const std::vector<ScanRange> blocks = DivideRange(start, end, workers);
    std::uint64_t addresses = 0;
    std::uint64_t rounds = 0;
    for (const ScanRange& block : blocks) {
        addresses += WalkLength(block);
        rounds = std::max(rounds, WalkLength(block));
    }
    const std::uint64_t floorSeconds = (addresses + static_cast<std::uint64_t>(workers) - 1) / workers;
    CCountingSink sink;
    CScanWorkers scan;
    const auto begin = std::chrono::steady_clock::now();
    scan.Start(blocks, RealScanProbes(), sink);
    sink.Wait();
    scan.Join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    const double ratio = seconds / static_cast<double>(floorSeconds);
    std::printf("%-4s %2d workers  %3llu addresses in %2zu blocks (longest %2llu)  wall %6.2f s  floor %2llu s  "
                "x%.2f  found %3zu  peak RSS %ld KB\n",
                label, workers, static_cast<unsigned long long>(addresses), blocks.size(),
                static_cast<unsigned long long>(rounds), seconds, static_cast<unsigned long long>(floorSeconds), ratio,
                sink.found.size(), PeakRssKb());
    std::fflush(stdout);
    return ratio <= 1.10;
}

} // namespace

int main() {
    if (std::getenv("LANWICK_LAN_FILE") == nullptr) {
        std::fprintf(stderr, "bench_scan: run it inside the namespace LAN: tests/lan/with_lan.sh --hosts 40 -- %s\n",
                     "build/bench/bench_scan");
        return 77;
    }
    bool ok = true;
    const char* prefix = std::getenv("LANWICK_LAN_PREFIX");
    if (prefix != nullptr && std::string(prefix) == "23") {
        ok = Sweep("/23", {198, 18, 0, 0}, {198, 18, 1, 255}, 80);
    } else {
        for (int workers : {10, 40, 80})
            ok = Sweep("/24", {198, 18, 0, 0}, {198, 18, 0, 255}, workers) && ok;
    }
    std::printf("%s\n", ok ? "every sweep within 10% of its floor" : "a sweep was more than 10% over its floor");
    return ok ? 0 : 1;
}
