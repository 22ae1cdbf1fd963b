// The sweep shared by "scan" and "watch".
#include "cli/Sweep.h"

#include <unordered_map>

#include "cli/Args.h"
#include "discovery/RangeDivision.h"
#include "platform/Interfaces.h"
#include "probes/Lookups.h"
#include "probes/PingEngine.h"
#include "probes/Unicast.h"

namespace lanwick::cli {

void RequireSweepRange(const IpAddress& start, const IpAddress& end, const std::string& strStart,
                       const std::string& strEnd) {
    const std::string strRange = "range " + strStart + " to " + strEnd + " refused: ";
    if (!IsValidScanRange(start, end)) {
        if (start[0] != end[0])
            throw CCliError(strRange + "START and END must have the same first number");
        if (start[1] > end[1])
            throw CCliError(strRange + "the second number must not go down from START to END");
        throw CCliError(strRange + "END must lie above START in its last two numbers");
    }
    const std::string strWhy = WhyNotUnicast({start[0], start[1], start[2], 1}, {});
    if (!strWhy.empty())
        throw CCliError(strRange + strStart + " is " + strWhy + ", not a single host");
}

std::vector<std::string> SweepAddresses(const IpAddress& start, const IpAddress& end) {
    const std::vector<platform::Ipv4> broadcasts = platform::InterfaceBroadcasts();
    std::vector<std::string> addresses;
    for (const ScanRange& block : DivideRange(start, end, 1)) {
        WalkScanRange(block, [&](const IpAddress& a) {
            if (a[3] >= 1 && a[3] <= 254 && WhyNotUnicast({a[0], a[1], a[2], a[3]}, broadcasts).empty())
                addresses.push_back(FormatAddress(a));
            return true;
        });
    }
    return addresses;
}

std::vector<SweepHit> SweepOnce(CPingEngine& engine, const std::vector<std::string>& addresses) {
    const std::vector<std::int32_t> results = engine.PingAll(addresses, 1, 0);
    std::vector<SweepHit> hits;
    if (engine.IsCancelled())
        return hits;
    std::unordered_map<std::string, std::string> macs;
    for (auto& [strAddress, strMac] : KnownMacAddresses())
        macs.emplace(std::move(strAddress), std::move(strMac));
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        if (results[i] < 0)
            continue;
        const auto mac = macs.find(addresses[i]);
        hits.push_back({addresses[i], mac != macs.end() ? mac->second : std::string(12, '0')});
    }
    return hits;
}

} // namespace lanwick::cli
