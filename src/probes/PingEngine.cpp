// The ping engine: every host is a small state machine (ready to send, waiting for its reply, finished) and one
// loop drives them all on one socket. A reply is matched to its host by identifier, sequence and source.
#include "probes/PingEngine.h"

#include "platform/Clock.h"
#include "platform/Interfaces.h"
#include "probes/EchoRequest.h"
#include "probes/Pinger.h"
#include "probes/ReplyWait.h"
#include "probes/Stopwatch.h"
#include "probes/Unicast.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

namespace lanwick {

namespace {

// How often a waiting pass looks at the cancel flag.
constexpr std::int64_t kCancelCheckMs = 50;
// A send buffer that stays full this long for one attempt makes that attempt a time-out.
constexpr std::uint32_t kBusyLimitMs = 5000;
constexpr std::size_t kReplyBufferSize = 336;

enum class HostState { Ready, Waiting, Finished };

struct HostSlot {
    platform::Ipv4 address{};
    HostState state = HostState::Finished;
    unsigned nDone = 0;         // attempts answered or timed out
    std::int32_t nTotal = 0;    // as CPinger::Ping sums: round trips, -1 per timed-out attempt
    std::int64_t nNextSend = 0; // counter value at which a ready host sends
    std::int64_t nDeadline = 0; // waiting: end of the attempt's second; ready: end of a full buffer's grace
    bool bBusy = false;         // ready because the send buffer was full
    std::uint16_t nSequence = 0;
    SendTime sent; // of the request in flight
};

// One pass: the slots, the socket and the requests in flight by sequence.
class CPass {
public:
    CPass(platform::IIcmpSocket& socket, IProbeClock& clock, std::uint16_t identifier, unsigned attempts,
          unsigned pause, std::uint32_t timeoutMs)
        : m_socket(socket), m_clock(clock), m_nIdentifier(identifier), m_nAttempts(attempts),
          m_nPauseTicks(clock.Frequency() * pause / 1000), m_nSecond(clock.Frequency()),
          m_nWait(clock.Frequency() * timeoutMs / 1000), m_watch(true, clock), m_buffer(kReplyBufferSize) {}

    std::vector<HostSlot> slots;

    // Sends what is due, expires what has waited its time; returns the counter value of the next event.
    std::int64_t Step(std::int64_t now) {
        std::int64_t next = now + m_nWait;
        bool bCounted = false;
        bool bDrained = false;
        for (std::size_t i = 0; i < slots.size(); ++i) {
            HostSlot& s = slots[i];
            if (s.state == HostState::Ready && s.nNextSend <= now && now >= m_nBusyUntil) {
                // The deadline runs from this send, not from the start of the step: a long burst, or a pass
                // that lost the processor in it, must not shorten the wait of the requests sent last.
                Send(i, m_clock.Counter());
                // Without arrival stamps a reply's time is when we read it: read between sends, so that no reply
                // waits behind the rest of the burst.
                if (!m_socket.StampsArrivals())
                    bCounted = Drain() > 0 || bCounted;
            }
            if (s.state == HostState::Waiting && s.nDeadline <= now && !bDrained) {
                // A pass that lost the processor past a deadline first takes what arrived meanwhile.
                bDrained = true;
                bCounted = Drain() > 0 || bCounted;
            }
            if (s.state == HostState::Waiting && s.nDeadline <= now) {
                m_inFlight.erase(s.nSequence);
                Count(s, false, -1.0, now); // no answer in time: T - 1, no pause
            }
            if (s.state == HostState::Ready)
                next = std::min(next, std::max(s.nNextSend, m_nBusyUntil));
            else if (s.state == HostState::Waiting)
                next = std::min(next, s.nDeadline);
        }
        // A host counted above may be due again before anything this loop saw.
        return bCounted ? now : next;
    }

    bool Active() const {
        return std::any_of(slots.begin(), slots.end(),
                           [](const HostSlot& s) { return s.state != HostState::Finished; });
    }

    // Reads every datagram waiting on the socket and counts those that answer a request in flight; returns how
    // many it counted.
    std::size_t Drain() {
        std::size_t counted = 0;
        for (;;) {
            std::size_t size = 0;
            platform::Ipv4 from{};
            std::int64_t arrival = platform::kNoStamp;
            if (m_socket.Receive(m_buffer.data(), m_buffer.size(), size, from, arrival) !=
                platform::IcmpReceiveResult::Received)
                return counted;
            const auto message = ParseIcmp(m_buffer.data(), size, m_socket.ReceivesIpHeader());
            if (!message || message->type != kIcmpEchoReply || message->identifier != m_nIdentifier)
                continue;
            const auto it = m_inFlight.find(message->sequence);
            if (it == m_inFlight.end() || slots[it->second].address != from)
                continue;
            HostSlot& s = slots[it->second];
            m_inFlight.erase(it);
            Count(s, true, RoundTripMicroseconds(arrival, s.sent, m_watch.ElapsedMicroseconds()), m_clock.Counter());
            ++counted;
        }
    }

private:
    void Send(std::size_t index, std::int64_t now) {
        HostSlot& s = slots[index];
        if (!s.bBusy)
            s.nDeadline = now + m_nSecond * kBusyLimitMs / 1000;
        s.nSequence = NextMonitorSequence();
        s.sent = {m_socket.StampNow(), m_watch.ElapsedMicroseconds()};
        const MonitorRequest request = BuildMonitorRequest(m_nIdentifier, s.nSequence, s.sent.watchUs);
        const platform::IcmpSendResult sent = m_socket.Send(request.data(), request.size(), s.address);
        if (sent == platform::IcmpSendResult::Busy && now < s.nDeadline) {
            // The buffer drains as the kernel resolves or gives up on addresses: this host and every other
            // one try again shortly (one full send stands for all, sparing a futile call per host).
            s.bBusy = true;
            s.nNextSend = now + m_nSecond / 1000;
            m_nBusyUntil = s.nNextSend;
            return;
        }
        // As in the single-host probe, a failed send still waits out its time.
        s.bBusy = false;
        s.state = HostState::Waiting;
        s.nDeadline = now + m_nWait;
        m_inFlight[s.nSequence] = index;
    }

