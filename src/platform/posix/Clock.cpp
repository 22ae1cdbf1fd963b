// Clock and thread services on POSIX: CLOCK_MONOTONIC for both counters, the kernel's thread id.
#include "platform/Clock.h"

#include <ctime>
#include <sys/syscall.h>
#include <unistd.h>

namespace lanwick::platform {

namespace {
std::int64_t MonotonicNanoseconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}
} // namespace

std::uint32_t GetTickCount() {
    return static_cast<std::uint32_t>(MonotonicNanoseconds() / 1000000);
}

std::int64_t QueryPerformanceCounter() {
    return MonotonicNanoseconds();
}

std::int64_t QueryPerformanceFrequency() {
    return 1000000000;
}

void SleepMs(std::uint32_t milliseconds) {
    timespec ts{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000};
    while (nanosleep(&ts, &ts) != 0) {
    }
}

std::uint32_t GetCurrentThreadId() {
    return static_cast<std::uint32_t>(syscall(SYS_gettid));
}

} // namespace lanwick::platform
