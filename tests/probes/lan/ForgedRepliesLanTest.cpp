// A host of the LAN forges echo replies at the monitor: a raw socket that asked for its own replies must be handed
// nothing else, whatever identifiers and sources the forger uses.
#include "lan/Lan.h"
#include "platform/Icmp.h"
#include "probes/EchoRequest.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <iostream>
#include <linux/capability.h>
#include <map>
#include <memory>
#include <string>
#include <sys/syscall.h>
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
        std::int64_t arrival = 0;
        if (socket.Receive(buffer.data(), buffer.size(), size, from, arrival) != platform::IcmpReceiveResult::Received)
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
    if (!WaitUntil([pid] { return waitpid(pid, nullptr, WNOHANG) == pid; }, std::chrono::seconds(seconds)))
        EndProcess(pid);
}

// The first two hosts: one forges replies at the monitor, the other is the one probed.
const LanHost& Forger() {
    return CLan::Get().Hosts().at(0);
}
const LanHost& Probed() {
    return CLan::Get().Hosts().at(1);
}
platform::Ipv4 ProbedAddress() {
    return platform::ParseIpv4(Probed().address).value();
}

// Floods the monitor, then sends one request of ours to the probed host and reads what `socket` is handed. Five
// identifiers around ours and three sources (the forger, the probed host, a silent address): 15 000 replies
// cover each pair 1 000 times.
Received FloodThenAsk(platform::IIcmpSocket& socket, std::uint16_t identifier) {
    socket.ReserveBuffers(20000);
    AwaitProcess(SpawnIn(Forger().ns, std::string(LANWICK_REPLY_FLOODER) + " 198.18.0.1 15000 20 0 " +
                                          std::to_string(identifier - 2) + " " + std::to_string(identifier + 2) + " " +
                                          Forger().address + " " + Probed().address + " " +
                                          CLan::Get().SilentAddress() + " >/dev/null"),
                 30);
    std::array<std::uint8_t, kScanBufferSize> request{};
    const std::size_t size = BuildScanRequest(request.data(), identifier, 7, 0, kScanDefaultPayload);
    if (socket.Send(request.data(), size, ProbedAddress()) != platform::IcmpSendResult::Sent)
        return {};
    return Drain(socket, 1000);
}

// Only echo replies with our identifier from the probed host, and at least the answer.
bool OnlyOurs(const Received& r, std::uint16_t identifier) {
    return r.total >= 1 && r.notEchoReply == 0 && r.byIdentifier.size() == 1 &&
           r.byIdentifier.begin()->first == identifier && r.bySource.size() == 1 &&
           r.bySource.begin()->first == ProbedAddress();
}

} // namespace

TEST(ForgedRepliesLan, RawSocketIsHandedOnlyEchoRepliesWithItsIdentifierAndFromItsSource) {
    LANWICK_REQUIRE_LAN();
    constexpr std::uint16_t kOurs = 0x5A17;
    const platform::Ipv4 probed = ProbedAddress();
    auto& sockets = platform::SystemIcmpSockets();
    const auto bySource = sockets.Open(kOurs);
    const auto byIdentifier = sockets.Open(kOurs);
    const auto plain = sockets.Open(kOurs);
    ASSERT_TRUE(bySource && byIdentifier && plain);
    ASSERT_TRUE(bySource->ReceivesIpHeader()) << "run as root: the raw socket is the one every reply reaches";
    ASSERT_TRUE(bySource->AcceptOnlyReplies(kOurs, &probed));
    ASSERT_TRUE(byIdentifier->AcceptOnlyReplies(kOurs, nullptr));
    byIdentifier->ReserveBuffers(20000);
    plain->ReserveBuffers(20000);

    const Received mine = FloodThenAsk(*bySource, kOurs);
    const Received all = Drain(*plain, 200);
    const Received ours = Drain(*byIdentifier, 200);

    // The flood reached the monitor: an unfiltered socket got a copy of it, other identifiers included.
    EXPECT_GE(all.byIdentifier.size(), 5u);
    EXPECT_GT(all.total, 5000);
    // What passes is exactly what a forger who knows both identifier and address can still send, plus the answer.
    EXPECT_TRUE(OnlyOurs(mine, kOurs));
    EXPECT_LE(mine.total, 1001);
    EXPECT_EQ(ours.notEchoReply, 0);
    ASSERT_EQ(ours.byIdentifier.size(), 1u);
    EXPECT_EQ(ours.byIdentifier.begin()->first, kOurs);
    EXPECT_EQ(ours.bySource.size(), 3u) << "any source is let in when none was named";
    std::cout << "[ figures ] plain socket " << all.total << ", identifier filter " << ours.total
              << ", identifier and source filter " << mine.total << " datagrams of 15000 forged\n";
}

// The kernel already hands a datagram ICMP socket only its own identifier's replies; the filter adds the source.
TEST(ForgedRepliesLan, DatagramSocketIsHandedOnlyRepliesFromItsSource) {
    LANWICK_REQUIRE_LAN();
    const platform::Ipv4 probed = ProbedAddress();
    const char* kRange = "/proc/sys/net/ipv4/ping_group_range";
    std::string saved;
    std::getline(std::ifstream(kRange), saved);
    ASSERT_TRUE(std::ofstream(kRange) << "0 0\n");

    // A child without CAP_NET_RAW, so that the system's sockets fall back to the datagram kind; it reports by its
    // exit status. Its flooder regains the capability (root's capabilities are recomputed at exec).
    const pid_t child = fork();
    if (child == 0) {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[2]{};
        if (syscall(SYS_capget, &header, data) != 0)
            _exit(10);
        data[CAP_NET_RAW / 32].effective &= ~(1u << (CAP_NET_RAW % 32));
        data[CAP_NET_RAW / 32].permitted &= ~(1u << (CAP_NET_RAW % 32));
        if (syscall(SYS_capset, &header, data) != 0)
            _exit(11);
        const auto socket = platform::SystemIcmpSockets().Open(0x5A17);
        if (!socket || socket->ReceivesIpHeader())
            _exit(12);
        const std::uint16_t id = socket->Identifier(0x5A17);
        if (id < 2 || id > 0xFFFD || !socket->AcceptOnlyReplies(id, &probed))
            _exit(13);
        _exit(OnlyOurs(FloodThenAsk(*socket, id), id) ? 0 : 14);
    }
    ASSERT_GT(child, 0);
    int status = -1;
    waitpid(child, &status, 0);
    std::ofstream(kRange) << saved << "\n";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10-13: set-up failed; 14: no reply, or another identifier or source let in";
}
