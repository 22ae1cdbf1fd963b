// The scan probe: many range scan workers run it at once, each thread on its own socket. The socket lets in only
// replies for its identifier from the probed address, so that other threads' replies (or a flood of forged ones)
// neither fill its buffer nor hide a live host; where the system refuses that filter they are skipped here.
#include "probes/ScanPing.h"

#include "platform/Clock.h"
#include "probes/EchoRequest.h"
#include "probes/ReplyWait.h"
#include "probes/Unicast.h"

#include <algorithm>
#include <memory>
#include <new>
#include <utility>

namespace lanwick {

std::int32_t ScanPing(const std::string& host, unsigned pause, unsigned attempts, unsigned payload,
                      platform::IIcmpSocketFactory& sockets, IProbeClock& clock) {
    const unsigned n = std::max(attempts, 1u); // the mean divides by it
    const std::size_t fill = payload == 0 ? kScanDefaultPayload : payload;
    const auto wanted = static_cast<std::uint16_t>(platform::GetCurrentThreadId() & 0xFFFF);
    const auto socket = sockets.Open(wanted);
    if (!socket)
        return kScanNoSocket;
    // inet_addr cannot tell 255.255.255.255 from its error value, so that address has always been refused; the
    // other addresses that reach more than one host are refused with it.
    const auto address = platform::ParseIpv4(host);
    if (!address || !WhyNotUnicast(*address).empty())
        return kScanBadAddress;
    // A request must fit the 1024-byte buffer; a larger payload would overrun it.
    if (kScanHeaderSize + fill > kScanBufferSize)
        return kScanNoBuffer;
    const std::unique_ptr<std::uint8_t[]> request(new (std::nothrow) std::uint8_t[kScanBufferSize]());
    if (!request)
        return kScanNoBuffer;
    std::vector<std::uint8_t> reply;
    try {
        reply.resize(kScanBufferSize);
    } catch (const std::bad_alloc&) {
        return kScanNoBuffer;
    }

    ExpectedReply expected{socket->Identifier(wanted), 0, *address};
    socket->AcceptOnlyReplies(expected.identifier, &expected.source);
    std::int32_t sum = 0;
    bool bAnswered = false;
    for (unsigned attempt = 0; attempt < n; ++attempt, ++expected.sequence) {
        const std::int64_t deadline = DeadlineAfter(clock, 1000);
        SendTime sentAt;
        std::uint32_t sentTick = 0;
        const platform::IcmpSendResult sent = SendFresh(*socket, clock, *address, deadline, [&] {
            sentAt.stamp = socket->StampNow();
            sentTick = clock.TickCount();
            const std::size_t size =
                BuildScanRequest(request.get(), expected.identifier, expected.sequence, sentTick, fill);
            return std::pair{static_cast<const std::uint8_t*>(request.get()), size};
        });
        if (sent == platform::IcmpSendResult::TimedOut)
            continue;
        if (sent == platform::IcmpSendResult::Failed)
            return kScanSendFailed;

        IcmpMessage message;
        std::int64_t arrival = platform::kNoStamp;
        switch (AwaitReply(*socket, clock, expected, deadline, reply, message, arrival)) {
        case ReplyWaitResult::TimedOut:
        case ReplyWaitResult::WaitFailed: // a failed select cannot be waited on: as good as a time-out
            return kScanNoAnswer;
        case ReplyWaitResult::ReceiveTimedOut:
            continue;
        case ReplyWaitResult::ReceiveFailed:
            return kScanReceiveFailed;
        case ReplyWaitResult::Answered:
            break;
        }
        // Whole milliseconds, as the tick count gives them where the system stamps no arrivals.
        const double readUs = static_cast<double>(clock.TickCount() - sentTick) * 1000.0;
        sum += static_cast<std::int32_t>(RoundTripMicroseconds(arrival, sentAt, readUs) / 1000.0);
        bAnswered = true;
        if (n > 1)
            clock.Sleep(pause);
    }
    // Attempts whose send or receive timed out add nothing; with none answered there is no round trip to report.
    if (!bAnswered || sum < 0)
        return kScanNoAnswer;
    return sum / static_cast<std::int32_t>(n);
}

} // namespace lanwick
