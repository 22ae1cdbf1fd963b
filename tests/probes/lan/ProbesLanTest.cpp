// Both probes and the engine on real packets in the namespace LAN: live and silent hosts, names, 80 scanning
// threads, another program pinging at the same time, and a user without root.
#include "lan/Lan.h"
#include "platform/Icmp.h"
#include "probes/PingEngine.h"
#include "probes/Pinger.h"
#include "probes/ScanPing.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace lanwick;
using namespace lanwick::test;

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs a command line and returns its standard output.
std::string Capture(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, p))
            out += buffer;
        pclose(p);
    }
    return out;
}

// The monitor namespace's ping_group_range, set for a test and put back afterwards.
class CPingGroupRange {
public:
    CPingGroupRange() { std::getline(std::ifstream(kPath), m_strSaved); }
    ~CPingGroupRange() { Set(m_strSaved); }
    CPingGroupRange(const CPingGroupRange&) = delete;
    CPingGroupRange& operator=(const CPingGroupRange&) = delete;
    static bool Set(const std::string& range) {
        std::ofstream out(kPath);
        out << range << "\n";
        return static_cast<bool>(out.flush());
    }

private:
    static constexpr const char* kPath = "/proc/sys/net/ipv4/ping_group_range";
    std::string m_strSaved;
};

} // namespace

// Each probe and the engine, with one and with three attempts: a live host answers within 0.2 s, by address or by
// its name in the hosts file (which the scan probe refuses: it takes dotted addresses only); a silent address
// gives nothing after about a second per attempt (the scan probe gives up after its first); an unknown name gives
// nothing at once.
TEST(ProbesLan, LiveSilentAndUnknownHostsGiveTheSameAnswerFromEveryProbe) {
    LANWICK_REQUIRE_LAN();
    const CLan& lan = CLan::Get();
    ASSERT_FALSE(lan.Hosts()[0].name.empty());
    EXPECT_TRUE(platform::CanOpenIcmp());
    enum Kind { kLive, kLiveName, kSilent, kUnknown };
    const std::vector<std::pair<std::string, Kind>> cases{
        {lan.Hosts()[0].address, kLive}, {lan.Hosts()[0].name, kLiveName},  {lan.Hosts()[1].address, kLive},
        {lan.SilentAddress(0), kSilent}, {"nosuch.lanwick.test", kUnknown}, {lan.SilentAddress(1), kSilent}};
    std::vector<std::string> hosts;
    for (const auto& c : cases)
        hosts.push_back(c.first);
    for (unsigned attempts : {1u, 3u}) {
        const std::vector<std::int32_t> inPass = CPingEngine().PingAll(hosts, attempts, 50);
        ASSERT_EQ(inPass.size(), hosts.size());
        CPinger pinger;
        for (std::size_t i = 0; i < cases.size(); ++i) {
            const auto& [host, kind] = cases[i];
            auto start = std::chrono::steady_clock::now();
            const std::int32_t us = pinger.Ping(attempts, host, 50);
            const double pingSeconds = SecondsSince(start);
            start = std::chrono::steady_clock::now();
            const std::int32_t ms = ScanPing(host, 0, attempts, 0);
            const double scanSeconds = SecondsSince(start);
            const std::string what = host + ", " + std::to_string(attempts) + " attempts";
            if (kind == kLive || kind == kLiveName) {
                EXPECT_TRUE(us >= 0 && us < 200000) << what << ": " << us;
                EXPECT_TRUE(inPass[i] >= 0 && inPass[i] < 200000) << what << ": " << inPass[i];
                if (kind == kLive) {
                    EXPECT_TRUE(ms >= 0 && ms < 200) << what << ": " << ms;
                } else {
                    EXPECT_EQ(ms, kScanBadAddress) << what;
                }
            } else {
                EXPECT_EQ(us, -1) << what;
                EXPECT_EQ(inPass[i], -1) << what;
                EXPECT_NEAR(pingSeconds, kind == kSilent ? attempts : 0.0, 0.1 + 0.2 * attempts) << what;
                EXPECT_EQ(ms, kind == kSilent ? kScanNoAnswer : kScanBadAddress) << what;
                EXPECT_NEAR(scanSeconds, kind == kSilent ? 1.0 : 0.0, 0.3) << what;
            }
        }
    }
}

