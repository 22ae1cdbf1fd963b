// Times the ping engine over a whole /24 of the namespace LAN (40 hosts answer, plus the monitor itself):
//   tests/lan/with_lan.sh --hosts 40 -- build/bench/bench_ping_engine
#include "probes/PingEngine.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace lanwick;

int main() {
    if (!std::getenv("LANWICK_LAN_FILE")) {
        std::fprintf(stderr,
                     "bench_ping_engine: run it inside the test LAN: tests/lan/with_lan.sh -- bench_ping_engine\n");
        return 77;
    }
    std::vector<std::string> hosts;
    for (int i = 1; i <= 254; ++i)
        hosts.push_back("198.18.0." + std::to_string(i));
    CPingEngine engine;
    for (unsigned retries : {1u, 3u}) {
        for (int run = 0; run < 3; ++run) {
            const auto start = std::chrono::steady_clock::now();
            const auto results = engine.PingAll(hosts, retries, 500);
            const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const auto answered = std::count_if(results.begin(), results.end(), [](std::int32_t r) { return r >= 0; });
            std::printf("PingAll 254 addresses, Retries %u, Pause 500 ms: %.3f s wall, %ld answered\n", retries, s,
                        static_cast<long>(answered));
        }
    }
    return 0;
}
