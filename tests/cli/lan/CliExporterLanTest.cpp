// lanwick-cli monitor feeding the real node_exporter (Debian's prometheus-node-exporter, textfile collector only)
// in the monitor namespace: while a host goes off and on, scrapes of /metrics follow it, and no scrape ever sees a
// partial file. The timeline of the transitions is printed for the record.
#include "cli/CliRun.h"
#include "lan/Lan.h"
#include "registry/MachineList.h"

#include <gtest/gtest.h>

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

// The body of /metrics from the exporter, or nothing when it does not answer (yet).
std::optional<std::string> Scrape(const CTempDir& dir) {
    if (Shell("curl -sf -m 5 -o " + dir.File("scrape") + " http://127.0.0.1:" + std::to_string(kPort) + "/metrics") !=
        0)
        return std::nullopt;
    return dir.Read("scrape");
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
        const std::optional<std::string> body = Scrape(dir);
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
