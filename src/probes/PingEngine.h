// Pings many hosts at once from one ICMP socket, so that a pass over the list takes about one time-out instead of
// one per silent machine, and gives each host exactly the value the monitoring probe would.
#pragma once

#include "platform/Icmp.h"
#include "probes/PingProvider.h"
#include "probes/ProbeClock.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace lanwick {

class CPingEngine final : public IPingProvider {
public:
    explicit CPingEngine(platform::IIcmpSocketFactory& sockets = platform::SystemIcmpSockets(),
                         IProbeClock& clock = SystemProbeClock());

    // Each host's attempts follow each other (the pause after answered ones); all hosts run side by side.
    // Unresolvable hosts give -1 at once. Callable from any thread, also from several at once.
    std::vector<std::int32_t> PingAll(const std::vector<std::string>& hosts, unsigned attempts,
                                      unsigned pause) override;

    // Within a few tens of milliseconds.
    void Cancel() override { m_bCancelled.store(true); }
    bool IsCancelled() const { return m_bCancelled.load(); }

    // How long each attempt waits for its reply, 1000 ms unless set; for networks that answer far sooner. Set it
    // before a pass starts.
    void SetTimeout(std::uint32_t milliseconds) { m_nTimeoutMs = std::max<std::uint32_t>(milliseconds, 1); }

private:
    platform::IIcmpSocketFactory& m_sockets;
    IProbeClock& m_clock;
    std::atomic<bool> m_bCancelled{false};
    std::uint32_t m_nTimeoutMs = 1000;
};

} // namespace lanwick
