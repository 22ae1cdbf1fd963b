// Host name resolution both ways through the system resolver (hosts file, then DNS).
#pragma once

#include <array>
#include <cstddef>
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
// "%u.%u.%u.%u", the one dotted form of every list, file and message. Built by hand: the machine file writer and
// every pass call it once per machine.
inline std::string FormatIpv4(const Ipv4& address) {
    std::string strText;
    strText.reserve(15);
    for (std::size_t i = 0; i < address.size(); ++i) {
        if (i > 0)
            strText += '.';
        const unsigned value = address[i];
        if (value >= 100)
            strText += static_cast<char>('0' + value / 100);
        if (value >= 10)
            strText += static_cast<char>('0' + value / 10 % 10);
        strText += static_cast<char>('0' + value % 10);
    }
    return strText;
}

} // namespace lanwick::platform
