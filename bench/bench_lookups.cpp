// Times the vendor table walk (no network) and, inside the namespace LAN, the MAC and name lookups:
//   build/bench/bench_lookups
//   tests/lan/with_lan.sh --hosts 4 -- build/bench/bench_lookups
#include "probes/Lookups.h"
#include "probes/VendorTable.h"

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

struct LanHostLine {
    std::string address;
    std::string name;
};

// The hosts that with_lan.sh wrote (namespace, address, MAC, name), or none outside the LAN.
std::vector<LanHostLine> LanHosts() {
    std::vector<LanHostLine> hosts;
    const char* file = std::getenv("LANWICK_LAN_FILE");
    if (!file)
        return hosts;
    std::ifstream in(file);
    std::string ns, address, mac, name;
    while (std::getline(in, ns, '\t') && std::getline(in, address, '\t') && std::getline(in, mac, '\t') &&
           std::getline(in, name))
        hosts.push_back({address, name});
    return hosts;
}

// Runs `work` `runs` times (after `prepare`, untimed); prints the wall time per call: min, median, max.
void Measure(
    const char* what, int runs, const std::function<std::string()>& work,
    const std::function<void()>& prepare = [] {}) {
    std::vector<double> ms;
    std::string result;
    for (int i = 0; i < runs; ++i) {
        prepare();
        const auto start = std::chrono::steady_clock::now();
        result = work();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s min %9.3f ms  median %9.3f ms  max %9.3f ms  -> %s\n", what, ms.front(), ms[ms.size() / 2],
                ms.back(), result.c_str());
}

} // namespace

int main() {
    const char* table = VendorTableData();
    const std::size_t size = VendorTableSize();
    std::printf("vendor table: %zu bytes\n", size);
    Measure("LookupVendor first entry (000000)", 200, [&] { return LookupVendor(table, size, "000000"); });
    Measure("LookupVendor Cisco (00000C)", 200, [&] { return LookupVendor(table, size, "00000C"); });
    Measure("LookupVendor unknown (whole table)", 200, [&] { return LookupVendor(table, size, "FFFFFE"); });

    const auto hosts = LanHosts();
    if (hosts.empty()) {
        std::printf("not inside the namespace LAN: MAC and name lookups not timed\n");
        return 0;
    }
    // Each MAC lookup starts from an empty neighbour table (the monitor namespace's own), so ARP really runs.
    auto forget = [] { [[maybe_unused]] int rc = std::system("ip neigh flush all"); };
    Measure(
        "GetMacAddress live host, cold", 20, [&] { return GetMacAddress(hosts[0].address); }, forget);
    Measure("GetMacAddress live host, known", 20, [&] { return GetMacAddress(hosts[0].address); });
    Measure("GetMacAddress silent address", 3, [] { return GetMacAddress("198.18.0.250"); });
    for (const auto& host : hosts) {
        std::string label = "ResolveName " + std::string(host.name.empty() ? "without" : "with") + " hosts entry";
        Measure(label.c_str(), 20, [&] { return ResolveName(host.address).value_or("(nothing)"); });
        if (&host - &hosts[0] >= 1)
            break;
    }
    return 0;
}
