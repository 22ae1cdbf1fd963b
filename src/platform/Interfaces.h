// The IPv4 subnets of this machine's interfaces, as far as the probes need them: their broadcast addresses, which
// a request must never be sent to (one request would draw an answer from every host of the subnet), and whether
// an address is on one of them.
#pragma once

#include "platform/Resolver.h"

#include <vector>

namespace lanwick::platform {

// The broadcast address of every subnet configured on an interface that is up, in the caller's network namespace.
std::vector<Ipv4> InterfaceBroadcasts();

// The addresses of this machine's interfaces that are up: a watch does not count the machine itself as a device.
std::vector<Ipv4> InterfaceAddresses();

// True when `address` lies in a subnet configured on an interface that is up: a host there is reached directly,
// and only there does asking for its hardware address make sense.
bool IsOnLink(const Ipv4& address);

} // namespace lanwick::platform
