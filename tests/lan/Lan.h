// The namespace LAN as a test inside it sees it: the hosts that with_lan.sh built, and small helpers to act on
// the LAN from the monitor namespace (switch a host off, run a process in a host's namespace).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace lanwick::test {

struct LanHost {
    std::string ns;                // namespace of the host
    std::string address;           // dotted IPv4, 198.18.0.x (198.18.1.x too in a /23)
    std::string mac;               // colon form, upper case
    std::string name;              // name in the monitor's hosts file, empty when it has none
    std::string MacDigits() const; // twelve upper-case digits, as the machine file stores it
};

class CLan {
public:
    // Reads LANWICK_LAN_FILE; empty when the test does not run inside the LAN.
    static const CLan& Get();
    bool IsUp() const { return !m_hosts.empty(); }
    const std::vector<LanHost>& Hosts() const { return m_hosts; }
    // With with_lan.sh --spare N: hosts made with their link down, for a test to bring up (SetHostUp).
    const std::vector<LanHost>& Spares() const { return m_spares; }
    const std::string& Monitor() const { return m_strMonitor; }
    const std::string& ScratchDir() const { return m_strDir; }
    // An address of the LAN's /24 that no host holds (198.18.0.250 and below, above the hosts).
    std::string SilentAddress(int n = 0) const;
    // 24, or 23 when the hosts are dealt out to both halves of 198.18.0.0/23 (with_lan.sh --prefix 23).
    int Prefix() const { return m_nPrefix; }
    // With with_lan.sh --routed N: the router's namespace, and N, the count of routed addresses that answer.
    const std::string& Router() const { return m_strRouter; }
    std::size_t RoutedLive() const { return m_nRoutedLive; }
    // The i-th host address behind the router (last number 1..254, from 198.19.0.1 up, i below 64,770): those
    // below RoutedLive() answer, the router drops the rest without an ICMP error.
    static std::string RoutedAddress(std::size_t i);

private:
    std::vector<LanHost> m_hosts;
    std::vector<LanHost> m_spares;
    std::string m_strMonitor;
    std::string m_strDir;
    std::string m_strRouter;
    int m_nPrefix = 24;
    std::size_t m_nRoutedLive = 0;
};

// Runs a shell command line; returns its exit status (-1 when it could not run).
int Shell(const std::string& command);
// Runs a shell command line inside namespace ns and returns its exit status.
int ShellIn(const std::string& ns, const std::string& command);
// Starts a command line in the background inside namespace ns; returns its PID (the shell's, which execs it).
pid_t SpawnIn(const std::string& ns, const std::string& command);
// Ends a process started by SpawnIn, by PID, and reaps it.
void EndProcess(pid_t pid);
// Packets the kernel has dropped since boot because a processor's input backlog was full. A /24 sweep floods
// every host's link with a copy of each address request, and the backlog overflows now and then: a lost
// packet that the test LAN, not the program, is to blame for.
std::uint64_t BacklogDrops();
// Takes a host off the LAN (its link down) or brings it back.
bool SetHostUp(const LanHost& host, bool up);

} // namespace lanwick::test

// Skips a LAN test outside the LAN (with_lan.sh turns a missing LAN into a failure where CI requires it).
#define LANWICK_REQUIRE_LAN()                                                                                          \
    do {                                                                                                               \
        if (!::lanwick::test::CLan::Get().IsUp())                                                                      \
            GTEST_SKIP() << "not inside the namespace LAN (run through tests/lan/with_lan.sh)";                        \
    } while (0)
