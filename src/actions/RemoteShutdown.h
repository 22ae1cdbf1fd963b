// Remote shutdown of one machine: the local privilege steps, then the request addressed by the machine's name,
// with the operator's message and delay, applications force-closed and no reboot.
#pragma once

#include "platform/Shutdown.h"
#include "registry/Machine.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lanwick {

// What the operator chose in the shutdown dialog.
struct ShutdownOptions {
    std::string strMessage;
    std::uint32_t nDelay = 0; // seconds
    bool bUseAccount = false; // false: the current user's credentials
    std::string strUser;
    std::string strPassword;
    std::uint32_t nTimeoutMs = 30000; // how long the request may keep the window waiting
};

// Everything the window shows afterwards: each warning in its own message box first, then strMessage when the
// request failed, with strDetails (the shutdown tool's own words) under it.
struct ShutdownResult {
    bool bOk = false;
    std::vector<std::string> warnings;
    std::string strMessage;
    std::string strDetails;
};

// The system seam: privilege steps and the request. The real one is SystemShutdownProvider(); tests use fakes.
class IShutdownProvider {
public:
    virtual ~IShutdownProvider() = default;
    virtual std::vector<std::string> EnablePrivilege() = 0;
    virtual platform::ShutdownCall Request(const platform::ShutdownRequest& request) = 0;
};

IShutdownProvider& SystemShutdownProvider();

// "Could not shutdown " + name + "\n computer name or priviliges might be wrong"
std::string ShutdownFailureText(const std::string& strName);

// Asks `machine` (by m_strName exactly as stored) to shut down. A machine without a name is refused with the
// failure text before anything happens: an empty name would mean this computer.
ShutdownResult ShutdownMachine(const CMachine& machine, const ShutdownOptions& options,
                               IShutdownProvider& provider = SystemShutdownProvider());

} // namespace lanwick
