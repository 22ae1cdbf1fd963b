// The time sources of the probes (performance counter, tick count, sleeping), behind an interface so that unit
// tests can drive a probe with exact round-trip times and without real waiting.
#pragma once

#include <cstdint>

namespace lanwick {

class IProbeClock {
public:
    virtual ~IProbeClock() = default;
    virtual std::int64_t Counter() = 0;   // high-resolution counter, always positive
    virtual std::int64_t Frequency() = 0; // its ticks per second
    virtual std::uint32_t TickCount() = 0;
    virtual void Sleep(std::uint32_t milliseconds) = 0;
};

// The platform's clock.
IProbeClock& SystemProbeClock();

} // namespace lanwick
