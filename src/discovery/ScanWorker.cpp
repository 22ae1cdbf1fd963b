// Worker threads of the range scan: the walk of one block, and the start, cancel and end of a whole scan.
#include "discovery/ScanWorker.h"

#include <cstdio>
#include <system_error>

namespace lanwick {

namespace {

std::string FormatScanAddress(const IpAddress& ip) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", ip[0], ip[1], ip[2], ip[3]);
    return text;
}

// n workers leave the job; whoever brings the count to 0 reports the end, so it is reported exactly once.
void LeaveJob(ScanJob& job, int n) {
    if (job.m_nWorkers.fetch_sub(n, std::memory_order_acq_rel) == n)
        job.sink.OnScanDone();
}

void RunWorker(ScanJob& job) {
    while (!job.m_bCancel.load(std::memory_order_relaxed)) {
        const std::size_t i = job.m_nNextBlock.fetch_add(1, std::memory_order_relaxed);
        if (i >= job.blocks.size())
            break;
        ScanWorker(job.blocks[i], job);
    }
    LeaveJob(job, 1);
}

} // namespace

void ScanWorker(const ScanRange& range, ScanJob& job) {
    WalkScanRange(range, [&job](const IpAddress& ip) {
        if (job.m_bCancel.load(std::memory_order_relaxed))
            return false;
        // Last bytes 0 and 255 are the network and broadcast addresses of a /24: never probed, still counted.
        if (ip[3] != 0 && ip[3] != 255) {
            const std::string strAddress = FormatScanAddress(ip);
            if (job.probes.ping(strAddress) >= 0)
                job.sink.OnScanFound(strAddress, job.probes.mac(strAddress));
        }
        job.sink.OnScanStep();
        return true;
    });
}

CScanWorkers::~CScanWorkers() {
    Cancel();
    Join();
}

void CScanWorkers::Start(const std::vector<ScanRange>& blocks, ScanProbes probes, IScanSink& sink) {
    Join();
    m_pJob = std::make_unique<ScanJob>(sink, std::move(probes), blocks);
    ScanJob& job = *m_pJob;
    const int count = static_cast<int>(blocks.size());
    // The count is set in full before any thread runs: a quick first worker must not see it reach 0 early.
    job.m_nWorkers.store(count, std::memory_order_relaxed);
    if (count == 0) {
        sink.OnScanDone();
        return;
    }
    m_threads.reserve(blocks.size());
    for (int i = 0; i < count; ++i) {
        try {
            m_threads.emplace_back(RunWorker, std::ref(job));
        } catch (const std::system_error&) {
            // The threads already running take the remaining blocks.
            LeaveJob(job, count - i);
            return;
        }
    }
}

void CScanWorkers::Cancel() {
    if (m_pJob)
        m_pJob->m_bCancel.store(true, std::memory_order_relaxed);
}

void CScanWorkers::Join() {
    for (std::thread& t : m_threads)
        t.join();
    m_threads.clear();
}

int CScanWorkers::RunningWorkers() const {
    return m_pJob ? m_pJob->m_nWorkers.load(std::memory_order_acquire) : 0;
}

} // namespace lanwick
