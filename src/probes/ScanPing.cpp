// The scan probe: many range scan workers run it at once, each thread on its own socket. The socket lets in only
// replies for its identifier from the probed address, so that other threads' replies (or a flood of forged ones)
// neither fill its buffer nor hide a live host; where the system refuses that filter they are skipped here.
#include "probes/ScanPing.h"

#include "platform/Clock.h"
#include "probes/EchoRequest.h"
#include "probes/ReplyWait.h"

#include <algorithm>
#include <memory>
#include <new>
#include <utility>

namespace lanwick {

namespace {

std::uint32_t ReadLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool IsBroadcastAll(const platform::Ipv4& a) {
    return a[0] == 255 && a[1] == 255 && a[2] == 255 && a[3] == 255;
}

} // namespace

std::int32_t ScanPing(const std::string& host, unsigned pause, unsigned attempts, unsigned payload,
                      platform::IIcmpSocketFactory& sockets, IProbeClock& clock) {
    const unsigned n = std::max(attempts, 1u); // the mean divides by it
    const std::size_t fill = payload == 0 ? kScanDefaultPayload : payload;
    const auto wanted = static_cast<std::uint16_t>(platform::GetCurrentThreadId() & 0xFFFF);
    const auto socket = sockets.Open(wanted);
    if (!socket)
        return kScanNoSocket;
    // inet_addr cannot tell 255.255.255.255 from its error value, so that address has always been refused.
    const auto address = platform::ParseIpv4(host);
    if (!address || IsBroadcastAll(*address))
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
        const platform::IcmpSendResult sent = SendFresh(*socket, clock, *address, deadline, [&] {
            const std::size_t size =
                BuildScanRequest(request.get(), expected.identifier, expected.sequence, clock.TickCount(), fill);
            return std::pair{static_cast<const std::uint8_t*>(request.get()), size};
        });
        if (sent == platform::IcmpSendResult::TimedOut)
            continue;
        if (sent == platform::IcmpSendResult::Failed)
            return kScanSendFailed;

        IcmpMessage message;
        switch (AwaitReply(*socket, clock, expected, deadline, reply, message)) {
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
        const std::uint32_t stamp = message.size >= kScanHeaderSize ? ReadLe32(message.data + 8) : clock.TickCount();
        sum += static_cast<std::int32_t>(clock.TickCount() - stamp);
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
