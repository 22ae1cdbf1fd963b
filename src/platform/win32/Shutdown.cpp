// Remote shutdown on Windows: the shutdown privilege in our own token, then InitiateSystemShutdownA. Another
// account's credentials go in through a connection to the machine's IPC$ share, held only for the request.
#include "platform/Shutdown.h"

#include <windows.h>
#include <winnetwk.h>

#ifdef _MSC_VER
#pragma comment(lib, "mpr.lib")
#pragma comment(lib, "advapi32.lib")
#endif

namespace lanwick::platform {

namespace {

std::string SystemErrorText(DWORD code) {
    char* text = nullptr;
    const DWORD n =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string out = n && text ? std::string(text, n) : "error " + std::to_string(code);
    if (text)
        LocalFree(text);
    while (!out.empty() && (out.back() == '\r' || out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}

} // namespace

std::vector<std::string> EnableShutdownPrivilege() {
    std::vector<std::string> failures;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        failures.emplace_back("OpenProcessToken failed.");
        token = nullptr;
    }
    TOKEN_PRIVILEGES privileges{};
    LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid);
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    // The call succeeds even when the privilege is not held; only the last error tells (ERROR_NOT_ALL_ASSIGNED).
    bool enabled = false;
    if (token) {
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
        enabled = GetLastError() == ERROR_SUCCESS;
        CloseHandle(token);
    }
    if (!enabled)
        failures.emplace_back("AdjustTokenPrivileges enable failed.");
    return failures;
}

ShutdownCall InitiateRemoteShutdown(const ShutdownRequest& request) {
    ShutdownCall call;
    std::string share = "\\\\" + request.strMachine + "\\IPC$";
    bool connected = false;
    if (request.bUseAccount) {
        NETRESOURCEA resource{};
        resource.dwType = RESOURCETYPE_ANY;
        resource.lpRemoteName = share.data();
        const DWORD rc =
            WNetAddConnection2A(&resource, request.strPassword.c_str(), request.strUser.c_str(), CONNECT_TEMPORARY);
        if (rc != NO_ERROR) {
            call.strError = SystemErrorText(rc);
            return call;
        }
        connected = true;
    }
    std::string machine = request.strMachine;
    std::string message = request.strMessage;
    call.bOk = InitiateSystemShutdownA(machine.data(), message.data(), request.nDelay, request.bForce ? TRUE : FALSE,
                                       request.bReboot ? TRUE : FALSE) != 0;
    if (!call.bOk)
        call.strError = SystemErrorText(GetLastError());
    if (connected)
        WNetCancelConnection2A(share.c_str(), 0, TRUE);
    return call;
}

} // namespace lanwick::platform
