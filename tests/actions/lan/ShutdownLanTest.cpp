// Remote shutdown against a real Samba server in a host namespace, with a private configuration, state and test
// account under the LAN's scratch folder; its shutdown script records what each accepted request carried.
#include "actions/RemoteShutdown.h"
#include "lan/Lan.h"
#include "platform/Resolver.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace lanwick;
using namespace lanwick::test;

namespace {

const char* const kPassword = "LwShut7Pass";

// The server's own folders under the scratch folder: smb.conf key (none: set otherwise) and folder name.
const std::pair<const char*, const char*> kFolders[] = {
    {"private dir", "private"}, {"lock directory", "lock"}, {"state directory", "state"}, {"cache directory", "cache"},
    {"pid directory", "pid"},   {"ncalrpc dir", "ncalrpc"}, {"binddns dir", "bind"},      {nullptr, "log"}};

// smb.conf expands its own macros in the script line before the request's: %t there is today's date, so the
// delay is reached through %%zt, which becomes %t (and so the delay) when the request's message is empty.
std::string SambaConfig(const std::string& dir, const std::string& address) {
    std::ostringstream c;
    c << "[global]\n  netbios name = LWSHUTSRV\n  workgroup = WORKGROUP\n  server role = standalone server\n"
      << "  passdb backend = tdbsam:" << dir << "/private/passdb.tdb\n";
    for (const auto& [key, folder] : kFolders)
        if (key) // the log folder is named by "log file" and smbd -l
            c << "  " << key << " = " << dir << "/" << folder << "\n";
    c << "  log file = " << dir << "/log/smbd.log\n  interfaces = " << address << "/24\n"
      << "  bind interfaces only = yes\n  disable netbios = yes\n  smb ports = 445\n  load printers = no\n"
      << "  printcap name = /dev/null\n  disable spoolss = yes\n"
      << "  shutdown script = " << dir << "/record.sh msg=%z delay=%%zt reboot=%r force=%f\n";
    return c.str();
}

bool CanConnect(const std::string& address, int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, address.c_str(), &sin.sin_addr);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&sin), sizeof sin) == 0;
    close(fd);
    return ok;
}

