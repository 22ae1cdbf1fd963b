// Times saving and loading a machine file of 10,000 machines in 100 groups (target: each under 25 ms).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "registry/MachineList.h"

namespace {

constexpr int kMachines = 10000;
constexpr int kGroups = 100;
constexpr int kRounds = 20;

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

    double bestSave = 1e9, bestLoad = 1e9, bestFormat = 1e9, totalSave = 0, totalLoad = 0;
    for (int round = 0; round < kRounds; ++round) {
        auto start = std::chrono::steady_clock::now();
        const std::size_t length = list.SaveToText().size();
        bestFormat = std::min(bestFormat, MillisecondsSince(start));
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
        bestSave = std::min(bestSave, save);
        bestLoad = std::min(bestLoad, load);
        totalSave += save;
        totalLoad += load;
    }
    const auto bytes = std::filesystem::file_size(strPath);
    std::filesystem::remove(strPath);
    std::printf("machine file: %d machines in %d groups, %ju bytes\n", kMachines, kGroups,
                static_cast<std::uintmax_t>(bytes));
    std::printf("save: best %.2f ms, mean %.2f ms (text alone: best %.2f ms; the rest is write and fsync)\n", bestSave,
                totalSave / kRounds, bestFormat);
    std::printf("load: best %.2f ms, mean %.2f ms\n", bestLoad, totalLoad / kRounds);
    return 0;
}
