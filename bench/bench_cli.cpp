// lanwick-cli as a whole program on the namespace LAN: "ping" of the 254 addresses of the /24 (40 of them answer
// with 39 hosts and the monitor) and "scan" of the /24 at 80 workers, with wall time, CPU time and the child's
// peak memory from wait4, beside the same runs of fping when it is installed.
// Run as: tests/lan/with_lan.sh --hosts 39 -- build/bench/bench_cli [path/to/lanwick-cli] [runs]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Run {
    double wall = 0; // seconds
    double cpu = 0;  // user + system seconds
    long peakKb = 0; // maximum resident set size
    int status = -1; // exit status
    std::string out; // standard output
};

double Seconds(const timeval& tv) {
    return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
}

// Runs argv with its output captured, stderr to /dev/null; the child's own rusage comes from wait4.
Run Measure(std::vector<std::string> argv) {
    std::vector<char*> cargv;
    for (std::string& arg : argv)
        cargv.push_back(arg.data());
    cargv.push_back(nullptr);
    int fds[2];
    Run run;
    if (pipe(fds) != 0)
        return run;
    const auto begin = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        std::freopen("/dev/null", "w", stderr);
        close(fds[0]);
        execvp(cargv[0], cargv.data());
        _exit(127);
    }
    close(fds[1]);
    char buf[4096];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
        run.out.append(buf, static_cast<std::size_t>(n));
    close(fds[0]);
    int raw = 0;
    rusage usage{};
    wait4(pid, &raw, 0, &usage);
    run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    run.cpu = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    run.peakKb = usage.ru_maxrss;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

std::size_t CountLines(const std::string& text, bool (*keep)(const std::string&)) {
    std::size_t n = 0;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t nl = text.find('\n', begin);
        if (nl == std::string::npos)
            nl = text.size();
        n += keep(text.substr(begin, nl - begin)) ? 1 : 0;
        begin = nl + 1;
    }
    return n;
}

bool Answered(const std::string& line) {
    return line.find('\t') != std::string::npos && line.substr(line.size() - 3) != "\tNo";
}
bool ScanRow(const std::string& line) {
    return std::count(line.begin(), line.end(), '\t') == 3;
}
bool AnyLine(const std::string& line) {
    return !line.empty();
}

bool Installed(const char* program) {
    return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

std::vector<std::string> AllAddresses() {
    std::vector<std::string> addresses;
    for (int i = 1; i <= 254; ++i)
        addresses.push_back("198.18.0." + std::to_string(i));
    return addresses;
}

// Median of `runs` runs by wall time; prints every run.
Run Series(const char* label, const std::vector<std::string>& argv, int runs, bool (*count)(const std::string&)) {
    std::vector<Run> all;
    for (int i = 0; i < runs; ++i) {
        all.push_back(Measure(argv));
        const Run& r = all.back();
        std::printf("  %-26s run %d: wall %6.3f s  cpu %6.3f s  peak RSS %6ld KB  answered %3zu  status %d\n", label,
                    i + 1, r.wall, r.cpu, r.peakKb, CountLines(r.out, count), r.status);
    }
    std::sort(all.begin(), all.end(), [](const Run& a, const Run& b) { return a.wall < b.wall; });
    return all[all.size() / 2];
}

void Row(const char* task, const Run& cli, const Run* fping) {
    std::printf("%-36s | %7.3f s %8ld KB", task, cli.wall, cli.peakKb);
    if (fping)
        std::printf(" | %7.3f s %8ld KB\n", fping->wall, fping->peakKb);
    else
        std::printf(" | %20s\n", "(fping not installed)");
}

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("LANWICK_LAN_FILE") == nullptr) {
        std::fprintf(stderr, "bench_cli: run it inside the namespace LAN: tests/lan/with_lan.sh --hosts 39 -- "
                             "build/bench/bench_cli\n");
        return 77;
    }
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    const std::string cli = argc > 1 ? argv[1] : (self.parent_path().parent_path() / "src/cli/lanwick-cli").string();
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const bool bFping = Installed("fping");

    std::vector<std::string> ping = {cli, "ping", "--retries", "1", "--pause", "500"};
    std::vector<std::string> addresses = AllAddresses();
    ping.insert(ping.end(), addresses.begin(), addresses.end());
    const std::vector<std::string> scan = {cli, "scan", "198.18.0.1", "198.18.0.254", "--workers", "80"};

    std::printf("lanwick-cli: %s, median of %d runs\n", cli.c_str(), runs);
    const Run cliPing = Series("lanwick-cli ping", ping, runs, Answered);
    const Run cliScan = Series("lanwick-cli scan", scan, runs, ScanRow);
    Run fpingPing;
    Run fpingScan;
    if (bFping) {
        // One request per address, one second to answer: the same work as a ping with one attempt.
        std::vector<std::string> fping = {"fping", "-q", "-r", "0", "-t", "1000", "-C", "1"};
        fping.insert(fping.end(), addresses.begin(), addresses.end());
        fpingPing = Series("fping -C 1", fping, runs, AnyLine);
        fpingScan = Series("fping -a -g", {"fping", "-a", "-r", "0", "-t", "1000", "-g", "198.18.0.1", "198.18.0.254"},
                           runs, AnyLine);
    }
    std::printf("\n%-36s | %-20s | %-20s\n", "task", "lanwick-cli", "fping");
    Row("ping 254 addresses (40 answer)", cliPing, bFping ? &fpingPing : nullptr);
    Row("scan 198.18.0.1-254, 80 workers", cliScan, bFping ? &fpingScan : nullptr);
    return 0;
}
