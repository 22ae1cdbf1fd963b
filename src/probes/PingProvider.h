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
    // Makes the running PingAll and every later one end soon, unfinished hosts giving -1: for shutting down
    // while a pass is in flight. Safe from any thread; a provider that cannot be cut short ignores it.
    virtual void Cancel() {}
};

} // namespace lanwick
