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

CMachine Named(const std::string& name) {
    return CMachine({192, 168, 1, 10}, "00A0C9123456", "Lab", name, 0);
}

ShutdownOptions Options(const std::string& message, std::uint32_t delay) {
    ShutdownOptions o;
    o.strMessage = message;
    o.nDelay = delay;
    return o;
}

} // namespace

TEST(ShutdownMachine, SendsNameMessageDelayWithForceAndNoReboot) {
    CScriptedProvider provider;
    const ShutdownResult result = ShutdownMachine(Named("SERVER1"), Options("Back in ten minutes", 30), provider);
    EXPECT_TRUE(result.bOk);
    EXPECT_TRUE(result.strMessage.empty());
    EXPECT_TRUE(result.warnings.empty());
    ASSERT_EQ(provider.m_requests.size(), 1u);
    const auto& r = provider.m_requests[0];
    EXPECT_EQ(r.strMachine, "SERVER1");
    EXPECT_EQ(r.strMessage, "Back in ten minutes");
    EXPECT_EQ(r.nDelay, 30u);
    EXPECT_TRUE(r.bForce);
    EXPECT_FALSE(r.bReboot);
    EXPECT_FALSE(r.bUseAccount);
    EXPECT_EQ(provider.m_nPrivilegeCalls, 1);
}

TEST(ShutdownMachine, PassesNameAsStoredAndMessageAsTyped) {
    CScriptedProvider provider;
    ShutdownMachine(Named("\\\\odd name"), Options("line one\nline two", 0), provider);
    ShutdownMachine(Named("pc"), Options("", 4294967295u), provider);
    ASSERT_EQ(provider.m_requests.size(), 2u);
    EXPECT_EQ(provider.m_requests[0].strMachine, "\\\\odd name");
    EXPECT_EQ(provider.m_requests[0].strMessage, "line one\nline two");
    EXPECT_EQ(provider.m_requests[0].nDelay, 0u);
    EXPECT_EQ(provider.m_requests[1].strMessage, "");
    EXPECT_EQ(provider.m_requests[1].nDelay, 4294967295u);
}

TEST(ShutdownMachine, RefusalGivesTheFailureTextAndTheToolsWords) {
    CScriptedProvider provider;
    provider.m_answer = {false, "Connection failed: NT_STATUS_LOGON_FAILURE"};
    const ShutdownResult result = ShutdownMachine(Named("SERVER1"), Options("x", 5), provider);
    EXPECT_FALSE(result.bOk);
    EXPECT_EQ(result.strMessage, "Could not shutdown SERVER1\n computer name or priviliges might be wrong");
    EXPECT_EQ(result.strDetails, "Connection failed: NT_STATUS_LOGON_FAILURE");
}

TEST(ShutdownMachine, PrivilegeFailuresAreReportedInOrderAndTheRequestStillGoes) {
    CScriptedProvider provider;
    provider.m_warnings = {"OpenProcessToken failed.", "AdjustTokenPrivileges enable failed."};
    const ShutdownResult result = ShutdownMachine(Named("SERVER1"), Options("x", 5), provider);
    EXPECT_EQ(result.warnings, provider.m_warnings);
    EXPECT_EQ(provider.m_requests.size(), 1u);
    EXPECT_TRUE(result.bOk);
}

TEST(ShutdownMachine, EmptyNameIsRefusedAndNothingIsSent) {
    CScriptedProvider provider;
    const ShutdownResult result = ShutdownMachine(Named(""), Options("x", 5), provider);
    EXPECT_FALSE(result.bOk);
    EXPECT_EQ(result.strMessage, "Could not shutdown \n computer name or priviliges might be wrong");
    EXPECT_FALSE(result.strDetails.empty());
    EXPECT_TRUE(provider.m_requests.empty());
    EXPECT_EQ(provider.m_nPrivilegeCalls, 0);
}

TEST(ShutdownMachine, ChosenAccountGoesWithTheRequest) {
    CScriptedProvider provider;
    ShutdownOptions options = Options("x", 5);
    options.bUseAccount = true;
    options.strUser = "LAB\\admin";
    options.strPassword = "s3cret";
    ShutdownMachine(Named("SERVER1"), options, provider);
    options.bUseAccount = false; // typed, then switched back to the current user: the texts must not go
    ShutdownMachine(Named("SERVER1"), options, provider);
    ASSERT_EQ(provider.m_requests.size(), 2u);
    EXPECT_TRUE(provider.m_requests[0].bUseAccount);
    EXPECT_EQ(provider.m_requests[0].strUser, "LAB\\admin");
    EXPECT_EQ(provider.m_requests[0].strPassword, "s3cret");
    EXPECT_FALSE(provider.m_requests[1].bUseAccount);
    EXPECT_EQ(provider.m_requests[1].strUser, "");
    EXPECT_EQ(provider.m_requests[1].strPassword, "");
}
