// What the monitor learns about an address besides its echo: host name, MAC address and the vendor of the MAC
// prefix, with the small text helpers that go with them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lanwick {

// Reverse lookup of a dotted address through the system resolver. Nothing when the probes could not run at all
// (no ICMP socket of either kind), when the text is not an address, or when the resolver knows no name.
std::optional<std::string> ResolveName(const std::string& address);

// The MAC of a neighbour as twelve upper-case hex digits, asking the network when needed; twelve zeros when
// nothing answers within about one second. Safe to call from many threads at once.
std::string GetMacAddress(const std::string& address);

// The MAC of every neighbour that answered lately, by dotted address, as GetMacAddress writes it, read from the
// neighbour table without asking the network: after a sweep, each host on the link that answered it.
std::vector<std::pair<std::string, std::string>> KnownMacAddresses();

// Display form: a colon before positions 2, 5, 8, 11 and 14 of the growing text ("001A2B3C0D5E" gives
// "00:1A:2B:3C:0D:5E"; shorter texts get the remaining colons at their end).
std::string FormatMac(std::string mac);

// Looks a six-digit prefix up in a vendor table (lines "XXXXXX,Name\r\n", first line of a prefix wins).
// Gives "Unknown vendor" when absent and "Error retreiving vendor name" when the matching line is malformed.
// A null table or size 0 is an empty table. Never reads outside [table, table + size).
std::string LookupVendor(const char* table, std::size_t size, const std::string& prefix);

// Lower-cases the text, then upper-cases its first character and every character after a space or a period
// (ASCII letters only, so that multi-byte text stays intact).
std::string CapitalizeWords(std::string text);

// Four numbers separated by dots, each reduced to its low 8 bits; no validation (a missing dot or a number
// above 255 gives what these rules give: "10.0.0.300" is 10, 0, 0, 44).
std::array<std::uint8_t, 4> ParseDottedAddress(const std::string& text);

} // namespace lanwick
