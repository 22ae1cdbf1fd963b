// The stopwatch: counter frequency and start/stop overhead are measured once per counter and shared.
#include "probes/Stopwatch.h"

namespace lanwick {

namespace {

struct Calibration {
    std::int64_t nFrequency;
    std::int64_t nOverhead;
};

// Starts and stops at once, as a stopwatch with no overhead would, and keeps the (negative) stopped value.
Calibration Calibrate(IProbeClock& clock) {
    std::int64_t nFrequency = clock.Frequency();
    if (nFrequency == 0)
        nFrequency = 1;
    const std::int64_t nStart = clock.Counter();
    std::int64_t nValue = nStart - clock.Counter();
    if (nValue >= 0)
        nValue = 0;
    return {nFrequency, nValue};
}

Calibration CalibrationFor(IProbeClock& clock) {
    if (&clock == &SystemProbeClock()) {
        static const Calibration system = Calibrate(clock);
        return system;
    }
    // Other counters (test clocks) are measured per stopwatch: they are not the process's counter.
    return Calibrate(clock);
}

} // namespace

CStopwatch::CStopwatch(bool bStart, IProbeClock& clock) : m_clock(clock), m_nValue(0) {
    const Calibration c = CalibrationFor(clock);
    m_nFrequency = c.nFrequency;
    m_nOverhead = c.nOverhead;
    if (bStart)
        Start();
}

CStopwatch::~CStopwatch() {
    Stop();
}

void CStopwatch::Start(bool bRestart) {
    const std::int64_t nCounter = m_clock.Counter();
    if (bRestart || m_nValue >= 0)
        m_nValue = nCounter;
    else
        m_nValue += nCounter;
}

void CStopwatch::Stop() {
    if (m_nValue <= 0)
        return;
    m_nValue -= m_clock.Counter();
    m_nValue = m_nValue < m_nOverhead ? m_nValue - m_nOverhead : 0;
}

double CStopwatch::ElapsedMicroseconds() const {
    std::int64_t nTicks = 0;
    if (m_nValue > 0) {
        nTicks = m_clock.Counter() - m_nValue + m_nOverhead;
        if (nTicks < 0)
            nTicks = 0;
    } else {
        nTicks = -m_nValue;
    }
    return static_cast<double>(nTicks) * 1000000.0 / static_cast<double>(m_nFrequency);
}

} // namespace lanwick
