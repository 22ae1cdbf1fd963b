// The magic packet, the digit rules and the broadcast address: pure computations, nothing is sent here (the LAN
// test sends).
#include "actions/WakeOnLan.h"

#include <gtest/gtest.h>

using namespace lanwick;

namespace {

// Six 0xFF, then `mac` twenty times, written out rather than computed as the code does.
MagicPacket PacketOf(const std::array<std::uint8_t, 6>& mac) {
    MagicPacket p;
    p.fill(0xFF);
    for (std::size_t offset = 6; offset < p.size(); offset += 6)
        std::copy(mac.begin(), mac.end(), p.begin() + static_cast<std::ptrdiff_t>(offset));
    return p;
}

} // namespace

TEST(MagicPacket, IsSixFFThenTheFirstTwelveCharactersAsSixBytesTwentyTimes) {
    const std::array<std::uint8_t, 6> intel{0x00, 0xA0, 0xC9, 0x12, 0x34, 0x56};
    const struct {
        const char* mac;
        std::optional<MagicPacket> expected;
    } cases[] = {
        {"00A0C9123456", PacketOf(intel)},
        {"00a0c9123456", PacketOf(intel)},
        {"00A0C9123456FFFF", PacketOf(intel)},
        {"", std::nullopt},
        {"00A0C912345", std::nullopt},
        // No separators skipped: colons are digits of value 0.
        {"00:A0:C9:12:34:56", PacketOf({0x00, 0x0A, 0x00, 0xC9, 0x01, 0x20})},
        // Digits past F keep their value and the pair is cut to 8 bits: (16 * 16 + 1), 16 + 35.
        {"G11Z-5000000", PacketOf({0x01, 0x33, 0x05, 0x00, 0x00, 0x00})},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BuildMagicPacket(c.mac), c.expected) << c.mac;
}

TEST(HexCharValue, FollowsTheDigitRules) {
    // 0x7F folds to 0x5F like a lower-case letter; codes from 0x80 are negative and give 0.
    const std::pair<char, int> cases[] = {{'0', 0},  {'1', 1},       {'9', 9},    {'A', 10},   {'F', 15},  {'a', 10},
                                          {'f', 15}, {'G', 16},      {'Z', 35},   {'z', 35},   {'-', 0},   {':', 0},
                                          {'\0', 0}, {'\x7f', 0x28}, {'\x80', 0}, {'\xC9', 0}, {'\xFF', 0}};
    for (const auto& [c, value] : cases)
        EXPECT_EQ(HexCharValue(c), value) << int(static_cast<unsigned char>(c));
}

TEST(BroadcastAddress, IsAddressOrNotMaskAndInvalidTextCountsAsAllOnes) {
    const struct {
        const char *address, *mask, *expected;
    } cases[] = {
        {"192.168.1.10", kWolMask, "192.168.1.255"},
        {"10.0.0.5", kWolMask, "10.0.0.255"},
        {"172.16.4.200", kWolMask, "172.16.4.255"},
        {"not an address", kWolMask, "255.255.255.255"},
        {"", kWolMask, "255.255.255.255"},
        {"192.168.1.10", "bad mask", "192.168.1.10"},
        {"192.168.1.10", "255.255.0.0", "192.168.255.255"},
        {"192.168.1.10", "255.255.255.252", "192.168.1.11"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetBroadcastAddress(c.address, c.mask), c.expected) << c.address << " / " << c.mask;
}

TEST(WakeMachine, SendsTheMachinesAddressAndMacTextAndGivesTheSendersCode) {
    std::vector<std::string> sent;
    const auto fake = [&](const std::string& address, const std::string& mac) {
        sent.push_back(address + " " + mac);
        return kWolSendFailed;
    };
    EXPECT_EQ(WakeMachine(CMachine({192, 168, 1, 10}, "00A0C9123456", "Lab", "pc1", 0), fake), kWolSendFailed);
    WakeMachine(CMachine({10, 0, 200, 255}, "", "Lab", "pc2", 0), fake);
    EXPECT_EQ(sent, (std::vector<std::string>{"192.168.1.10 00A0C9123456", "10.0.200.255 "}));
}
