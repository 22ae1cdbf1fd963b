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
#include <map>
#include <mutex>

namespace lanwick {
namespace {

using namespace std::chrono_literals;
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

TEST(LanSweep, FindsExactlyTheLiveHostsWithMacVendorAndName) {
    LANWICK_REQUIRE_LAN();
    const auto& hosts = CLan::Get().Hosts();
    CSweepSink sink;
    Sweep(80, sink);
    EXPECT_EQ(sink.done, 1);
    EXPECT_EQ(sink.steps, 254);
    EXPECT_EQ(sink.duplicates, 0);
    // The monitor answers for its own address too.
    EXPECT_EQ(sink.found.size(), hosts.size() + 1);
    EXPECT_EQ(sink.found.count(kMonitorAddress), 1u);

    std::mutex mutex;
    std::condition_variable answered;
    std::map<std::string, std::string> names;
    std::map<std::uint64_t, std::string> keys;
    {
        CNameResolver resolver(ResolveName, [&](std::uint64_t key, const std::optional<std::string>& name) {
            std::lock_guard<std::mutex> lock(mutex);
            names[keys.at(key)] = NameColumnText(name);
            answered.notify_all();
        });
        std::uint64_t key = 0;
        for (const auto& [address, mac] : sink.found) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                keys[key] = address;
            }
            resolver.Request(key++, address);
        }
        std::unique_lock<std::mutex> lock(mutex);
        ASSERT_TRUE(answered.wait_for(lock, 60s, [&] { return names.size() == sink.found.size(); }));
    }

    const std::map<std::string, std::string> vendors = {{"00000C", "Cisco Systems, Inc"},
                                                        {"00A0C9", "Intel Corporation"},
                                                        {"080020", "Oracle Corporation"},
                                                        {"001B21", "Intel Corporate"}};
    for (const auto& host : hosts) {
        SCOPED_TRACE(host.address);
        ASSERT_EQ(sink.found.count(host.address), 1u);
        const std::string& mac = sink.found[host.address];
        EXPECT_EQ(mac, host.MacDigits());
        EXPECT_EQ(VendorColumnText(VendorTableData(), VendorTableSize(), mac), vendors.at(mac.substr(0, 6)));
        EXPECT_EQ(names[host.address], host.name.empty() ? "n/a" : host.name);
    }
    EXPECT_EQ(names[kMonitorAddress], "monitor.lanwick.test");
}

TEST(LanSweep, TwentySweepsAtEightyWorkersFindEveryHostEveryTime) {
    LANWICK_REQUIRE_LAN();
    const auto& hosts = CLan::Get().Hosts();
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE("sweep " + std::to_string(round));
        CSweepSink sink;
        Sweep(80, sink);
        ASSERT_EQ(sink.done, 1);
        for (const auto& host : hosts) {
            ASSERT_EQ(sink.found.count(host.address), 1u) << host.address << " missed";
            EXPECT_EQ(sink.found[host.address], host.MacDigits());
        }
        EXPECT_EQ(sink.found.size(), hosts.size() + 1);
    }
}

} // namespace
} // namespace lanwick
