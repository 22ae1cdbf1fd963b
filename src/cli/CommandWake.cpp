// "wake" (a Wake-on-LAN packet for a machine of the machine file, or for an address and MAC given) and "vendor"
// (the vendor of MAC addresses from the built-in table).
#include <cstdint>
#include <string>
#include <vector>

#include "actions/WakeOnLan.h"
#include "cli/Args.h"
#include "cli/CliFiles.h"
#include "cli/Commands.h"
#include "cli/Formats.h"
#include "probes/Lookups.h"
#include "probes/VendorTable.h"
#include "registry/Groups.h"

namespace lanwick::cli {

namespace {

constexpr const char* kWakeHelp =
    "Usage: lanwick-cli wake TARGET [--file FILE] [--settings FILE]\n"
    "       lanwick-cli wake ADDRESS MAC\n"
    "\n"
    "Sends a Wake-on-LAN magic packet (126 bytes, UDP port 7) to the broadcast address of the machine's /24\n"
    "network, as the window's WakeOnLan command does. TARGET is an address, a MAC or a name (any case) of a\n"
    "machine in the machine file FILE (default: the settings' default machine file); it must name one machine.\n"
    "With ADDRESS and MAC no machine file is read. MACs are accepted as 00:A0:C9:12:34:56, 00-A0-C9-12-34-56 or\n"
    "00A0C9123456.\n";

constexpr const char* kVendorHelp =
    "Usage: lanwick-cli vendor MAC...\n"
    "\n"
    "Prints, for every MAC, a line with the MAC and the vendor that owns its prefix in the built-in vendor table\n"
    "(\"Unknown Vendor\" when the table has none), separated by a tab. MACs are accepted as 00:A0:C9:12:34:56,\n"
    "00-A0-C9-12-34-56 or 00A0C9123456; nothing is printed when one of them is not a MAC.\n";

// The machines of the file that TARGET names: by address when it is one, else by MAC when it is one and some
// machine has it, else by name.
std::vector<CMachine> FindTargets(CMachineList& list, const std::string& strTarget) {
    const auto ip = ParseStrictAddress(strTarget);
    const auto mac = ParseMac(strTarget);
    std::vector<CMachine> byAddressOrMac;
    std::vector<CMachine> byName;
    list.ResetCursor();
    while (const CMachine* pMachine = list.GetNextMachine()) {
        if (ip ? pMachine->m_ip == *ip : (mac && ParseMac(pMachine->m_strMac) == mac))
            byAddressOrMac.push_back(*pMachine);
        else if (!ip && CompareNoCase(pMachine->m_strName, strTarget) == 0)
            byName.push_back(*pMachine);
    }
    return byAddressOrMac.empty() ? byName : byAddressOrMac;
}

// The one machine to wake: records repeated with the same address and MAC count as one.
CMachine PickTarget(const std::vector<CMachine>& found, const std::string& strTarget, const std::string& strFile) {
    if (found.empty())
        throw CCliError("no machine with the address, MAC or name \"" + Shorten(strTarget) + "\" in " +
                        Shorten(strFile));
    for (const CMachine& machine : found) {
        if (machine.m_ip != found.front().m_ip || machine.m_strMac != found.front().m_strMac)
            throw CCliError("\"" + Shorten(strTarget) + "\" names " + std::to_string(found.size()) + " machines in " +
                            Shorten(strFile) + " with different addresses or MACs: use wake ADDRESS MAC");
    }
    return found.front();
}

std::string MachineMac(const CMachine& machine) {
    const auto mac = ParseMac(machine.m_strMac);
    const std::string strWho = "machine " + FormatAddress(machine.m_ip) + " (" + machine.m_strName + ")";
    if (!mac)
        throw CCliError(strWho + " has the MAC text \"" + machine.m_strMac + "\", not twelve hexadecimal digits");
    return *mac;
}

void RequireRealMac(const std::string& strMac) {
    if (strMac.find_first_not_of('0') == std::string::npos)
        throw CCliError("MAC 00:00:00:00:00:00 stands for an address that gave no ARP answer; nothing to wake");
}

} // namespace

int RunWake(const Arguments& arguments) {
    const CArgs args(arguments, {{"--file", true}});
    if (args.WantsHelp()) {
        Print(kWakeHelp);
        return 0;
    }
    CheckSettingsOption(args);
    args.RequirePositionals(1, 2, "TARGET");
    CMachine machine({}, "", "", "", 0);
    if (args.Positionals().size() == 2) {
        if (args.Has("--file"))
            throw CCliError("--file is only used with TARGET");
        machine.m_ip = RequireAddress(args.Positionals()[0]);
        machine.m_strMac = RequireMac(args.Positionals()[1]);
    } else {
        const std::string strFile =
            args.Has("--file") ? MachineFilePath(args.Value("--file"), {}) : MachineFilePath({}, LoadCliSettings(args));
        CMachineList list;
        ReadMachineFile(strFile, list);
        const std::string& strTarget = args.Positionals()[0];
        machine = PickTarget(FindTargets(list, strTarget), strTarget, strFile);
        machine.m_strMac = MachineMac(machine);
    }
    RequireRealMac(machine.m_strMac);
    const int nResult = WakeMachine(machine);
    if (nResult != kWolSent)
        throw CCliError("cannot wake " + FormatAddress(machine.m_ip) + ": " +
                        WakeFailureText(nResult, machine.m_strMac));
    Print("magic packet for " + FormatMac(machine.m_strMac) + " sent to " +
          GetBroadcastAddress(FormatAddress(machine.m_ip), kWolMask) + " port 7\n");
    return 0;
}

int RunVendor(const Arguments& arguments) {
    const CArgs args(arguments, {});
    if (args.WantsHelp()) {
        Print(kVendorHelp);
        return 0;
    }
    CheckSettingsOption(args);
    args.RequirePositionals(1, SIZE_MAX, "MAC");
    std::vector<std::string> macs;
    for (const std::string& strText : args.Positionals())
        macs.push_back(RequireMac(strText));
    std::string out;
    for (const std::string& strMac : macs) {
        out += FormatMac(strMac) + '\t' +
               CapitalizeWords(LookupVendor(VendorTableData(), VendorTableSize(), strMac.substr(0, 6))) + '\n';
    }
    Print(out);
    return 0;
}

} // namespace lanwick::cli
