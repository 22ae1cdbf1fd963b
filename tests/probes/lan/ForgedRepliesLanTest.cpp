// A host of the LAN forges echo replies at the monitor: a raw socket that asked for its own replies must be handed
// nothing else, whatever identifiers and sources the forger uses.
#include "lan/Lan.h"
#include "platform/Icmp.h"
#include "probes/EchoRequest.h"

#include <gtest/gtest.h>

#include <array>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace lanwick;
using namespace lanwick::test;

namespace {

struct Received {
    std::map<std::uint16_t, int> byIdentifier;
    std::map<platform::Ipv4, int> bySource;
    int notEchoReply = 0;
    int total = 0;
};

// Reads everything waiting on the socket, waiting at most `ms` for the first datagram.
Received Drain(platform::IIcmpSocket& socket, std::uint32_t ms) {
    Received r;
    std::array<std::uint8_t, 1500> buffer{};
    socket.Wait(ms * 1000);
    for (int guard = 0; guard < 1000000; ++guard) {
        std::size_t size = 0;
        platform::Ipv4 from{};
        if (socket.Receive(buffer.data(), buffer.size(), size, from) != platform::IcmpReceiveResult::Received)
            break;
        const auto message = ParseIcmp(buffer.data(), size, socket.ReceivesIpHeader());
        ++r.total;
        if (!message || message->type != kIcmpEchoReply) {
            ++r.notEchoReply;
            continue;
        }
        ++r.byIdentifier[message->identifier];
        ++r.bySource[from];
    }
    return r;
}

// Waits (bounded) for a process started by SpawnIn to end by itself; ends it by PID when it does not.
void AwaitProcess(pid_t pid, int seconds) {
    for (int i = 0; i < seconds * 50; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        usleep(20000);
    }
    EndProcess(pid);
}

} // namespace

TEST(ForgedRepliesLan, RawSocketIsHandedOnlyEchoRepliesWithItsIdentifierAndFromItsSource) {
    LANWICK_REQUIRE_LAN();
    const auto& hosts = CLan::Get().Hosts();
    ASSERT_GE(hosts.size(), 2u);
    const LanHost& forger = hosts[0];
    const LanHost& probed = hosts[1];
    const auto probedAddress = platform::ParseIpv4(probed.address);
    ASSERT_TRUE(probedAddress);
    constexpr std::uint16_t kOurs = 0x5A17;

    auto& sockets = platform::SystemIcmpSockets();
    const auto bySource = sockets.Open(kOurs);
    const auto byIdentifier = sockets.Open(kOurs);
    const auto plain = sockets.Open(kOurs);
    ASSERT_TRUE(bySource && byIdentifier && plain);
    ASSERT_TRUE(bySource->ReceivesIpHeader()) << "run as root: the raw socket is the one every reply reaches";
    ASSERT_TRUE(bySource->AcceptOnlyReplies(kOurs, &*probedAddress));
    ASSERT_TRUE(byIdentifier->AcceptOnlyReplies(kOurs, nullptr));
    for (platform::IIcmpSocket* s : {bySource.get(), byIdentifier.get(), plain.get()})
        s->ReserveBuffers(20000);

    // Five identifiers around ours and three sources (the forger, the probed host, a silent address): 15 000
    // replies cover each pair 1 000 times.
    const std::string flood = std::string(LANWICK_REPLY_FLOODER) + " 198.18.0.1 15000 20 0 " +
                              std::to_string(kOurs - 2) + " " + std::to_string(kOurs + 2) + " " + forger.address + " " +
                              probed.address + " " + CLan::Get().SilentAddress() + " >/dev/null";
    AwaitProcess(SpawnIn(forger.ns, flood), 30);

    // And the real reply: a request of ours to the probed host.
    std::array<std::uint8_t, kScanBufferSize> request{};
    const std::size_t size = BuildScanRequest(request.data(), kOurs, 7, 0, kScanDefaultPayload);
    ASSERT_EQ(bySource->Send(request.data(), size, *probedAddress), platform::IcmpSendResult::Sent);

    const Received all = Drain(*plain, 200);
    const Received mine = Drain(*bySource, 1000);
    const Received ours = Drain(*byIdentifier, 200);

    // The flood reached the monitor: an unfiltered socket got a copy of it, other identifiers included.
    EXPECT_GE(all.byIdentifier.size(), 5u);
    EXPECT_GT(all.total, 5000);

    EXPECT_EQ(mine.notEchoReply, 0);
    ASSERT_EQ(mine.byIdentifier.size(), 1u);
    EXPECT_EQ(mine.byIdentifier.begin()->first, kOurs);
    ASSERT_EQ(mine.bySource.size(), 1u);
    EXPECT_EQ(mine.bySource.begin()->first, *probedAddress);
    // What passes is exactly what a forger who knows both identifier and address can still send, plus the answer.
    EXPECT_GE(mine.total, 1);
    EXPECT_LE(mine.total, 1001);

    EXPECT_EQ(ours.notEchoReply, 0);
    ASSERT_EQ(ours.byIdentifier.size(), 1u);
    EXPECT_EQ(ours.byIdentifier.begin()->first, kOurs);
    EXPECT_EQ(ours.bySource.size(), 3u) << "any source is let in when none was named";
    std::cout << "[ figures ] plain socket " << all.total << ", identifier filter " << ours.total
              << ", identifier and source filter " << mine.total << " datagrams of 15000 forged\n";
}
