// Times the two probes against a live and a silent host of the namespace LAN:
//   tests/lan/with_lan.sh --hosts 40 -- build/bench/bench_probes
#include "probes/Pinger.h"
#include "probes/ScanPing.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

using namespace lanwick;

namespace {

// The first host that with_lan.sh wrote (namespace, address, ...), or nothing outside the LAN.
std::string FirstLanHost() {
    const char* file = std::getenv("LANWICK_LAN_FILE");
    if (!file)
        return {};
    std::ifstream in(file);
    std::string ns, address;
    std::getline(in, ns, '\t');
    std::getline(in, address, '\t');
    return address;
}

// Runs `probe` `runs` times; prints the wall time per call (min, median, max) and the last result.
void Measure(const char* what, int runs, const std::function<std::int32_t()>& probe) {
    std::vector<double> ms;
    std::int32_t result = 0;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        result = probe();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s %4d runs  wall ms min %9.3f  median %9.3f  max %9.3f  result %d\n", what, runs, ms.front(),
                ms[ms.size() / 2], ms.back(), static_cast<int>(result));
}

} // namespace

int main() {
    const std::string live = FirstLanHost();
    if (live.empty()) {
        std::fprintf(stderr, "bench_probes: run it inside the test LAN: tests/lan/with_lan.sh -- bench_probes\n");
        return 77;
    }
    const std::string silent = "198.18.0.250";
    CPinger pinger;
    Measure("Ping live, 1 attempt (result us)", 200, [&] { return pinger.Ping(1, live, 500); });
    Measure("Ping live, 3 attempts, pause 1 ms (result us)", 20, [&] { return pinger.Ping(3, live, 1); });
    Measure("ScanPing live, 1 attempt (result ms)", 200, [&] { return ScanPing(live, 100, 1, 0); });
    Measure("Ping silent, 1 attempt", 3, [&] { return pinger.Ping(1, silent, 500); });
    Measure("Ping silent, 3 attempts", 1, [&] { return pinger.Ping(3, silent, 500); });
    Measure("ScanPing silent, 1 attempt", 3, [&] { return ScanPing(silent, 100, 1, 0); });
    return 0;
}
