// Commands are not run on Windows yet: every request is refused with a reason, so the caller says so once.
#include "platform/Process.h"

namespace lanwick::platform {

CCommandRunner::CCommandRunner(std::size_t nMaxRunning, std::size_t nMaxQueued)
    : m_nMaxRunning(nMaxRunning), m_nMaxQueued(nMaxQueued) {}

CCommandRunner::~CCommandRunner() = default;

bool CCommandRunner::Run(const std::string&, const Environment&, std::string* pstrError) {
    if (pstrError)
        *pstrError = "running a command is not supported on this system";
    return false;
}

void CCommandRunner::Pump(std::vector<std::string>*) {}

bool CCommandRunner::Start(const Pending&, std::string*) {
    return false;
}

void CCommandRunner::Reap() {}

} // namespace lanwick::platform
