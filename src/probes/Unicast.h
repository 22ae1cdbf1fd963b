// The one rule for where a request may go: to a single host. A request to a broadcast or multicast address would
// draw answers from hosts that were never asked about, and show their answer as the target's.
#pragma once

#include "platform/Resolver.h"

#include <string>
#include <vector>

namespace lanwick {

// Empty when `address` is a single host's: otherwise why not, in a few words for a message ("a multicast
// address"). Refused: "this network" 0.0.0.0/8, multicast 224.0.0.0/4, reserved 240.0.0.0/4 with the limited
// broadcast, and each of `broadcasts`. Loopback is a host.
std::string WhyNotUnicast(const platform::Ipv4& address, const std::vector<platform::Ipv4>& broadcasts);

// The same against the broadcast addresses of this machine's interfaces, read at the call.
std::string WhyNotUnicast(const platform::Ipv4& address);

} // namespace lanwick
