// A host that answers pings with a send stamp of its choosing, for LAN tests: run in a host namespace whose kernel
// ignores echo requests, it answers each request to its own address in 198.18.0.0/15 with the request's bytes,
// except the monitoring request's stamp (a double at offset 16) and the scan request's (32 bits at offset 8).
//
//   lan_stamp_forger SECONDS MONITOR_STAMP SCAN_STAMP
//
// It prints "ready" once its socket listens, and ends after SECONDS (or at SIGTERM).
#include "probes/EchoRequest.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_bStop = 0;

void OnTerm(int) {
    g_bStop = 1;
}

bool InTestRange(const in_addr& a) {
    return (ntohl(a.s_addr) & 0xFFFE0000u) == 0xC6120000u; // 198.18.0.0/15
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s SECONDS MONITOR_STAMP SCAN_STAMP\n", argv[0]);
        return 2;
    }
    const double seconds = std::strtod(argv[1], nullptr);
    const double monitorStamp = std::strtod(argv[2], nullptr);
    const auto scanStamp = static_cast<std::uint32_t>(std::strtoul(argv[3], nullptr, 0));
    if (seconds <= 0 || seconds > 120) {
        std::fprintf(stderr, "bad time\n");
        return 2;
    }
    const int fd = socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    if (fd < 0) {
        std::perror("socket");
        return 1;
    }
    std::signal(SIGTERM, OnTerm);
    std::signal(SIGINT, OnTerm);
    std::printf("ready\n");
    std::fflush(stdout);

    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    std::uint8_t packet[1500];
    while (!g_bStop && std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0)
            continue;
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const ssize_t n = recvfrom(fd, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 28 || !InTestRange(from.sin_addr))
            continue;
        const std::size_t header = static_cast<std::size_t>(packet[0] & 0x0F) * 4;
        if (static_cast<std::size_t>(n) < header + 8 || packet[header] != lanwick::kIcmpEchoRequest)
            continue;
        std::uint8_t* icmp = packet + header;
        const std::size_t size = static_cast<std::size_t>(n) - header;
        icmp[0] = lanwick::kIcmpEchoReply;
        if (size == lanwick::kMonitorRequestSize) {
            std::uint64_t bits = 0;
            std::memcpy(&bits, &monitorStamp, 8);
            for (int i = 0; i < 8; ++i)
                icmp[16 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
        } else if (size >= lanwick::kScanHeaderSize) {
            for (int i = 0; i < 4; ++i)
                icmp[8 + i] = static_cast<std::uint8_t>(scanStamp >> (8 * i));
        }
        icmp[2] = icmp[3] = 0;
        const std::uint16_t sum = lanwick::InternetChecksum(icmp, size);
        std::memcpy(icmp + 2, &sum, 2);
        sendto(fd, icmp, size, 0, reinterpret_cast<const sockaddr*>(&from), sizeof from);
    }
    close(fd);
    return 0;
}
