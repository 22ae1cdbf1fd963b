// Asking a remote machine to shut down, and enabling the local privilege that the system wants for it.
// Windows calls InitiateSystemShutdownA; elsewhere Samba's `net rpc shutdown` carries the request.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lanwick::platform {

// Enables the shutdown privilege in this process's own token where the system has such a thing. Returns the
// operator texts of the steps that failed, in order ("OpenProcessToken failed.", "AdjustTokenPrivileges enable
// failed."); empty when all went well or the system has nothing to enable.
std::vector<std::string> EnableShutdownPrivilege();

struct ShutdownRequest {
    std::string strMachine;   // the machine's name, passed exactly as given
    std::string strMessage;   // shown to the machine's users; line breaks allowed
    std::uint32_t nDelay = 0; // seconds before the machine goes down
    bool bForce = true;       // close applications without asking
    bool bReboot = false;
    bool bUseAccount = false; // false: the current user's credentials, never a password prompt
    std::string strUser;      // with bUseAccount: [DOMAIN\]name
    std::string strPassword;
    std::uint32_t nTimeoutMs = 30000; // the whole call gives up after this long
};

struct ShutdownCall {
    bool bOk = false;
    std::string strError; // the system's or the tool's own words when the request failed
};

// Sends the request and waits (bounded by nTimeoutMs) until the remote machine accepted or refused it.
ShutdownCall InitiateRemoteShutdown(const ShutdownRequest& request);

} // namespace lanwick::platform
