// The probes' clock on the platform's counters.
#include "probes/ProbeClock.h"

#include "platform/Clock.h"

namespace lanwick {

namespace {
class CSystemProbeClock final : public IProbeClock {
public:
    std::int64_t Counter() override { return platform::QueryPerformanceCounter(); }
    std::int64_t Frequency() override { return platform::QueryPerformanceFrequency(); }
    std::uint32_t TickCount() override { return platform::GetTickCount(); }
    void Sleep(std::uint32_t milliseconds) override { platform::SleepMs(milliseconds); }
};
} // namespace

IProbeClock& SystemProbeClock() {
    static CSystemProbeClock clock;
    return clock;
}

} // namespace lanwick
