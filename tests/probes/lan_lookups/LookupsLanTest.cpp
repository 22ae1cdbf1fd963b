// MAC lookups on the namespace LAN: live hosts give their interface MAC, silent addresses give zeros after about a
// second, and many threads asking at once all get their own answer (hosts-file names: the sweeps of LanScanTest.cpp).
#include "lan/Lan.h"
#include "probes/Lookups.h"
#include "probes/VendorTable.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using namespace lanwick;
using lanwick::test::CLan;

// Three rounds on an emptied neighbour table, 40 live hosts and 40 silent addresses at once (as many threads as a
// range scan runs): a live answer given up for a silent neighbour's time-out would show as zeros.
TEST(LookupsLan, EightyThreadsAtOnceGetTheInterfaceMacOfLiveHostsAndZerosForSilentOnesAfterAboutOneSecond) {
    LANWICK_REQUIRE_LAN();
    const auto& hosts = CLan::Get().Hosts();
    ASSERT_GE(hosts.size(), 40U);
    for (int round = 0; round < 3; ++round) {
        // An emptied neighbour table: every lookup has to ask the network again.
        ASSERT_EQ(test::Shell("ip neigh flush all"), 0);
        std::vector<std::string> macs(80);
        std::vector<double> seconds(80);
        std::vector<std::thread> threads;
        std::atomic<int> ready{0};
        for (std::size_t i = 0; i < 80; ++i)
            threads.emplace_back([&, i] {
                const std::string address =
                    i < 40 ? hosts[i].address : CLan::Get().SilentAddress(static_cast<int>(i - 40));
                ++ready;
                while (ready.load() < 80)
                    std::this_thread::yield();
                const auto start = std::chrono::steady_clock::now();
                macs[i] = GetMacAddress(address);
                seconds[i] = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            });
        for (auto& t : threads)
            t.join();
        for (std::size_t i = 0; i < 40; ++i)
            EXPECT_EQ(macs[i], hosts[i].MacDigits()) << "round " << round << ", " << hosts[i].address;
        for (std::size_t i = 40; i < 80; ++i) {
            EXPECT_EQ(macs[i], "000000000000") << "round " << round;
            EXPECT_TRUE(seconds[i] >= 0.9 && seconds[i] < 3.0) << "round " << round << ": " << seconds[i] << " s";
        }
    }
    // Leading zeros of every byte are kept, so the vendor prefix is the host's.
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_NE(LookupVendor(VendorTableData(), VendorTableSize(), hosts[i].MacDigits().substr(0, 6)),
                  "Unknown vendor");
}
