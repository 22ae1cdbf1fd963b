// Echo request bytes, the Internet checksum and the first look at a received datagram.
#include "probes/EchoRequest.h"

#include <cstring>

namespace lanwick {

std::uint16_t InternetChecksum(const std::uint8_t* data, std::size_t size) {
    std::uint32_t sum = 0;
    std::size_t i = 0;
    for (; i + 1 < size; i += 2) {
        std::uint16_t word = 0;
        std::memcpy(&word, data + i, 2);
        sum += word;
    }
    if (i < size) {
        // The lone last byte in the low-address half of a word whose other byte is 0, in memory order.
        const std::uint8_t last[2] = {data[i], 0};
        std::uint16_t word = 0;
        std::memcpy(&word, last, 2);
        sum += word;
    }
    sum = (sum >> 16) + (sum & 0xFFFF);
    sum += sum >> 16;
    return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

std::uint16_t ReadLe16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

void WriteLe16(std::uint8_t* p, std::uint16_t value) {
    p[0] = static_cast<std::uint8_t>(value & 0xFF);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}

namespace {

// The checksum is summed in memory order, so it goes back into the packet in memory order too.
void StoreChecksum(std::uint8_t* packet, std::size_t size) {
    packet[2] = 0;
    packet[3] = 0;
    const std::uint16_t sum = InternetChecksum(packet, size);
    std::memcpy(packet + 2, &sum, 2);
}

void WriteLe32(std::uint8_t* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A double in little-endian byte order, whatever the processor's.
void WriteLeDouble(std::uint8_t* p, double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, 8);
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

} // namespace

MonitorRequest BuildMonitorRequest(std::uint16_t identifier, std::uint16_t sequence, double stampUs) {
    MonitorRequest r{};
    r[0] = kIcmpEchoRequest;
    WriteLe16(&r[4], identifier);
    WriteLe16(&r[6], sequence);
    WriteLeDouble(&r[16], stampUs);
    for (std::size_t i = 24; i < kMonitorRequestSize; ++i)
        r[i] = static_cast<std::uint8_t>(0x20 + (i - 24));
    StoreChecksum(r.data(), r.size());
    return r;
}

std::size_t BuildScanRequest(std::uint8_t* buffer, std::uint16_t identifier, std::uint16_t sequence,
                             std::uint32_t stampMs, std::size_t payload) {
    const std::size_t size = kScanHeaderSize + payload;
    std::memset(buffer, 0, kScanHeaderSize);
    buffer[0] = kIcmpEchoRequest;
    WriteLe16(buffer + 4, identifier);
    WriteLe16(buffer + 6, sequence);
    WriteLe32(buffer + 8, stampMs);
    std::memset(buffer + kScanHeaderSize, 'E', payload);
    StoreChecksum(buffer, size);
    return size;
}

std::optional<IcmpMessage> ParseIcmp(const std::uint8_t* datagram, std::size_t size, bool withIpHeader) {
    std::size_t offset = 0;
    if (withIpHeader) {
        if (size < 20)
            return std::nullopt;
        offset = static_cast<std::size_t>(datagram[0] & 0x0F) * 4;
        if (offset < 20)
            return std::nullopt;
    }
    if (size < offset + 8)
        return std::nullopt;
    IcmpMessage m;
    m.data = datagram + offset;
    m.size = size - offset;
    m.type = m.data[0];
    m.identifier = ReadLe16(m.data + 4);
    m.sequence = ReadLe16(m.data + 6);
    return m;
}

} // namespace lanwick
