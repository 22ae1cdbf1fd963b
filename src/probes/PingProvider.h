// What the monitoring pass needs of the network: the monitoring probe's result for each of many hosts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lanwick {

class IPingProvider {
public:
    virtual ~IPingProvider() = default;
    // For each host, the value CPinger::Ping(attempts, host, pause) would give, in the hosts' order.
    virtual std::vector<std::int32_t> PingAll(const std::vector<std::string>& hosts, unsigned attempts,
                                              unsigned pause) = 0;
};

} // namespace lanwick
