// Wake-on-LAN on the namespace LAN: a listener in a host namespace stands in for the sleeping machine's card
// and sees every datagram that reaches port 7.
#include "actions/WakeOnLan.h"
#include "lan/Lan.h"
#include "platform/Resolver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

using namespace lanwick;
using namespace lanwick::test;

namespace {

class CListener {
public:
    CListener(const LanHost& host, const std::string& tag)
        : m_strFile(CLan::Get().ScratchDir() + "/wol-" + tag + ".txt") {
        m_pid = SpawnIn(host.ns, std::string(LANWICK_UDP_LISTENER) + " 7 " + m_strFile + " 30");
    }
    ~CListener() { EndProcess(m_pid); }
    CListener(const CListener&) = delete;
    CListener& operator=(const CListener&) = delete;

    bool WaitReady() { return WaitForLines(1, 5000); }
    // Datagram lines, after waiting up to `ms` for at least `count` of them.
    std::vector<std::string> Datagrams(std::size_t count, int ms) {
        WaitForLines(count + 1, ms);
        auto lines = Lines();
        lines.erase(lines.begin());
        return lines;
    }

private:
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::ifstream in(m_strFile);
        for (std::string l; std::getline(in, l);)
            lines.push_back(l);
        return lines;
    }
    bool WaitForLines(std::size_t count, int ms) {
        for (int waited = 0; waited < ms; waited += 20) {
            if (Lines().size() >= count)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return Lines().size() >= count;
    }

    std::string m_strFile;
    pid_t m_pid = -1;
};

std::string ExpectedLine(const std::string& macDigits) {
    std::string hex = "FFFFFFFFFFFF";
    for (int i = 0; i < 20; ++i)
        hex += macDigits;
    return "126 198.18.0.255 " + hex;
}

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
    EXPECT_EQ(datagrams[0], ExpectedLine(host.MacDigits()));
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
    EXPECT_EQ(datagrams[0], ExpectedLine(host.MacDigits()));
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
