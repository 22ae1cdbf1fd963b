// Name resolution on POSIX through getaddrinfo/getnameinfo, which are thread-safe, unlike the gethostby* calls.
#include "platform/Resolver.h"

#include <arpa/inet.h>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace lanwick::platform {

std::optional<Ipv4> ParseIpv4(const std::string& text) {
    in_addr a{};
    if (inet_aton(text.c_str(), &a) == 0)
        return std::nullopt;
    Ipv4 out{};
    std::memcpy(out.data(), &a.s_addr, 4);
    return out;
}

std::optional<Ipv4> ForwardLookup(const std::string& host) {
    if (host.empty())
        return std::nullopt;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* res = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &res) != 0 || !res)
        return std::nullopt;
    Ipv4 out{};
    const auto* sin = reinterpret_cast<const sockaddr_in*>(res->ai_addr);
    std::memcpy(out.data(), &sin->sin_addr.s_addr, 4);
    freeaddrinfo(res);
    return out;
}

std::optional<HostEntry> LookupHost(const std::string& host) {
    if (host.empty())
        return std::nullopt;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* res = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &res) != 0 || !res)
        return std::nullopt;
    HostEntry entry;
    const auto* sin = reinterpret_cast<const sockaddr_in*>(res->ai_addr);
    std::memcpy(entry.address.data(), &sin->sin_addr.s_addr, 4);
    entry.strOfficialName = res->ai_canonname ? res->ai_canonname : host;
    freeaddrinfo(res);
    return entry;
}

std::optional<std::string> ReverseLookup(const Ipv4& address) {
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    std::memcpy(&sin.sin_addr.s_addr, address.data(), 4);
    char name[NI_MAXHOST];
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&sin), sizeof sin, name, sizeof name, nullptr, 0, NI_NAMEREQD) !=
        0)
        return std::nullopt;
    return std::string(name);
}

} // namespace lanwick::platform
