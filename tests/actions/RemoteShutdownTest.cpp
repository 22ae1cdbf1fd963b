// The shutdown command's steps against a scripted provider: what the request carries and what the operator sees.
#include "actions/RemoteShutdown.h"

#include <gtest/gtest.h>

using namespace lanwick;

namespace {

class CScriptedProvider final : public IShutdownProvider {
public:
    std::vector<std::string> m_warnings;
    platform::ShutdownCall m_answer{true, ""};
    int m_nPrivilegeCalls = 0;
    std::vector<platform::ShutdownRequest> m_requests;

    std::vector<std::string> EnablePrivilege() override {
        ++m_nPrivilegeCalls;
        return m_warnings;
    }
    platform::ShutdownCall Request(const platform::ShutdownRequest& request) override {
        m_requests.push_back(request);
        return m_answer;
    }
};

ShutdownResult Shutdown(CScriptedProvider& provider, const std::string& name, const ShutdownOptions& options = {}) {
    return ShutdownMachine(CMachine({192, 168, 1, 10}, "00A0C9123456", "Lab", name, 0), options, provider);
}

} // namespace

TEST(ShutdownMachine, SendsNameAndMessageAsTypedWithDelayForceNoRebootAndTheAccountOnlyWhenChosen) {
    const struct {
        const char *name, *message;
        std::uint32_t delay;
        bool bUseAccount;
    } cases[] = {
        {"SERVER1", "Back in ten minutes", 30, false},
        {"\\\\odd name", "line one\nline two", 0, true},
        {"pc", "", 4294967295u, false}, // typed, then switched back to the current user: the texts must not go
    };
    for (const auto& c : cases) {
        CScriptedProvider provider;
        const ShutdownResult result =
            Shutdown(provider, c.name, {c.message, c.delay, c.bUseAccount, "LAB\\admin", "s3cret", 1234});
        EXPECT_TRUE(result.bOk && result.strMessage.empty() && result.warnings.empty()) << c.name;
        EXPECT_EQ(provider.m_nPrivilegeCalls, 1);
        ASSERT_EQ(provider.m_requests.size(), 1u);
        const auto& r = provider.m_requests[0];
        EXPECT_EQ(r.strMachine, c.name);
        EXPECT_EQ(r.strMessage, c.message);
        EXPECT_EQ(r.nDelay, c.delay);
        EXPECT_TRUE(r.bForce && !r.bReboot);
        EXPECT_EQ(r.bUseAccount, c.bUseAccount);
        EXPECT_EQ(r.strUser, c.bUseAccount ? "LAB\\admin" : "");
        EXPECT_EQ(r.strPassword, c.bUseAccount ? "s3cret" : "");
        EXPECT_EQ(r.nTimeoutMs, 1234u);
    }
}

TEST(ShutdownMachine, ARefusalOrAnEmptyNameGivesTheFailureTextAfterThePrivilegeWarningsInOrder) {
    CScriptedProvider provider;
    provider.m_warnings = {"OpenProcessToken failed.", "AdjustTokenPrivileges enable failed."};
    provider.m_answer = {false, "Connection failed: NT_STATUS_LOGON_FAILURE"};
    const ShutdownResult result = Shutdown(provider, "SERVER1");
    EXPECT_FALSE(result.bOk);
    EXPECT_EQ(result.warnings, provider.m_warnings);
    EXPECT_EQ(provider.m_requests.size(), 1u) << "the request still goes";
    EXPECT_EQ(result.strMessage, "Could not shutdown SERVER1\n computer name or priviliges might be wrong");
    EXPECT_EQ(result.strDetails, "Connection failed: NT_STATUS_LOGON_FAILURE");
    // An empty name: nothing is asked or sent.
    CScriptedProvider untouched;
    const ShutdownResult empty = Shutdown(untouched, "");
    EXPECT_FALSE(empty.bOk);
    EXPECT_EQ(empty.strMessage, "Could not shutdown \n computer name or priviliges might be wrong");
    EXPECT_FALSE(empty.strDetails.empty());
    EXPECT_TRUE(untouched.m_requests.empty());
    EXPECT_EQ(untouched.m_nPrivilegeCalls, 0);
}
