// The bytes of our ICMP echo requests and the reading of replies: the 56-byte monitoring request, the 12 + P byte
// scan request and the RFC 1071 checksum. Multi-byte fields are little-endian, as the requests have always been.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace lanwick {

inline constexpr std::size_t kMonitorRequestSize = 56;
inline constexpr std::size_t kScanHeaderSize = 12;
inline constexpr std::size_t kScanBufferSize = 1024;
inline constexpr std::size_t kScanDefaultPayload = 32;
inline constexpr std::uint8_t kIcmpEchoRequest = 8;
inline constexpr std::uint8_t kIcmpEchoReply = 0;

using MonitorRequest = std::array<std::uint8_t, kMonitorRequestSize>;

// RFC 1071: 16-bit words in memory order, an odd last byte as a word with high byte 0, folded twice, complemented.
// The result is stored in memory order too.
std::uint16_t InternetChecksum(const std::uint8_t* data, std::size_t size);

std::uint16_t ReadLe16(const std::uint8_t* p);
void WriteLe16(std::uint8_t* p, std::uint16_t value);

// The monitoring request: identifier, sequence, the send stamp (microseconds, a double at offset 16), fill
// 0x20 + i from offset 24, checksum over all 56 bytes.
MonitorRequest BuildMonitorRequest(std::uint16_t identifier, std::uint16_t sequence, double stampUs);

// Fills buffer[0, 12 + payload) with a scan request: identifier, sequence, the tick count at offset 8 and
// `payload` bytes of 'E'; returns its length. The buffer must hold kScanHeaderSize + payload bytes.
std::size_t BuildScanRequest(std::uint8_t* buffer, std::uint16_t identifier, std::uint16_t sequence,
                             std::uint32_t stampMs, std::size_t payload);

// The fields of a received ICMP message that decide whether it answers one of our requests.
struct IcmpMessage {
    std::uint8_t type = 0;
    std::uint16_t identifier = 0;
    std::uint16_t sequence = 0;
    const std::uint8_t* data = nullptr; // the ICMP message itself
    std::size_t size = 0;
};

// Reads a datagram as a raw socket (IP header first, its length from the header) or a datagram ICMP socket
// (the ICMP message alone) hands it over; nothing when it is too short to hold an echo header.
std::optional<IcmpMessage> ParseIcmp(const std::uint8_t* datagram, std::size_t size, bool withIpHeader);

} // namespace lanwick
