// The history under a killed process: the file opens afterwards, intact, and holds every pass that was reported
// written. (A full file system is tried with the real monitor in lan/.)
#include "history/Database.h"
#include "history/History.h"
#include "history/HistoryTestFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace lanwick::test {
namespace {

using history::CHistoryWriter;

constexpr int kMachines = 400;

history::PassRecord NumberedPass(std::int64_t nAt, int nPass) {
    history::PassRecord pass{nAt, {}};
    for (int i = 0; i < kMachines; ++i)
        pass.checks.push_back({Key("198.18." + std::to_string(i / 200) + "." + std::to_string(i % 200 + 10)),
                               (nPass + i) % 7 == 0 ? -1 : 100 + i});
    return pass;
}

// Reads whole ints from fd until nWanted of them or the time is up; the last one read, -1 when none.
int ReadReports(int fd, int nWanted, int timeoutMs, int& nCount) {
    int nLast = -1;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (nCount < nWanted && std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        int n = 0;
        if (read(fd, &n, sizeof n) != static_cast<ssize_t>(sizeof n))
            break;
        nLast = n;
        ++nCount;
    }
    return nLast;
}

TEST(HistoryCrash, AKilledWriterLeavesAnIntactFileWithEveryReportedPass) {
    CTempDir dir;
    const std::string strFile = dir.File("h.db");
    const std::int64_t nBase = RecentHour();
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(fds[0]);
        CHistoryWriter writer(strFile);
        for (int i = 0; i < 100000; ++i) {
            writer.Record(NumberedPass(nBase + i * 60, i));
            writer.Flush();
            if (!writer.PauseReason().empty() || write(fds[1], &i, sizeof i) != static_cast<ssize_t>(sizeof i))
                _exit(3);
        }
        _exit(0);
    }
    close(fds[1]);
    int nCount = 0;
    int nLast = ReadReports(fds[0], 40, 60000, nCount);
    kill(pid, SIGKILL);
    // Reports written before the kill are still in the pipe.
    nLast = std::max(nLast, ReadReports(fds[0], 1 << 30, 2000, nCount));
    int status = 0;
    waitpid(pid, &status, 0);
    close(fds[0]);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the writer ended before the kill";
    ASSERT_GE(nCount, 40);
    ASSERT_EQ(nLast, nCount - 1);

    {
        history::CDatabase db;
        ASSERT_TRUE(db.Open(strFile));
        history::CStatement check = db.Prepare("PRAGMA integrity_check");
        ASSERT_TRUE(check.Step());
        EXPECT_EQ(check.Text(0), "ok");
    }
    history::CHistoryReader reader;
    ASSERT_TRUE(reader.Open(strFile));
    EXPECT_EQ(reader.Machines().size(), static_cast<std::size_t>(kMachines));
    // Every reported pass is there; the one in hand at the kill may be too, whole or not at all.
    for (const char* address : {"198.18.0.10", "198.18.1.209"}) {
        const history::MachineHistory h = reader.Read(Key(address), nBase, nBase + (nCount + 2) * 60);
        std::int64_t nChecks = 0;
        for (const history::HourStats& hour : h.hours)
            nChecks += hour.nChecks;
        EXPECT_GE(nChecks, nCount) << address;
        EXPECT_LE(nChecks, nCount + 1) << address;
    }
}

} // namespace
} // namespace lanwick::test
