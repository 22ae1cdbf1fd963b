// lanwick-cli as a whole program beside fping and nmap, on the namespace LAN it runs in: a ping of every address
// (a monitoring pass), a scan of the range, and, behind the router, the memory of "monitor" over 10,000 machines.
// Every tool gets the same targets, one attempt and one second to answer; runs alternate between the tools and
// start from an empty neighbour table. Per row: median wall time, its ratio to Lanwick's, live addresses found,
// peak memory (wait4), and for round trips the largest difference from a single-host probe of the same tool.
// Which scenarios run follows from the LAN (scripts/bench.sh runs all three):
//   tests/lan/with_lan.sh --hosts 39 -- build/bench/bench_cli                       /24, 40 live with the monitor
//   tests/lan/with_lan.sh --prefix 23 --hosts 99 -- build/bench/bench_cli           /23, 100 live
//   tests/lan/with_lan.sh --hosts 1 --routed 4000 -- build/bench/bench_cli          10,000 routed, 4,000 live
// Options: --cli PATH (default: beside this program's build), --runs N (5), --rows FILE (append the table rows),
// --only TEXT (only the scenarios whose name contains TEXT), --skip-slow (no default scan behind the router when
// that default is the 10 workers, which wait about a second per address there: some 1,000 s),
// --long S (a tool whose run took over S seconds, 90 by default, is not run again), --header (print the table's
// heading and end).
#include "BenchProcess.h"
#include "BenchTable.h"
#include "lan/Lan.h"
#include "registry/MachineList.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

using namespace lanwick;
using namespace lanwick::bench;

