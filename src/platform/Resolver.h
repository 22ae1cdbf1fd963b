// Host name resolution both ways through the system resolver (hosts file, then DNS).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace lanwick::platform {

using Ipv4 = std::array<std::uint8_t, 4>; // byte 0 is the first number of the dotted form

// Parses a strict dotted IPv4 text ("a.b.c.d", each 0..255) the way inet_addr accepts it; no lookup.
std::optional<Ipv4> ParseIpv4(const std::string& text);
// Forward lookup: a dotted address or a host name to its first IPv4 address.
std::optional<Ipv4> ForwardLookup(const std::string& host);
// Forward lookup that also gives the official (canonical) name of the host, as a host entry does.
struct HostEntry {
    Ipv4 address{};
    std::string strOfficialName;
};
std::optional<HostEntry> LookupHost(const std::string& host);
// Reverse lookup: the official name of the address, or nothing.
std::optional<std::string> ReverseLookup(const Ipv4& address);
// "%u.%u.%u.%u"
std::string FormatIpv4(const Ipv4& address);

} // namespace lanwick::platform
