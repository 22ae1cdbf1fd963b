// Host checks shared by the probing commands.
#include "cli/Targets.h"

#include <algorithm>

#include "cli/Args.h"
#include "platform/Icmp.h"
#include "platform/Interfaces.h"
#include "platform/Resolver.h"
#include "probes/Unicast.h"
#include "registry/Groups.h"
#include "registry/MachineList.h"

namespace lanwick::cli {

namespace {

// Letters, digits, "-", "_" and dots, not starting with "-" or a dot: anything else is no name the resolver should
// be asked about (and could be taken for an option by tools down the line).
bool IsHostName(const std::string& strHost) {
    if (strHost.empty() || strHost.size() > 253 || strHost.front() == '-' || strHost.front() == '.')
        return false;
    return std::all_of(strHost.begin(), strHost.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
               c == '.';
    });
}

} // namespace

std::vector<std::string> ResolveHosts(const std::vector<std::string>& hosts) {
    std::vector<std::string> addresses;
    const std::vector<platform::Ipv4> broadcasts = platform::InterfaceBroadcasts();
    const auto requireUnicast = [&](const std::string& strHost, const platform::Ipv4& address) {
        if (const std::string strWhy = WhyNotUnicast(address, broadcasts); !strWhy.empty())
            throw CCliError("host " + Shorten(strHost) + " refused: " + platform::FormatIpv4(address) + " is " +
                            strWhy + ", not a single host");
    };
    for (const std::string& strHost : hosts) {
        if (const auto ip = ParseStrictAddress(strHost)) {
            addresses.push_back(FormatAddress(*ip));
            requireUnicast(strHost, *platform::ParseIpv4(addresses.back()));
            continue;
        }
        // Digits and dots only, or any other form the system would read as a number ("0x0a.1"), is a mistyped
        // address, never a name to look up.
        const bool bNumeric =
            std::all_of(strHost.begin(), strHost.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
        if (strHost.empty() || bNumeric || platform::ParseIpv4(strHost))
            RequireAddress(strHost);
        if (!IsHostName(strHost))
            throw CCliError("bad host name \"" + Shorten(strHost) +
                            "\": letters, digits, \"-\", \"_\" and dots are expected");
        const auto resolved = platform::ForwardLookup(strHost);
        if (!resolved)
            throw CCliError("cannot resolve host name \"" + Shorten(strHost) + "\"");
        requireUnicast(strHost, *resolved);
        addresses.push_back(platform::FormatIpv4(*resolved));
    }
    return addresses;
}

std::vector<const CMachine*> FindMachines(CMachineList& list, const std::string& strHost) {
    const auto ip = ParseStrictAddress(strHost);
    std::vector<const CMachine*> found;
    list.ResetCursor();
    while (const CMachine* pMachine = list.GetNextMachine()) {
        if (ip ? pMachine->m_ip == *ip : CompareNoCase(pMachine->m_strName, strHost) == 0)
            found.push_back(pMachine);
    }
    return found;
}

void RequireIcmp() {
    if (!platform::CanOpenIcmp())
        throw CCliError("cannot open an ICMP socket: run as root, give the program CAP_NET_RAW, or allow this "
                        "group datagram ICMP sockets (sysctl net.ipv4.ping_group_range)");
}

std::uint32_t TimeoutOption(const CArgs& args) {
    const auto value = args.Value(kTimeoutOption);
    return value ? static_cast<std::uint32_t>(ParseNumber(*value, 10, 10000, kTimeoutOption)) : 1000;
}

} // namespace lanwick::cli
