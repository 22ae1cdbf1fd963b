// A stopwatch on the high-resolution counter, corrected for the cost of starting and stopping it.
#pragma once

#include "probes/ProbeClock.h"

#include <cstdint>

namespace lanwick {

class CStopwatch {
public:
    explicit CStopwatch(bool bStart, IProbeClock& clock = SystemProbeClock());
    ~CStopwatch();
    CStopwatch(const CStopwatch&) = delete;
    CStopwatch& operator=(const CStopwatch&) = delete;

    // Restarts from now when bRestart is set or the stopwatch is running or reset; otherwise resumes with the
    // elapsed time it holds.
    void Start(bool bRestart = false);
    void Stop();
    double ElapsedMicroseconds() const;
    bool IsRunning() const { return m_nValue > 0; }

private:
    IProbeClock& m_clock;
    std::int64_t m_nFrequency; // ticks per second, shared by all stopwatches on the same counter
    std::int64_t m_nOverhead;  // the negated cost of one start and stop, in ticks (never positive)
    std::int64_t m_nValue;     // running: the counter at start; stopped: the elapsed ticks negated
};

} // namespace lanwick
