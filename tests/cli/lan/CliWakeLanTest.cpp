// lanwick-cli wake on the namespace LAN: a UDP listener in a host namespace stands in for the sleeping card and
// must see exactly the packets of the accepted calls and none of the refused ones.
#include "cli/CliRun.h"
#include "lan/Lan.h"
#include "lan/UdpListener.h"
#include "registry/MachineList.h"

#include <gtest/gtest.h>

namespace lanwick::test {
namespace {

TEST(CliWakeLan, EveryWayOfNamingAMachineSendsItsMagicPacket_AndRefusedCallsSendNothing) {
    LANWICK_REQUIRE_LAN();
    const auto& h = CLan::Get().Hosts();
    CTempDir dir;
    const std::string m = dir.File("m.xml");
    CMachineList list;
    list.AddMachine(Ip(h[2].address), h[2].MacDigits(), "Lab", "Server One", 0);
    list.AddMachine(Ip(h[3].address), h[3].MacDigits(), "Lab", "twin", 0);
    list.AddMachine(Ip(h[3].address), h[3].MacDigits(), "Other", "twin", 0); // the same machine twice
    list.AddMachine(Ip(h[4].address), h[4].MacDigits(), "Lab", "double", 0);
    list.AddMachine(Ip(h[5].address), h[5].MacDigits(), "Lab", "double", 0);
    list.AddMachine(Ip(h[6].address), "000000000000", "Lab", "no arp", 0);
    list.AddMachine(Ip(h[7].address), "00:A0:C9:12", "Lab", "garbled", 0);
    ASSERT_TRUE(list.SaveFile(m));
    dir.Write("s.ini", "[General]\nDefFile=" + m + "\n");
    CUdpListener listener(h[1], LANWICK_UDP_LISTENER, "cli-wol", 7, 60);
    ASSERT_TRUE(listener.WaitReady());

    // The refused calls first: the listener must see nothing of them.
    ExpectRefused({
        {{"wake"}, "missing TARGET"},
        {{"wake", "nobody", "--file", m}, "no machine with the address, MAC or name \"nobody\""},
        {{"wake", "double", "--file", m}, "names 2 machines"},
        {{"wake", "no arp", "--file", m}, "gave no ARP answer"},
        {{"wake", "garbled", "--file", m}, "not twelve hexadecimal digits"},
        {{"wake", h[1].address, "00A0C9"}, "bad MAC"},
        {{"wake", "198.18.0.300", h[1].mac}, "bad address"},
        {{"wake", h[1].address, "00:00:00:00:00:00"}, "gave no ARP answer"},
        {{"wake", h[1].address, h[1].mac, "--file", m}, "--file is only used with TARGET"},
        {{"wake", "Server One", "--file", dir.File("none.xml")}, "No such file"},
    });
    EXPECT_TRUE(listener.Datagrams(1, 500).empty()) << "a refused call sent a packet";

    std::string strLower = h[1].mac;
    for (char& c : strLower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::vector<std::pair<std::vector<std::string>, const LanHost*>> calls = {
        {{"wake", h[1].address, strLower}, &h[1]},
        {{"wake", h[0].address, h[0].MacDigits()}, &h[0]},
        {{"wake", "server one", "--file", m}, &h[2]},
        {{"wake", h[2].address, "--settings", dir.File("s.ini")}, &h[2]},
        {{"wake", "--settings", dir.File("s.ini"), h[4].mac}, &h[4]},
        {{"wake", "twin", "--file", m}, &h[3]},
    };
    for (const auto& [args, host] : calls) {
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out, "magic packet for " + host->mac + " sent to 198.18.0.255 port 7\n");
    }
    const auto datagrams = listener.Datagrams(calls.size(), 5000);
    ASSERT_EQ(datagrams.size(), calls.size());
    for (std::size_t i = 0; i < calls.size(); ++i)
        EXPECT_EQ(datagrams[i], MagicPacketLine(calls[i].second->MacDigits())) << "call " << i;
}

} // namespace
} // namespace lanwick::test
