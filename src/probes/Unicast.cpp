// The unicast rule and this machine's broadcast addresses.
#include "probes/Unicast.h"

#include "platform/Interfaces.h"

#include <algorithm>

namespace lanwick {

std::string WhyNotUnicast(const platform::Ipv4& address, const std::vector<platform::Ipv4>& broadcasts) {
    if (address[0] == 0)
        return "a \"this network\" address (0.0.0.0/8)";
    if (address[0] >= 224 && address[0] <= 239)
        return "a multicast address";
    if (address[0] >= 240)
        return address == platform::Ipv4{255, 255, 255, 255} ? "the broadcast address"
                                                             : "a reserved address (240.0.0.0/4)";
    if (std::find(broadcasts.begin(), broadcasts.end(), address) != broadcasts.end())
        return "the broadcast address of a subnet on this machine";
    return {};
}

std::string WhyNotUnicast(const platform::Ipv4& address) {
    return WhyNotUnicast(address, platform::InterfaceBroadcasts());
}

} // namespace lanwick
