// "lanwick-cli watch" over a /24 with --every 1 for N sweeps (default 120): its resident memory after the first
// sweep and before the last (it must stay flat), and how many sweeps after a spare host comes up halfway it is
// announced (target: within one period). Sweeps are counted by the metrics file, which each sweep replaces.
// Run as: tests/lan/with_lan.sh --hosts 40 --spare 1 -- build/bench/bench_watch [path/to/lanwick-cli] [sweeps]
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
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

#include "lan/Lan.h"

namespace {

using Clock = std::chrono::steady_clock;

long StatusKb(pid_t pid, const std::string& strField) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(strField + ":", 0) == 0)
            return std::atol(line.c_str() + strField.size() + 1);
    return -1;
}

ino_t Inode(const std::string& strPath) {
    struct stat st {};
    return ::stat(strPath.c_str(), &st) == 0 ? st.st_ino : 0;
}

} // namespace

int main(int argc, char** argv) {
    const lanwick::test::CLan& lan = lanwick::test::CLan::Get();
    if (!lan.IsUp() || lan.Spares().empty()) {
        std::fprintf(stderr, "bench_watch: run inside tests/lan/with_lan.sh --hosts 40 --spare 1\n");
        return 2;
    }
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe");
    const std::string cli = argc > 1 ? argv[1] : (self.parent_path().parent_path() / "src/cli/lanwick-cli").string();
    const int nSweeps = argc > 2 ? std::clamp(std::atoi(argv[2]), 10, 100000) : 120;
    const lanwick::test::LanHost& spare = lan.Spares()[0];
    const std::string strDir = lan.ScratchDir();
    const std::string strProm = strDir + "/bench_watch.prom", strDb = strDir + "/bench_watch.db";
    std::filesystem::remove(strDb);

    int out[2];
    if (pipe(out) != 0)
        return 2;
    std::vector<std::string> args = {cli,         "watch",     "198.18.0.1",  "198.18.0.254", "--every",
                                     "1",         "--timeout", "500",         "--sweeps",     std::to_string(nSweeps),
                                     "--history", strDb,       "--prom-file", strProm};
    std::vector<char*> cargv;
    for (std::string& arg : args)
        cargv.push_back(arg.data());
    cargv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execv(cargv[0], cargv.data());
        _exit(127);
    }
    close(out[1]);
    fcntl(out[0], F_SETFL, O_NONBLOCK);

    int nDone = 0;         // sweeps finished (metrics files written)
    int nUpAt = -1;        // sweeps finished when the spare came up
    int nAnnouncedAt = -1; // sweeps finished when its line arrived
    long nRssFirst = -1, nRssLast = -1;
    ino_t last = 0;
    std::string buffer;
    Clock::time_point upTime;
    double dDelay = -1;
    const auto deadline = Clock::now() + std::chrono::seconds(nSweeps * 3 + 30);
    while (Clock::now() < deadline) {
        pollfd p{out[0], POLLIN, 0};
        poll(&p, 1, 10);
        char chunk[4096];
        ssize_t n = 0;
        while ((n = read(out[0], chunk, sizeof chunk)) > 0)
            buffer.append(chunk, static_cast<std::size_t>(n));
        for (std::size_t eol; (eol = buffer.find('\n')) != std::string::npos; buffer.erase(0, eol + 1)) {
            if (nUpAt >= 0 && nAnnouncedAt < 0 &&
                buffer.substr(0, eol).find('\t' + spare.address + '\t') != std::string::npos) {
                nAnnouncedAt = nDone;
                dDelay = std::chrono::duration<double>(Clock::now() - upTime).count();
            }
        }
        if (const ino_t now = Inode(strProm); now != 0 && now != last) {
            last = now;
            ++nDone;
            const long nRss = StatusKb(pid, "VmRSS");
            if (nDone == 1)
                nRssFirst = nRss;
            if (nDone == nSweeps - 1)
                nRssLast = nRss;
            if (nDone == nSweeps / 2) {
                lanwick::test::SetHostUp(spare, true);
                upTime = Clock::now();
                nUpAt = nDone;
            }
        }
        if (n == 0 && nDone >= nSweeps)
            break;
    }
    kill(pid, SIGTERM); // only when it overran the deadline; it normally ended after its last sweep
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const long nPeak = usage.ru_maxrss;
    lanwick::test::SetHostUp(spare, false);
    std::filesystem::remove(strDb);
    std::filesystem::remove(strDb + "-wal");
    std::filesystem::remove(strDb + "-shm");
    std::filesystem::remove(strProm);

    std::printf("lanwick-cli watch over a /24 (%zu live hosts), --every 1, %d sweeps done\n", lan.Hosts().size(),
                nDone);
    std::printf("  resident memory after sweep 1: %ld kB, after sweep %d: %ld kB, peak %ld kB\n", nRssFirst,
                nSweeps - 1, nRssLast, nPeak);
    if (nAnnouncedAt < 0)
        std::printf("  the spare host %s was NOT announced\n", spare.address.c_str());
    else
        std::printf("  spare host %s up after sweep %d, announced by sweep %d (%d sweep(s) later, %.2f s)\n",
                    spare.address.c_str(), nUpAt, nAnnouncedAt + 1, nAnnouncedAt + 1 - nUpAt, dDelay);
    return nAnnouncedAt >= 0 && nAnnouncedAt + 1 - nUpAt <= 1 ? 0 : 1;
}
