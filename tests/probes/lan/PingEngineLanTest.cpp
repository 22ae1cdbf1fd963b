// The ping engine on real packets: a whole /24 in about one time-out, thousands of requests waiting for ARP, and
// use from a worker thread with cancelling (ProbesLanTest.cpp compares it with the single-host probes).
#include "lan/Lan.h"
#include "probes/PingEngine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace lanwick;
using namespace lanwick::test;

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool IsLive(const std::string& address) {
    for (const LanHost& h : CLan::Get().Hosts())
        if (h.address == address)
            return true;
    return address == "198.18.0.1"; // the monitor answers itself
}

} // namespace

TEST(PingEngineLan, AWholeSubnetWith40LiveHostsTakesAboutOneTimeOut) {
    LANWICK_REQUIRE_LAN();
    std::vector<std::string> hosts;
    for (int i = 1; i <= 254; ++i)
        hosts.push_back("198.18.0." + std::to_string(i));
    const auto start = std::chrono::steady_clock::now();
    const auto results = CPingEngine().PingAll(hosts, 1, 500);
    const double seconds = SecondsSince(start);
    for (std::size_t i = 0; i < hosts.size(); ++i)
        EXPECT_EQ(results[i] >= 0, IsLive(hosts[i])) << hosts[i] << ": " << results[i];
    // One after another this would be over 200 s; the bound leaves room for a loaded machine.
    EXPECT_LT(seconds, 3.0);
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
