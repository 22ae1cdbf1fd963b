// ICMP echo sockets on Linux: SOCK_RAW needs CAP_NET_RAW; SOCK_DGRAM with IPPROTO_ICMP ("ping sockets") works
// without it for the groups in net.ipv4.ping_group_range, with the kernel owning identifier and checksum.
#include "platform/Icmp.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <linux/filter.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace lanwick::platform {

namespace {

// Rough kernel cost of one small datagram held in a socket buffer (data plus sk_buff bookkeeping).
constexpr std::size_t kBytesPerRequest = 1024;
constexpr std::size_t kMaxBufferBytes = 8u << 20;

sockaddr_in ToSockaddr(const Ipv4& address, std::uint16_t portBytes) {
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_port = portBytes;
    std::memcpy(&sin.sin_addr.s_addr, address.data(), 4);
    return sin;
}

// The identifier as the kernel writes it on the wire (the bytes of sin_port), read little-endian like our fields.
std::uint16_t WireIdentifier(std::uint16_t portBytes) {
    std::uint8_t b[2];
    std::memcpy(b, &portBytes, 2);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::uint16_t PortBytesFor(std::uint16_t identifier) {
    const std::uint8_t b[2] = {static_cast<std::uint8_t>(identifier & 0xFF),
                               static_cast<std::uint8_t>(identifier >> 8)};
    std::uint16_t port = 0;
    std::memcpy(&port, b, 2);
    return port;
}

// A classic BPF program that passes an echo reply with `identifier` (stored little-endian, as our requests write
// it) from `from` (any sender when null), and drops everything else before it reaches the socket's buffer. Raw
// sockets see the IP header first; datagram sockets see the ICMP message and reach the IP header through
// SKF_NET_OFF.
std::vector<sock_filter> ReplyFilter(bool bRaw, std::uint16_t identifier, const Ipv4* from) {
    constexpr auto kAccept = 0xFFFFFFFFu; // keep the whole datagram
    // A half-word load reads network order, so our little-endian identifier is compared byte-swapped.
    const auto swapped = static_cast<std::uint32_t>(((identifier & 0xFF) << 8) | (identifier >> 8));
    std::vector<sock_filter> program;
    const auto op = [&](int code, std::uint32_t k) {
        program.push_back(sock_filter{static_cast<std::uint16_t>(code), 0, 0, k});
    };
    // Conditional jumps fall through on a match; their "false" target (the final drop) is patched in below.
    const auto require = [&](std::uint32_t value) { op(BPF_JMP | BPF_JEQ | BPF_K, value); };
    if (bRaw)
        op(BPF_LDX | BPF_B | BPF_MSH, 0); // X = length of the IP header
    else
        op(BPF_LDX | BPF_W | BPF_IMM, 0);
    op(BPF_LD | BPF_B | BPF_IND, 0); // ICMP type
    require(ICMP_ECHOREPLY);
    op(BPF_LD | BPF_H | BPF_IND, 4); // identifier
    require(swapped);
    if (from) {
        const std::uint32_t source = (std::uint32_t{(*from)[0]} << 24) | (std::uint32_t{(*from)[1]} << 16) |
                                     (std::uint32_t{(*from)[2]} << 8) | std::uint32_t{(*from)[3]};
        op(BPF_LD | BPF_W | BPF_ABS, static_cast<std::uint32_t>(bRaw ? 12 : SKF_NET_OFF + 12));
        require(source);
    }
    op(BPF_RET | BPF_K, kAccept);
    op(BPF_RET | BPF_K, 0);
    const std::size_t drop = program.size() - 1;
    for (std::size_t i = 0; i < program.size(); ++i) {
        if (program[i].code == (BPF_JMP | BPF_JEQ | BPF_K))
            program[i].jf = static_cast<std::uint8_t>(drop - i - 1);
    }
    return program;
}

std::int64_t Nanoseconds(const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

class CPosixIcmpSocket final : public IIcmpSocket {
public:
    CPosixIcmpSocket(int fd, bool bRaw, std::uint16_t identifier) : m_fd(fd), m_bRaw(bRaw), m_nIdentifier(identifier) {
        // The kernel stamps each datagram as it comes off the wire, on the wall clock.
        const int on = 1;
        m_bStamps = setsockopt(m_fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on) == 0;
    }
    ~CPosixIcmpSocket() override { close(m_fd); }
    CPosixIcmpSocket(const CPosixIcmpSocket&) = delete;
    CPosixIcmpSocket& operator=(const CPosixIcmpSocket&) = delete;

    bool ReceivesIpHeader() const override { return m_bRaw; }
    std::uint16_t Identifier(std::uint16_t wanted) const override { return m_bRaw ? wanted : m_nIdentifier; }

    void ReserveBuffers(std::size_t requests) override {
        const std::size_t bytes = std::min(kMaxBufferBytes, std::max<std::size_t>(requests, 1) * kBytesPerRequest);
        const int value = static_cast<int>(bytes);
        // The FORCE options pass the system's maximum when we are privileged; otherwise the plain ones are capped.
        for (int option : {SO_SNDBUFFORCE, SO_RCVBUFFORCE}) {
            if (setsockopt(m_fd, SOL_SOCKET, option, &value, sizeof value) != 0)
                setsockopt(m_fd, SOL_SOCKET, option == SO_SNDBUFFORCE ? SO_SNDBUF : SO_RCVBUF, &value, sizeof value);
        }
    }

    bool AcceptOnlyReplies(std::uint16_t identifier, const Ipv4* from) override {
        std::vector<sock_filter> program = ReplyFilter(m_bRaw, identifier, from);
        const sock_fprog fprog{static_cast<unsigned short>(program.size()), program.data()};
        return setsockopt(m_fd, SOL_SOCKET, SO_ATTACH_FILTER, &fprog, sizeof fprog) == 0;
    }

    IcmpSendResult Send(const void* data, std::size_t size, const Ipv4& to) override {
        const sockaddr_in sin = ToSockaddr(to, 0);
        for (;;) {
            const ssize_t n =
                sendto(m_fd, data, size, MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&sin), sizeof sin);
            if (n >= 0)
                return IcmpSendResult::Sent;
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS)
                return IcmpSendResult::Busy;
            return errno == ETIMEDOUT ? IcmpSendResult::TimedOut : IcmpSendResult::Failed;
        }
    }

    IcmpWaitResult Wait(std::uint32_t microseconds) override {
        // poll rather than select: a program with many files open may get a descriptor above FD_SETSIZE.
        pollfd p{m_fd, POLLIN, 0};
        const timespec ts{static_cast<time_t>(microseconds / 1000000),
                          static_cast<long>(microseconds % 1000000) * 1000};
        const int n = ppoll(&p, 1, &ts, nullptr);
        if (n > 0)
            return IcmpWaitResult::Readable;
        if (n == 0)
            return IcmpWaitResult::TimedOut;
        // An interrupted wait is not a failure: the caller waits again for what is left of its deadline.
        return errno == EINTR ? IcmpWaitResult::TimedOut : IcmpWaitResult::Failed;
    }

    IcmpReceiveResult Receive(void* buffer, std::size_t capacity, std::size_t& size, Ipv4& from,
                              std::int64_t& arrival) override {
        sockaddr_in sin{};
        iovec iov{buffer, capacity};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
        msghdr msg{};
        msg.msg_name = &sin;
        msg.msg_namelen = sizeof sin;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        arrival = kNoStamp;
        const ssize_t n = recvmsg(m_fd, &msg, MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                return IcmpReceiveResult::Nothing;
            return errno == ETIMEDOUT ? IcmpReceiveResult::TimedOut : IcmpReceiveResult::Failed;
        }
        size = static_cast<std::size_t>(n);
        std::memcpy(from.data(), &sin.sin_addr.s_addr, 4);
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS &&
                c->cmsg_len >= CMSG_LEN(sizeof(timespec))) {
                timespec t{};
                std::memcpy(&t, CMSG_DATA(c), sizeof t);
                arrival = Nanoseconds(t);
            }
        }
        return IcmpReceiveResult::Received;
    }

    std::int64_t StampNow() const override {
        timespec t{};
        clock_gettime(CLOCK_REALTIME, &t);
        return Nanoseconds(t);
    }

    bool StampsArrivals() const override { return m_bStamps; }

