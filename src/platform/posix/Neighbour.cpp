// MAC lookup on Linux: a datagram to the discard port makes the kernel resolve the address by ARP; the answer is
// read from the neighbour table in /proc/net/arp (of the caller's network namespace) until it is complete.
#include "platform/Neighbour.h"

#include "platform/Interfaces.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace lanwick::platform {
namespace {

constexpr unsigned kAtfComplete = 0x02; // ATF_COM: the entry holds a valid hardware address

// Addresses that are never a neighbour on the link: nothing to ask.
bool CanHaveNeighbour(const Ipv4& a) {
    if (a[0] == 0 || a[0] == 127 || a[0] >= 224)
        return false;
    return true;
}

// Sends one empty datagram to port 9 (discard) so that the kernel has to resolve the address. False when the
// system cannot route to it at all.
bool Provoke(const Ipv4& address) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9);
    std::memcpy(&to.sin_addr.s_addr, address.data(), 4);
    ssize_t sent = sendto(fd, "", 0, MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    int err = errno;
    close(fd);
    // A full queue or a pending resolution still leaves the kernel asking; only a missing route is final.
    return sent >= 0 || (err != ENETUNREACH && err != EHOSTUNREACH && err != EACCES && err != EPERM);
}

bool ParseMac(const char* text, Mac& mac) {
    unsigned b[6];
    if (std::sscanf(text, "%2x:%2x:%2x:%2x:%2x:%2x", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5]) != 6)
        return false;
    for (int i = 0; i < 6; ++i)
        mac[i] = static_cast<std::uint8_t>(b[i]);
    return true;
}

// One look at the table: the complete entries, or only the one for `wanted` when it is given.
std::vector<std::pair<Ipv4, Mac>> ReadArpTable(const std::optional<Ipv4>& wanted) {
    std::vector<std::pair<Ipv4, Mac>> entries;
    std::FILE* f = std::fopen("/proc/net/arp", "re");
    if (!f)
        return entries;
    char line[256];
    // Columns: IP address, HW type, Flags, HW address, Mask, Device; the first line is the heading.
    if (std::fgets(line, sizeof line, f)) {
        while (std::fgets(line, sizeof line, f)) {
            char ip[64], hwType[32], flags[32], hw[64];
            if (std::sscanf(line, "%63s %31s %31s %63s", ip, hwType, flags, hw) != 4)
                continue;
            const auto address = ParseIpv4(ip);
            if (!address || (wanted && *address != *wanted))
                continue;
            const unsigned flagBits = static_cast<unsigned>(std::strtoul(flags, nullptr, 16));
            Mac mac{};
            if ((flagBits & kAtfComplete) && ParseMac(hw, mac) && mac != Mac{}) {
                entries.emplace_back(*address, mac);
                if (wanted)
                    break;
            }
        }
    }
    std::fclose(f);
    return entries;
}

std::optional<Mac> ReadArpEntry(const Ipv4& address) {
    const auto entries = ReadArpTable(address);
    return entries.empty() ? std::nullopt : std::optional<Mac>(entries.front().second);
}

} // namespace

std::optional<Mac> LookupNeighbour(const Ipv4& address, std::uint32_t timeoutMs) {
    if (!CanHaveNeighbour(address))
        return std::nullopt;
    if (auto known = ReadArpEntry(address))
        return known;
    // Behind a router no ARP answer ever comes for the address itself: waiting for one would cost the whole
    // time-out per address of a routed range.
    if (!IsOnLink(address))
        return std::nullopt;
    if (!Provoke(address))
        return std::nullopt;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    // Short polls first (an answer on a LAN takes well under a millisecond), then every 20 ms, so that many
    // threads waiting for silent addresses do not keep re-reading the table.
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        if (auto mac = ReadArpEntry(address))
            return mac;
        auto now = Clock::now();
        if (now >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
}

std::vector<std::pair<Ipv4, Mac>> NeighbourTable() {
    return ReadArpTable(std::nullopt);
}

} // namespace lanwick::platform
