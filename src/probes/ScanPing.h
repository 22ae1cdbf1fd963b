// The scan probe of the range scan workers: timed with the tick count, safe to run in many threads at once.
#pragma once

#include "platform/Icmp.h"
#include "probes/ProbeClock.h"

#include <cstdint>
#include <string>

namespace lanwick {

enum ScanPingCode : std::int32_t {
    kScanNoAnswer = -1,
    kScanNoSocket = -11,
    kScanBadAddress = -14,
    kScanNoBuffer = -15,
    kScanSendFailed = -16,
    kScanReceiveFailed = -17,
};

// Mean round trip in milliseconds of `attempts` requests with `payload` bytes of fill (0 selects 32) to the
// dotted address `host`, or one of the codes above. A time-out ends the probe at once with -1; `pause` ms
// follows every attempt when there are several. An attempt count of 0 is taken as 1.
std::int32_t ScanPing(const std::string& host, unsigned pause, unsigned attempts, unsigned payload,
                      platform::IIcmpSocketFactory& sockets = platform::SystemIcmpSockets(),
                      IProbeClock& clock = SystemProbeClock());

} // namespace lanwick
