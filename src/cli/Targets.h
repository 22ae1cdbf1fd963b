// What must hold before a command sends anything: hosts that are addresses or resolvable names, and an ICMP
// socket this process may open.
#pragma once

#include <string>
#include <vector>

namespace lanwick::cli {

// The dotted address of every host, in order: a strict dotted address as it is, a host name through the system
// resolver. Refuses a text that looks like an address but is none ("10.0.0.300", "10.1") and a name that does
// not resolve, naming the first such host.
std::vector<std::string> ResolveHosts(const std::vector<std::string>& hosts);

// Refuses when this process may open no ICMP echo socket of either kind.
void RequireIcmp();

} // namespace lanwick::cli
