// Wake-on-LAN on the namespace LAN: a listener in a host namespace stands in for the sleeping machine's card
// and sees every datagram that reaches port 7.
#include "actions/WakeOnLan.h"
#include "lan/Lan.h"
#include "lan/UdpListener.h"
#include "platform/Resolver.h"

#include <gtest/gtest.h>

using namespace lanwick;
using namespace lanwick::test;

namespace {

// Every listener of this file hears port 7 for at most 30 seconds.
class CListener : public CUdpListener {
public:
    CListener(const LanHost& host, const std::string& tag)
        : CUdpListener(host, LANWICK_UDP_LISTENER, "wol-" + tag, 7, 30) {}
};

CMachine MachineFor(const LanHost& host, const std::string& mac) {
    return CMachine(platform::ParseIpv4(host.address).value(), mac, "Lab", host.name, 0);
}

} // namespace

TEST(WakeOnLanLan, WakeMachineSendsOneMagicPacketToPort7OfTheBroadcastAddress) {
    LANWICK_REQUIRE_LAN();
    const LanHost& host = CLan::Get().Hosts().at(1);
    CListener listener(host, "one");
    ASSERT_TRUE(listener.WaitReady());

    EXPECT_EQ(WakeMachine(MachineFor(host, host.MacDigits())), kWolSent);
    listener.Datagrams(1, 3000);
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // room for a second datagram, which must not come
    const auto datagrams = listener.Datagrams(1, 0);
    ASSERT_EQ(datagrams.size(), 1u);
    EXPECT_EQ(datagrams[0], MagicPacketLine(host.MacDigits()));
}

TEST(WakeOnLanLan, LowerCaseMacSendsTheSameBytes) {
    LANWICK_REQUIRE_LAN();
    const LanHost& host = CLan::Get().Hosts().at(1);
    CListener listener(host, "lower");
    ASSERT_TRUE(listener.WaitReady());
    std::string lower = host.MacDigits();
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));

    EXPECT_EQ(SendMagicPacket(host.address, lower), kWolSent);
    const auto datagrams = listener.Datagrams(1, 3000);
    ASSERT_EQ(datagrams.size(), 1u);
    EXPECT_EQ(datagrams[0], MagicPacketLine(host.MacDigits()));
}

TEST(WakeOnLanLan, ShortMacSendsNothing) {
    LANWICK_REQUIRE_LAN();
    const LanHost& host = CLan::Get().Hosts().at(1);
    CListener listener(host, "short");
    ASSERT_TRUE(listener.WaitReady());

    EXPECT_EQ(SendMagicPacket(host.address, host.MacDigits().substr(0, 11)), kWolMacTooShort);
    EXPECT_EQ(WakeMachine(MachineFor(host, "")), kWolMacTooShort);
    EXPECT_TRUE(listener.Datagrams(1, 500).empty());
}
