// "list": the machines of a machine file as the window loads them, as tab- or comma-separated lines or JSON.
#include <string>

#include "cli/Args.h"
#include "cli/CliFiles.h"
#include "cli/Commands.h"
#include "cli/Formats.h"

namespace lanwick::cli {

namespace {

constexpr const char* kHelp =
    "Usage: lanwick-cli list [FILE] [--format tsv|csv|json] [--settings FILE]\n"
    "\n"
    "Prints the machines of the machine file FILE (default: the settings' default machine file) in file order,\n"
    "one per line: group, name, address, MAC, excluded, notify, notify offline (flags Yes or No).\n"
    "  --format tsv   tab-separated, no header; \\, tab, CR and LF in texts written as \\\\, \\t, \\r, \\n (default)\n"
    "  --format csv   RFC 4180 with a header line and CRLF line ends\n"
    "  --format json  an array of objects with the keys group, name, address, mac, excluded, notify,\n"
    "                 notify_offline (flags true or false); bytes that are not UTF-8 read as Latin-1\n";

const char* YesNo(std::int32_t bFlag) {
    return bFlag != 0 ? "Yes" : "No";
}

const char* TrueFalse(std::int32_t bFlag) {
    return bFlag != 0 ? "true" : "false";
}

std::string SeparatedLine(const CMachine& m, std::string (*field)(const std::string&), char sep, const char* end) {
    std::string line;
    for (const std::string& text : {m.m_strGroup, m.m_strName, FormatAddress(m.m_ip), m.m_strMac})
        line += field(text) + sep;
    return line + YesNo(m.m_bExcluded) + sep + YesNo(m.m_bNotify) + sep + YesNo(m.m_bNotifyOffline) + end;
}

std::string JsonObject(const CMachine& m) {
    return "{\"group\": " + JsonString(m.m_strGroup) + ", \"name\": " + JsonString(m.m_strName) +
           ", \"address\": " + JsonString(FormatAddress(m.m_ip)) + ", \"mac\": " + JsonString(m.m_strMac) +
           ", \"excluded\": " + TrueFalse(m.m_bExcluded) + ", \"notify\": " + TrueFalse(m.m_bNotify) +
           ", \"notify_offline\": " + TrueFalse(m.m_bNotifyOffline) + "}";
}

std::string Listing(CMachineList& list, const std::string& strFormat) {
    std::string out;
    if (strFormat == "csv")
        out = "group,name,address,mac,excluded,notify,notify_offline\r\n";
    if (strFormat == "json")
        out = "[";
    bool bFirst = true;
    list.ResetCursor();
    while (const CMachine* pMachine = list.GetNextMachine()) {
        if (strFormat == "tsv")
            out += SeparatedLine(*pMachine, TsvField, '\t', "\n");
        else if (strFormat == "csv")
            out += SeparatedLine(*pMachine, CsvField, ',', "\r\n");
        else
            out += (bFirst ? "\n  " : ",\n  ") + JsonObject(*pMachine);
        bFirst = false;
    }
    if (strFormat == "json")
        out += bFirst ? "]\n" : "\n]\n";
    return out;
}

} // namespace

int RunList(const Arguments& arguments) {
    const CArgs args(arguments, {{"--format", true}});
    if (args.WantsHelp()) {
        Print(kHelp);
        return 0;
    }
    CheckSettingsOption(args);
    args.RequirePositionals(0, 1, "machine file");
    const std::string strFormat = args.Value("--format").value_or("tsv");
    if (strFormat != "tsv" && strFormat != "csv" && strFormat != "json")
        throw CCliError("unknown format \"" + Shorten(strFormat) + "\": tsv, csv or json");

    std::optional<std::string> named;
    if (!args.Positionals().empty())
        named = args.Positionals().front();
    const std::string strPath = named ? MachineFilePath(named, {}) : MachineFilePath({}, LoadCliSettings(args));
    CMachineList list;
    ReadMachineFile(strPath, list);
    Print(Listing(list, strFormat));
    return 0;
}

} // namespace lanwick::cli
