// The monitoring probe: echo requests timed with the high-resolution counter, a mean round trip in microseconds.
#pragma once

#include "platform/Icmp.h"
#include "probes/ProbeClock.h"
#include "probes/Stopwatch.h"

#include <cstdint>
#include <string>

namespace lanwick {

// The process-wide sequence of monitoring requests: 1 for the first request of the process, then 2, 3, ...
// (low 16 bits). Shared by CPinger and CPingEngine, safe from any thread.
std::uint16_t NextMonitorSequence();

class CPinger {
public:
    explicit CPinger(platform::IIcmpSocketFactory& sockets = platform::SystemIcmpSockets(),
                     IProbeClock& clock = SystemProbeClock());

    // Mean round trip of `attempts` echo requests to `host` (dotted address or name) in whole microseconds;
    // negative when the timed-out attempts (each counting -1 us) outweigh the answered ones, -1 when nothing
    // answered, the host does not resolve, no ICMP socket can be opened or waiting failed. `pause` ms follows
    // every answered attempt. An attempt count of 0 is taken as 1.
    std::int32_t Ping(unsigned attempts, const std::string& host, unsigned pause);

private:
    platform::IIcmpSocketFactory& m_sockets;
    IProbeClock& m_clock;
    CStopwatch m_stopwatch;
};

} // namespace lanwick
