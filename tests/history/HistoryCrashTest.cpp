// The history under a killed process and a full file system: the file opens afterwards, holds every pass that was
// reported written, and a full disk pauses the history with one message.
#include "history/Database.h"
#include "history/History.h"
#include "history/HistoryTestFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>

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
    CHistoryDir dir;
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

// Runs in a child with a mount namespace of its own, so the small file system vanishes with it.
std::string FillUpAndRecord(const std::string& strDir, int& nCalls) {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("lanwick-full", strDir.c_str(), "tmpfs", 0, "size=256k") != 0)
        return std::string("cannot make the small file system: ") + std::strerror(errno);
    std::atomic<int> calls{0};
    std::string strMessage;
    CHistoryWriter writer(strDir + "/h.db");
    writer.OnPause([&](const std::string& strReason) {
        strMessage = strReason;
        ++calls;
    });
    // Every pass a new hour: new rows each time, until the disk is full.
    for (int i = 0; i < 2000 && writer.PauseReason().empty(); ++i) {
        writer.Record(NumberedPass(RecentHour() - 700 * 3600 + i * 3600, i));
        writer.Flush();
    }
    for (int i = 0; i < 5; ++i)
        writer.Record(NumberedPass(RecentHour(), i));
    writer.Flush();
    nCalls = calls;
    return strMessage;
}

TEST(HistoryCrash, AFullFileSystemPausesTheHistoryWithOneMessage) {
    if (geteuid() != 0) {
        if (std::getenv("LANWICK_REQUIRE_LAN"))
            FAIL() << "a file system of its own needs root, and this run requires it";
        GTEST_SKIP() << "a file system of its own needs root";
    }
    CHistoryDir dir;
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(fds[0]);
        int nCalls = 0;
        const std::string strMessage = FillUpAndRecord(dir.Path(), nCalls);
        const std::string strReport = std::to_string(nCalls) + "\t" + strMessage;
        _exit(write(fds[1], strReport.data(), strReport.size()) == static_cast<ssize_t>(strReport.size()) ? 0 : 3);
    }
    close(fds[1]);
    std::string report;
    char buf[512];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
        report.append(buf, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(report.rfind("1\t", 0), 0u) << "one message expected: " << report;
    EXPECT_NE(report.find("database or disk is full"), std::string::npos) << report;
    EXPECT_NE(report.find(dir.Path() + "/h.db"), std::string::npos) << report;
}

} // namespace
} // namespace lanwick::test
