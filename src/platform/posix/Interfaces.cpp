// Interface subnets on Linux, through getifaddrs.
#include "platform/Interfaces.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

namespace lanwick::platform {

std::vector<Ipv4> InterfaceBroadcasts() {
    std::vector<Ipv4> result;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return result;
    for (const ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
        if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_UP) ||
            i->ifa_netmask == nullptr)
            continue;
        const auto add = [&](std::uint32_t networkOrder) {
            Ipv4 broadcast{};
            std::memcpy(broadcast.data(), &networkOrder, 4);
            if (networkOrder != 0 && std::find(result.begin(), result.end(), broadcast) == result.end())
                result.push_back(broadcast);
        };
        // The subnet's all-ones address, whether or not the interface was given it as its broadcast address
        // ("ip addr add" without "brd +" leaves that empty); /31 and /32 have none.
        const std::uint32_t address = reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr;
        const std::uint32_t mask = reinterpret_cast<const sockaddr_in*>(i->ifa_netmask)->sin_addr.s_addr;
        if (std::popcount(mask) <= 30)
            add(address | ~mask);
        // Without a broadcast address of its own, an interface's ifa_broadaddr holds its own address.
        if ((i->ifa_flags & IFF_BROADCAST) && !(i->ifa_flags & IFF_POINTOPOINT) && i->ifa_broadaddr != nullptr) {
            const std::uint32_t broadcast = reinterpret_cast<const sockaddr_in*>(i->ifa_broadaddr)->sin_addr.s_addr;
            if (broadcast != address)
                add(broadcast);
        }
    }
    freeifaddrs(list);
    return result;
}

std::vector<Ipv4> InterfaceAddresses() {
    std::vector<Ipv4> result;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return result;
    for (const ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
        if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_UP))
            continue;
        Ipv4 address{};
        std::memcpy(address.data(), &reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr, 4);
        result.push_back(address);
    }
    freeifaddrs(list);
    return result;
}

bool IsOnLink(const Ipv4& address) {
    std::uint32_t wanted = 0;
    std::memcpy(&wanted, address.data(), 4);
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return true; // unknown: let the caller ask the link as before
    bool bOnLink = false;
    for (const ifaddrs* i = list; i != nullptr && !bOnLink; i = i->ifa_next) {
        if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_UP) ||
            i->ifa_netmask == nullptr)
            continue;
        const std::uint32_t own = reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr;
        const std::uint32_t mask = reinterpret_cast<const sockaddr_in*>(i->ifa_netmask)->sin_addr.s_addr;
        bOnLink = ((own ^ wanted) & mask) == 0;
    }
    freeifaddrs(list);
    return bOnLink;
}

} // namespace lanwick::platform
