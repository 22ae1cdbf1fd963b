// Scan workers with fake probes: the walk, the skipped last bytes, progress, cancelling and the single end report.
#include "discovery/ScanWorker.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>

namespace lanwick {
namespace {

using namespace std::chrono_literals;

class CRecordingSink final : public IScanSink {
public:
    void OnScanFound(const std::string& strAddress, const std::string& strMac) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        EXPECT_EQ(m_nDone, 0) << "a report after the end";
        found.emplace_back(strAddress, strMac);
    }
    void OnScanStep() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        EXPECT_EQ(m_nDone, 0) << "a step after the end";
        ++steps;
    }
    void OnScanDone() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_nDone;
    }
    bool WaitDone(std::chrono::seconds limit) {
        return test::WaitUntil([this] { return DoneCount() > 0; }, limit);
    }
    int DoneCount() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_nDone;
    }

    std::vector<std::pair<std::string, std::string>> found;
    std::uint64_t steps = 0;

private:
    std::mutex m_mutex;
    int m_nDone = 0;
};

// Answers for addresses whose last number is divisible by 3; records every probed address.
struct CFakeNetwork {
    ScanProbes Probes() {
        ScanProbes p;
        p.ping = [this](const std::string& a) {
            std::lock_guard<std::mutex> lock(mutex);
            EXPECT_TRUE(probed.insert(a).second) << a << " probed twice";
            return std::stoi(a.substr(a.rfind('.') + 1)) % 3 == 0 ? 2 : -1;
        };
        p.mac = [](const std::string& a) {
            return a.substr(a.rfind('.') + 1) == "9" ? "000000000000" : "00A0C9120009";
        };
        return p;
    }
    std::mutex mutex;
    std::set<std::string> probed;
};

TEST(ScanWorker, ProbesEveryAddressButLastBytes0And255AndStepsForAll) {
    CRecordingSink sink;
    CFakeNetwork net;
    ScanJob job(sink, net.Probes(), {});
    ScanWorker({{10, 0, 1, 250}, {10, 0, 2, 3}}, job); // backwards last byte: nothing
    EXPECT_EQ(sink.steps, 0u);
    ScanWorker({{10, 0, 1, 0}, {10, 0, 2, 255}}, job);
    EXPECT_EQ(sink.steps, 512u);
    EXPECT_EQ(net.probed.size(), 508u);
    EXPECT_EQ(net.probed.count("10.0.1.0") + net.probed.count("10.0.2.255"), 0u);
    ASSERT_EQ(sink.found.size(), 2u * 84u); // 3, 6, ... 252 in each /24
    EXPECT_EQ(sink.found.front(), std::make_pair(std::string("10.0.1.3"), std::string("00A0C9120009")));
    EXPECT_EQ(sink.found[2], std::make_pair(std::string("10.0.1.9"), std::string("000000000000")));
    EXPECT_EQ(sink.DoneCount(), 0) << "a lone walk does not end the scan";
}

TEST(ScanWorkers, ASweepReportsEachAnswerOnceAndEndsOnceAlsoWhenASecondStartsAtOnceOrHasNoBlocks) {
    CRecordingSink first, second, empty;
    CFakeNetwork net;
    CScanWorkers workers;
    workers.Start(DivideRange({10, 0, 0, 0}, {10, 0, 3, 255}, 80), net.Probes(), first);
    workers.Start(DivideRange({10, 0, 4, 1}, {10, 0, 4, 20}, 10), net.Probes(), second);
    ASSERT_TRUE(second.WaitDone(30s));
    workers.Join();
    EXPECT_EQ(first.DoneCount(), 1);
    EXPECT_EQ(first.steps, 4u * 254u);
    EXPECT_EQ(first.found.size(), 4u * 84u);
    EXPECT_EQ(second.DoneCount(), 1);
    EXPECT_EQ(second.found.size(), 6u);
    EXPECT_EQ(net.probed.size(), 4u * 254u + 20u);
    EXPECT_EQ(workers.RunningWorkers(), 0);
    workers.Start({}, ScanProbes{}, empty);
    EXPECT_EQ(empty.DoneCount(), 1) << "no blocks: the end at once";
    EXPECT_EQ(workers.RunningWorkers(), 0);
}

TEST(ScanWorkers, ExactlyOneEndUnderManyQuickWorkers) {
    // Instant probes make workers end while others are still being started: the end must still come once.
    for (int round = 0; round < 100; ++round) {
        CRecordingSink sink;
        CScanWorkers workers;
        std::vector<ScanRange> blocks(80, ScanRange{{10, 0, 0, 1}, {10, 0, 0, 1}});
        ScanProbes probes{[](const std::string&) { return 0; }, [](const std::string&) { return "000000000000"; }};
        workers.Start(blocks, probes, sink);
        ASSERT_TRUE(sink.WaitDone(30s));
        workers.Join();
        ASSERT_EQ(sink.DoneCount(), 1) << "round " << round;
        ASSERT_EQ(sink.found.size(), 80u);
        ASSERT_EQ(sink.steps, 80u);
    }
}

TEST(ScanWorkers, CancelStopsWorkersBeforeTheirNextAddressAndStillEnds) {
    CRecordingSink sink;
    CScanWorkers workers;
    std::mutex gate;
    std::unique_lock<std::mutex> closed(gate);
    std::atomic<int> nProbing{0};
    ScanProbes probes;
    probes.ping = [&gate, &nProbing](const std::string&) {
        ++nProbing;
        std::lock_guard<std::mutex> wait(gate); // every probe waits until the test opens the gate
        return -1;
    };
    probes.mac = [](const std::string&) { return std::string(); };
    workers.Start(DivideRange({10, 0, 0, 0}, {10, 0, 0, 255}, 10), probes, sink);
    EXPECT_TRUE(test::WaitUntil([&] { return nProbing.load() == 10; }, 30s)) << "every worker at its first address";
    workers.Cancel();
    closed.unlock();
    ASSERT_TRUE(sink.WaitDone(30s));
    workers.Join();
    EXPECT_EQ(sink.DoneCount(), 1);
    EXPECT_LE(sink.steps, 10u) << "each worker finishes at most the address it was probing";
}

TEST(ScanWorkers, DestroyingWaitsForTheWorkers) {
    CRecordingSink sink;
    {
        CScanWorkers workers;
        ScanProbes probes{[](const std::string&) {
                              std::this_thread::sleep_for(5ms);
                              return -1;
                          },
                          [](const std::string&) { return std::string(); }};
        workers.Start(DivideRange({10, 0, 0, 0}, {10, 0, 0, 255}, 80), probes, sink);
    }
    EXPECT_EQ(sink.DoneCount(), 1);
}

} // namespace
} // namespace lanwick
