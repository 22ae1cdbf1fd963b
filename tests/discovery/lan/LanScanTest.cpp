// Real sweeps of the namespace LAN's /24: every live host found with its MAC, vendor and name, time after time.
#include "discovery/NameResolver.h"
#include "discovery/ScanColumns.h"
#include "discovery/ScanWorker.h"
#include "lan/Lan.h"
#include "probes/Lookups.h"
#include "probes/VendorTable.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace lanwick {
namespace {

using namespace std::chrono_literals;
using test::BacklogDrops;
using test::CLan;

const IpAddress kLanFirst = {198, 18, 0, 1};
const IpAddress kLanLast = {198, 18, 0, 254};
const std::string kMonitorAddress = "198.18.0.1";

class CSweepSink final : public IScanSink {
public:
    void OnScanFound(const std::string& strAddress, const std::string& strMac) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!found.emplace(strAddress, strMac).second)
            ++duplicates;
    }
    void OnScanStep() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++steps;
    }
    void OnScanDone() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++done;
        m_changed.notify_all();
    }
    bool WaitDone() {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, 120s, [this] { return done > 0; });
    }

    std::map<std::string, std::string> found;
    int duplicates = 0;
    int steps = 0;
    int done = 0;

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
};

void Sweep(int workers, CSweepSink& sink) {
    CScanWorkers scan;
    scan.Start(DivideRange(kLanFirst, kLanLast, workers), RealScanProbes(), sink);
    ASSERT_TRUE(sink.WaitDone()) << "the sweep did not end";
    scan.Join();
}

// The names of what a sweep found, as the name column shows them.
std::map<std::string, std::string> Names(const std::map<std::string, std::string>& found) {
    std::mutex mutex;
    std::condition_variable answered;
    std::map<std::string, std::string> names;
    std::vector<std::string> addresses;
    for (const auto& entry : found)
        addresses.push_back(entry.first);
    CNameResolver resolver(ResolveName, [&](std::uint64_t key, const std::optional<std::string>& name) {
        std::lock_guard<std::mutex> lock(mutex);
        names[addresses.at(key)] = NameColumnText(name);
        answered.notify_all();
    });
    for (std::uint64_t key = 0; key < addresses.size(); ++key)
        resolver.Request(key, addresses[key]);
    std::unique_lock<std::mutex> lock(mutex);
    EXPECT_TRUE(answered.wait_for(lock, 60s, [&] { return names.size() == found.size(); }));
    return names;
}

// The first sweep is checked in full: steps, the monitor itself, vendors and names. All twenty must find every host.
TEST(LanSweep, TwentySweepsAtEightyWorkersFindEveryHostEveryTime) {
    LANWICK_REQUIRE_LAN();
    const auto& hosts = CLan::Get().Hosts();
    const std::map<std::string, std::string> vendors = {{"00000C", "Cisco Systems, Inc"},
                                                        {"00A0C9", "Intel Corporation"},
                                                        {"080020", "Oracle Corporation"},
                                                        {"001B21", "Intel Corporate"}};
    // One attempt per address: a packet the LAN's own backlog dropped is a miss no program could avoid. One such
    // miss in 820 probes is let through, only in a sweep where the kernel counted drops; a fault of the workers
    // (a reply taken by the wrong thread, a lost result) misses more than that.
    std::vector<std::string> excused;
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE("sweep " + std::to_string(round));
        CSweepSink sink;
        const std::uint64_t dropsBefore = BacklogDrops();
        Sweep(80, sink);
        const bool bLanDropped = BacklogDrops() > dropsBefore;
        ASSERT_EQ(sink.done, 1);
        EXPECT_EQ(sink.steps, 254);
        EXPECT_EQ(sink.duplicates, 0);
        EXPECT_EQ(sink.found.count(kMonitorAddress), 1u) << "the monitor answers for its own address too";
        const auto names = round == 0 ? Names(sink.found) : std::map<std::string, std::string>{};
        std::size_t missed = 0;
        for (const auto& host : hosts) {
            if (sink.found.count(host.address) == 0 && bLanDropped && excused.empty()) {
                excused.push_back(host.address + " in sweep " + std::to_string(round));
                ++missed;
                continue;
            }
            ASSERT_EQ(sink.found.count(host.address), 1u) << host.address << " missed";
            const std::string& mac = sink.found[host.address];
            EXPECT_EQ(mac, host.MacDigits());
            if (round == 0) {
                EXPECT_EQ(VendorColumnText(VendorTableData(), VendorTableSize(), mac), vendors.at(mac.substr(0, 6)));
                EXPECT_EQ(names.at(host.address), host.name.empty() ? "n/a" : host.name);
            }
        }
        EXPECT_EQ(sink.found.size(), hosts.size() + 1 - missed);
        if (round == 0) {
            EXPECT_EQ(names.at(kMonitorAddress), "monitor.lanwick.test");
        }
    }
    for (const std::string& miss : excused)
        std::cout << "[ figures ] missed once while the LAN dropped packets: " << miss << "\n";
}

std::string Figures(std::size_t forger) {
    return CLan::Get().ScratchDir() + "/flood" + std::to_string(forger) + ".txt";
}

TEST(LanSweep, FindsEveryLiveHostUnderAFloodOfForgedReplies) {
    LANWICK_REQUIRE_LAN();
    const auto& hosts = CLan::Get().Hosts();
    // Two hosts forge replies for every identifier, from the live hosts' own addresses (so that no silent address
    // is faked alive): without a filter each of the 80 sockets gets a copy of every one of them. The rate is capped
    // well below what overruns the kernel's receive queue on a small, loaded machine (a sanitizer build beside
    // other tests), where no socket could help: this guards that the filter never loses a real reply.
    std::string flood = std::string(LANWICK_REPLY_FLOODER) + " " + kMonitorAddress + " 50000000 60 500 0 65535";
    for (const auto& host : hosts)
        flood += " " + host.address;
    constexpr std::size_t kForgers = 2;
    std::vector<pid_t> flooders;
    for (std::size_t i = 0; i < kForgers; ++i)
        flooders.push_back(test::SpawnIn(hosts[i].ns, flood + " >" + Figures(i)));
    // The flooders give no sign once they send: a moment for them to start (a sweep before the flood is easier).
    std::this_thread::sleep_for(300ms);
    std::vector<std::size_t> found;
    for (int round = 0; round < 3; ++round) {
        CSweepSink sink;
        Sweep(80, sink);
        found.push_back(sink.found.size());
        for (const auto& host : hosts)
            EXPECT_EQ(sink.found.count(host.address), 1u) << "sweep " << round << ": " << host.address << " missed";
        EXPECT_EQ(sink.found.size(), hosts.size() + 1);
    }
    for (std::size_t i = 0; i < kForgers; ++i) {
        test::EndProcess(flooders[i]);
        std::ifstream in(Figures(i));
        std::string sent;
        std::getline(in, sent);
        std::cout << "[ figures ] forger " << i << ": " << sent << "\n";
    }
    std::cout << "[ figures ] found " << found[0] << ", " << found[1] << ", " << found[2] << " of " << hosts.size() + 1
              << "\n";
}

} // namespace
} // namespace lanwick
