// Waiting for the reply to one echo request: what both single-host probes share. Only an echo reply with our
// identifier and sequence from the probed address counts; anything else is skipped until the deadline.
#pragma once

#include "platform/Icmp.h"
#include "probes/EchoRequest.h"
#include "probes/ProbeClock.h"

#include <cstdint>
#include <vector>

namespace lanwick {

enum class ReplyWaitResult {
    Answered,
    TimedOut,
    WaitFailed,      // select itself failed
    ReceiveTimedOut, // the read after a readable wait failed with a time-out
    ReceiveFailed,   // the read after a readable wait failed otherwise
};

struct ExpectedReply {
    std::uint16_t identifier = 0;
    std::uint16_t sequence = 0;
    platform::Ipv4 source{};
};

// True when the message answers the request described by `expected`.
bool IsOurReply(const IcmpMessage& message, const platform::Ipv4& from, const ExpectedReply& expected);

// The counter value `milliseconds` from now.
std::int64_t DeadlineAfter(IProbeClock& clock, std::uint32_t milliseconds);

// Reads datagrams into `buffer` until our reply arrives (then `reply` points into `buffer` and `arrival` holds the
// system's stamp of its arrival, or kNoStamp) or the counter reaches `deadline`.
ReplyWaitResult AwaitReply(platform::IIcmpSocket& socket, IProbeClock& clock, const ExpectedReply& expected,
                           std::int64_t deadline, std::vector<std::uint8_t>& buffer, IcmpMessage& reply,
                           std::int64_t& arrival);

// Where we stood when a request went out: the socket's stamp clock and our own stopwatch.
struct SendTime {
    std::int64_t stamp = 0; // nanoseconds, IIcmpSocket::StampNow
    double watchUs = 0;     // microseconds on the probe's stopwatch
};

// A reply's round trip in microseconds: its arrival stamp minus the send stamp where the system stamped it, else
// the stopwatch when it was read (`readUs`) minus the stopwatch at the send. Only our own records count: the
// stamp a request carries comes back as the host chooses to write it. Kept within 0..60 s, so that a step of the
// wall clock between send and arrival can neither show a negative time nor overflow an integer.
double RoundTripMicroseconds(std::int64_t arrival, const SendTime& sent, double readUs);

// Builds a request with `build` (which stamps it with the time of sending and returns its bytes) and sends it;
// while the socket's buffer is full, rebuilds and retries every millisecond until `deadline`. A buffer that stays
// full counts as a send that timed out: the host may well be alive.
template <typename Build>
platform::IcmpSendResult SendFresh(platform::IIcmpSocket& socket, IProbeClock& clock, const platform::Ipv4& to,
                                   std::int64_t deadline, Build build) {
    for (;;) {
        const auto [data, size] = build();
        const platform::IcmpSendResult result = socket.Send(data, size, to);
        if (result != platform::IcmpSendResult::Busy)
            return result;
        if (clock.Counter() >= deadline)
            return platform::IcmpSendResult::TimedOut;
        clock.Sleep(1);
    }
}

} // namespace lanwick
