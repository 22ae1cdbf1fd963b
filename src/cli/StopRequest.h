// SIGINT and SIGTERM as a request to stop: the handler only records the signal and cancels the ping engine in
// flight, so that a long command ends its work itself and exits cleanly.
#pragma once

#include <chrono>

namespace lanwick {
class CPingEngine;
}

namespace lanwick::cli {

class CStopRequest {
public:
    // Installs the handlers; pEngine (may be null) is cancelled by the first signal.
    static void Install(CPingEngine* pEngine);
    static bool Requested();
    // The signal that asked to stop, 0 when none did.
    static int Signal();
    // Sleeps until `until` or a stop request, whichever comes first; false on a stop request.
    static bool SleepUntil(std::chrono::steady_clock::time_point until);
};

} // namespace lanwick::cli
