// The probes a scan worker uses on a real network, kept apart so that tests with fakes need no sockets.
#include "discovery/ScanWorker.h"
#include "probes/Lookups.h"
#include "probes/ScanPing.h"

namespace lanwick {

ScanProbes RealScanProbes() {
    ScanProbes probes;
    probes.ping = [](const std::string& strAddress) { return static_cast<int>(ScanPing(strAddress, 100, 1, 0)); };
    probes.mac = [](const std::string& strAddress) { return GetMacAddress(strAddress); };
    return probes;
}

} // namespace lanwick
