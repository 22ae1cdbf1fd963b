// Peak memory of "lanwick-cli monitor" over a machine file of 10,000 machines: after the list fill and 1 pass,
// and after 30 passes, with and without a metrics file (target: at most 10 MB, and 30 passes no higher than 1),
// beside "lanwick-cli --help" (the program's fixed cost) and fping over the same addresses. The machines sit in
// 198.19.0.0/16, which the namespace LAN does not route: every send fails at once and nothing leaves the monitor
// namespace. Run as: tests/lan/with_lan.sh --hosts 4 -- build/bench/bench_cli_monitor [path/to/lanwick-cli] [machines]
// [runs]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "registry/MachineList.h"

namespace {

struct Run {
    double wall = 0; // seconds
    long peakKb = 0; // maximum resident set size
    int status = -1; // exit status
};

// Runs argv with stdout and stderr to /dev/null; the child's own peak comes from wait4.
Run Measure(std::vector<std::string> argv) {
    std::vector<char*> cargv;
    for (std::string& arg : argv)
        cargv.push_back(arg.data());
    cargv.push_back(nullptr);
    Run run;
    std::fflush(stdout); // the child would write what is buffered once more
    const auto begin = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        execvp(cargv[0], cargv.data());
        _exit(127);
    }
    int raw = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &raw, 0, &usage) != pid)
        return run;
    run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    run.peakKb = usage.ru_maxrss;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

// The peak varies by a few hundred KB from run to run (where the kernel maps the shared libraries' pages): the
// median of `runs` runs, with the lowest and highest beside it.
void Print(const char* label, const std::vector<std::string>& argv, int runs) {
    std::vector<Run> all;
    for (int i = 0; i < runs; ++i)
        all.push_back(Measure(argv));
    std::sort(all.begin(), all.end(), [](const Run& a, const Run& b) { return a.peakKb < b.peakKb; });
    const Run& run = all[all.size() / 2];
    std::printf("%-44s peak RSS %6ld KB (%5.2f MB; %ld..%ld)  wall %7.2f s  status %d\n", label, run.peakKb,
                static_cast<double>(run.peakKb) / 1024.0, all.front().peakKb, all.back().peakKb, run.wall, run.status);
}

// Unicast host addresses of 198.19.0.0/16: no .0 or .255 in the last two bytes.
std::vector<lanwick::IpAddress> Addresses(int nCount) {
    std::vector<lanwick::IpAddress> addresses;
    for (int i = 0; static_cast<int>(addresses.size()) < nCount; ++i)
        addresses.push_back({198, 19, static_cast<std::uint8_t>(1 + i / 254), static_cast<std::uint8_t>(1 + i % 254)});
    return addresses;
}

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("LANWICK_LAN_FILE") == nullptr) {
        std::fprintf(stderr, "bench_cli_monitor: run it inside the namespace LAN: tests/lan/with_lan.sh --hosts 4 -- "
                             "build/bench/bench_cli_monitor\n");
        return 77;
    }
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    const std::string cli = argc > 1 ? argv[1] : (self.parent_path().parent_path() / "src/cli/lanwick-cli").string();
    const int nMachines = argc > 2 ? std::clamp(std::atoi(argv[2]), 1, 60000) : 10000;
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;

    char dirTemplate[] = "/tmp/bench_cli_monitor.XXXXXX";
    if (mkdtemp(dirTemplate) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path dir = dirTemplate;
    const std::string strFile = (dir / "machines.xml").string();
    const std::string strIni = (dir / "Lanwick.ini").string();
    const std::string strAddresses = (dir / "addresses.txt").string();
    {
        // Names and groups as a real file has them: a few dozen groups, names longer than a short string.
        lanwick::CMachineList list;
        std::ofstream addresses(strAddresses);
        int i = 0;
        for (const lanwick::IpAddress& ip : Addresses(nMachines)) {
            list.AddMachine(ip, "00A0C9" + std::to_string(100000 + i), "Building " + std::to_string(i % 40),
                            "workstation-" + std::to_string(i) + ".floor" + std::to_string(i % 7), 0, i % 2, 0);
            addresses << lanwick::FormatAddress(ip) << '\n';
            ++i;
        }
        std::ofstream(strIni) << "[Scan]\r\nRetries=1\r\n";
        if (!list.SaveFile(strFile) || !addresses) {
            std::fprintf(stderr, "bench_cli_monitor: cannot write the files in %s\n", dir.c_str());
            std::filesystem::remove_all(dir);
            return 1;
        }
    }

    std::printf("lanwick-cli: %s; %d machines in 198.19.0.0/16 (unroutable here), Retries 1, --refresh 1; "
                "median of %d runs\n",
                cli.c_str(), nMachines, runs);
    Print("lanwick-cli --help", {cli, "--help"}, runs);
    Print("lanwick-cli vendor 00A0C9123456", {cli, "vendor", "00A0C9123456"}, runs);
    Print("lanwick-cli list (tsv)", {cli, "--settings", strIni, "list", strFile}, runs);
    const std::vector<std::string> monitor = {cli, "--settings", strIni, "monitor", strFile, "--refresh", "1"};
    const std::string strProm = (dir / "lanwick.prom").string();
    // The history (on by default, in the settings file's folder here) beside a run without it.
    for (const char* extra : {"", "--prom-file", "--no-history"}) {
        for (const char* passes : {"1", "30"}) {
            std::vector<std::string> run = monitor;
            run.insert(run.end(), {"--passes", passes});
            if (extra == std::string("--prom-file"))
                run.insert(run.end(), {"--prom-file", strProm});
            else if (*extra)
                run.push_back(extra);
            const std::string strLabel =
                std::string("lanwick-cli monitor --passes ") + passes + (*extra ? " " : "") + extra;
            Print(strLabel.c_str(), run, runs);
        }
    }
    if (std::system("command -v fping >/dev/null 2>&1") == 0)
        Print("fping -C 1 -f (same addresses)",
              {"fping", "-q", "-r", "0", "-t", "1000", "-i", "1", "-C", "1", "-f", strAddresses}, 1);
    std::filesystem::remove_all(dir);
    return 0;
}
