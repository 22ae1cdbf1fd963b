// Wake-on-LAN: the magic packet built from a machine's MAC text, sent as one UDP datagram with broadcasting on
// to port 7 of the directed broadcast address of the machine's /24 network. Nothing waits for an answer.
#pragma once

#include "registry/Machine.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace lanwick {

// Results of SendMagicPacket.
inline constexpr int kWolSent = 0;
inline constexpr int kWolSocketFailed = -5;    // no UDP socket
inline constexpr int kWolBroadcastFailed = -6; // SO_BROADCAST refused
inline constexpr int kWolSendFailed = -7;      // the datagram did not go out
inline constexpr int kWolMacTooShort = -8;     // fewer than twelve MAC characters: nothing was sent

inline constexpr std::size_t kMagicPacketSize = 126;
inline constexpr std::uint16_t kWolPort = 7;
// Deliberately fixed: every machine is taken to live in a /24, whatever the real network.
inline constexpr const char* kWolMask = "255.255.255.0";

using MagicPacket = std::array<std::uint8_t, kMagicPacketSize>;

// The value of one MAC digit, on the character's code taken as signed: lower case folds to upper, 'A' and later
// give code - 0x37 (so 'G' gives 16), '1' to '9' their value, and '0', punctuation and codes 0x80-0xFF give 0.
std::uint8_t HexCharValue(char c);

// (address AND mask) OR (NOT mask) as dotted text; a text that is no valid address counts as 255.255.255.255.
std::string GetBroadcastAddress(const std::string& strAddress, const std::string& strMask);

// Six 0xFF bytes, then the six MAC bytes 20 times (deliberately 20, not 16: receivers take the 126-byte form).
// Characters 0 to 11 make the bytes, no separators skipped; nothing when the text has fewer than twelve.
std::optional<MagicPacket> BuildMagicPacket(const std::string& strMac);

// Why a wake did not happen, for a message after "Cannot wake NAME: ": the MAC (as stored) for kWolMacTooShort,
// the failing step otherwise.
std::string WakeFailureText(int nResult, const std::string& strMac);

// Builds the packet and broadcasts it to port 7 of the address's /24 broadcast address; one of the kWol codes.
int SendMagicPacket(const std::string& strAddress, const std::string& strMac);

using MagicPacketSender = std::function<int(const std::string& strAddress, const std::string& strMac)>;

// The Wake-on-LAN command for one machine: its m_ip as "%d.%d.%d.%d" and its m_strMac go to `send`.
int WakeMachine(const CMachine& machine, const MagicPacketSender& send = SendMagicPacket);

} // namespace lanwick
