// Wall time of a list fill and a monitoring pass over a whole /24 of the namespace LAN with the real ping engine.
// Run inside the LAN: tests/lan/with_lan.sh --hosts 39 -- bench_monitor_pass (the monitor and 39 hosts answer).
#include "monitor/MonitorPass.h"
#include "probes/PingEngine.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace lanwick;

double Seconds(const std::chrono::steady_clock::time_point& start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Measure(CMachineList& list, std::uint8_t nRetries) {
    CSettings settings;
    settings.m_nRetries = nRetries;
    CPingEngine engine;

    auto start = std::chrono::steady_clock::now();
    const PassOutcome fill = RunListFill(list, "Bench", settings, engine);
    const double dFill = Seconds(start);
    start = std::chrono::steady_clock::now();
    const PassOutcome pass = RunPass(list, "Bench", settings, engine);
    const double dPass = Seconds(start);

    std::printf("Retries %u: list fill %.2f s (%d of %zu online), pass %.2f s (%d online)\n", nRetries, dFill,
                fill.nOnline, fill.rows.size(), dPass, pass.nOnline);
}

} // namespace

int main() {
    if (std::getenv("LANWICK_LAN_FILE") == nullptr) {
        std::fprintf(stderr, "bench_monitor_pass: run it inside the namespace LAN (tests/lan/with_lan.sh)\n");
        return 77;
    }
    // Every address of 198.18.0.0/24 from .1 (the monitor) to .254; the hosts sit at .10 upwards.
    CMachineList list;
    for (unsigned last = 1; last <= 254; ++last)
        list.AddMachine({198, 18, 0, static_cast<std::uint8_t>(last)}, "000000000000", "Bench",
                        "m" + std::to_string(last), 0, 1, 1);
    Measure(list, 1);
    Measure(list, 3);
    return 0;
}
