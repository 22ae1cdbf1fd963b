// MAC lookup on Windows: SendARP asks the network and waits for the answer (or its own timeout) itself.
#include "platform/Neighbour.h"

#include <winsock2.h>

#include <iphlpapi.h>

#include <cstring>

namespace lanwick::platform {

std::optional<Mac> LookupNeighbour(const Ipv4& address, std::uint32_t /*timeoutMs*/) {
    IPAddr destination = 0;
    std::memcpy(&destination, address.data(), 4);
    ULONG buffer[2] = {0, 0};
    ULONG length = 6;
    if (SendARP(destination, 0, buffer, &length) != NO_ERROR || length < 6)
        return std::nullopt;
    Mac mac{};
    std::memcpy(mac.data(), buffer, mac.size());
    if (mac == Mac{})
        return std::nullopt;
    return mac;
}

} // namespace lanwick::platform
