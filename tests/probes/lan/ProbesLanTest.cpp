// Both probes and the engine on real packets in the namespace LAN: live and silent hosts, names, 80 scanning
// threads, and a user without root (other programs' replies: ForgedRepliesLanTest.cpp).
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
#include <grp.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace lanwick;
using namespace lanwick::test;

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// What both probes and the engine give for `address` in a child that has become nobody (65534) and so has none
// of root's capabilities: "can=1 ping=... scan=... engine=...".
std::string AsNobody(const std::string& address) {
    int fds[2];
    if (pipe(fds) != 0)
        return "no pipe";
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        if (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0)
            _exit(1);
        const std::string line = "can=" + std::to_string(platform::CanOpenIcmp() ? 1 : 0) +
                                 " ping=" + std::to_string(CPinger().Ping(1, address, 0)) +
                                 " scan=" + std::to_string(ScanPing(address, 0, 1, 0)) +
                                 " engine=" + std::to_string(CPingEngine().PingAll({address}, 1, 0).front()) + "\n";
        _exit(write(fds[1], line.data(), line.size()) == static_cast<ssize_t>(line.size()) ? 0 : 2);
    }
    close(fds[1]);
    std::string out;
    char buffer[256];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
        out.append(buffer, static_cast<std::size_t>(n));
    close(fds[0]);
    waitpid(child, nullptr, 0);
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

TEST(ProbesLan, UserWithoutRootPingsThroughTheDatagramSocketWhenTheSystemAllowsIt) {
    LANWICK_REQUIRE_LAN();
    const std::string address = CLan::Get().Hosts().front().address;
    CPingGroupRange range;
    ASSERT_TRUE(CPingGroupRange::Set("0 2147483647"));
    const std::string allowed = AsNobody(address);
    ASSERT_TRUE(CPingGroupRange::Set("1 0"));
    EXPECT_EQ(AsNobody(address), "can=0 ping=-1 scan=-11 engine=-1\n");
    int can = -1, ping = -1, scan = -1, engine = -1;
    ASSERT_EQ(std::sscanf(allowed.c_str(), "can=%d ping=%d scan=%d engine=%d", &can, &ping, &scan, &engine), 4)
        << allowed;
    EXPECT_EQ(can, 1);
    EXPECT_GE(ping, 0);
    EXPECT_GE(scan, 0);
    EXPECT_GE(engine, 0);
}
