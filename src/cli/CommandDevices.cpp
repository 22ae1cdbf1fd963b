// "devices": the device book that "watch" keeps, listed, and a device in it accepted as belonging to the network.
#include <string>

#include "cli/Args.h"
#include "cli/CliFiles.h"
#include "cli/Commands.h"
#include "cli/Formats.h"
#include "history/DeviceBook.h"
#include "history/History.h"

namespace lanwick::cli {

namespace {

constexpr const char* kHelp =
    "Usage: lanwick-cli devices [--unknown] [--format tsv|csv|json] [--history FILE] [--settings FILE]\n"
    "       lanwick-cli devices --accept MAC [--history FILE] [--settings FILE]\n"
    "\n"
    "Lists the devices that \"watch\" has seen, in address order, one per line: MAC (empty for a device known\n"
    "by its address alone), address, vendor, name, first seen, last seen (local time, ISO 8601), accepted and\n"
    "in machine file (Yes or No; as the last sweep that saw the device found the machine file).\n"
    "The device book lives in the history database: --history FILE, else the file that File= of the settings'\n"
    "[History] section names, else Lanwick-history.db beside the settings file in a build tree, in\n"
    "$STATE_DIRECTORY for a service, or in $XDG_DATA_HOME/lanwick (~/.local/share/lanwick).\n"
    "  --unknown      only the devices neither accepted nor in the machine file\n"
    "  --format tsv   tab-separated, no header; \\, tab, CR and LF in texts written as \\\\, \\t, \\r, \\n (default)\n"
    "  --format csv   RFC 4180 with a header line and CRLF line ends\n"
    "  --format json  an array of objects with the keys mac, address, vendor, name, first_seen, last_seen,\n"
    "                 accepted, in_machine_file (true or false); bytes that are not UTF-8 read as Latin-1\n"
    "  --accept MAC   mark the device with this MAC (colon, dash or plain form) as belonging to the network: it\n"
    "                 no longer counts as unknown; refused when the book has no such MAC\n";

const char* YesNo(bool b) {
    return b ? "Yes" : "No";
}

const char* TrueFalse(bool b) {
    return b ? "true" : "false";
}

std::string SeparatedLine(const history::Device& d, std::string (*field)(const std::string&), char sep,
                          const char* end) {
    std::string line;
    for (const std::string& text :
         {UpperCase(d.strMac), d.strAddress, d.strVendor, d.strName, LocalTime(d.nFirstSeen), LocalTime(d.nLastSeen)})
        line += field(text) + sep;
    return line + YesNo(d.bAccepted) + sep + YesNo(d.bInFile) + end;
}

std::string JsonObject(const history::Device& d) {
    return "{\"mac\": " + JsonString(UpperCase(d.strMac)) + ", \"address\": " + JsonString(d.strAddress) +
           ", \"vendor\": " + JsonString(d.strVendor) + ", \"name\": " + JsonString(d.strName) +
           ", \"first_seen\": " + JsonString(LocalTime(d.nFirstSeen)) +
           ", \"last_seen\": " + JsonString(LocalTime(d.nLastSeen)) + ", \"accepted\": " + TrueFalse(d.bAccepted) +
           ", \"in_machine_file\": " + TrueFalse(d.bInFile) + "}";
}

std::string Listing(const std::vector<history::Device>& devices, const std::string& strFormat) {
    std::string out;
    if (strFormat == "csv")
        out = "mac,address,vendor,name,first_seen,last_seen,accepted,in_machine_file\r\n";
    for (const history::Device& d : devices) {
        if (strFormat == "tsv")
            out += SeparatedLine(d, TsvField, '\t', "\n");
        else if (strFormat == "csv")
            out += SeparatedLine(d, CsvField, ',', "\r\n");
        else
            out += (out.empty() ? "[\n  " : ",\n  ") + JsonObject(d);
    }
    if (strFormat == "json")
        out += out.empty() ? "[]\n" : "\n]\n";
    return out;
}

} // namespace

int RunDevices(const Arguments& arguments) {
    const CArgs args(arguments, {{"--unknown", false}, {"--format", true}, {"--history", true}, {"--accept", true}});
    if (args.WantsHelp()) {
        Print(kHelp);
        return 0;
    }
    args.RequirePositionals(0, 0, "arguments");
    const CliSettings settings = LoadCliSettings(args);
    const std::optional<std::string> accept = args.Value("--accept");
    if (accept && (args.Has("--unknown") || args.Has("--format")))
        throw CCliError("--accept lists nothing: it takes no --unknown or --format");
    if (accept && !ParseMac(*accept))
        throw CCliError("\"" + Shorten(*accept) + "\" is not a MAC address");
    const std::string strFormat = args.Value("--format").value_or("tsv");
    if (strFormat != "tsv" && strFormat != "csv" && strFormat != "json")
        throw CCliError("unknown format \"" + Shorten(strFormat) + "\": tsv, csv or json");

    const std::string strPath = HistoryPath(args, settings);
    history::CDeviceBook book;
    if (std::string strError; !book.OpenExisting(strPath, &strError))
        throw CCliError("cannot open the device book " + Shorten(strPath) + ": " + strError);
    if (!accept) {
        Print(Listing(book.Devices(args.Has("--unknown")), strFormat));
        return 0;
    }
    std::string strError;
    switch (book.Accept(*accept, &strError)) {
    case history::AcceptResult::Accepted:
        Print(UpperCase(history::NormaliseMac(*accept)) + " accepted\n");
        return 0;
    case history::AcceptResult::NoSuchDevice:
        throw CCliError("no device with MAC " + Shorten(*accept) + " in " + Shorten(strPath));
    case history::AcceptResult::Failed:
        break;
    }
    throw CCliError("cannot write the device book " + Shorten(strPath) + ": " + strError);
}

} // namespace lanwick::cli
