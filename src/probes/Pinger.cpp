// The monitoring probe. Its attempts follow each other on one socket opened per call; only a reply that answers
// the attempt's own request counts (another program's pings or another host's replies are skipped).
#include "probes/Pinger.h"

#include "platform/Clock.h"
#include "probes/EchoRequest.h"
#include "probes/ReplyWait.h"
#include "probes/Unicast.h"

#include <algorithm>
#include <atomic>
#include <utility>

namespace lanwick {

namespace {
// Atomic because the ping engine numbers its requests from the same counter on a worker thread.
std::atomic<std::uint32_t> g_nMonitorSequence{1};

// Room for the largest reply: an IP header with options, our 56 bytes, and then some.
constexpr std::size_t kReplyBufferSize = 336;
} // namespace

std::uint16_t NextMonitorSequence() {
    return static_cast<std::uint16_t>(g_nMonitorSequence.fetch_add(1) & 0xFFFF);
}

CPinger::CPinger(platform::IIcmpSocketFactory& sockets, IProbeClock& clock)
    : m_sockets(sockets), m_clock(clock), m_stopwatch(false, clock) {}

std::int32_t CPinger::Ping(unsigned attempts, const std::string& host, unsigned pause) {
    const unsigned n = std::max(attempts, 1u); // the mean divides by it
    const auto wanted = static_cast<std::uint16_t>(platform::GetCurrentThreadId() & 0xFFFF);
    const auto socket = m_sockets.Open(wanted);
    if (!socket)
        return -1;
    const auto address = platform::ForwardLookup(host);
    if (!address || !WhyNotUnicast(*address).empty())
        return -1;

    ExpectedReply expected{socket->Identifier(wanted), 0, *address};
    socket->AcceptOnlyReplies(expected.identifier, &expected.source);
    std::vector<std::uint8_t> buffer(kReplyBufferSize);
    std::int32_t total = 0;
    for (unsigned attempt = 0; attempt < n; ++attempt) {
        expected.sequence = NextMonitorSequence();
        const std::int64_t deadline = DeadlineAfter(m_clock, 1000);
        MonitorRequest request{};
        SendTime sent;
        // A failed send is not fatal: the attempt waits out its second like one that got no answer.
        SendFresh(*socket, m_clock, *address, deadline, [&] {
            m_stopwatch.Start();
            sent = {socket->StampNow(), m_stopwatch.ElapsedMicroseconds()};
            request = BuildMonitorRequest(expected.identifier, expected.sequence, sent.watchUs);
            return std::pair{request.data(), request.size()};
        });
        IcmpMessage reply;
        std::int64_t arrival = platform::kNoStamp;
        const ReplyWaitResult waited = AwaitReply(*socket, m_clock, expected, deadline, buffer, reply, arrival);
        if (waited == ReplyWaitResult::WaitFailed)
            return -1;
        if (waited != ReplyWaitResult::Answered) {
            // Timed out, or the read after a readable wait failed: either way no answer, and no pause.
            total -= 1;
            continue;
        }
        const double roundTrip = RoundTripMicroseconds(arrival, sent, m_stopwatch.ElapsedMicroseconds());
        if (n == 1)
            return static_cast<std::int32_t>(roundTrip);
        total = static_cast<std::int32_t>(total + roundTrip);
        m_clock.Sleep(pause);
    }
    return total / static_cast<std::int32_t>(n);
}

} // namespace lanwick
