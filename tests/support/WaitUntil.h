// A bounded wait on a condition for the tests without an event loop, in place of a sleep that hopes it is long
// enough.
#pragma once

#include <chrono>
#include <thread>

namespace lanwick::test {

// True as soon as done() holds; false when it still does not once timeout has passed. Polls every few ms.
template <class Predicate>
bool WaitUntil(Predicate done, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace lanwick::test
