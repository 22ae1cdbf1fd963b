// "monitor": the window's monitoring without a window. A list fill first, then a pass every S seconds over the
// machines in view; every notification the window would pop up is printed as one timestamped line.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "cli/Args.h"
#include "cli/CliFiles.h"
#include "cli/Commands.h"
#include "cli/Formats.h"
#include "cli/PromFile.h"
#include "cli/StopRequest.h"
#include "cli/Targets.h"
#include "history/History.h"
#include "monitor/MonitorPass.h"
#include "platform/FileStore.h"
#include "probes/PingEngine.h"
#include "registry/Groups.h"

namespace lanwick::cli {

namespace {

constexpr const char* kHelp =
    "Usage: lanwick-cli monitor [FILE] [--group G] [--refresh S] [--passes K] [--timeout MS]\n"
    "                           [--prom-file PATH] [--history FILE | --no-history] [--settings FILE]\n"
    "\n"
    "Monitors the machines of FILE (default: the settings' default machine file) as the window does: a list fill\n"
    "pings them first, then a monitoring pass every S seconds compares every answer with the last one. Each\n"
    "notification the window would show is printed as one line: the local time (ISO 8601), a tab, and the exact\n"
    "notification text with its line feeds written as \\n (and \\ as \\\\). Retries and Pause come from the settings.\n"
    "SIGINT or SIGTERM stops it cleanly (exit status 0).\n"
    "The list fill and every pass are recorded in the history database (see lanwick-cli history --help): each\n"
    "machine's state changes and, per hour, its checks, answers and round trips. A history that cannot be\n"
    "written (a full disk, a damaged file, another program's database) prints one line \"lanwick-cli: monitor:\n"
    "history paused: REASON\" on stderr and the monitoring goes on without it. A stop writes what was recorded\n"
    "before the exit.\n"
    "  --group G         only the machines of group G (any case); a G containing \"*All\" is every machine\n"
    "                    (default \"*All machines\")\n"
    "  --refresh S       seconds between passes, 1 to 86400 (default: Refresh of the settings, held to 10..86400)\n"
    "  --passes K        stop after K passes (default: run until stopped)\n"
    "  --timeout MS      how long an attempt waits for its reply, 10 to 10000 ms (default 1000)\n"
    "  --prom-file PATH  after the list fill and after every pass, replace PATH with the state of every pinged\n"
    "                    machine in the Prometheus text format: lanwick_machine_up (1 or 0) and\n"
    "                    lanwick_machine_rtt_seconds, labelled name, address and group, and\n"
    "                    lanwick_last_pass_timestamp_seconds (Unix time the pass ended)\n"
    "  --history FILE    record into the history database FILE (default: File= of the settings' [History]\n"
    "                    section, else Lanwick-history.db in the place lanwick-cli history --help tells)\n"
    "  --no-history      record nothing (as Enabled=0 in the settings' [History] section)\n";

struct MonitorOptions {
    std::string strFile;
    std::string strGroup = kAllMachines;
    int nRefresh = 60;
    long long nPasses = -1; // until stopped
    std::uint32_t nTimeout = 1000;
    std::optional<std::string> promFile;
};

MonitorOptions ReadOptions(const CArgs& args, const CliSettings& settings) {
    MonitorOptions options;
    args.RequirePositionals(0, 1, "machine file");
    options.strFile = MachineFilePath(
        args.Positionals().empty() ? std::nullopt : std::optional<std::string>(args.Positionals()[0]), settings);
    if (const auto group = args.Value("--group"))
        options.strGroup = *group;
    if (const auto refresh = args.Value("--refresh")) {
        options.nRefresh = static_cast<int>(ParseNumber(*refresh, 1, 86400, "--refresh"));
    } else {
        // Held to 10..86400 by the settings loader.
        options.nRefresh = settings.settings.m_nRefresh;
    }
    if (const auto passes = args.Value("--passes"))
        options.nPasses = ParseNumber(*passes, 1, 1000000000, "--passes");
    options.nTimeout = TimeoutOption(args);
    options.promFile = args.Value("--prom-file");
    if (options.promFile && options.promFile->empty())
        throw CCliError("--prom-file needs a file name");
    return options;
}

class CMonitor {
public:
    CMonitor(const MonitorOptions& options, const CSettings& settings, CMachineList& list,
             history::CHistoryWriter* pHistory)
        : m_options(options), m_settings(settings), m_list(list), m_pHistory(pHistory) {
        m_engine.SetTimeout(options.nTimeout);
    }

