// A forging host for LAN tests: sends echo replies nobody asked for to one address, with forged sources and a
// range of identifiers, as fast as it can until a count or a time is reached (or SIGTERM), then prints how many
// it sent and in how many seconds. It refuses any address outside 198.18.0.0/15.
//
//   lan_reply_flooder TARGET COUNT SECONDS RATE FIRST_ID LAST_ID SOURCE...
//
// RATE caps the datagrams per second (0: no cap), so that a test can flood the sockets without flooding the link.
//
// Datagram i carries identifier FIRST_ID + i mod (LAST_ID - FIRST_ID + 1), little-endian as the probes write it,
// sequence 0 (a scan probe's first attempt) and source SOURCE[i mod number of sources].
#include "probes/EchoRequest.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

volatile std::sig_atomic_t g_bStop = 0;

void OnTerm(int) {
    g_bStop = 1;
}

bool InTestRange(const in_addr& a) {
    const std::uint32_t host = ntohl(a.s_addr);
    return (host & 0xFFFE0000u) == 0xC6120000u; // 198.18.0.0/15
}

bool ParseAddress(const char* text, in_addr& out) {
    return inet_pton(AF_INET, text, &out) == 1 && InTestRange(out);
}

// An IPv4 header and an echo reply of the 44 bytes a scan request has, checksums done.
std::vector<std::uint8_t> ForgedReply(const in_addr& from, const in_addr& to, std::uint16_t identifier) {
    std::vector<std::uint8_t> packet(20 + lanwick::kScanHeaderSize + lanwick::kScanDefaultPayload, 0);
    std::uint8_t* ip = packet.data();
    ip[0] = 0x45;
    ip[2] = static_cast<std::uint8_t>(packet.size() >> 8);
    ip[3] = static_cast<std::uint8_t>(packet.size() & 0xFF);
    ip[8] = 64;
    ip[9] = IPPROTO_ICMP;
    std::memcpy(ip + 12, &from.s_addr, 4);
    std::memcpy(ip + 16, &to.s_addr, 4);
    std::uint8_t* icmp = ip + 20;
    icmp[0] = lanwick::kIcmpEchoReply;
    lanwick::WriteLe16(icmp + 4, identifier);
    std::memset(icmp + lanwick::kScanHeaderSize, 'E', lanwick::kScanDefaultPayload);
    const std::uint16_t sum = lanwick::InternetChecksum(icmp, packet.size() - 20);
    std::memcpy(icmp + 2, &sum, 2); // the kernel fills the IP checksum of a raw IP_HDRINCL datagram
    return packet;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 8) {
        std::fprintf(stderr, "usage: %s TARGET COUNT SECONDS RATE FIRST_ID LAST_ID SOURCE...\n", argv[0]);
        return 2;
    }
    in_addr target{};
    if (!ParseAddress(argv[1], target)) {
        std::fprintf(stderr, "target must be in 198.18.0.0/15\n");
        return 2;
    }
    const unsigned long count = std::strtoul(argv[2], nullptr, 10);
    const double seconds = std::strtod(argv[3], nullptr);
    const double rate = std::strtod(argv[4], nullptr);
    const unsigned long firstId = std::strtoul(argv[5], nullptr, 0);
    const unsigned long lastId = std::strtoul(argv[6], nullptr, 0);
    if (lastId < firstId || lastId > 0xFFFF || seconds <= 0 || seconds > 120) {
        std::fprintf(stderr, "bad identifier range or time\n");
        return 2;
    }
    std::vector<in_addr> sources;
    for (int i = 7; i < argc; ++i) {
        in_addr a{};
        if (!ParseAddress(argv[i], a)) {
            std::fprintf(stderr, "source %s must be in 198.18.0.0/15\n", argv[i]);
            return 2;
        }
        sources.push_back(a);
    }
    const int fd = socket(AF_INET, SOCK_RAW, IPPROTO_RAW); // IPPROTO_RAW implies IP_HDRINCL
    if (fd < 0) {
        std::perror("socket");
        return 1;
    }
    std::signal(SIGTERM, OnTerm);
    std::signal(SIGINT, OnTerm);

    const unsigned long ids = lastId - firstId + 1;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr = target;
    const auto start = std::chrono::steady_clock::now();
    unsigned long sent = 0;
    double elapsed = 0;
    while (sent < count && !g_bStop) {
        if ((sent & 0xF) == 0) {
            elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (elapsed >= seconds)
                break;
            if (rate > 0 && static_cast<double>(sent) > elapsed * rate) {
                usleep(static_cast<useconds_t>((static_cast<double>(sent) / rate - elapsed) * 1e6));
                continue;
            }
        }
        const auto identifier = static_cast<std::uint16_t>(firstId + sent % ids);
        const std::vector<std::uint8_t> packet = ForgedReply(sources[sent % sources.size()], target, identifier);
        if (sendto(fd, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0) {
            if (errno != ENOBUFS && errno != EAGAIN && errno != EINTR) {
                std::perror("sendto");
                break;
            }
            pollfd p{fd, POLLOUT, 0};
            poll(&p, 1, 1);
            continue;
        }
        ++sent;
    }
    elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("sent %lu in %.2f s\n", sent, elapsed);
    close(fd);
    return 0;
}
