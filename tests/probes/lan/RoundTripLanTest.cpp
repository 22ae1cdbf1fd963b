// Round trips on real packets: a host shows the same time whether it is pinged alone or in a pass over a whole
// subnet, with the system's arrival stamps and without them. (What a host writes into its reply's payload never
// changes the time shown: the probes' unit tests forge it.)
#include "lan/Lan.h"
#include "probes/PingEngine.h"
#include "probes/Pinger.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

using namespace lanwick;
using namespace lanwick::test;

namespace {

// The system's sockets as a system without arrival stamps would give them.
class CUnstampedSocket final : public platform::IIcmpSocket {
public:
    explicit CUnstampedSocket(std::unique_ptr<platform::IIcmpSocket> real) : m_real(std::move(real)) {}
    bool ReceivesIpHeader() const override { return m_real->ReceivesIpHeader(); }
    std::uint16_t Identifier(std::uint16_t wanted) const override { return m_real->Identifier(wanted); }
    void ReserveBuffers(std::size_t requests) override { m_real->ReserveBuffers(requests); }
    bool AcceptOnlyReplies(std::uint16_t identifier, const platform::Ipv4* from) override {
        return m_real->AcceptOnlyReplies(identifier, from);
    }
    platform::IcmpSendResult Send(const void* data, std::size_t size, const platform::Ipv4& to) override {
        return m_real->Send(data, size, to);
    }
    platform::IcmpWaitResult Wait(std::uint32_t microseconds) override { return m_real->Wait(microseconds); }
    platform::IcmpReceiveResult Receive(void* buffer, std::size_t capacity, std::size_t& size, platform::Ipv4& from,
                                        std::int64_t& arrival) override {
        const auto result = m_real->Receive(buffer, capacity, size, from, arrival);
        arrival = platform::kNoStamp;
        return result;
    }
    std::int64_t StampNow() const override { return m_real->StampNow(); }
    bool StampsArrivals() const override { return false; }

private:
    std::unique_ptr<platform::IIcmpSocket> m_real;
};

class CUnstampedSockets final : public platform::IIcmpSocketFactory {
public:
    std::unique_ptr<platform::IIcmpSocket> Open(std::uint16_t identifier) override {
        auto real = platform::SystemIcmpSockets().Open(identifier);
        return real ? std::make_unique<CUnstampedSocket>(std::move(real)) : nullptr;
    }
};

// The middle of three single-host probes: one probe can catch the machine busy elsewhere.
std::int32_t AloneMicroseconds(const std::string& address) {
    CPinger pinger;
    std::int32_t values[3];
    for (std::int32_t& v : values)
        v = pinger.Ping(1, address, 0);
    std::sort(std::begin(values), std::end(values));
    return values[1];
}

} // namespace

TEST(RoundTripLan, EveryLiveHostOfAWholeSubnetShowsWithinAFifthOfAMillisecondOfItsTimeAlone) {
    LANWICK_REQUIRE_LAN();
    std::vector<std::string> subnet;
    for (int i = 1; i <= 254; ++i)
        subnet.push_back("198.18.0." + std::to_string(i));
    std::vector<std::string> live{"198.18.0.1"};
    for (const LanHost& h : CLan::Get().Hosts())
        live.push_back(h.address);

    CUnstampedSockets unstamped;
    for (platform::IIcmpSocketFactory* sockets :
         {&platform::SystemIcmpSockets(), static_cast<platform::IIcmpSocketFactory*>(&unstamped)}) {
        const bool bStamped = sockets != &unstamped;
        // Hosts whose address is not resolved yet answer later by an ARP exchange, in a pass as alone: compare
        // on a resolved table, as every pass after the first sees it.
        CPingEngine(*sockets).PingAll(subnet, 1, 0);
        // The middle of three passes: without stamps, a pass whose thread lost the processor for a moment (a
        // busy machine, a sanitizer build) reads late, while a reply left behind the burst is late in every pass.
        std::vector<std::vector<std::int32_t>> passes;
        for (int i = 0; i < 3; ++i)
            passes.push_back(CPingEngine(*sockets).PingAll(subnet, 1, 0));
        for (const std::string& address : live) {
            const std::size_t n = std::stoul(address.substr(address.rfind('.') + 1)) - 1;
            std::int32_t times[3] = {passes[0][n], passes[1][n], passes[2][n]};
            std::sort(std::begin(times), std::end(times));
            const std::int32_t inPass = times[1];
            const std::int32_t alone = AloneMicroseconds(address);
            ASSERT_GE(alone, 0) << address;
            EXPECT_GE(inPass, 0) << address << (bStamped ? " (stamped)" : " (unstamped)");
            // Without arrival stamps a reply's time is when it is read: a little later, never behind the burst.
            EXPECT_LE(std::abs(inPass - alone), bStamped ? 200 : 1000)
                << address << (bStamped ? " (stamped)" : " (unstamped)") << ": " << inPass << " us in the pass, "
                << alone << " us alone";
        }
    }
}
