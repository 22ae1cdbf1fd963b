// Magic packet, broadcast address and the single datagram that carries the packet.
#include "actions/WakeOnLan.h"

#include "platform/Resolver.h"
#include "platform/Sockets.h"
#include "platform/Udp.h"

namespace lanwick {

namespace {

constexpr std::size_t kMacDigits = 12;
constexpr std::size_t kMacRepeats = 20;

std::uint32_t ToHostOrder(const platform::Ipv4& a) {
    return static_cast<std::uint32_t>(a[0]) << 24 | static_cast<std::uint32_t>(a[1]) << 16 |
           static_cast<std::uint32_t>(a[2]) << 8 | a[3];
}

platform::Ipv4 FromHostOrder(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v)};
}

// As inet_addr: a text that does not parse gives all ones.
std::uint32_t ParseOrAllOnes(const std::string& text) {
    const auto parsed = platform::ParseIpv4(text);
    return parsed ? ToHostOrder(*parsed) : 0xFFFFFFFFu;
}

} // namespace

std::uint8_t HexCharValue(char c) {
    int code = static_cast<signed char>(c);
    if (code >= 0x61)
        code -= 0x20;
    if (code >= 0x41)
        return static_cast<std::uint8_t>(code - 0x37);
    if (code >= '1' && code <= '9')
        return static_cast<std::uint8_t>(code - 0x30);
    return 0;
}

std::string GetBroadcastAddress(const std::string& strAddress, const std::string& strMask) {
    const std::uint32_t address = ParseOrAllOnes(strAddress);
    const std::uint32_t mask = ParseOrAllOnes(strMask);
    const std::uint32_t broadcast = (address & mask) | ~mask;
    return platform::FormatIpv4(FromHostOrder(broadcast));
}

std::optional<MagicPacket> BuildMagicPacket(const std::string& strMac) {
    if (strMac.size() < kMacDigits)
        return std::nullopt;
    std::array<std::uint8_t, 6> mac{};
    for (std::size_t i = 0; i < mac.size(); ++i)
        mac[i] = static_cast<std::uint8_t>((HexCharValue(strMac[2 * i]) << 4) + HexCharValue(strMac[2 * i + 1]));
    MagicPacket packet{};
    for (std::size_t i = 0; i < 6; ++i)
        packet[i] = 0xFF;
    for (std::size_t r = 0; r < kMacRepeats; ++r)
        for (std::size_t i = 0; i < mac.size(); ++i)
            packet[6 + r * mac.size() + i] = mac[i];
    return packet;
}

int SendMagicPacket(const std::string& strAddress, const std::string& strMac) {
    const auto packet = BuildMagicPacket(strMac);
    if (!packet)
        return kWolMacTooShort;
    const platform::Ipv4 to = FromHostOrder(ParseOrAllOnes(GetBroadcastAddress(strAddress, kWolMask)));
    // Released only when started: a failed start holds no reference, and releasing anyway would drop the
    // main window's own.
    const bool started = platform::SocketsStartup();
    int result = kWolSent;
    {
        platform::CUdpSocket socket;
        if (!socket.Open())
            result = kWolSocketFailed;
        else if (!socket.SetBroadcast(true))
            result = kWolBroadcastFailed;
        else if (!socket.SendTo(packet->data(), packet->size(), to, kWolPort))
            result = kWolSendFailed;
    }
    if (started)
        platform::SocketsCleanup();
    return result;
}

int WakeMachine(const CMachine& machine, const MagicPacketSender& send) {
    return send(FormatAddress(machine.m_ip), machine.m_strMac);
}

std::string WakeFailureText(int nResult, const std::string& strMac) {
    switch (nResult) {
    case kWolSocketFailed:
        return "no UDP socket could be opened";
    case kWolBroadcastFailed:
        return "broadcasting was refused on the UDP socket";
    case kWolSendFailed:
        return "the magic packet could not be sent";
    case kWolMacTooShort:
        return "its MAC address \"" + strMac + "\" is not twelve hexadecimal digits";
    default:
        return "failed with code " + std::to_string(nResult);
    }
}

} // namespace lanwick
