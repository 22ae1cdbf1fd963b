// Wake-on-LAN on the namespace LAN: a listener in a host namespace stands in for the sleeping machine's card
// and sees every datagram that reaches port 7 (for at most 30 seconds).
#include "actions/WakeOnLan.h"
#include "lan/Lan.h"
#include "lan/UdpListener.h"
#include "platform/Resolver.h"

#include <gtest/gtest.h>

using namespace lanwick;
using namespace lanwick::test;

TEST(WakeOnLanLan, WakeMachineSendsOneMagicPacketToPort7OfTheBroadcastAddressAndAShortMacNothing) {
    LANWICK_REQUIRE_LAN();
    const LanHost& host = CLan::Get().Hosts().at(1);
    CUdpListener listener(host, LANWICK_UDP_LISTENER, "wol", 7, 30);
    ASSERT_TRUE(listener.WaitReady());
    const auto machine = [&](const std::string& mac) {
        return CMachine(platform::ParseIpv4(host.address).value(), mac, "Lab", host.name, 0);
    };

    EXPECT_EQ(SendMagicPacket(host.address, host.MacDigits().substr(0, 11)), kWolMacTooShort);
    EXPECT_EQ(WakeMachine(machine("")), kWolMacTooShort);
    EXPECT_EQ(WakeMachine(machine(host.MacDigits())), kWolSent);
    listener.Datagrams(1, 3000);
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // room for a second datagram, which must not come
    const auto datagrams = listener.Datagrams(1, 0);
    ASSERT_EQ(datagrams.size(), 1u);
    EXPECT_EQ(datagrams[0], MagicPacketLine(host.MacDigits()));
}
