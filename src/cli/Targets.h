// What must hold before a command sends anything: hosts that are addresses or resolvable names, and an ICMP
// socket this process may open.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lanwick {
class CMachine;
class CMachineList;
} // namespace lanwick

namespace lanwick::cli {

class CArgs;

// The dotted address of every host, in order: a strict dotted address as it is, a host name through the system
// resolver. Refuses a text that looks like an address but is none ("10.0.0.300", "10.1"), a name that does not
// resolve and an address that is no single host's (broadcast, multicast), naming the first such host.
std::vector<std::string> ResolveHosts(const std::vector<std::string>& hosts);

// The machines of the list that strHost names: by address when it is a strict dotted address, else by name (any
// case), in list order; empty when none does.
std::vector<const CMachine*> FindMachines(CMachineList& list, const std::string& strHost);

// Refuses when this process may open no ICMP echo socket of either kind.
void RequireIcmp();

// The --timeout option of the probing commands: milliseconds an attempt waits for its reply, 10 to 10000,
// default 1000.
inline constexpr const char* kTimeoutOption = "--timeout";
std::uint32_t TimeoutOption(const CArgs& args);

} // namespace lanwick::cli