private:
    int m_fd;
    bool m_bRaw;
    std::uint16_t m_nIdentifier;
    bool m_bStamps = false;
};

int OpenRaw() {
    const int fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0)
        return -1;
    // Only echo replies concern us; every other ICMP message the host receives stays out of our buffer.
    icmp_filter filter{};
    filter.data = ~(1U << ICMP_ECHOREPLY);
    setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
    return fd;
}

// A ping socket is bound to an identifier: ours when no other socket holds it, else one the kernel picks.
int OpenDatagram(std::uint16_t wanted, std::uint16_t& identifier) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0)
        return -1;
    const Ipv4 any{0, 0, 0, 0};
    sockaddr_in sin = ToSockaddr(any, PortBytesFor(wanted));
    if (bind(fd, reinterpret_cast<const sockaddr*>(&sin), sizeof sin) != 0) {
        sin = ToSockaddr(any, 0);
        if (bind(fd, reinterpret_cast<const sockaddr*>(&sin), sizeof sin) != 0) {
            close(fd);
            return -1;
        }
    }
    socklen_t len = sizeof sin;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&sin), &len) != 0) {
        close(fd);
        return -1;
    }
    identifier = WireIdentifier(sin.sin_port);
    return fd;
}

class CPosixIcmpSocketFactory final : public IIcmpSocketFactory {
public:
    std::unique_ptr<IIcmpSocket> Open(std::uint16_t identifier) override {
        if (const int fd = OpenRaw(); fd >= 0)
            return std::make_unique<CPosixIcmpSocket>(fd, true, identifier);
        std::uint16_t assigned = 0;
        if (const int fd = OpenDatagram(identifier, assigned); fd >= 0)
            return std::make_unique<CPosixIcmpSocket>(fd, false, assigned);
        return nullptr;
    }
};

} // namespace

IIcmpSocketFactory& SystemIcmpSockets() {
    static CPosixIcmpSocketFactory factory;
    return factory;
}

std::uint16_t UnguessableIdentifier() {
    std::uint16_t value = 0;
    if (getrandom(&value, sizeof value, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof value))
        return value;
    // Only before the system's random source is ready (early boot): weaker, but still not the thread id.
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint16_t>((now.tv_nsec >> 4) ^ getpid());
}

bool CanOpenIcmp() {
    return SystemIcmpSockets().Open(0) != nullptr;
}

} // namespace lanwick::platform
