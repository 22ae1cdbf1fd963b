// The magic packet, the digit rules and the broadcast address: pure computations, nothing is sent here.
#include "actions/WakeOnLan.h"

#include <gtest/gtest.h>

using namespace lanwick;

namespace {

const MagicPacket& ExpectedFor00A0C9123456() {
    static const MagicPacket packet = [] {
        MagicPacket p{};
        const std::uint8_t mac[6] = {0x00, 0xA0, 0xC9, 0x12, 0x34, 0x56};
        for (int i = 0; i < 6; ++i)
            p[i] = 0xFF;
        for (int r = 0; r < 20; ++r)
            for (int i = 0; i < 6; ++i)
                p[6 + r * 6 + i] = mac[i];
        return p;
    }();
    return packet;
}

CMachine Machine(IpAddress ip, const std::string& mac) {
    return CMachine(ip, mac, "Lab", "pc1", 0);
}

} // namespace

TEST(MagicPacket, IsSixFFThenTheMacTwentyTimes) {
    const auto packet = BuildMagicPacket("00A0C9123456");
    ASSERT_TRUE(packet.has_value());
    ASSERT_EQ(packet->size(), 126u);
    EXPECT_EQ(*packet, ExpectedFor00A0C9123456());
    for (std::size_t offset = 6; offset <= 120; offset += 6) {
        EXPECT_EQ((*packet)[offset], 0x00) << offset;
        EXPECT_EQ((*packet)[offset + 1], 0xA0) << offset;
        EXPECT_EQ((*packet)[offset + 5], 0x56) << offset;
    }
}

TEST(MagicPacket, LowerCaseMacGivesTheSamePacket) {
    EXPECT_EQ(BuildMagicPacket("00a0c9123456"), BuildMagicPacket("00A0C9123456"));
}

TEST(MagicPacket, UsesOnlyTheFirstTwelveCharacters) {
    EXPECT_EQ(BuildMagicPacket("00A0C9123456FFFF"), BuildMagicPacket("00A0C9123456"));
}

TEST(MagicPacket, MacShorterThanTwelveCharactersGivesNoPacket) {
    EXPECT_FALSE(BuildMagicPacket("").has_value());
    EXPECT_FALSE(BuildMagicPacket("00A0C912345").has_value());
    // A colon form is long enough and is read as it is, colons as digits of value 0.
    EXPECT_TRUE(BuildMagicPacket("00:A0:C9:12:34:56").has_value());
}

TEST(MagicPacket, ShortMacCodeIsANegativeCodeOfItsOwn) {
    // SendMagicPacket itself is driven inside the test LAN (lan/WakeOnLanLanTest.cpp): nothing is sent from here.
    EXPECT_LT(kWolMacTooShort, 0);
    for (int code : {kWolSent, kWolSocketFailed, kWolBroadcastFailed, kWolSendFailed})
        EXPECT_NE(kWolMacTooShort, code);
}

TEST(HexCharValue, FollowsTheDigitRules) {
    EXPECT_EQ(HexCharValue('0'), 0);
    EXPECT_EQ(HexCharValue('1'), 1);
    EXPECT_EQ(HexCharValue('9'), 9);
    EXPECT_EQ(HexCharValue('A'), 10);
    EXPECT_EQ(HexCharValue('F'), 15);
    EXPECT_EQ(HexCharValue('a'), 10);
    EXPECT_EQ(HexCharValue('f'), 15);
    EXPECT_EQ(HexCharValue('G'), 16);
    EXPECT_EQ(HexCharValue('Z'), 35);
    EXPECT_EQ(HexCharValue('z'), 35);
    EXPECT_EQ(HexCharValue('-'), 0);
    EXPECT_EQ(HexCharValue(':'), 0);
    EXPECT_EQ(HexCharValue('\0'), 0);
    // 0x7F folds to 0x5F like a lower-case letter; codes from 0x80 are negative and give 0.
    EXPECT_EQ(HexCharValue('\x7f'), 0x28);
    EXPECT_EQ(HexCharValue(static_cast<char>(0x80)), 0);
    EXPECT_EQ(HexCharValue(static_cast<char>(0xC9)), 0);
    EXPECT_EQ(HexCharValue(static_cast<char>(0xFF)), 0);
}

TEST(HexCharValue, OddPairsMakeBytesInEightBits) {
    const auto packet = BuildMagicPacket("G11Z-5000000");
    ASSERT_TRUE(packet.has_value());
    EXPECT_EQ((*packet)[6], 0x01); // (16 * 16 + 1) in 8 bits
    EXPECT_EQ((*packet)[7], 0x33); // 16 + 35
    EXPECT_EQ((*packet)[8], 0x05); // '-' counts as 0
}

TEST(BroadcastAddress, IsTheSlash24BroadcastWithTheFixedMask) {
    EXPECT_EQ(GetBroadcastAddress("192.168.1.10", kWolMask), "192.168.1.255");
    EXPECT_EQ(GetBroadcastAddress("10.0.0.5", kWolMask), "10.0.0.255");
    EXPECT_EQ(GetBroadcastAddress("172.16.4.200", kWolMask), "172.16.4.255");
}

TEST(BroadcastAddress, InvalidTextCountsAsAllOnes) {
    EXPECT_EQ(GetBroadcastAddress("not an address", kWolMask), "255.255.255.255");
    EXPECT_EQ(GetBroadcastAddress("", kWolMask), "255.255.255.255");
    EXPECT_EQ(GetBroadcastAddress("192.168.1.10", "bad mask"), "192.168.1.10");
}

TEST(BroadcastAddress, FollowsOtherMasks) {
    EXPECT_EQ(GetBroadcastAddress("192.168.1.10", "255.255.0.0"), "192.168.255.255");
    EXPECT_EQ(GetBroadcastAddress("192.168.1.10", "255.255.255.252"), "192.168.1.11");
}

TEST(WakeMachine, SendsTheMachinesAddressAndMacText) {
    std::string sentAddress, sentMac;
    int calls = 0;
    const auto fake = [&](const std::string& address, const std::string& mac) {
        ++calls;
        sentAddress = address;
        sentMac = mac;
        return kWolSendFailed;
    };
    EXPECT_EQ(WakeMachine(Machine({192, 168, 1, 10}, "00A0C9123456"), fake), kWolSendFailed);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(sentAddress, "192.168.1.10");
    EXPECT_EQ(sentMac, "00A0C9123456");
    WakeMachine(Machine({10, 0, 200, 255}, ""), fake);
    EXPECT_EQ(sentAddress, "10.0.200.255");
    EXPECT_EQ(sentMac, "");
}
