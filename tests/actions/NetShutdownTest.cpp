// The POSIX shutdown back end against a stand-in `net` first on PATH: its exact arguments, credentials only in
// its environment, no terminal to prompt on, its words kept on failure, and the time bound.
#include "platform/Shutdown.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace lanwick::platform;
namespace fs = std::filesystem;

namespace {

const char* const kFakeNet = R"(#!/bin/sh
d=$(dirname "$0")
printf '%s\0' "$@" > "$d/args"
env > "$d/env"
if [ -t 0 ]; then echo terminal > "$d/stdin"; else cat > "$d/stdin"; echo "eof" >> "$d/stdin"; fi
mode=$(cat "$d/mode" 2>/dev/null)
case "$mode" in
fail)
    for i in 1 2; do
        echo "Could not connect to server SERVER1"
        echo "Connection failed: NT_STATUS_LOGON_FAILURE" >&2
    done
    exit 255 ;;
hang) sleep 60 & echo $! > "$d/sleeper"; wait; exit 0 ;;
hangmute) exec >/dev/null 2>&1; sleep 60 & echo $! > "$d/sleeper"; wait; exit 0 ;;
quiet) exit 3 ;;
esac
echo
echo "Shutdown of remote machine succeeded"
)";

class NetShutdown : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/lwnet.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        std::ofstream(m_dir / "net") << kFakeNet;
        fs::permissions(m_dir / "net", fs::perms::owner_all);
        const char* path = std::getenv("PATH");
        m_strOldPath = path ? path : "";
        setenv("PATH", (m_dir.string() + ":/usr/bin:/bin").c_str(), 1);
        unsetenv("PASSWD");
    }
    void TearDown() override {
        setenv("PATH", m_strOldPath.c_str(), 1);
        fs::remove_all(m_dir);
    }

    void Mode(const std::string& mode) { std::ofstream(m_dir / "mode") << mode; }
    std::string Read(const std::string& name) const {
        std::ifstream in(m_dir / name);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::vector<std::string> Args() const {
        std::istringstream in(Read("args"));
        std::vector<std::string> out;
        for (std::string arg; std::getline(in, arg, '\0');)
            out.push_back(arg);
        return out;
    }
    bool EnvHas(const std::string& line) const {
        return ("\n" + Read("env")).find("\n" + line + "\n") != std::string::npos;
    }

    fs::path m_dir;
    std::string m_strOldPath;
};

ShutdownRequest Request() {
    ShutdownRequest r;
    r.strMachine = "SERVER1";
    r.strMessage = "Back in ten minutes";
    r.nDelay = 30;
    r.nTimeoutMs = 10000;
    return r;
}

bool ProcessGone(const std::string& pid) {
    // A process ended but not yet reaped by init still has an entry: count it as gone when it is a zombie.
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string text;
    if (!std::getline(stat, text))
        return true;
    const auto close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'Z';
}

} // namespace

TEST_F(NetShutdown, RunsNetWithEachRequestAsSeparateArgumentsAndTheAccountOnlyInItsEnvironment) {
    setenv("PASSWD", "inherited", 1);
    ShutdownRequest odd = Request();
    odd.strMachine = "-odd";
    odd.strMessage = "-f\nsecond line";
    odd.nDelay = 0;
    odd.bForce = false;
    odd.bReboot = true;
    ShutdownRequest account = Request();
    account.bUseAccount = true;
    account.strUser = "LAB\\admin";
    account.strPassword = "pa ss'word";
    const std::vector<std::string> plain{
        "rpc", "shutdown", "--server=SERVER1", "--comment=Back in ten minutes", "--timeout=30", "--force"};
    const struct {
        ShutdownRequest request;
        std::vector<std::string> args;
        const char* passwd; // the one PASSWD line net sees, if any
    } cases[] = {
        {Request(), {plain[0], plain[1], plain[2], plain[3], plain[4], plain[5], "--no-pass"}, nullptr},
        {odd,
         {"rpc", "shutdown", "--server=-odd", "--comment=-f\nsecond line", "--timeout=0", "--reboot", "--no-pass"},
         nullptr},
        {account, plain, "PASSWD=pa ss'word"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request.strMachine + (c.passwd ? " with an account" : ""));
        const ShutdownCall call = InitiateRemoteShutdown(c.request);
        EXPECT_TRUE(call.bOk) << call.strError;
        EXPECT_EQ(Args(), c.args);
        EXPECT_EQ(Read("stdin"), "eof\n"); // /dev/null: a prompt would read end of file at once
        EXPECT_FALSE(EnvHas("PASSWD=inherited"));
        EXPECT_EQ(EnvHas("USER=LAB\\admin"), c.passwd != nullptr);
        EXPECT_TRUE(!c.passwd || EnvHas(c.passwd));
    }
}

// A hanging net is ended, with what it started, after the time bound.
TEST_F(NetShutdown, FailureKeepsNetsOwnWordsOnceOrNamesTheExitStatusTheMissingPackageOrTheTimeBound) {
    const struct {
        const char *mode, *error;
        bool bWhole; // else a part of the text
    } cases[] = {
        {"fail", "Could not connect to server SERVER1\nConnection failed: NT_STATUS_LOGON_FAILURE", true},
        {"quiet", "net ended with status 3", true},
        {"hang", "no answer", false},
        {"hangmute", "no answer", false},       // its output closed, the process still there
        {"missing", "samba-common-bin", false}, // last: no PATH to net from here on
    };
    for (const auto& c : cases) {
        Mode(c.mode);
        if (std::string(c.mode) == "missing")
            setenv("PATH", "/nonexistent", 1);
        ShutdownRequest r = Request();
        r.nTimeoutMs = std::string(c.mode).rfind("hang", 0) == 0 ? 400 : 10000;
        const auto start = std::chrono::steady_clock::now();
        const ShutdownCall call = InitiateRemoteShutdown(r);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.mode;
        EXPECT_FALSE(call.bOk) << c.mode;
        EXPECT_TRUE(c.bWhole ? call.strError == c.error : call.strError.find(c.error) != std::string::npos)
            << call.strError;
        if (std::string(c.mode).rfind("hang", 0) == 0) {
            const std::string sleeper = Read("sleeper");
            const std::string pid = sleeper.substr(0, sleeper.find('\n'));
            EXPECT_TRUE(!pid.empty() &&
                        lanwick::test::WaitUntil([&] { return ProcessGone(pid); }, std::chrono::seconds(2)))
                << "the child's own child " << pid << " outlived the time bound";
        }
    }
}

TEST(ShutdownPrivilege, NothingToEnableOnThisSystem) {
    EXPECT_TRUE(EnableShutdownPrivilege().empty());
}
