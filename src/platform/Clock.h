// Time and thread services the probes rely on: a millisecond tick count, a high-resolution counter, sleeping
// and the caller's thread id (whose low 16 bits identify a probe's echo requests).
#pragma once

#include <cstdint>

namespace lanwick::platform {

// Milliseconds since an arbitrary start; wraps like a 32-bit tick count.
std::uint32_t GetTickCount();
// High-resolution counter and its ticks per second.
std::int64_t QueryPerformanceCounter();
std::int64_t QueryPerformanceFrequency();
void SleepMs(std::uint32_t milliseconds);
// An id of the calling thread, unique among the process's live threads.
std::uint32_t GetCurrentThreadId();

} // namespace lanwick::platform
