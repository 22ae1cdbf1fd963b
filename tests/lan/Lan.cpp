// Reads the LAN description that with_lan.sh writes and gives tests a few ways to act on the LAN.
#include "lan/Lan.h"
#include "support/WaitUntil.h"

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace lanwick::test {

std::string LanHost::MacDigits() const {
    std::string digits;
    for (char c : mac)
        if (c != ':')
            digits += c;
    return digits;
}

namespace {

// Lines of namespace, address, MAC and name, tab-separated.
std::vector<LanHost> ReadHosts(const char* file) {
    std::vector<LanHost> hosts;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        LanHost h;
        std::getline(fields, h.ns, '\t');
        std::getline(fields, h.address, '\t');
        std::getline(fields, h.mac, '\t');
        std::getline(fields, h.name, '\t');
        if (!h.address.empty())
            hosts.push_back(h);
    }
    return hosts;
}

} // namespace

const CLan& CLan::Get() {
    static const CLan lan = [] {
        CLan l;
        const char* file = std::getenv("LANWICK_LAN_FILE");
        const char* mon = std::getenv("LANWICK_LAN_MONITOR");
        const char* dir = std::getenv("LANWICK_LAN_DIR");
        if (!file || !mon)
            return l;
        l.m_strMonitor = mon;
        l.m_strDir = dir ? dir : "/tmp";
        if (const char* prefix = std::getenv("LANWICK_LAN_PREFIX"))
            l.m_nPrefix = std::atoi(prefix);
        if (const char* router = std::getenv("LANWICK_LAN_ROUTER"))
            l.m_strRouter = router;
        if (const char* live = std::getenv("LANWICK_LAN_ROUTED_LIVE"))
            l.m_nRoutedLive = std::strtoul(live, nullptr, 10);
        l.m_hosts = ReadHosts(file);
        if (const char* spare = std::getenv("LANWICK_LAN_SPARE_FILE"))
            l.m_spares = ReadHosts(spare);
        return l;
    }();
    return lan;
}

std::string CLan::SilentAddress(int n) const {
    return "198.18.0." + std::to_string(250 - n);
}

std::string CLan::RoutedAddress(std::size_t i) {
    return "198.19." + std::to_string(i / 254) + "." + std::to_string(i % 254 + 1);
}

int Shell(const std::string& command) {
    int rc = std::system(command.c_str());
    if (rc == -1 || !WIFEXITED(rc))
        return -1;
    return WEXITSTATUS(rc);
}

int ShellIn(const std::string& ns, const std::string& command) {
    return Shell("ip netns exec " + ns + " sh -c '" + command + "'");
}

pid_t SpawnIn(const std::string& ns, const std::string& command) {
    pid_t pid = fork();
    if (pid == 0) {
        execlp("ip", "ip", "netns", "exec", ns.c_str(), "sh", "-c", ("exec " + command).c_str(),
               static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

void EndProcess(pid_t pid) {
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    if (WaitUntil([pid] { return waitpid(pid, nullptr, WNOHANG) == pid; }, std::chrono::seconds(1)))
        return;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

bool SetHostUp(const LanHost& host, bool up) {
    return Shell("ip -n " + host.ns + " link set eth0 " + (up ? "up" : "down")) == 0;
}

std::uint64_t BacklogDrops() {
    // One line per processor; the second column counts the drops, in hexadecimal.
    std::ifstream in("/proc/net/softnet_stat");
    std::uint64_t total = 0;
    std::string processed;
    std::string dropped;
    std::string rest;
    while (in >> processed >> dropped && std::getline(in, rest))
        total += std::stoull(dropped, nullptr, 16);
    return total;
}

} // namespace lanwick::test
