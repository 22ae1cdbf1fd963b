// Time from exec of the window program to the main window's first paint, with a machine file of 1,000 machines
// (target: at most 300 ms), median of 10 starts. The program reports its first paint through its measurement
// hook (LANWICK_TRACE_FIRST_PAINT); the machines sit in 198.19.0.0/16, which the namespace LAN does not route.
// Run on a desktop inside the LAN:
//   tests/lan/with_lan.sh --hosts 4 -- bash tests/ui/with_tray.sh build/bench/bench_window_startup [lanwick] [runs]
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "registry/MachineList.h"

namespace {

constexpr int kMachines = 1000;
constexpr int kTimeoutMs = 20000;

long long MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// One start: milliseconds from just before exec to the first paint, or nothing when none came in time.
std::optional<double> StartOnce(const std::string& strProgram) {
    int fds[2];
    if (pipe(fds) != 0)
        return std::nullopt;
    std::fflush(stdout); // the child would write what is buffered once more
    const long long begin = MonotonicNs();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 2);
        close(fds[0]);
        close(fds[1]);
        std::freopen("/dev/null", "w", stdout);
        setenv("LANWICK_TRACE_FIRST_PAINT", "1", 1);
        execl(strProgram.c_str(), strProgram.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::optional<double> result;
    std::string strErr;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
    while (!result && pid > 0 && std::chrono::steady_clock::now() < deadline) {
        pollfd pfd{fds[0], POLLIN, 0};
        if (poll(&pfd, 1, 100) <= 0)
            continue;
        char buf[4096];
        const ssize_t n = read(fds[0], buf, sizeof buf);
        if (n <= 0)
            break;
        strErr.append(buf, static_cast<std::size_t>(n));
        const std::size_t at = strErr.find("first paint at ");
        if (at != std::string::npos && strErr.find('\n', at) != std::string::npos)
            result = static_cast<double>(std::atoll(strErr.c_str() + at + 15) - begin) / 1e6;
    }
    close(fds[0]);
    if (pid > 0) {
        kill(pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
    }
    if (!result)
        std::fprintf(stderr, "no first paint within %d ms; the program said:\n%s\n", kTimeoutMs, strErr.c_str());
    return result;
}

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("LANWICK_LAN_FILE") == nullptr || std::getenv("DISPLAY") == nullptr) {
        std::fprintf(stderr,
                     "bench_window_startup: run it on a display inside the namespace LAN: tests/lan/with_lan.sh "
                     "--hosts 4 -- bash tests/ui/with_tray.sh build/bench/bench_window_startup\n");
        return 77;
    }
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    const std::filesystem::path program =
        argc > 1 ? std::filesystem::path(argv[1]) : self.parent_path().parent_path() / "src/ui/lanwick";
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;

    // The program beside its settings and its default machine file, as an unpacked program is run.
    char dirTemplate[] = "/tmp/bench_window_startup.XXXXXX";
    if (mkdtemp(dirTemplate) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path dir = dirTemplate;
    std::error_code ec;
    std::filesystem::copy_file(program, dir / "lanwick", ec);
    lanwick::CMachineList list;
    for (int i = 0; i < kMachines; ++i) {
        list.AddMachine({198, 19, static_cast<std::uint8_t>(1 + i / 254), static_cast<std::uint8_t>(1 + i % 254)},
                        "00A0C9" + std::to_string(100000 + i), "Building " + std::to_string(i % 10),
                        "workstation-" + std::to_string(i), 0, i % 2, 0);
    }
    std::ofstream(dir / "Lanwick.ini") << "[General]\r\nShowPingTime=1\r\n[Monitor]\r\nEnabled=1\r\nRefresh=60\r\n";
    if (ec || !list.SaveFile((dir / "machines.xml").string())) {
        std::fprintf(stderr, "bench_window_startup: cannot set up %s\n", dir.c_str());
        std::filesystem::remove_all(dir);
        return 1;
    }

    std::printf("%s with %d machines, %d starts\n", program.c_str(), kMachines, runs);
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const std::optional<double> ms = StartOnce((dir / "lanwick").string());
        if (!ms)
            break;
        std::printf("  start %2d: first paint after %6.1f ms\n", i + 1, *ms);
        times.push_back(*ms);
    }
    std::filesystem::remove_all(dir);
    if (times.size() != static_cast<std::size_t>(runs))
        return 1;
    std::sort(times.begin(), times.end());
    std::printf("first paint: median %.1f ms, best %.1f ms, worst %.1f ms\n", times[times.size() / 2], times.front(),
                times.back());
    return 0;
}
