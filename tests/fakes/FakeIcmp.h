// A scripted ICMP network and clock for probe tests: the clock moves only when a probe waits or sleeps, and each
// request sent gets the datagrams a test's responder returns, after the delays it chooses.
#pragma once

#include "platform/Icmp.h"
#include "probes/EchoRequest.h"
#include "probes/ProbeClock.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace lanwick::test {

// Microsecond counter, starting well above zero (a stopwatch reads a zero start as "stopped").
class CFakeProbeClock final : public IProbeClock {
public:
    std::int64_t Counter() override { return m_nNow; }
    std::int64_t Frequency() override { return 1000000; }
    std::uint32_t TickCount() override { return static_cast<std::uint32_t>(m_nNow / 1000); }
    void Sleep(std::uint32_t milliseconds) override {
        sleeps.push_back(milliseconds);
        m_nNow += static_cast<std::int64_t>(milliseconds) * 1000;
    }
    void Advance(std::int64_t microseconds) { m_nNow += microseconds; }
    std::int64_t Now() const { return m_nNow; }

    std::vector<std::uint32_t> sleeps;

private:
    std::int64_t m_nNow = 5000000000;
};

struct FakeSent {
    std::vector<std::uint8_t> bytes;
    platform::Ipv4 to{};
    std::int64_t at = 0;
};

struct FakeDatagram {
    std::int64_t delay = 0; // microseconds after the request was sent
    std::vector<std::uint8_t> icmp;
    platform::Ipv4 from{};
};

// The echo reply a well-behaved host gives to `request`: same bytes, type 0, checksum redone.
inline std::vector<std::uint8_t> EchoOf(const std::vector<std::uint8_t>& request) {
    std::vector<std::uint8_t> reply = request;
    reply[0] = kIcmpEchoReply;
    reply[2] = reply[3] = 0;
    const std::uint16_t sum = InternetChecksum(reply.data(), reply.size());
    std::memcpy(&reply[2], &sum, 2);
    return reply;
}

class CFakeIcmpNetwork final : public platform::IIcmpSocketFactory {
public:
    explicit CFakeIcmpNetwork(CFakeProbeClock& clock) : m_clock(clock) {}

    // Called for every request sent; returns what arrives in answer (nothing: the host is silent).
    std::function<std::vector<FakeDatagram>(const FakeSent&)> responder;
    bool bCanOpen = true;
    bool bRaw = true;                 // raw sockets hand over an IP header before the ICMP message
    std::uint16_t nKernelId = 0xBEEF; // what a datagram socket's kernel writes as identifier
    bool bWaitFails = false;
    bool bStamps = true;              // the system stamps each datagram's arrival
    int nReceiveFailures = 0;         // so many reads after a readable wait fail
    int nBusySends = 0;               // so many sends find the buffer full first
    std::int64_t nStallAfterSend = 0; // the next send is followed by so many microseconds off the processor
    std::vector<FakeSent> sent;
    std::size_t nReserved = 0;
    int nOpened = 0;

    std::unique_ptr<platform::IIcmpSocket> Open(std::uint16_t identifier) override;

private:
    friend class CFakeIcmpSocket;
    CFakeProbeClock& m_clock;
};

class CFakeIcmpSocket final : public platform::IIcmpSocket {
public:
    explicit CFakeIcmpSocket(CFakeIcmpNetwork& net) : m_net(net) {}

    bool ReceivesIpHeader() const override { return m_net.bRaw; }
    std::uint16_t Identifier(std::uint16_t wanted) const override { return m_net.bRaw ? wanted : m_net.nKernelId; }
    void ReserveBuffers(std::size_t requests) override { m_net.nReserved = requests; }
    // Hands over everything, as a socket whose filter the system refused: the probes must still match replies.
    bool AcceptOnlyReplies(std::uint16_t, const platform::Ipv4*) override { return false; }

    platform::IcmpSendResult Send(const void* data, std::size_t size, const platform::Ipv4& to) override {
        if (m_net.nBusySends > 0) {
            --m_net.nBusySends;
            return platform::IcmpSendResult::Busy;
        }
        FakeSent s;
        s.bytes.assign(static_cast<const std::uint8_t*>(data), static_cast<const std::uint8_t*>(data) + size);
        // A datagram socket's kernel puts its own identifier in (and redoes the checksum).
        if (!m_net.bRaw)
            WriteLe16(&s.bytes[4], m_net.nKernelId);
        s.to = to;
        s.at = m_net.m_clock.Now();
        m_net.sent.push_back(s);
        if (m_net.responder)
            for (FakeDatagram& d : m_net.responder(s))
                m_queue.emplace(s.at + d.delay, std::move(d));
        m_net.m_clock.Advance(std::exchange(m_net.nStallAfterSend, 0));
        return platform::IcmpSendResult::Sent;
    }

    platform::IcmpWaitResult Wait(std::uint32_t microseconds) override {
        if (m_net.bWaitFails)
            return platform::IcmpWaitResult::Failed;
        const std::int64_t until = m_net.m_clock.Now() + microseconds;
        if (!m_queue.empty() && m_queue.begin()->first <= until) {
            m_net.m_clock.Advance(std::max<std::int64_t>(m_queue.begin()->first - m_net.m_clock.Now(), 0));
            return platform::IcmpWaitResult::Readable;
        }
        m_net.m_clock.Advance(microseconds);
        return platform::IcmpWaitResult::TimedOut;
    }

    platform::IcmpReceiveResult Receive(void* buffer, std::size_t capacity, std::size_t& size, platform::Ipv4& from,
                                        std::int64_t& arrival) override {
        arrival = platform::kNoStamp;
        if (m_net.nReceiveFailures > 0) {
            --m_net.nReceiveFailures;
            return platform::IcmpReceiveResult::Failed;
        }
        if (m_queue.empty() || m_queue.begin()->first > m_net.m_clock.Now())
            return platform::IcmpReceiveResult::Nothing;
        const FakeDatagram d = m_queue.begin()->second;
        if (m_net.bStamps)
            arrival = m_queue.begin()->first * 1000;
        m_queue.erase(m_queue.begin());
        std::vector<std::uint8_t> datagram;
        if (m_net.bRaw) {
            // A minimal IPv4 header: version 4, header length 5 words, protocol ICMP, the sender as source.
            datagram.assign(20, 0);
            datagram[0] = 0x45;
            datagram[9] = 1;
            std::copy(d.from.begin(), d.from.end(), datagram.begin() + 12);
        }
        datagram.insert(datagram.end(), d.icmp.begin(), d.icmp.end());
        size = std::min(capacity, datagram.size());
        std::memcpy(buffer, datagram.data(), size);
        from = d.from;
        return platform::IcmpReceiveResult::Received;
    }

    // The fake clock counts microseconds; the stamps count nanoseconds.
    std::int64_t StampNow() const override { return m_net.m_clock.Now() * 1000; }
    bool StampsArrivals() const override { return m_net.bStamps; }

private:
    CFakeIcmpNetwork& m_net;
    std::multimap<std::int64_t, FakeDatagram> m_queue;
};

inline std::unique_ptr<platform::IIcmpSocket> CFakeIcmpNetwork::Open(std::uint16_t) {
    if (!bCanOpen)
        return nullptr;
    ++nOpened;
    return std::make_unique<CFakeIcmpSocket>(*this);
}

} // namespace lanwick::test
