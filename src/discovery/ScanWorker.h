// The range scan's worker threads: each walks its block, probes every address whose last byte is 1 to 254 and
// reports answers, progress and, once after the last worker, the end of the scan.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "discovery/RangeDivision.h"

namespace lanwick {

// Receives one scan's reports. Called on the worker threads, possibly several at once.
class IScanSink {
public:
    virtual ~IScanSink() = default;
    // An address answered: its dotted text ("%d.%d.%d.%d") and MAC text (twelve digits, zeros without ARP answer).
    virtual void OnScanFound(const std::string& strAddress, const std::string& strMac) = 0;
    // One combination of the walk visited, probed or skipped.
    virtual void OnScanStep() = 0;
    // Every worker has ended; sent exactly once per scan, after every other report of that scan.
    virtual void OnScanDone() = 0;
};

// What a worker asks the network; tests give fakes, the program RealScanProbes.
struct ScanProbes {
    std::function<int(const std::string& strAddress)> ping; // round trip in ms, negative for no answer
    std::function<std::string(const std::string& strAddress)> mac;
};

// ScanPing with pause 100 ms, 1 attempt, payload 0, and GetMacAddress.
ScanProbes RealScanProbes();

// State the workers of one scan share.
struct ScanJob {
    ScanJob(IScanSink& s, ScanProbes p, std::vector<ScanRange> b)
        : sink(s), probes(std::move(p)), blocks(std::move(b)) {}
    IScanSink& sink;
    const ScanProbes probes;
    const std::vector<ScanRange> blocks;
    std::atomic<std::size_t> m_nNextBlock{0}; // workers take blocks in turn, so every block is walked
    std::atomic<int> m_nWorkers{0};           // running workers; the one that brings it to 0 reports the end
    std::atomic<bool> m_bCancel{false};
};

// Walks one block: probes each address whose last byte is 1 to 254 and steps the progress for every
// combination. Returns early, before its next address, once the job is cancelled.
void ScanWorker(const ScanRange& range, ScanJob& job);

// Starts and owns the worker threads of one scan at a time.
class CScanWorkers {
public:
    CScanWorkers() = default;
    // Cancels and waits, so that no worker outlives the sink it reports to.
    ~CScanWorkers();
    CScanWorkers(const CScanWorkers&) = delete;
    CScanWorkers& operator=(const CScanWorkers&) = delete;

    // One thread per block; should the system refuse some threads, the others walk their blocks. The sink must
    // outlive the threads (until Join or destruction). With no blocks, or when no thread could be started,
    // OnScanDone comes at once on the calling thread. Waits for a previous scan first.
    void Start(const std::vector<ScanRange>& blocks, ScanProbes probes, IScanSink& sink);
    // Asks every worker to stop before its next address; OnScanDone still follows.
    void Cancel();
    // Waits for every thread of the current scan.
    void Join();
    // Workers that have not yet ended.
    int RunningWorkers() const;

private:
    std::unique_ptr<ScanJob> m_pJob;
    std::vector<std::thread> m_threads;
};

} // namespace lanwick
