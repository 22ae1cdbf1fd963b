// ICMP echo sockets: a raw socket when the process may open one, else the kernel's unprivileged datagram ICMP
// socket, behind an interface that lets the probes run against a fake in tests.
#pragma once

#include "platform/Resolver.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace lanwick::platform {

enum class IcmpSendResult {
    Sent,
    Busy,     // the send buffer is full for now (EAGAIN/ENOBUFS): try again shortly, the host may be fine
    TimedOut, // the system gave up sending (ETIMEDOUT)
    Failed,
};

enum class IcmpWaitResult { Readable, TimedOut, Failed };

// A datagram's arrival time where the system gave none.
constexpr std::int64_t kNoStamp = -1;

enum class IcmpReceiveResult {
    Received,
    Nothing, // readable was a false alarm (EAGAIN/EINTR): keep waiting
    TimedOut,
    Failed,
};

class IIcmpSocket {
public:
    virtual ~IIcmpSocket() = default;
    // Raw sockets hand over whole IP datagrams; datagram ICMP sockets hand over the ICMP message alone.
    virtual bool ReceivesIpHeader() const = 0;
    // A datagram socket's echo identifier is the kernel's (it rewrites ours): the value a reply carries,
    // read from the wire in little-endian order. A raw socket sends our own identifier and returns `wanted`.
    virtual std::uint16_t Identifier(std::uint16_t wanted) const = 0;
    // Asks for buffer room for about `requests` requests and replies in flight at once (best effort: a pass over
    // hundreds of hosts, many with unresolved ARP, overflows the default send buffer).
    virtual void ReserveBuffers(std::size_t requests) = 0;
    // Lets into the socket only echo replies that carry `identifier` (as Identifier returned it) and, when `from`
    // is given, come from that address. Every raw socket is handed a copy of every ICMP datagram, so without this
    // a flood of other replies fills each socket's buffer and crowds out its own. False when the system refused
    // the filter; the probes match every reply themselves either way.
    virtual bool AcceptOnlyReplies(std::uint16_t identifier, const Ipv4* from) = 0;
    virtual IcmpSendResult Send(const void* data, std::size_t size, const Ipv4& to) = 0;
    // Waits until a datagram can be read, at most `microseconds`.
    virtual IcmpWaitResult Wait(std::uint32_t microseconds) = 0;
    // Reads one datagram without blocking; `size` gets its length (cut to `capacity`), `from` its sender and
    // `arrival` the time the system took when the datagram arrived, in nanoseconds on the StampNow clock (kNoStamp
    // when it gave none). A reply read late, behind many others, still carries the time it really came in.
    virtual IcmpReceiveResult Receive(void* buffer, std::size_t capacity, std::size_t& size, Ipv4& from,
                                      std::int64_t& arrival) = 0;
    // Now on the clock of the arrival stamps, in nanoseconds: taken right before a send, so that a round trip is
    // the difference of two readings of one clock.
    virtual std::int64_t StampNow() const = 0;
    // False when the system stamps no arrivals: a reply's time is then only known when it is read.
    virtual bool StampsArrivals() const = 0;
};

class IIcmpSocketFactory {
public:
    virtual ~IIcmpSocketFactory() = default;
    // A socket whose requests carry `identifier` where the system lets us choose it; null when neither a raw
    // nor a datagram ICMP socket can be opened.
    virtual std::unique_ptr<IIcmpSocket> Open(std::uint16_t identifier) = 0;
};

// The system's ICMP sockets.
IIcmpSocketFactory& SystemIcmpSockets();

// An echo identifier from the system's random source, for requests whose format leaves the identifier to us: one
// observed value then gives away nothing about the next.
std::uint16_t UnguessableIdentifier();

// True when this process may open an ICMP echo socket of either kind, so that probes can run at all.
bool CanOpenIcmp();

} // namespace lanwick::platform
