// Waiting for one echo reply within a deadline, skipping everything that does not answer our request.
#include "probes/ReplyWait.h"

#include <algorithm>

namespace lanwick {

bool IsOurReply(const IcmpMessage& message, const platform::Ipv4& from, const ExpectedReply& expected) {
    return message.type == kIcmpEchoReply && message.identifier == expected.identifier &&
           message.sequence == expected.sequence && from == expected.source;
}

std::int64_t DeadlineAfter(IProbeClock& clock, std::uint32_t milliseconds) {
    return clock.Counter() + clock.Frequency() * milliseconds / 1000;
}

namespace {
constexpr int kLateReads = 64;

// Microseconds left until the deadline, rounded up so that a wait never ends just short of it.
std::int64_t MicrosecondsLeft(IProbeClock& clock, std::int64_t deadline) {
    const std::int64_t ticks = deadline - clock.Counter();
    if (ticks <= 0)
        return 0;
    const std::int64_t frequency = clock.Frequency() > 0 ? clock.Frequency() : 1;
    return (ticks * 1000000 + frequency - 1) / frequency; // within int64 for any wait of a few seconds
}
} // namespace

ReplyWaitResult AwaitReply(platform::IIcmpSocket& socket, IProbeClock& clock, const ExpectedReply& expected,
                           std::int64_t deadline, std::vector<std::uint8_t>& buffer, IcmpMessage& reply,
                           std::int64_t& arrival) {
    // A thread that lost the processor past its deadline still takes what arrived meanwhile, as a wait that
    // began in time would have; the reads after the deadline are bounded, so a flood cannot hold it.
    int lateReads = 0;
    for (;;) {
        const std::int64_t left = MicrosecondsLeft(clock, deadline);
        if (left <= 0 && ++lateReads > kLateReads)
            return ReplyWaitResult::TimedOut;
        switch (socket.Wait(static_cast<std::uint32_t>(left))) {
        case platform::IcmpWaitResult::Failed:
            return ReplyWaitResult::WaitFailed;
        case platform::IcmpWaitResult::TimedOut:
            if (left <= 0)
                return ReplyWaitResult::TimedOut;
            continue; // an early (interrupted) wake waits again for what is left
        case platform::IcmpWaitResult::Readable:
            break;
        }
        std::size_t size = 0;
        platform::Ipv4 from{};
        switch (socket.Receive(buffer.data(), buffer.size(), size, from, arrival)) {
        case platform::IcmpReceiveResult::Nothing:
            continue;
        case platform::IcmpReceiveResult::TimedOut:
            return ReplyWaitResult::ReceiveTimedOut;
        case platform::IcmpReceiveResult::Failed:
            return ReplyWaitResult::ReceiveFailed;
        case platform::IcmpReceiveResult::Received:
            break;
        }
        const auto message = ParseIcmp(buffer.data(), size, socket.ReceivesIpHeader());
        if (message && IsOurReply(*message, from, expected)) {
            reply = *message;
            return ReplyWaitResult::Answered;
        }
    }
}

double RoundTripMicroseconds(std::int64_t arrival, const SendTime& sent, double readUs) {
    constexpr double kLimitUs = 60e6;
    const double us =
        arrival != platform::kNoStamp ? static_cast<double>(arrival - sent.stamp) / 1000.0 : readUs - sent.watchUs;
    return std::clamp(us, 0.0, kLimitUs);
}

} // namespace lanwick
