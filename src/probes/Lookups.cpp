// Name, MAC and vendor lookups of an address, and the text helpers that present their results.
#include "probes/Lookups.h"

#include "platform/Icmp.h"
#include "platform/Neighbour.h"
#include "platform/Resolver.h"

#include <cstring>

namespace lanwick {
namespace {

constexpr std::size_t kPrefixLength = 6;
constexpr std::size_t kNameSearch = 100; // a name and its carriage return fit in this many bytes

char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Offset of the next carriage return in the 100 bytes from `from`, never looking past the table's end.
std::optional<std::size_t> FindLineEnd(const char* table, std::size_t size, std::size_t from) {
    if (from >= size)
        return std::nullopt;
    std::size_t span = std::min(kNameSearch, size - from);
    const void* cr = std::memchr(table + from, '\r', span);
    if (!cr)
        return std::nullopt;
    return static_cast<std::size_t>(static_cast<const char*>(cr) - table);
}

bool PrefixMatches(const char* table, std::size_t size, std::size_t at, const std::string& prefix) {
    if (prefix.size() != kPrefixLength || size - at < kPrefixLength)
        return false;
    for (std::size_t i = 0; i < kPrefixLength; ++i)
        if (AsciiUpper(table[at + i]) != AsciiUpper(prefix[i]) || prefix[i] == '\0')
            return false;
    return true;
}

// atoi of the text, reduced to its low 8 bits (exact for any length, where atoi itself would overflow).
std::uint8_t LowByteOfNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    unsigned value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = (value * 10 + static_cast<unsigned>(text[i] - '0')) & 0xFF;
    return static_cast<std::uint8_t>(negative ? (0x100 - value) & 0xFF : value);
}

} // namespace

std::optional<std::string> ResolveName(const std::string& address) {
    // The lookup is made only where the probes could run, as the callers expect ("no name" otherwise).
    if (!platform::CanOpenIcmp())
        return std::nullopt;
    auto ip = platform::ParseIpv4(address);
    if (!ip)
        return std::nullopt;
    return platform::ReverseLookup(*ip);
}

namespace {
std::string MacDigits(const platform::Mac& mac) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text(12, '0');
    for (std::size_t i = 0; i < mac.size(); ++i) {
        text[2 * i] = kDigits[mac[i] >> 4];
        text[2 * i + 1] = kDigits[mac[i] & 0x0F];
    }
    return text;
}
} // namespace

std::string GetMacAddress(const std::string& address) {
    auto ip = platform::ParseIpv4(address);
    if (!ip)
        return std::string(12, '0');
    auto mac = platform::LookupNeighbour(*ip);
    return mac ? MacDigits(*mac) : std::string(12, '0');
}

std::vector<std::pair<std::string, std::string>> KnownMacAddresses() {
    std::vector<std::pair<std::string, std::string>> known;
    for (const auto& [address, mac] : platform::NeighbourTable())
        known.emplace_back(platform::FormatIpv4(address), MacDigits(mac));
    return known;
}

std::string FormatMac(std::string mac) {
    for (std::size_t at : {2, 5, 8, 11, 14})
        mac.insert(std::min(at, mac.size()), 1, ':');
    return mac;
}

std::string LookupVendor(const char* table, std::size_t size, const std::string& prefix) {
    static const char kError[] = "Error retreiving vendor name";
    if (!table)
        size = 0;
    try {
        std::size_t pos = 0;
        while (pos < size) {
            bool match = PrefixMatches(table, size, pos, prefix);
            pos += kPrefixLength + 1; // past the comma
            auto end = FindLineEnd(table, size, pos);
            if (match)
                return end ? std::string(table + pos, *end - pos) : kError;
            if (!end)
                break;
            pos = *end + 2; // past the line feed
        }
        return "Unknown vendor";
    } catch (...) {
        return kError;
    }
}

std::string CapitalizeWords(std::string text) {
    for (char& c : text)
        c = AsciiLower(c);
    if (text.empty())
        return text;
    text[0] = AsciiUpper(text[0]);
    for (std::size_t i = 1; i + 1 < text.size(); ++i)
        if (text[i] == ' ' || text[i] == '.')
            text[i + 1] = AsciiUpper(text[i + 1]);
    return text;
}

std::array<std::uint8_t, 4> ParseDottedAddress(const std::string& text) {
    std::array<std::uint8_t, 4> bytes{};
    std::size_t pos = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        std::size_t dot = text.find('.', pos);
        // Without a dot the rest of the text is this number and the later ones read an empty text (0).
        std::size_t end = dot == std::string::npos ? text.size() : dot;
        bytes[i] = LowByteOfNumber(text.substr(pos, end - pos));
        pos = dot == std::string::npos ? text.size() : dot + 1;
    }
    bytes[3] = LowByteOfNumber(text.substr(pos));
    return bytes;
}

} // namespace lanwick
