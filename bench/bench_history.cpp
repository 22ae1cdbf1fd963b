// The history's costs for 10,000 machines: the writer thread's CPU time per pass, the growth of the database over
// a simulated day of passes a minute apart, and the time to read one machine's 30 days.
//   bench_history [FOLDER]   (default /tmp; the files are removed at the end)
#include "history/Database.h"
#include "history/History.h"
#include "history/Schema.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace lanwick::history;

constexpr int kMachines = 10000;
constexpr int kPassesPerDay = 1440;

std::string Address(int i) {
    return "10.1." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
}

std::string Mac(int i) {
    char text[32];
    std::snprintf(text, sizeof text, "02:00:00:00:%02x:%02x", (i >> 8) & 0xff, i & 0xff);
    return text;
}

double FileMegabytes(const std::string& strPath) {
    std::uintmax_t nBytes = 0;
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::error_code ec;
        const std::uintmax_t n = std::filesystem::file_size(strPath + suffix, ec);
        nBytes += ec ? 0 : n;
    }
    return static_cast<double>(nBytes) / 1e6;
}

struct Figures {
    double dFirst = 0;
    std::vector<double> passes;
};

double Percentile(std::vector<double> values, double dShare) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(dShare * static_cast<double>(values.size() - 1))];
}

// A day of passes a minute apart: about 3 % of the machines down, one in a thousand changing state each pass.
Figures SimulateDay(const std::string& strPath, std::int64_t nStart) {
    std::vector<MachineKey> keys;
    std::vector<bool> up(kMachines);
    for (int i = 0; i < kMachines; ++i) {
        keys.push_back({Address(i), i % 10 == 0 ? std::string() : Mac(i)});
        up[static_cast<std::size_t>(i)] = i % 33 != 0;
    }
    std::mt19937 random(7);
    std::uniform_int_distribution<int> rtt(150, 3000), machine(0, kMachines - 1);
    Figures figures;
    CHistoryWriter writer(strPath);
    for (int nPass = 0; nPass < kPassesPerDay; ++nPass) {
        for (int k = 0; k < kMachines / 1000; ++k) {
            const auto m = static_cast<std::size_t>(machine(random));
            up[m] = !up[m];
        }
        PassRecord pass{nStart + nPass * 60, {}};
        pass.checks.reserve(kMachines);
        for (std::size_t i = 0; i < keys.size(); ++i)
            pass.checks.push_back({keys[i], up[i] ? rtt(random) : -1});
        const double dBefore = writer.WriterCpuSeconds();
        writer.Record(std::move(pass));
        writer.Flush();
        const double dCpu = writer.WriterCpuSeconds() - dBefore;
        if (nPass == 0)
            figures.dFirst = dCpu;
        else
            figures.passes.push_back(dCpu);
    }
    if (!writer.PauseReason().empty())
        std::fprintf(stderr, "bench_history: %s\n", writer.PauseReason().c_str());
    return figures;
}

// 30 days of hourly rows and a few changes a day for every machine, written in bulk in the writer's format.
bool Fill30Days(const std::string& strPath, std::int64_t nNowHour) {
    CDatabase db;
    if (!db.Open(strPath) || !CreateSchema(db))
        return false;
    CTransaction transaction(db);
    const std::string strFirst = std::to_string(nNowHour - 720), strLast = std::to_string(nNowHour);
    return db.Exec("WITH RECURSIVE m(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM m WHERE i < " +
                   std::to_string(kMachines - 1) +
                   ") INSERT INTO machine(id, address, mac, last_hour) SELECT i + 1, '10.1.' || (i / 250) || '.' || "
                   "(i % 250 + 1), '', " +
                   strLast + " FROM m") &&
           db.Exec("WITH RECURSIVE h(hour) AS (SELECT " + strFirst + " UNION ALL SELECT hour + 1 FROM h WHERE hour < " +
                   strLast +
                   ") INSERT INTO hourly SELECT hour, id, 60, 58, 150 + id % 100, 58 * 900, 3000 FROM h, machine "
                   "ORDER BY hour, id") &&
           db.Exec("WITH RECURSIVE h(hour) AS (SELECT " + strFirst +
                   " UNION ALL SELECT hour + 12 FROM h WHERE hour < " + strLast +
                   ") INSERT INTO state_change SELECT id, hour * 3600 + id % 3600, (hour / 12) % 2 FROM h, machine") &&
           transaction.Commit();
}

} // namespace

int main(int argc, char** argv) {
    std::string strFolder = (argc > 1 ? argv[1] : "/tmp") + std::string("/lanwick-bench-history.XXXXXX");
    if (mkdtemp(strFolder.data()) == nullptr) {
        std::perror("bench_history: mkdtemp");
        return 1;
    }
    const std::int64_t nNowHour = std::time(nullptr) / 3600;

    const std::string strDay = strFolder + "/day.db";
    const Figures day = SimulateDay(strDay, (nNowHour - 24) * 3600);
    std::printf("writer CPU per pass of %d machines: first %.1f ms (machines inserted), then median %.1f ms, "
                "p99 %.1f ms, max %.1f ms\n",
                kMachines, day.dFirst * 1e3, Percentile(day.passes, 0.5) * 1e3, Percentile(day.passes, 0.99) * 1e3,
                Percentile(day.passes, 1.0) * 1e3);
    std::printf("database after one day (%d passes a minute apart): %.1f MB\n", kPassesPerDay, FileMegabytes(strDay));

    const std::string strMonth = strFolder + "/month.db";
    if (!Fill30Days(strMonth, nNowHour)) {
        std::fprintf(stderr, "bench_history: cannot fill %s\n", strMonth.c_str());
        return 1;
    }
    std::printf("database holding 30 days of %d machines: %.1f MB\n", kMachines, FileMegabytes(strMonth));
    CHistoryReader reader;
    std::string strError;
    if (!reader.Open(strMonth, &strError)) {
        std::fprintf(stderr, "bench_history: %s\n", strError.c_str());
        return 1;
    }
    std::vector<double> reads;
    std::size_t nHours = 0;
    const std::int64_t nNow = nNowHour * 3600 + 1800;
    for (int i = 0; i < 50; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const MachineHistory h = reader.Read({Address(i * 197 % kMachines), ""}, nNow - 30 * 86400, nNow);
        reads.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        nHours = h.hours.size();
    }
    std::printf("read of one machine's 30 days (%zu hours): first %.1f ms, median %.1f ms, max %.1f ms\n", nHours,
                reads[0] * 1e3, Percentile(reads, 0.5) * 1e3, Percentile(reads, 1.0) * 1e3);

    std::error_code ec;
    std::filesystem::remove_all(strFolder, ec);
    return 0;
}
