// Test helper run inside a host namespace: receives UDP datagrams on one port and writes one line per datagram
// ("<length> <destination address> <bytes in hex>") to a file, after a first line "ready" once it listens.
//   udp_listener PORT FILE SECONDS
#include <arpa/inet.h>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 4)
        return 2;
    const int port = std::atoi(argv[1]);
    const int seconds = std::atoi(argv[3]);
    FILE* out = std::fopen(argv[2], "w");
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on); // the destination address comes with each datagram
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_port = htons(static_cast<std::uint16_t>(port));
    sin.sin_addr.s_addr = htonl(INADDR_ANY);
    if (!out || fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&sin), sizeof sin) != 0)
        return 1;
    std::fprintf(out, "ready\n");
    std::fflush(out);

    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        unsigned char data[2048];
        char control[256];
        iovec iov{data, sizeof data};
        msghdr msg{};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = recvmsg(fd, &msg, 0);
        if (n < 0)
            continue;
        char to[INET_ADDRSTRLEN] = "?";
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c))
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                const auto* info = reinterpret_cast<const in_pktinfo*>(CMSG_DATA(c));
                inet_ntop(AF_INET, &info->ipi_addr, to, sizeof to);
            }
        std::fprintf(out, "%zd %s ", n, to);
        for (ssize_t i = 0; i < n; ++i)
            std::fprintf(out, "%02X", data[i]);
        std::fprintf(out, "\n");
        std::fflush(out);
    }
    return 0;
}