    // One list fill or pass; false when a stop request cut its pings short (nothing is applied then).
    bool Run(PassKind kind) {
        const CMonitorPass pass = CMonitorPass::Plan(m_list, m_options.strGroup, kind);
        const std::vector<std::int32_t> results = pass.Ping(m_engine, m_settings.m_nRetries, m_settings.m_nPause);
        if (m_engine.IsCancelled())
            return false;
        const auto nEnd = static_cast<std::int64_t>(std::time(nullptr));
        std::vector<const CMachine*> fresh;
        PassOutcome outcome;
        {
            // Rows go straight into the metrics text: over thousands of machines a pass keeps none of them.
            CPromText prom;
            outcome = pass.ApplyEach(m_list, results, m_settings.m_bShowPingTime != 0, [&](ListRow&& row) {
                if (m_options.promFile)
                    prom.Add(row);
                // Only a result of this pass is a check: a stale row (edited meanwhile) was not pinged.
                if (m_pHistory && row.bFresh)
                    fresh.push_back(row.pMachine);
            });
            if (m_options.promFile)
                WriteProm(kind, prom);
        }
        // Made once the metrics text is gone, so that the two never take memory at the same time.
        if (m_pHistory) {
            history::PassRecord record{nEnd, {}};
            record.checks.reserve(fresh.size());
            for (const CMachine* pMachine : fresh)
                record.checks.push_back(history::CheckOf(*pMachine));
            m_pHistory->Record(std::move(record));
        }
        if (!outcome.strMessage.empty())
            Print(LocalTime(std::time(nullptr)) + '\t' + OneLine(outcome.strMessage) + '\n');
        return true;
    }

    CPingEngine& Engine() { return m_engine; }

private:
    void WriteProm(PassKind kind, CPromText& prom) {
        const double dNow = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
        const std::string strError = WritePromFile(*m_options.promFile, prom.Take(dNow));
        if (!strError.empty()) {
            const std::string strLine = "cannot write " + Shorten(*m_options.promFile) + ": " + strError;
            // A wrong path shows at once; a later failure (a full disk) must not end the monitoring.
            if (kind == PassKind::ListFill)
                throw CCliError(strLine);
            std::fprintf(stderr, "lanwick-cli: monitor: %s\n", strLine.c_str());
        }
    }

    const MonitorOptions& m_options;
    const CSettings& m_settings;
    CMachineList& m_list;
    history::CHistoryWriter* m_pHistory;
    CPingEngine m_engine;
};

bool AnyInView(CMachineList& list, const std::string& strGroup) {
    list.ResetCursor();
    while (const CMachine* pMachine = list.GetNextMachine())
        if (IsInView(pMachine->m_strGroup, strGroup))
            return true;
    return false;
}

} // namespace

int RunMonitor(const Arguments& arguments) {
    const CArgs args(arguments, {{"--group", true},
                                 {"--refresh", true},
                                 {"--passes", true},
                                 {kTimeoutOption, true},
                                 {"--prom-file", true},
                                 {"--history", true},
                                 {"--no-history", false}});
    if (args.WantsHelp()) {
        Print(kHelp);
        return 0;
    }
    const CliSettings settings = LoadCliSettings(args);
    const MonitorOptions options = ReadOptions(args, settings);
    // A metrics file that cannot be written is found out before the first ping, not after the list fill.
    if (options.promFile) {
        if (const std::string strReason = platform::ReplaceRefusal(*options.promFile); !strReason.empty())
            throw CCliError("cannot write " + Shorten(*options.promFile) + ": " + strReason);
    }
    CMachineList list;
    ReadMachineFile(options.strFile, list);
    // A mistyped group would monitor nothing for ever without a word.
    if (args.Has("--group") && !AnyInView(list, options.strGroup))
        throw CCliError("no machine of group \"" + Shorten(options.strGroup) + "\" in " + Shorten(options.strFile));
    const history::HistoryOptions historyOptions = LoadCliHistoryOptions(args, settings);
    RequireIcmp();

    // Declared before the loop's objects: its destructor writes every recorded pass before the exit.
    std::unique_ptr<history::CHistoryWriter> pHistory;
    if (historyOptions.bEnabled) {
        pHistory = std::make_unique<history::CHistoryWriter>(historyOptions.strPath, historyOptions.nRetentionDays);
        pHistory->OnPause([](const std::string& strReason) {
            std::fprintf(stderr, "lanwick-cli: monitor: history paused: %s\n", OneLine(strReason).c_str());
        });
    }
    CMonitor monitor(options, settings.settings, list, pHistory.get());
    CStopRequest::Install(&monitor.Engine());
    if (!monitor.Run(PassKind::ListFill))
        return 0;
    auto next = std::chrono::steady_clock::now();
    for (long long nPass = 0; options.nPasses < 0 || nPass < options.nPasses; ++nPass) {
        // Passes keep to the period, as a window timer does; after a pass longer than the period the next one
        // follows at once, and the missed ones are not made up.
        next = std::max(next + std::chrono::seconds(options.nRefresh), std::chrono::steady_clock::now());
        if (!CStopRequest::SleepUntil(next) || !monitor.Run(PassKind::MonitoringPass))
            break;
    }
    return 0;
}

} // namespace lanwick::cli
