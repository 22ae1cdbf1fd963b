// The sweep of an address range that "scan" and "watch" share: the range's rules, its addresses, and one pass
// that pings them all at once and reads the MACs of those that answered from the neighbour table.
#pragma once

#include <string>
#include <vector>

#include "registry/Machine.h"

namespace lanwick {
class CPingEngine;
}

namespace lanwick::cli {

struct SweepHit {
    std::string strAddress;
    std::string strMac; // twelve upper-case digits, zeros without an ARP answer
};

// Refuses a range the window's scan dialog would refuse, and one that holds no single host's address at all.
void RequireSweepRange(const IpAddress& start, const IpAddress& end, const std::string& strStart,
                       const std::string& strEnd);

// The addresses of the range that the workers would probe, less the broadcast addresses of this machine's
// subnets (a /25's .127, say), which a request must never go to.
std::vector<std::string> SweepAddresses(const IpAddress& start, const IpAddress& end);

// Every address at once with one attempt; those that answered, in address order, with their MACs from the
// neighbour table that the sweep's own requests just filled. Empty when the engine was cancelled.
std::vector<SweepHit> SweepOnce(CPingEngine& engine, const std::vector<std::string>& addresses);

} // namespace lanwick::cli