namespace {

constexpr std::size_t kRoutedTargets = 10000;
constexpr std::size_t kRttSamples = 16;

struct Options {
    std::string strCli;
    int nRuns = 5;
    double dLong = 90;
    std::string strRows;
    std::string strOnly; // run only the scenarios whose name contains this
    bool bSkipSlow = false;
};

// Targets of a whole LAN segment, last number 1..254 as the scan walks them.
std::vector<std::string> Segment(int halves) {
    std::vector<std::string> targets;
    for (int half = 0; half < halves; ++half)
        for (int last = 1; last <= 254; ++last)
            targets.push_back("198.18." + std::to_string(half) + "." + std::to_string(last));
    return targets;
}

std::set<std::string> LiveOnSegment(const test::CLan& lan) {
    std::set<std::string> live = {"198.18.0.1"};
    for (const test::LanHost& host : lan.Hosts())
        live.insert(host.address);
    if (!lan.Router().empty())
        live.insert("198.18.0.254");
    return live;
}

std::string Lines(const std::vector<std::string>& targets) {
    std::string text;
    for (const std::string& target : targets)
        text += target + '\n';
    return text;
}

Tool Peer(const std::string& strName, std::vector<std::string> argv, const std::vector<std::string>& targets,
          Parser parse) {
    return Tool{strName, std::move(argv), Lines(targets), parse, {}};
}

// fping with the same one attempt and one second as the others; -i sets the gap between sends.
std::vector<Tool> FpingPing(const std::vector<std::string>& targets) {
    std::vector<Tool> tools;
    for (const char* gap : {"0", "1"}) {
        Tool tool = Peer(std::string("fping -C1 -q -r0 -t1000 -i") + gap,
                         {"fping", "-C", "1", "-q", "-r", "0", "-t", "1000", "-i", gap}, targets, ParseFpingCount);
        tool.single = {"fping", "-C", "1", "-q", "-r", "0", "-t", "1000"};
        tools.push_back(tool);
    }
    return tools;
}

Scenario PingScenario(const std::string& strName, const Options& options, const std::vector<std::string>& targets,
                      const std::set<std::string>& live, bool bTimeout) {
    Scenario scenario{strName, targets, live, {}};
    std::vector<std::string> ping = {options.strCli, "ping", "--retries", "1", "--pause", "500"};
    if (bTimeout)
        ping.insert(ping.end(), {"--timeout", "1000"});
    Tool lanwick{"lanwick-cli ping --retries 1", ping, "", ParseLanwickPing, ping};
    lanwick.argv.insert(lanwick.argv.end(), targets.begin(), targets.end());
    scenario.tools.push_back(lanwick);
    for (const Tool& tool : FpingPing(targets))
        scenario.tools.push_back(tool);
    scenario.tools.push_back(
        Peer("nmap -T4 -sn -n -PE --disable-arp-ping",
             {"nmap", "-T4", "-sn", "-n", "-PE", "--disable-arp-ping", "--max-retries", "0", "-iL", "-"}, targets,
             ParseNmap));
    return scenario;
}

Scenario ScanScenario(const std::string& strName, const Options& options, const std::vector<std::string>& targets,
                      const std::set<std::string>& live, bool bTimeout, bool bOnLink, bool bDefault = true) {
    Scenario scenario{strName, targets, live, {}};
    const std::vector<std::string> scan = {options.strCli, "scan", targets.front(), targets.back()};
    if (bDefault)
        scenario.tools.push_back(Tool{"lanwick-cli scan (default)", scan, "", ParseLanwickScan, {}});
    if (bTimeout) {
        // A quarter second is ample on a LAN; nmap -T4 adapts its wait the same way.
        std::vector<std::string> quick = scan;
        quick.insert(quick.end(), {"--timeout", "250"});
        scenario.tools.push_back(Tool{"lanwick-cli scan --timeout 250", quick, "", ParseLanwickScan, {}});
    }
    std::vector<std::string> workers = scan;
    workers.insert(workers.end(), {"--workers", "80"});
    scenario.tools.push_back(Tool{"lanwick-cli scan --workers 80", workers, "", ParseLanwickScan, {}});
    scenario.tools.push_back(Peer("nmap -T4 -sn -n", {"nmap", "-T4", "-sn", "-n", "-iL", "-"}, targets, ParseNmap));
    // On the link nmap asks by ARP; its ICMP-only sweep is the fair peer of an echo sweep. Behind a router its
    // default already includes echo (beside TCP and timestamp probes), and one more run there costs minutes.
    if (bOnLink)
        scenario.tools.push_back(Peer("nmap -T4 -sn -n -PE --disable-arp-ping",
                                      {"nmap", "-T4", "-sn", "-n", "-PE", "--disable-arp-ping", "-iL", "-"}, targets,
                                      ParseNmap));
    for (const char* gap : {"0", "1"})
        scenario.tools.push_back(Peer(std::string("fping -a -r0 -t1000 -i") + gap,
                                      {"fping", "-a", "-r", "0", "-t", "1000", "-i", gap}, targets, ParseAddresses));
    return scenario;
}

// "monitor" over 10,000 machines behind the router: a list fill and 1 or 30 passes a second apart. The machines
// that are up come from its Prometheus file; fping pinging the same list once and 30 times stands beside it.
std::vector<Row> MonitorMemory(const Options& options, const std::vector<std::string>& targets,
                               const std::set<std::string>& live, bool bTimeout) {
    const test::CLan& lan = test::CLan::Get();
    const std::string strFile = lan.ScratchDir() + "/machines.xml";
    const std::string strIni = lan.ScratchDir() + "/Lanwick.ini";
    const std::string strProm = lan.ScratchDir() + "/lanwick.prom";
    CMachineList list;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const auto ip = IpAddress{198, 19, static_cast<std::uint8_t>(i / 254), static_cast<std::uint8_t>(i % 254 + 1)};
        list.AddMachine(ip, "000000000000", "Bench", "m" + std::to_string(i), 0, 1, 1);
    }
    std::ofstream ini(strIni);
    ini << "[Scan]\nRetries=1\nPause=500\n";
    ini.close();
    if (!list.SaveFile(strFile) || !ini) {
        std::fprintf(stderr, "bench_cli: cannot write the machine file or settings in %s\n", lan.ScratchDir().c_str());
        return {};
    }
    std::vector<Row> rows;
    for (const char* passes : {"1", "30"}) {
        const std::string strScenario =
            std::string("monitor 10,000 routed, ") + passes + (passes[1] ? " passes" : " pass");
        Scenario scenario{strScenario, targets, live, {}};
        std::vector<std::string> monitor = {options.strCli, "monitor",     strFile, "--settings",
                                            strIni,         "--refresh",   "1",     "--passes",
                                            passes,         "--prom-file", strProm};
        if (bTimeout)
            monitor.insert(monitor.end(), {"--timeout", "1000"});
        Tool lanwick{"lanwick-cli monitor --refresh 1", monitor, "", ParsePromFile(strProm), {}};
        scenario.tools.push_back(lanwick);
        // fping keeps 65,535 sequence numbers for 10 s: 10,000 targets once a second overrun them (it stops with
        // "not enough sequence numbers"), so it pings every 2 s.
        scenario.tools.push_back(Peer(std::string("fping -C") + passes + " -p2000 -q -r0 -t1000 -i0",
                                      {"fping", "-C", passes, "-p", "2000", "-q", "-r", "0", "-t", "1000", "-i", "0"},
                                      targets, ParseFpingCount));
        const std::vector<Row> more = RunScenario(scenario, 1, options.dLong);
        rows.insert(rows.end(), more.begin(), more.end());
    }
    return rows;
}

