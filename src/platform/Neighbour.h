// MAC lookup of an IPv4 neighbour: makes the system resolve the address on the link and reads its answer from
// the neighbour (ARP) table.
#pragma once

#include "platform/Resolver.h"

#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace lanwick::platform {

using Mac = std::array<std::uint8_t, 6>;

// The hardware address of `address`, or nothing when no answer came within `timeoutMs`. Keeps no state, so
// any number of threads may call it at once.
std::optional<Mac> LookupNeighbour(const Ipv4& address, std::uint32_t timeoutMs = 1000);

// Every complete entry of the neighbour table as it stands, asking nothing on the link: right after a sweep, the
// hardware address of each host on the link that answered.
std::vector<std::pair<Ipv4, Mac>> NeighbourTable();

} // namespace lanwick::platform
