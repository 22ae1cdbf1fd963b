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
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

namespace lanwick::test {
namespace {

constexpr const char* kExporter = "/usr/bin/prometheus-node-exporter";
constexpr int kPort = 19100; // the monitor namespace's own loopback: no other program listens there

// The body of GET /metrics from 127.0.0.1:kPort, or nothing when the exporter does not answer (yet).
std::optional<std::string> Scrape() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return std::nullopt;
    timeval timeout{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(kPort);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string response;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) {
        const std::string request = "GET /metrics HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
        if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
            char buffer[65536];
            ssize_t n;
            while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
                response.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    const std::size_t body = response.find("\r\n\r\n");
    if (response.rfind("HTTP/1.0 200", 0) != 0 && response.rfind("HTTP/1.1 200", 0) != 0)
        return std::nullopt;
    return body == std::string::npos ? std::nullopt : std::optional<std::string>(response.substr(body + 4));
}

// The value of the first sample line of `metric` whose labels contain `label`, or nothing.
std::optional<double> Sample(const std::string& text, const std::string& metric, const std::string& label = "") {
    std::size_t pos = 0;
    while ((pos = text.find('\n' + metric, pos)) != std::string::npos) {
        const std::size_t end = text.find('\n', pos + 1);
        const std::string line = text.substr(pos + 1, end - pos - 1);
        pos = end;
        const std::size_t space = line.rfind(' ');
        const char after = line.size() > metric.size() ? line[metric.size()] : ' ';
        if ((after == '{' || after == ' ') && line.find(label) != std::string::npos && space != std::string::npos)
            return std::strtod(line.c_str() + space + 1, nullptr);
    }
    return std::nullopt;
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
    {
        CMachineList list;
        IpAddress ip{};
        for (int i = 0; i < 2; ++i) {
            std::sscanf(h[i].address.c_str(), "%hhu.%hhu.%hhu.%hhu", &ip[0], &ip[1], &ip[2], &ip[3]);
            list.AddMachine(ip, h[i].MacDigits(), "Lab", i == 0 ? "switched" : "steady", 0, 1, 1);
        }
        ASSERT_TRUE(list.SaveFile(dir.File("m.xml")));
    }
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
        if (!body) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
        }
        ++nScrapes;
        ASSERT_EQ(Sample(*body, "node_textfile_scrape_error"), 0.0) << *body;
        const auto up = Sample(*body, "lanwick_machine_up", "name=\"switched\"");
        if (!up)
            continue; // before the first pass wrote the file
        ++nWithFile;
        // The whole metric set, every time: a half-written file would lose series or fail the parse.
        ASSERT_TRUE(Sample(*body, "lanwick_machine_up", "name=\"steady\"")) << *body;
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
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
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