Options ReadOptions(int argc, char** argv) {
    Options options;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    options.strCli = (self.parent_path().parent_path() / "src/cli/lanwick-cli").string();
    for (int i = 1; i < argc; i += 2) {
        const std::string strName = argv[i];
        if (strName == "--skip-slow") {
            options.bSkipSlow = true;
            --i;
            continue;
        }
        if (i + 1 == argc)
            break;
        if (strName == "--cli")
            options.strCli = argv[i + 1];
        else if (strName == "--runs")
            options.nRuns = std::max(1, std::atoi(argv[i + 1]));
        else if (strName == "--long")
            options.dLong = std::atof(argv[i + 1]);
        else if (strName == "--rows")
            options.strRows = argv[i + 1];
        else if (strName == "--only")
            options.strOnly = argv[i + 1];
    }
    return options;
}

} // namespace

int main(int argc, char** argv) {
    // The table's heading alone, for scripts/bench.sh, which gathers the rows of several LANs into one table.
    if (argc == 2 && std::string(argv[1]) == "--header") {
        PrintHeader(stdout);
        return 0;
    }
    const test::CLan& lan = test::CLan::Get();
    if (!lan.IsUp()) {
        std::fprintf(stderr, "bench_cli: run it inside the namespace LAN (scripts/bench.sh runs every scenario)\n");
        return 77;
    }
    const Options options = ReadOptions(argc, argv);
    for (const char* peer : {"fping", "nmap"})
        if (!Installed(peer))
            std::fprintf(stderr, "bench_cli: %s is not installed (scripts/deps.sh installs it): its rows fail\n", peer);
    // A CLI that takes --timeout gets the peers' one second explicitly; one without it waits one second anyway.
    const bool bPingTimeout = HelpMentions(options.strCli, "ping", "--timeout");
    const bool bScanTimeout = HelpMentions(options.strCli, "scan", "--timeout");
    const bool bMonitorTimeout = HelpMentions(options.strCli, "monitor", "--timeout");
    // The worker design's default of 10 threads, whose wait of about a second per address behind the router adds up.
    const bool bSlowDefault = options.bSkipSlow && HelpMentions(options.strCli, "scan", "aggressive); default 10");
    std::printf("lanwick-cli: %s; median of %d alternating runs, empty neighbour table before each\n",
                options.strCli.c_str(), options.nRuns);

    std::vector<Row> rows;
    auto wanted = [&options](const std::string& strName) { return strName.find(options.strOnly) != std::string::npos; };
    auto add = [&rows](const std::vector<Row>& more) { rows.insert(rows.end(), more.begin(), more.end()); };
    if (lan.RoutedLive() > 0) {
        std::vector<std::string> targets;
        for (std::size_t i = 0; i < kRoutedTargets; ++i)
            targets.push_back(test::CLan::RoutedAddress(i));
        std::set<std::string> live(targets.begin(), targets.begin() + static_cast<long>(lan.RoutedLive()));
        const std::string strWhat = "10,000 routed (" + std::to_string(live.size()) + " live)";
        if (wanted("ping " + strWhat))
            add(RunScenario(PingScenario("ping " + strWhat, options, targets, live, bPingTimeout), options.nRuns,
                            options.dLong, kRttSamples));
        if (wanted("scan " + strWhat))
            add(RunScenario(ScanScenario("scan " + strWhat, options, targets, live, bScanTimeout, false, !bSlowDefault),
                            options.nRuns, options.dLong));
        if (wanted("monitor"))
            add(MonitorMemory(options, targets, live, bMonitorTimeout));
    } else {
        const int halves = lan.Prefix() == 23 ? 2 : 1;
        const std::vector<std::string> targets = Segment(halves);
        const std::set<std::string> live = LiveOnSegment(lan);
        const std::string strWhat = (halves == 2 ? "/23 (" : "/24 (") + std::to_string(live.size()) + " live)";
        if (wanted("ping " + strWhat))
            add(RunScenario(PingScenario("ping " + strWhat, options, targets, live, bPingTimeout), options.nRuns,
                            options.dLong, kRttSamples));
        if (wanted("scan " + strWhat))
            add(RunScenario(ScanScenario("scan " + strWhat, options, targets, live, bScanTimeout, true), options.nRuns,
                            options.dLong));
    }
    std::printf("\n");
    PrintTable(rows, stdout);
    if (!options.strRows.empty()) {
        if (std::FILE* f = std::fopen(options.strRows.c_str(), "ae")) {
            PrintRows(rows, f);
            std::fclose(f);
        }
    }
    return 0;
}