class ShutdownLan : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!CLan::Get().IsUp())
            return;
        const LanHost& host = Server();
        s_strDir = CLan::Get().ScratchDir() + "/samba";
        const char* id = std::getenv("LANWICK_LAN_ID");
        s_strUser = std::string(id ? id : "lwtest") + "sd";
        for (const auto& folder : kFolders)
            Shell("mkdir -p " + s_strDir + "/" + folder.second);
        std::ofstream(s_strDir + "/smb.conf") << SambaConfig(s_strDir, host.address);
        std::ofstream(s_strDir + "/record.sh") << "#!/bin/sh\necho \"$*\" >> " << s_strDir << "/calls.txt\n";
        Shell("chmod 755 " + s_strDir + "/record.sh");
        const std::string conf = " -s " + s_strDir + "/smb.conf ";
        s_bUserMade = Shell("useradd --system --no-create-home --shell /usr/sbin/nologin " + s_strUser) == 0;
        s_bReady = s_bUserMade &&
                   Shell("printf '" + std::string(kPassword) + "\\n" + kPassword + "\\n' | smbpasswd -c " + s_strDir +
                         "/smb.conf -s -a " + s_strUser + " >/dev/null") == 0 &&
                   Shell("net" + conf + "sam rights grant " + s_strUser + " SeRemoteShutdownPrivilege >/dev/null") == 0;
        if (!s_bReady)
            return;
        // smbd -F makes its own session and process group, so its exit signals never reach this test. -l keeps
        // the logs of its RPC helpers in the scratch folder (they ignore "log file"); they still touch empty files
        // in the system's log folder when listing their interfaces, so that folder is covered for this process
        // alone (ip netns exec gave it a mount namespace of its own).
        s_pid = SpawnIn(host.ns, "sh -c 'mount --bind " + s_strDir + "/log /var/log/samba 2>/dev/null; exec smbd -F" +
                                     conf + "-l " + s_strDir + "/log'");
        s_bReady = false;
        for (int i = 0; i < 200 && !s_bReady; ++i) {
            s_bReady = CanConnect(host.address, 445);
            if (!s_bReady)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

    static void TearDownTestSuite() {
        if (s_pid > 0) {
            EndProcess(s_pid);
            EndLeftovers(Server().ns);
        }
        if (s_bUserMade)
            Shell("userdel " + s_strUser);
        if (!s_strDir.empty())
            Shell("rm -rf " + s_strDir);
    }

    // smbd's RPC helpers may outlive it for a moment: end every process still in the server's namespace.
    static void EndLeftovers(const std::string& ns) {
        for (int round = 0; round < 50; ++round) {
            FILE* p = popen(("ip netns pids " + ns).c_str(), "r");
            std::vector<pid_t> pids;
            for (int pid = 0; p && std::fscanf(p, "%d", &pid) == 1;)
                pids.push_back(pid);
            if (p)
                pclose(p);
            if (pids.empty())
                return;
            for (pid_t pid : pids)
                kill(pid, round < 25 ? SIGTERM : SIGKILL);
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
    }

    static const LanHost& Server() { return CLan::Get().Hosts().at(0); }

    void SetUp() override {
        LANWICK_REQUIRE_LAN();
        ASSERT_TRUE(s_bReady) << "the Samba test server did not start (packages samba, samba-common-bin)";
        std::remove((s_strDir + "/calls.txt").c_str());
    }

    static CMachine Machine(const std::string& name) {
        return CMachine(platform::ParseIpv4(Server().address).value(), "", "Lab", name, 0);
    }
    static ShutdownOptions Account(const std::string& message, std::uint32_t delay, const std::string& password) {
        return {message, delay, true, s_strUser, password, 20000};
    }
    static std::vector<std::string> Calls() {
        std::vector<std::string> lines;
        std::ifstream in(s_strDir + "/calls.txt");
        for (std::string l; std::getline(in, l);)
            lines.push_back(l);
        return lines;
    }

    static inline std::string s_strDir;
    static inline std::string s_strUser;
    static inline bool s_bUserMade = false;
    static inline bool s_bReady = false;
    static inline pid_t s_pid = -1;
};

} // namespace

TEST_F(ShutdownLan, AcceptedRequestReachesTheScriptWithMessageOrDelayAndForce) {
    // Samba keeps letters and digits of the message and turns everything else into '_'.
    const struct {
        const char* message;
        std::uint32_t delay;
        const char* call;
    } cases[] = {
        {"Save your work", 30, "msg=Save_your_work delay=%Save_your_workt reboot= force=-f"},
        {"", 45, "msg= delay=45 reboot= force=-f"},
    };
    for (const auto& c : cases) {
        std::remove((s_strDir + "/calls.txt").c_str());
        // The monitor's hosts file gives the server this name.
        const ShutdownResult result = ShutdownMachine(Machine(Server().name), Account(c.message, c.delay, kPassword));
        EXPECT_TRUE(result.bOk) << result.strDetails;
        EXPECT_TRUE(result.strMessage.empty());
        EXPECT_EQ(Calls(), std::vector<std::string>{c.call});
    }
}

TEST_F(ShutdownLan, WrongPasswordUnknownNameOrNoCredentialsAreRefusedWithTheFailureTextWithoutAPrompt) {
    ShutdownOptions currentUser;
    currentUser.nTimeoutMs = 20000;
    const struct {
        std::string name;
        ShutdownOptions options;
        const char* details; // a part of net's own words
    } cases[] = {
        {Server().name, Account("x", 5, "not-the-password"), "NT_STATUS_LOGON_FAILURE"},
        {"nosuchhost", Account("x", 5, kPassword), ""},
        {Server().name, currentUser, ""},
    };
    for (const auto& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        const ShutdownResult result = ShutdownMachine(Machine(c.name), c.options);
        EXPECT_FALSE(result.bOk) << c.name;
        EXPECT_EQ(result.strMessage, "Could not shutdown " + c.name + "\n computer name or priviliges might be wrong");
        EXPECT_NE(result.strDetails.find(c.details), std::string::npos) << result.strDetails;
        EXPECT_FALSE(result.strDetails.empty());
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15)) << "a prompt would wait";
    }
    EXPECT_TRUE(Calls().empty());
}
