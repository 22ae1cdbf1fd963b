// The shutdown command's steps without any window: refusal of a nameless machine, privileges, request, texts.
#include "actions/RemoteShutdown.h"

namespace lanwick {

namespace {

class CSystemShutdownProvider final : public IShutdownProvider {
public:
    std::vector<std::string> EnablePrivilege() override { return platform::EnableShutdownPrivilege(); }
    platform::ShutdownCall Request(const platform::ShutdownRequest& request) override {
        return platform::InitiateRemoteShutdown(request);
    }
};

} // namespace

IShutdownProvider& SystemShutdownProvider() {
    static CSystemShutdownProvider provider;
    return provider;
}

std::string ShutdownFailureText(const std::string& strName) {
    return "Could not shutdown " + strName + "\n computer name or priviliges might be wrong";
}

ShutdownResult ShutdownMachine(const CMachine& machine, const ShutdownOptions& options, IShutdownProvider& provider) {
    ShutdownResult result;
    if (machine.m_strName.empty()) {
        result.strMessage = ShutdownFailureText(machine.m_strName);
        result.strDetails = "The machine has no name; an empty name would mean this computer, so nothing was sent.";
        return result;
    }
    result.warnings = provider.EnablePrivilege();

    platform::ShutdownRequest request;
    request.strMachine = machine.m_strName;
    request.strMessage = options.strMessage;
    request.nDelay = options.nDelay;
    request.bForce = true;
    request.bReboot = false;
    request.bUseAccount = options.bUseAccount;
    if (options.bUseAccount) { // the texts of an account the operator did not choose stay here
        request.strUser = options.strUser;
        request.strPassword = options.strPassword;
    }
    request.nTimeoutMs = options.nTimeoutMs;
    const platform::ShutdownCall call = provider.Request(request);

    result.bOk = call.bOk;
    if (!call.bOk) {
        result.strMessage = ShutdownFailureText(machine.m_strName);
        result.strDetails = call.strError;
    }
    return result;
}

} // namespace lanwick