TEST(ProbesLan, EightyThreadsFindAllFortyHostsEveryRound) {
    LANWICK_REQUIRE_LAN();
    const auto& hosts = CLan::Get().Hosts();
    ASSERT_GE(hosts.size(), 40u);
    for (int round = 0; round < 20; ++round) {
        std::vector<std::int32_t> results(80, -100);
        std::vector<std::thread> workers;
        for (std::size_t t = 0; t < 80; ++t)
            workers.emplace_back([&, t] { results[t] = ScanPing(hosts[t % 40].address, 100, 1, 0); });
        for (std::thread& w : workers)
            w.join();
        for (std::size_t t = 0; t < 80; ++t)
            ASSERT_GE(results[t], 0) << "round " << round << ", thread " << t << ", " << hosts[t % 40].address;
    }
}

TEST(ProbesLan, MonitoringProbeIsNotFooledByAnotherProgramPingingAtTheSameTime) {
    LANWICK_REQUIRE_LAN();
    const LanHost& host = CLan::Get().Hosts().front();
    const LanHost& other = CLan::Get().Hosts()[1];
    // Two other programs ping fast: one the host we probe, one another host; both their replies reach our socket.
    const pid_t same = SpawnIn(CLan::Get().Monitor(), "ping -q -i 0.005 " + host.address + " >/dev/null 2>&1");
    const pid_t next = SpawnIn(CLan::Get().Monitor(), "ping -q -i 0.005 " + other.address + " >/dev/null 2>&1");
    usleep(300000);
    CPinger pinger;
    EXPECT_EQ(pinger.Ping(1, CLan::Get().SilentAddress(), 0), -1) << "their replies are not ours";
    EXPECT_EQ(ScanPing(CLan::Get().SilentAddress(1), 0, 1, 0), kScanNoAnswer);
    for (int i = 0; i < 5; ++i) {
        const std::int32_t us = pinger.Ping(2, host.address, 10);
        EXPECT_GE(us, 0);
        EXPECT_LT(us, 200000);
        EXPECT_GE(ScanPing(host.address, 0, 1, 0), 0);
    }
    EndProcess(same);
    EndProcess(next);
}

TEST(ProbesLan, UserWithoutRootPingsThroughTheDatagramSocketWhenTheSystemAllowsIt) {
    LANWICK_REQUIRE_LAN();
    const std::string address = CLan::Get().Hosts().front().address;
    // The helper must be reachable by the unprivileged user: a copy in a world-readable folder of its own.
    char folder[] = "/tmp/lwhelperXXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string helper = std::string(folder) + "/lan_ping_helper";
    ASSERT_EQ(Shell("cp " + std::string(LANWICK_PING_HELPER) + " " + helper), 0);
    chmod(folder, 0755);
    chmod(helper.c_str(), 0755);
    const std::string run = "setpriv --reuid=65534 --regid=65534 --clear-groups " + helper + " " + address;
    {
        CPingGroupRange range;
        ASSERT_TRUE(CPingGroupRange::Set("0 2147483647"));
        const std::string allowed = Capture(run);
        ASSERT_TRUE(CPingGroupRange::Set("1 0"));
        const std::string refused = Capture(run);
        EXPECT_EQ(refused, "can=0 ping=-1 scan=-11 engine=-1\n");
        int can = -1, ping = -1, scan = -1, engine = -1;
        ASSERT_EQ(std::sscanf(allowed.c_str(), "can=%d ping=%d scan=%d engine=%d", &can, &ping, &scan, &engine), 4)
            << allowed;
        EXPECT_EQ(can, 1);
        EXPECT_GE(ping, 0);
        EXPECT_GE(scan, 0);
        EXPECT_GE(engine, 0);
    }
    Shell("rm -rf " + std::string(folder));
}
