// lanwick-cli monitor feeding the real node_exporter (Debian's prometheus-node-exporter, textfile collector only)
// in the monitor namespace: while a host goes off and on, scrapes of /metrics follow it, and no scrape ever sees a
// partial file. The timeline of the transitions is printed for the record.
#include "cli/CliRun.h"
#include "lan/Lan.h"
#include "registry/MachineList.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <regex>
#include <thread>

namespace lanwick::test {
namespace {

constexpr const char* kExporter = "/usr/bin/prometheus-node-exporter";
constexpr int kPort = 19100; // the monitor namespace's own loopback: no other program listens there

// The body of GET /metrics from 127.0.0.1:kPort, or nothing when the exporter does not answer (yet).
std::optional<std::string> Scrape() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    timeval timeout{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(kPort);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string response;
    const std::string request = "GET /metrics HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 &&
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
        char buffer[65536];
        for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
            response.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    const std::size_t body = response.find("\r\n\r\n");
    if (!std::regex_search(response, std::regex("^HTTP/1\\.[01] 200")) || body == std::string::npos)
        return std::nullopt;
    return response.substr(body + 4);
}

// The value of the first sample of `metric` whose labels hold `label`, or nothing.
std::optional<double> Sample(const std::string& text, const std::string& metric, const std::string& label = "") {
    std::smatch m;
    if (!std::regex_search(text, m, std::regex("\n" + metric + "(\\{[^}\n]*" + label + "[^}\n]*\\})? (\\S+)\n")))
        return std::nullopt;
    return std::stod(m[2]);
}

TEST(CliExporterLan, ScrapesFollowAHostOffAndOnAndNeverSeeAPartialFile) {
    LANWICK_REQUIRE_LAN();
    if (::access(kExporter, X_OK) != 0) {
        const char* require = std::getenv("LANWICK_REQUIRE_LAN");
        if (require && std::string(require) == "1")
            FAIL() << kExporter << " is missing (package prometheus-node-exporter)";
        GTEST_SKIP() << kExporter << " is missing (package prometheus-node-exporter)";
    }
    const auto& h = CLan::Get().Hosts();
    CTempDir dir;
    std::filesystem::create_directory(dir.File("textfile"));
    CMachineList list;
    list.AddMachine(Ip(h[0].address), h[0].MacDigits(), "Lab", "switched", 0, 1, 1);
    list.AddMachine(Ip(h[1].address), h[1].MacDigits(), "Lab", "steady", 0, 1, 1);
    ASSERT_TRUE(list.SaveFile(dir.File("m.xml")));
    dir.Write("s.ini", "[Scan]\nRetries=1\nPause=0\n");

    const pid_t exporter = SpawnIn(
        CLan::Get().Monitor(), std::string(kExporter) +
                                   " --collector.disable-defaults --collector.textfile"
                                   " --collector.textfile.directory=" +
                                   dir.File("textfile") + " --web.listen-address=127.0.0.1:" + std::to_string(kPort) +
                                   " --log.level=error");
    ASSERT_GT(exporter, 0);
    struct EndExporter {
        pid_t pid;
        ~EndExporter() { EndProcess(pid); }
    } endExporter{exporter};

    const auto start = std::chrono::steady_clock::now();
    const auto seconds = [&start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    CCliProcess monitor({"monitor", dir.File("m.xml"), "--refresh", "1", "--settings", dir.File("s.ini"), "--prom-file",
                         dir.File("textfile/lanwick.prom")});

    // Up, then switched off, then on again: each phase waits for the scrape that shows its value.
    const double want[] = {1, 0, 1};
    int nPhase = 0, nScrapes = 0, nWithFile = 0;
    std::string strTimeline;
    // Scraping goes on for a few passes after the last phase: every replacement of the file is a chance to catch
    // it half written.
    while ((nPhase < 3 || seconds() < 8) && seconds() < 90) {
        const std::optional<std::string> body = Scrape();
        std::this_thread::sleep_for(std::chrono::milliseconds(body ? 20 : 50));
        if (!body)
            continue;
        ++nScrapes;
        ASSERT_EQ(Sample(*body, "node_textfile_scrape_error"), 0.0) << *body;
        const auto up = Sample(*body, "lanwick_machine_up", "name=\"switched\"");
        if (!up)
            continue; // before the first pass wrote the file
        ++nWithFile;
        // The whole metric set, every time: a half-written file would lose series or fail the parse.
        ASSERT_EQ(Sample(*body, "lanwick_machine_up", "name=\"steady\""), 1.0) << *body;
        ASSERT_TRUE(Sample(*body, "lanwick_machine_rtt_seconds", "name=\"steady\"")) << *body;
        ASSERT_TRUE(Sample(*body, "lanwick_last_pass_timestamp_seconds")) << *body;
        if (nPhase < 3 && *up == want[nPhase]) {
            char line[96];
            std::snprintf(line, sizeof line, "%6.2f s  scrape shows lanwick_machine_up %g\n", seconds(), *up);
            strTimeline += line;
            if (++nPhase < 3) {
                ASSERT_TRUE(SetHostUp(h[0], nPhase == 2));
                std::snprintf(line, sizeof line, "%6.2f s  host switched %s\n", seconds(), nPhase == 2 ? "on" : "off");
                strTimeline += line;
            }
        }
    }
    SetHostUp(h[0], true);
    std::printf("node_exporter timeline (%d scrapes, %d with the file):\n%s", nScrapes, nWithFile, strTimeline.c_str());
    EXPECT_EQ(nPhase, 3) << "the scrapes did not follow the host within 90 s:\n" << strTimeline;

    monitor.Signal(SIGTERM);
    EXPECT_EQ(monitor.Wait(5000), 0);
    EXPECT_EQ(monitor.Errors(), "");
}

} // namespace
} // namespace lanwick::test
