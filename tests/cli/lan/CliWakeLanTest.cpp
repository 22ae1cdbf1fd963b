// lanwick-cli wake on the namespace LAN: a UDP listener in a host namespace stands in for the sleeping card and
// must see exactly the packets of the accepted calls and none of the refused ones.
#include "cli/CliRun.h"
#include "lan/Lan.h"
#include "lan/UdpListener.h"
#include "registry/MachineList.h"

#include <gtest/gtest.h>

namespace lanwick::test {
namespace {

class CListener : public CUdpListener {
public:
    CListener(const LanHost& host, const std::string& tag)
        : CUdpListener(host, LANWICK_UDP_LISTENER, "cli-wol-" + tag, 7, 60) {}
};

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

void WriteMachines(const std::string& strPath) {
    const auto& h = CLan::Get().Hosts();
    CMachineList list;
    list.AddMachine(Ip(h[2].address), h[2].MacDigits(), "Lab", "Server One", 0);
    list.AddMachine(Ip(h[3].address), h[3].MacDigits(), "Lab", "twin", 0);
    list.AddMachine(Ip(h[3].address), h[3].MacDigits(), "Other", "twin", 0); // the same machine twice
    list.AddMachine(Ip(h[4].address), h[4].MacDigits(), "Lab", "double", 0);
    list.AddMachine(Ip(h[5].address), h[5].MacDigits(), "Lab", "double", 0);
    list.AddMachine(Ip(h[6].address), "000000000000", "Lab", "no arp", 0);
    list.AddMachine(Ip(h[7].address), "00:A0:C9:12", "Lab", "garbled", 0);
    ASSERT_TRUE(list.SaveFile(strPath));
}

TEST(CliWakeLan, EveryWayOfNamingAMachineSendsItsMagicPacket) {
    LANWICK_REQUIRE_LAN();
    const auto& h = CLan::Get().Hosts();
    CTempDir dir;
    WriteMachines(dir.File("m.xml"));
    dir.Write("s.ini", "[General]\nDefFile=" + dir.File("m.xml") + "\n");
    CListener listener(h[1], "ok");
    ASSERT_TRUE(listener.WaitReady());

    const std::vector<std::pair<std::vector<std::string>, std::string>> calls = {
        {{"wake", h[1].address, Lower(h[1].mac)}, h[1].MacDigits()},
        {{"wake", h[0].address, h[0].MacDigits()}, h[0].MacDigits()},
        {{"wake", "server one", "--file", dir.File("m.xml")}, h[2].MacDigits()},
        {{"wake", h[2].address, "--settings", dir.File("s.ini")}, h[2].MacDigits()},
        {{"wake", "--settings", dir.File("s.ini"), h[4].mac}, h[4].MacDigits()},
        {{"wake", "twin", "--file", dir.File("m.xml")}, h[3].MacDigits()},
    };
    for (const auto& [args, mac] : calls) {
        const CliResult r = RunCli(args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        std::string colon;
        for (std::size_t i = 0; i < 12; i += 2)
            colon += (i ? ":" : "") + mac.substr(i, 2);
        EXPECT_EQ(r.out, "magic packet for " + colon + " sent to 198.18.0.255 port 7\n");
    }
    const auto datagrams = listener.Datagrams(calls.size(), 5000);
    ASSERT_EQ(datagrams.size(), calls.size());
    for (std::size_t i = 0; i < calls.size(); ++i)
        EXPECT_EQ(datagrams[i], MagicPacketLine(calls[i].second)) << "call " << i;
}

TEST(CliWakeLan, RefusedCallsSendNothing) {
    LANWICK_REQUIRE_LAN();
    const auto& h = CLan::Get().Hosts();
    CTempDir dir;
    WriteMachines(dir.File("m.xml"));
    CListener listener(h[1], "refused");
    ASSERT_TRUE(listener.WaitReady());
    const std::string m = dir.File("m.xml");
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
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
    };
    for (const auto& [args, reason] : refused) {
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
    }
    EXPECT_TRUE(listener.Datagrams(1, 500).empty());
}

} // namespace
} // namespace lanwick::test
