// "history": what the history database holds of machines - uptime over 24 hours, 7 and 30 days, the round trips
// and state changes of a span - as tab- or comma-separated lines or JSON.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "cli/Args.h"
#include "cli/CliFiles.h"
#include "cli/Commands.h"
#include "cli/Formats.h"
#include "cli/Targets.h"
#include "history/History.h"
#include "platform/FileStore.h"

namespace lanwick::cli {

namespace {

constexpr const char* kHelp =
    "Usage: lanwick-cli history [HOST...] [--since 24h|7d|30d] [--format tsv|csv|json] [--history FILE]\n"
    "                           [--file FILE] [--settings FILE]\n"
    "\n"
    "Prints what the history database holds of every HOST: a dotted address, or a name (any case) of a machine\n"
    "in the machine file FILE (default: the settings' default machine file). Without HOST, every machine the\n"
    "history holds, by address. monitor and the window record the history: a machine is kept by its address and\n"
    "MAC, so renaming it or moving it to another group keeps its history; a machine with another MAC at the same\n"
    "address is another machine. One line per machine: address, MAC, name (from the machine file; empty when it\n"
    "has none), the uptime over the last 24 hours, 7 days and 30 days in percent of the checks answered (\"-\"\n"
    "without checks), the minimum, average and maximum round trip in milliseconds over the span (\"-\" without\n"
    "answers), the state before the span (up, down or \"-\"), and the state changes in the span separated by\n"
    "blanks, each the local time (ISO 8601), \"=\" and up or down; a machine's first check counts as a change.\n"
    "  --since 24h|7d|30d  the span of the round trips and changes, before now (default 24h)\n"
    "  --format tsv        tab-separated, no header; \\, tab, CR and LF in texts written as \\\\, \\t, \\r, \\n\n"
    "                      (default)\n"
    "  --format csv        RFC 4180 with a header line and CRLF line ends\n"
    "  --format json       an array of objects with the keys address, mac, name, uptime_24h, uptime_7d,\n"
    "                      uptime_30d (percent), rtt_min_ms, rtt_avg_ms, rtt_max_ms, state_before (\"up\" or\n"
    "                      \"down\"), each null when unknown, and changes (an array of objects with the keys time\n"
    "                      and state)\n"
    "  --history FILE      the history database (default: File= of the settings' [History] section, relative to\n"
    "                      the settings file's folder; else Lanwick-history.db beside this program in a build\n"
    "                      tree or beside the --settings file, else in $STATE_DIRECTORY when systemd sets it, else\n"
    "                      in $XDG_DATA_HOME/lanwick or ~/.local/share/lanwick). The file is only read.\n"
    "The history keeps 30 days (Days= of the [History] section: 1 to 3650); Enabled=0 there, or monitor\n"
    "--no-history, records nothing.\n"
    "Exit status: 0 done; 1 no history database at the path, or a HOST the history holds nothing of (the others\n"
    "are printed); 2 refused.\n";

struct Entry {
    history::MachineKey key;
    std::string strName;
};

std::int64_t SpanSeconds(const std::string& strSince) {
    if (strSince == "24h")
        return 24 * 3600;
    if (strSince == "7d")
        return 7 * 24 * 3600;
    if (strSince == "30d")
        return 30 * 24 * 3600;
    throw CCliError("unknown span \"" + Shorten(strSince) + "\": 24h, 7d or 30d");
}

// The machine file's names by history key; the first machine of a key names it.
std::vector<std::pair<history::MachineKey, std::string>> NamesOf(CMachineList& list) {
    std::vector<std::pair<history::MachineKey, std::string>> names;
    list.ResetCursor();
    while (const CMachine* pMachine = list.GetNextMachine())
        names.push_back({history::KeyOf(*pMachine), pMachine->m_strName});
    return names;
}

std::string NameOf(const std::vector<std::pair<history::MachineKey, std::string>>& names,
                   const history::MachineKey& key) {
    for (const auto& [known, strName] : names)
        if (known == key)
            return strName;
    return {};
}

std::string Percent(double dShare) {
    if (dShare < 0)
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", dShare * 100.0);
    return text;
}

struct Summary {
    std::string uptime[3];
    std::string rtt[3]; // min, avg, max in ms; empty when no answer
    std::string strBefore;
    std::vector<std::pair<std::string, std::string>> changes; // local time, "up" or "down"
};

Summary Summarise(const history::MachineHistory& h) {
    Summary s{{Percent(h.uptime.d24h), Percent(h.uptime.d7d), Percent(h.uptime.d30d)}, {}, {}, {}};
    double dMin = -1, dMax = -1, dSum = 0;
    std::int64_t nAnswered = 0;
    for (const history::HourStats& hour : h.hours) {
        if (hour.nAnswered <= 0)
            continue;
        dMin = dMin < 0 ? hour.dMinMs : std::min(dMin, hour.dMinMs);
        dMax = std::max(dMax, hour.dMaxMs);
        dSum += hour.dAvgMs * hour.nAnswered;
        nAnswered += hour.nAnswered;
    }
    if (nAnswered > 0) {
        s.rtt[0] = FormatMilliseconds(dMin * 1000.0);
        s.rtt[1] = FormatMilliseconds(dSum / static_cast<double>(nAnswered) * 1000.0);
        s.rtt[2] = FormatMilliseconds(dMax * 1000.0);
    }
    s.strBefore = h.nStateBefore < 0 ? "" : h.nStateBefore ? "up" : "down";
    for (const history::StateChange& change : h.changes)
        s.changes.push_back({LocalTime(change.nUnixSeconds), change.bUp ? "up" : "down"});
    return s;
}

std::string Separated(const Entry& e, const Summary& s, std::string (*field)(const std::string&), char sep,
                      const char* end) {
    const auto orDash = [](const std::string& strText) { return strText.empty() ? std::string("-") : strText; };
    std::string line = field(e.key.strAddress) + sep + field(e.key.strMac) + sep + field(e.strName);
    for (const std::string& strValue : s.uptime)
        line += sep + orDash(strValue);
    for (const std::string& strValue : s.rtt)
        line += sep + orDash(strValue);
    std::string strChanges;
    for (const auto& [strTime, strState] : s.changes)
        strChanges += (strChanges.empty() ? "" : " ") + strTime + '=' + strState;
    return line + sep + orDash(s.strBefore) + sep + field(strChanges) + end;
}

std::string Json(const Entry& e, const Summary& s) {
    const auto number = [](const std::string& strValue) { return strValue.empty() ? "null" : strValue; };
    std::string out = "{\"address\": " + JsonString(e.key.strAddress) + ", \"mac\": " + JsonString(e.key.strMac) +
                      ", \"name\": " + JsonString(e.strName);
    const char* uptimeKeys[] = {"uptime_24h", "uptime_7d", "uptime_30d"};
    const char* rttKeys[] = {"rtt_min_ms", "rtt_avg_ms", "rtt_max_ms"};
    for (int i = 0; i < 3; ++i)
        out += std::string(", \"") + uptimeKeys[i] + "\": " + number(s.uptime[i]);
    for (int i = 0; i < 3; ++i)
        out += std::string(", \"") + rttKeys[i] + "\": " + number(s.rtt[i]);
    out += ", \"state_before\": " + (s.strBefore.empty() ? std::string("null") : JsonString(s.strBefore));
    out += ", \"changes\": [";
    for (std::size_t i = 0; i < s.changes.size(); ++i)
        out += std::string(i ? ", " : "") + "{\"time\": " + JsonString(s.changes[i].first) +
               ", \"state\": " + JsonString(s.changes[i].second) + "}";
    return out + "]}";
}

} // namespace

int RunHistory(const Arguments& arguments) {
    const CArgs args(arguments, {{"--since", true}, {"--format", true}, {"--history", true}, {"--file", true}});
    if (args.WantsHelp()) {
        Print(kHelp);
        return 0;
    }
    const std::int64_t nSpan = SpanSeconds(args.Value("--since").value_or("24h"));
    const std::string strFormat = args.Value("--format").value_or("tsv");
    if (strFormat != "tsv" && strFormat != "csv" && strFormat != "json")
        throw CCliError("unknown format \"" + Shorten(strFormat) + "\": tsv, csv or json");
    const CliSettings settings = LoadCliSettings(args);
    const history::HistoryOptions options = LoadCliHistoryOptions(args, settings);

    // A HOST that is a name needs the machine file; otherwise it only lends the names, when it can be read.
    bool bNamesNeeded = false;
    for (const std::string& strHost : args.Positionals())
        bNamesNeeded = bNamesNeeded || !ParseStrictAddress(strHost);
    const std::string strFile = MachineFilePath(args.Value("--file"), settings);
    CMachineList list;
    if (bNamesNeeded || args.Has("--file"))
        ReadMachineFile(strFile, list);
    else if (platform::FileExists(strFile)) {
        try {
            ReadMachineFile(strFile, list);
        } catch (const CCliError&) {
            // Names are a courtesy here: without them the lines are still whole. Nothing was read into the list.
        }
    }
    const auto names = NamesOf(list);

    history::CHistoryReader reader;
    std::string strError;
    if (!reader.Open(options.strPath, &strError))
        throw CCliError(strError, 1);
    const std::vector<history::MachineKey> known = reader.Machines();

    std::vector<Entry> entries;
    std::set<std::pair<std::string, std::string>> seen;
    const auto add = [&](const history::MachineKey& key) {
        if (seen.insert({key.strAddress, key.strMac}).second)
            entries.push_back({key, NameOf(names, key)});
    };
    int nStatus = 0;
    for (const std::string& strHost : args.Positionals()) {
        std::vector<history::MachineKey> wanted;
        if (const auto ip = ParseStrictAddress(strHost)) {
            const std::string strAddress = FormatAddress(*ip);
            for (const history::MachineKey& key : known)
                if (key.strAddress == strAddress)
                    wanted.push_back(key);
        } else {
            const std::vector<const CMachine*> machines = FindMachines(list, strHost);
            if (machines.empty())
                throw CCliError("no machine with the address or name \"" + Shorten(strHost) + "\" in " +
                                Shorten(strFile));
            for (const CMachine* pMachine : machines) {
                const history::MachineKey key = history::KeyOf(*pMachine);
                if (std::find(known.begin(), known.end(), key) != known.end())
                    wanted.push_back(key);
            }
        }
        for (const history::MachineKey& key : wanted)
            add(key);
        if (wanted.empty()) {
            std::fprintf(stderr, "lanwick-cli: history: nothing recorded of %s in %s\n", Shorten(strHost).c_str(),
                         Shorten(options.strPath).c_str());
            nStatus = 1;
        }
    }
    if (args.Positionals().empty())
        for (const history::MachineKey& key : known)
            add(key);

    const std::int64_t nNow = std::time(nullptr);
    std::string out = strFormat == "csv"    ? "address,mac,name,uptime_24h,uptime_7d,uptime_30d,rtt_min_ms,rtt_avg_ms,"
                                              "rtt_max_ms,state_before,changes\r\n"
                      : strFormat == "json" ? "["
                                            : "";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Summary s = Summarise(reader.Read(entries[i].key, nNow - nSpan, nNow));
        if (strFormat == "tsv")
            out += Separated(entries[i], s, TsvField, '\t', "\n");
        else if (strFormat == "csv")
            out += Separated(entries[i], s, CsvField, ',', "\r\n");
        else
            out += (i ? ",\n  " : "\n  ") + Json(entries[i], s);
    }
    if (strFormat == "json")
        out += entries.empty() ? "]\n" : "\n]\n";
    Print(out);
    return nStatus;
}

} // namespace lanwick::cli