    // One attempt ended: answered with a round trip, or timed out (-1).
    void Count(HostSlot& s, bool bAnswered, double value, std::int64_t now) {
        s.nTotal = static_cast<std::int32_t>(s.nTotal + value);
        if (++s.nDone >= m_nAttempts) {
            s.state = HostState::Finished;
            return;
        }
        s.state = HostState::Ready;
        s.nNextSend = bAnswered ? now + m_nPauseTicks : now;
    }

    platform::IIcmpSocket& m_socket;
    IProbeClock& m_clock;
    std::uint16_t m_nIdentifier;
    unsigned m_nAttempts;
    std::int64_t m_nPauseTicks;
    std::int64_t m_nSecond;
    std::int64_t m_nWait; // how long an attempt waits for its reply
    CStopwatch m_watch;
    std::vector<std::uint8_t> m_buffer;
    std::unordered_map<std::uint16_t, std::size_t> m_inFlight;
    std::int64_t m_nBusyUntil = 0; // no sends before this counter value: the send buffer was full
};

} // namespace

CPingEngine::CPingEngine(platform::IIcmpSocketFactory& sockets, IProbeClock& clock)
    : m_sockets(sockets), m_clock(clock) {}

std::vector<std::int32_t> CPingEngine::PingAll(const std::vector<std::string>& hosts, unsigned attempts,
                                               unsigned pause) {
    const unsigned n = std::max(attempts, 1u);
    std::vector<std::int32_t> results(hosts.size(), -1);
    if (hosts.empty() || IsCancelled())
        return results;
    // The single-host probes' formats tie their identifier to the thread id; a pass is ours alone, so its
    // identifier is random and a forger has to see our requests, not just guess, to answer them.
    const std::uint16_t wanted = platform::UnguessableIdentifier();
    const auto socket = m_sockets.Open(wanted);
    if (!socket)
        return results;

    const std::uint16_t identifier = socket->Identifier(wanted);
    // Replies come from many hosts, so only the identifier can keep other programs' traffic out of the buffer.
    socket->AcceptOnlyReplies(identifier, nullptr);
    CPass pass(*socket, m_clock, identifier, n, pause, m_nTimeoutMs);
    pass.slots.resize(hosts.size());
    const std::int64_t start = m_clock.Counter();
    const std::vector<platform::Ipv4> broadcasts = platform::InterfaceBroadcasts();
    for (std::size_t i = 0; i < hosts.size(); ++i) {
        const auto address = platform::ForwardLookup(hosts[i]);
        // A broadcast or multicast address in the list is never sent to: it shows as silent.
        if (address && WhyNotUnicast(*address, broadcasts).empty()) {
            pass.slots[i].address = *address;
            pass.slots[i].state = HostState::Ready;
            pass.slots[i].nNextSend = start;
        }
    }
    // Requests to addresses without an ARP answer stay in the send buffer for seconds; make room for them all.
    socket->ReserveBuffers(hosts.size() * n);

    const std::int64_t checkTicks = m_clock.Frequency() * kCancelCheckMs / 1000;
    bool bFailed = false;
    while (!bFailed && !IsCancelled()) {
        const std::int64_t now = m_clock.Counter();
        const std::int64_t next = std::min(pass.Step(now), now + checkTicks);
        if (!pass.Active())
            break;
        const std::int64_t ticks = std::max<std::int64_t>(next - m_clock.Counter(), 0);
        const auto us = static_cast<std::uint32_t>(ticks * 1000000 / std::max<std::int64_t>(m_clock.Frequency(), 1));
        switch (socket->Wait(us)) {
        case platform::IcmpWaitResult::Readable:
            pass.Drain();
            break;
        case platform::IcmpWaitResult::TimedOut:
            break;
        case platform::IcmpWaitResult::Failed:
            bFailed = true; // as the single-host probe: a failed wait gives -1
            break;
        }
    }
    for (std::size_t i = 0; i < hosts.size(); ++i) {
        const HostSlot& s = pass.slots[i];
        if (s.state == HostState::Finished && s.nDone == n)
            results[i] = s.nTotal / static_cast<std::int32_t>(n);
    }
    return results;
}

} // namespace lanwick
