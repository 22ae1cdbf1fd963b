// Times saving and loading a machine file of 10,000 machines in 100 groups (target: each under 25 ms).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "registry/MachineList.h"

namespace {

constexpr int kMachines = 10000;
constexpr int kGroups = 100;
constexpr int kRounds = 20;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main() {
    lanwick::CMachineList list;
    for (int i = 0; i < kMachines; ++i) {
        // Groups interleave in list order, the case that makes the writer look groups up most.
        list.AddMachine(
            {10, static_cast<std::uint8_t>(i >> 16), static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)},
            "00A0C9" + std::to_string(100000 + i), "Group " + std::to_string(i % kGroups),
            "host-" + std::to_string(i) + ".example.lan", i % 5 == 0, i % 2, i % 3 == 0);
    }
    const std::string strPath =
        (std::filesystem::temp_directory_path() / ("bench_machine_file_" + std::to_string(::getpid()) + ".xml"))
            .string();

    std::vector<double> saves, loads, formats;
    for (int round = 0; round < kRounds; ++round) {
        auto start = std::chrono::steady_clock::now();
        const std::size_t length = list.SaveToText().size();
        formats.push_back(MillisecondsSince(start));
        if (length == 0)
            return 1;

        start = std::chrono::steady_clock::now();
        if (!list.SaveFile(strPath)) {
            std::fprintf(stderr, "cannot save %s\n", strPath.c_str());
            return 1;
        }
        const double save = MillisecondsSince(start);

        lanwick::CMachineList loaded;
        start = std::chrono::steady_clock::now();
        const int result = loaded.LoadFile(strPath);
        const double load = MillisecondsSince(start);
        if (result != 0 || loaded.GetCount() != static_cast<std::size_t>(kMachines)) {
            std::fprintf(stderr, "load gave %d with %zu machines\n", result, loaded.GetCount());
            return 1;
        }
        saves.push_back(save);
        loads.push_back(load);
    }
    const auto bytes = std::filesystem::file_size(strPath);
    std::filesystem::remove(strPath);
    std::printf("machine file: %d machines in %d groups, %ju bytes\n", kMachines, kGroups,
                static_cast<std::uintmax_t>(bytes));
    // The median stands for a usual run; the best shows the cost without interference from other processes.
    std::printf("save: median %.2f ms, best %.2f ms (text alone: median %.2f ms; the rest is write and fsync)\n",
                Median(saves), *std::min_element(saves.begin(), saves.end()), Median(formats));
    std::printf("load: median %.2f ms, best %.2f ms\n", Median(loads), *std::min_element(loads.begin(), loads.end()));
    return 0;
}
