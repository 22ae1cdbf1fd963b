// Both probes and the engine on real packets in the namespace LAN: live and silent hosts, names, a user without root,
// a whole subnet in one pass with the times each host shows alone, thousands of requests waiting for ARP, and
// cancelling from another thread (other programs' replies: ForgedRepliesLanTest.cpp; 80 scanning threads: the
// sweeps of LanScanTest.cpp).
#include "lan/Lan.h"
#include "platform/Icmp.h"
#include "probes/PingEngine.h"
#include "probes/Pinger.h"
#include "probes/ScanPing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
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

bool IsLive(const std::string& address) {
    for (const LanHost& h : CLan::Get().Hosts())
        if (h.address == address)
            return true;
    return address == "198.18.0.1"; // the monitor answers itself
}

// The system's sockets as a system without arrival stamps would give them.
class CUnstampedSocket final : public platform::IIcmpSocket {
public:
    explicit CUnstampedSocket(std::unique_ptr<platform::IIcmpSocket> real) : m_real(std::move(real)) {}
    bool ReceivesIpHeader() const override { return m_real->ReceivesIpHeader(); }
    std::uint16_t Identifier(std::uint16_t wanted) const override { return m_real->Identifier(wanted); }
    void ReserveBuffers(std::size_t requests) override { m_real->ReserveBuffers(requests); }
    bool AcceptOnlyReplies(std::uint16_t identifier, const platform::Ipv4* from) override {
        return m_real->AcceptOnlyReplies(identifier, from);
    }
    platform::IcmpSendResult Send(const void* data, std::size_t size, const platform::Ipv4& to) override {
        return m_real->Send(data, size, to);
    }
    platform::IcmpWaitResult Wait(std::uint32_t microseconds) override { return m_real->Wait(microseconds); }
    platform::IcmpReceiveResult Receive(void* buffer, std::size_t capacity, std::size_t& size, platform::Ipv4& from,
                                        std::int64_t& arrival) override {
        const auto result = m_real->Receive(buffer, capacity, size, from, arrival);
        arrival = platform::kNoStamp;
        return result;
    }
    std::int64_t StampNow() const override { return m_real->StampNow(); }
    bool StampsArrivals() const override { return false; }

private:
    std::unique_ptr<platform::IIcmpSocket> m_real;
};

class CUnstampedSockets final : public platform::IIcmpSocketFactory {
public:
    std::unique_ptr<platform::IIcmpSocket> Open(std::uint16_t identifier) override {
        auto real = platform::SystemIcmpSockets().Open(identifier);
        return real ? std::make_unique<CUnstampedSocket>(std::move(real)) : nullptr;
    }
};

// The middle of three single-host probes: one probe can catch the machine busy elsewhere.
std::int32_t AloneMicroseconds(const std::string& address) {
    CPinger pinger;
    std::int32_t values[3];
    for (std::int32_t& v : values)
        v = pinger.Ping(1, address, 0);
    std::sort(std::begin(values), std::end(values));
    return values[1];
}

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

TEST(RoundTripLan, EveryLiveHostOfAWholeSubnetShowsWithinAFifthOfAMillisecondOfItsTimeAlone) {
    LANWICK_REQUIRE_LAN();
    std::vector<std::string> subnet;
    for (int i = 1; i <= 254; ++i)
        subnet.push_back("198.18.0." + std::to_string(i));
    std::vector<std::string> live{"198.18.0.1"};
    for (const LanHost& h : CLan::Get().Hosts())
        live.push_back(h.address);

    CUnstampedSockets unstamped;
    for (platform::IIcmpSocketFactory* sockets :
         {&platform::SystemIcmpSockets(), static_cast<platform::IIcmpSocketFactory*>(&unstamped)}) {
        const bool bStamped = sockets != &unstamped;
        // Hosts whose address is not resolved yet answer later by an ARP exchange, in a pass as alone: compare
        // on a resolved table, as every pass after the first sees it. The first pass finds exactly the live hosts
        // in about one time-out, where one after another would take over 200 s (the bound allows a loaded machine).
        const auto start = std::chrono::steady_clock::now();
        const std::vector<std::int32_t> first = CPingEngine(*sockets).PingAll(subnet, 1, 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
        for (std::size_t i = 0; i < subnet.size(); ++i)
            EXPECT_EQ(first[i] >= 0, IsLive(subnet[i])) << subnet[i] << ": " << first[i];
        // The middle of three passes: without stamps, a pass whose thread lost the processor for a moment (a
        // busy machine, a sanitizer build) reads late, while a reply left behind the burst is late in every pass.
        std::vector<std::vector<std::int32_t>> passes;
        for (int i = 0; i < 3; ++i)
            passes.push_back(CPingEngine(*sockets).PingAll(subnet, 1, 0));
        for (const std::string& address : live) {
            const std::size_t n = std::stoul(address.substr(address.rfind('.') + 1)) - 1;
            std::int32_t times[3] = {passes[0][n], passes[1][n], passes[2][n]};
            std::sort(std::begin(times), std::end(times));
            const std::int32_t inPass = times[1];
            const std::int32_t alone = AloneMicroseconds(address);
            ASSERT_GE(alone, 0) << address;
            EXPECT_GE(inPass, 0) << address << (bStamped ? " (stamped)" : " (unstamped)");
            // Without arrival stamps a reply's time is when it is read: a little later, never behind the burst.
            EXPECT_LE(std::abs(inPass - alone), bStamped ? 200 : 1000)
                << address << (bStamped ? " (stamped)" : " (unstamped)") << ": " << inPass << " us in the pass, "
                << alone << " us alone";
        }
    }
}

TEST(PingEngineLan, ThousandsOfRequestsToUnresolvedAddressesLoseNoLiveHost) {
    LANWICK_REQUIRE_LAN();
    // Every address of the /24 eight times over: over 1700 requests wait for ARP answers that never come and
    // hold their room in the send buffer meanwhile.
    std::vector<std::string> hosts;
    for (int copy = 0; copy < 8; ++copy)
        for (int i = 1; i <= 254; ++i)
            hosts.push_back("198.18.0." + std::to_string(i));
    const auto results = CPingEngine().PingAll(hosts, 1, 0);
    for (std::size_t i = 0; i < hosts.size(); ++i)
        ASSERT_EQ(results[i] >= 0, IsLive(hosts[i])) << hosts[i] << " (entry " << i << "): " << results[i];
}

TEST(PingEngineLan, RunsOnAWorkerThreadAndEndsSoonWhenCancelled) {
    LANWICK_REQUIRE_LAN();
    std::vector<std::string> hosts;
    for (int n = 0; n < 20; ++n)
        hosts.push_back(CLan::Get().SilentAddress(n));
    hosts.push_back(CLan::Get().Hosts()[2].address);
    CPingEngine engine;
    std::vector<std::int32_t> results;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::thread worker([&] { results = engine.PingAll(hosts, 3, 500); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    engine.Cancel();
    worker.join();
    EXPECT_LT(SecondsSince(start), 1.0) << "three silent attempts would take 3 s";
    ASSERT_EQ(results.size(), hosts.size());
    for (std::int32_t r : results)
        EXPECT_EQ(r, -1);
    EXPECT_EQ(engine.PingAll(hosts, 1, 0), std::vector<std::int32_t>(hosts.size(), -1)) << "cancel stays";
}
