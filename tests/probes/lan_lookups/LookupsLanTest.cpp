// Name and MAC lookups on the namespace LAN: live hosts give their interface MAC and hosts-file name, silent
// addresses give zeros after about a second, and many threads asking at once all get their own answer.
#include "lan/Lan.h"
#include "probes/Lookups.h"
#include "probes/VendorTable.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

using namespace lanwick;
using lanwick::test::CLan;

namespace {

double SecondsFor(const std::function<void()>& work) {
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Empties the monitor's neighbour table so that every lookup has to ask the network again.
void ForgetNeighbours() {
    ASSERT_EQ(test::Shell("ip neigh flush all"), 0);
}

} // namespace

TEST(LookupsLan, GetMacAddressOfLiveHostIsItsInterfaceMac) {
    LANWICK_REQUIRE_LAN();
    ForgetNeighbours();
    const auto& hosts = CLan::Get().Hosts();
    ASSERT_GE(hosts.size(), 4U);
    for (std::size_t i = 0; i < 4; ++i) {
        std::string mac = GetMacAddress(hosts[i].address);
        EXPECT_EQ(mac, hosts[i].MacDigits()) << hosts[i].address;
        // Leading zeros of every byte are kept, so the vendor prefix is the host's.
        EXPECT_NE(LookupVendor(VendorTableData(), VendorTableSize(), mac.substr(0, 6)), "Unknown vendor");
    }
}

TEST(LookupsLan, GetMacAddressOfSilentAddressIsZerosAfterAboutOneSecond) {
    LANWICK_REQUIRE_LAN();
    std::string mac;
    double seconds = SecondsFor([&] { mac = GetMacAddress(CLan::Get().SilentAddress()); });
    EXPECT_EQ(mac, "000000000000");
    EXPECT_GE(seconds, 0.9);
    EXPECT_LT(seconds, 3.0);
}

TEST(LookupsLan, ResolveNameFindsTheHostsFileName) {
    LANWICK_REQUIRE_LAN();
    int named = 0, unnamed = 0;
    for (const auto& host : CLan::Get().Hosts()) {
        if (named >= 3 && unnamed >= 3)
            break;
        auto name = ResolveName(host.address);
        if (!host.name.empty()) {
            EXPECT_EQ(name.value_or("(nothing)"), host.name);
            ++named;
        } else {
            EXPECT_FALSE(name.has_value()) << host.address << " gave " << *name;
            ++unnamed;
        }
    }
    EXPECT_GE(named, 3);
    EXPECT_GE(unnamed, 3);
    EXPECT_FALSE(ResolveName(CLan::Get().SilentAddress()).has_value());
}

TEST(LookupsLan, FortyThreadsAtOnceAllGetTheirOwnMac) {
    LANWICK_REQUIRE_LAN();
    const auto& hosts = CLan::Get().Hosts();
    ASSERT_GE(hosts.size(), 40U);
    for (int round = 0; round < 3; ++round) {
        ForgetNeighbours();
        std::vector<std::string> macs(40);
        std::vector<std::thread> threads;
        std::atomic<int> ready{0};
        for (std::size_t i = 0; i < 40; ++i)
            threads.emplace_back([&, i] {
                ++ready;
                while (ready.load() < 40)
                    std::this_thread::yield();
                macs[i] = GetMacAddress(hosts[i].address);
            });
        for (auto& t : threads)
            t.join();
        for (std::size_t i = 0; i < 40; ++i)
            EXPECT_EQ(macs[i], hosts[i].MacDigits()) << "round " << round << ", " << hosts[i].address;
    }
}

TEST(LookupsLan, EightyThreadsOverLiveAndSilentAddressesAllGetTheirOwnAnswer) {
    LANWICK_REQUIRE_LAN();
    ForgetNeighbours();
    const auto& hosts = CLan::Get().Hosts();
    constexpr std::size_t kSilent = 40; // with the 40 live hosts: 80 threads, as many as a range scan runs
    std::vector<std::string> live(hosts.size()), silent(kSilent);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < kSilent; ++i)
        threads.emplace_back([&, i] { silent[i] = GetMacAddress(CLan::Get().SilentAddress(static_cast<int>(i))); });
    for (std::size_t i = 0; i < hosts.size(); ++i)
        threads.emplace_back([&, i] { live[i] = GetMacAddress(hosts[i].address); });
    for (auto& t : threads)
        t.join();
    // A live answer given up for a silent neighbour's timeout would show as zeros here.
    for (std::size_t i = 0; i < hosts.size(); ++i)
        EXPECT_EQ(live[i], hosts[i].MacDigits()) << hosts[i].address;
    for (const auto& mac : silent)
        EXPECT_EQ(mac, "000000000000");
}
