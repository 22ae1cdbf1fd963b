// "watch": a range swept every S seconds, each answer compared with the machine file and the device book, and a
// device the network never showed before announced once: a line on stdout and, on request, a command of the
// user's with the device's fields in its environment.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/Args.h"
#include "cli/CliFiles.h"
#include "cli/Commands.h"
#include "cli/Formats.h"
#include "cli/PromFile.h"
#include "cli/StopRequest.h"
#include "cli/Sweep.h"
#include "cli/Targets.h"
#include "discovery/ScanColumns.h"
#include "history/DeviceBook.h"
#include "history/History.h"
#include "platform/FileStore.h"
#include "platform/Interfaces.h"
#include "platform/Process.h"
#include "probes/Lookups.h"
#include "probes/PingEngine.h"
#include "probes/VendorTable.h"

namespace lanwick::cli {

namespace {

constexpr const char* kHelp =
    "Usage: lanwick-cli watch START END [--every S] [--exec CMD] [--prom-file PATH] [--history FILE]\n"
    "                         [--timeout MS] [--names] [--file FILE] [--sweeps K] [--settings FILE]\n"
    "\n"
    "Sweeps the range from START to END every S seconds as \"scan\" does (every address at once, MACs from the\n"
    "neighbour table) and compares what answers with the machines of the machine file and the devices seen\n"
    "before, kept in the device book of the history database. A device is its MAC: one that moves to another\n"
    "address keeps its identity and only its address is updated. A host that answers without a MAC (behind a\n"
    "router, or no ARP answer) is known by its address alone until that address shows a MAC. This machine's own\n"
    "addresses are left out. Each device is announced once in its lifetime, as one line: the local time (ISO\n"
    "8601), the event, address, MAC, vendor and name, separated by tabs:\n"
    "  new          a device never seen before and not in the machine file (the first sweep over a fresh book\n"
    "               announces every such device that answers)\n"
    "  mac-changed  a new MAC at an address the machine file or the book knows with another MAC: a replaced\n"
    "               machine, or someone using its address. A neighbour table only notices a changed MAC when\n"
    "               its entry ages, which can take about a minute\n"
    "SIGINT or SIGTERM stops it cleanly (exit status 0).\n"
    "  --every S         seconds between sweeps, 1 to 86400 (default 300)\n"
    "  --exec CMD        run CMD as \"/bin/sh -c CMD\", exactly as given, for every announcement, with the fields\n"
    "                    only in its environment: LANWICK_EVENT, LANWICK_ADDRESS, LANWICK_MAC, LANWICK_VENDOR,\n"
    "                    LANWICK_NAME, LANWICK_TIME and LANWICK_PREVIOUS_MAC (mac-changed). Never waited for: at\n"
    "                    most 4 run at once, up to 1024 more wait their turn; its output goes to stderr\n"
    "  --prom-file PATH  after every sweep, replace PATH with lanwick_devices_unknown (devices seen, neither\n"
    "                    accepted nor in the machine file) and lanwick_device_first_seen_timestamp_seconds of\n"
    "                    each of them, labelled mac, address and vendor (Prometheus text format)\n"
    "  --history FILE    the database holding the device book (default: the history database, see \"devices\")\n"
    "  --timeout MS      how long a sweep waits for replies, 10 to 10000 ms (default 1000)\n"
    "  --names           look up the host name of every announced device (empty when it has none)\n"
    "  --file FILE       the machine file whose machines are known, read again whenever it changes (default:\n"
    "                    the settings' default machine file; none when that does not exist)\n"
    "  --sweeps K        stop after K sweeps (default: run until stopped)\n";

struct WatchOptions {
    std::vector<std::string> addresses;
    int nEvery = 300;
    std::optional<std::string> exec;
    std::optional<std::string> promFile;
    std::string strHistory;
    std::uint32_t nTimeout = 1000;
    bool bNames = false;
    long long nSweeps = -1; // until stopped
};

std::optional<std::string> NonEmpty(const CArgs& args, const char* name, const char* what) {
    auto value = args.Value(name);
    if (value && value->empty())
        throw CCliError(std::string(name) + " needs " + what);
    return value;
}

// The machines of the machine file as the book compares them, read again whenever the file changes, so that a
// machine added in the window stops counting as unknown at the next sweep.
class CKnownMachines {
public:
    CKnownMachines(std::string strPath, bool bNamed) : m_strPath(std::move(strPath)), m_bNamed(bNamed) {}

    // The first read refuses a named file that cannot be read; a default file that does not exist means none.
    // Later reads keep the machines read last when the file cannot be read, and say so.
    void Read(bool bFirst) {
        std::error_code ec;
        const auto stamp = std::filesystem::last_write_time(m_strPath, ec);
        if (!bFirst && ec == m_ec && stamp == m_stamp)
            return;
        m_stamp = stamp;
        m_ec = ec;
        if (ec && !m_bNamed) {
            m_machines.clear();
            return;
        }
        try {
            CMachineList list;
            ReadMachineFile(m_strPath, list);
            m_machines.clear();
            list.ResetCursor();
            while (const CMachine* pMachine = list.GetNextMachine())
                m_machines.push_back({FormatAddress(pMachine->m_ip), pMachine->m_strMac});
        } catch (const CCliError& error) {
            if (bFirst)
                throw;
            std::fprintf(stderr, "lanwick-cli: watch: %s (the machines read before stay known)\n", error.what());
        }
    }

    const std::vector<history::KnownMachine>& Machines() const { return m_machines; }

private:
    const std::string m_strPath;
    const bool m_bNamed;
    std::filesystem::file_time_type m_stamp;
    std::error_code m_ec;
    std::vector<history::KnownMachine> m_machines;
};

// The hosts that answered, less this machine itself (its own addresses answer, but it is no device to announce).
std::vector<history::Sighting> Sightings(const std::vector<SweepHit>& hits) {
    std::vector<std::string> own;
    for (const platform::Ipv4& a : platform::InterfaceAddresses())
        own.push_back(FormatAddress({a[0], a[1], a[2], a[3]}));
    std::vector<history::Sighting> sightings;
    for (const SweepHit& hit : hits) {
        if (std::find(own.begin(), own.end(), hit.strAddress) != own.end())
            continue;
        const bool bMac = !history::NormaliseMac(hit.strMac).empty();
        sightings.push_back({hit.strAddress,
                             bMac ? hit.strMac : std::string(),
                             bMac ? VendorColumnText(VendorTableData(), VendorTableSize(), hit.strMac) : std::string(),
                             {}});
    }
    return sightings;
}

class CWatch {
public:
    CWatch(const WatchOptions& options, CKnownMachines& known) : m_options(options), m_known(known) {
        m_engine.SetTimeout(options.nTimeout);
    }

    void Open() {
        if (std::string strError; !m_book.Open(m_options.strHistory, &strError))
            throw CCliError("cannot open the device book " + Shorten(m_options.strHistory) + ": " + strError);
    }

    // One sweep; false when a stop request cut it short.
    bool Sweep(bool bFirst) {
        const std::vector<SweepHit> hits = SweepOnce(m_engine, m_options.addresses);
        if (m_engine.IsCancelled())
            return false;
        std::string strError;
        m_known.Read(false);
        const auto announcements = m_book.Record(Sightings(hits), m_known.Machines(), std::time(nullptr), &strError);
        if (!announcements) {
            // A book that cannot be written at once is refused; a later failure (a full disk) is said once and
            // the watch goes on: the devices are announced at the first sweep that can record them.
            const std::string strLine =
                "cannot write the device book " + Shorten(m_options.strHistory) + ": " + strError;
            if (bFirst)
                throw CCliError(strLine);
            if (!m_bBookFailing)
                std::fprintf(stderr, "lanwick-cli: watch: %s\n", strLine.c_str());
            m_bBookFailing = true;
        } else {
            m_bBookFailing = false;
            for (const history::Announcement& a : *announcements)
                Announce(a);
        }
        WriteProm(bFirst);
        return true;
    }

    // Sleeps until `until`, starting the commands that wait for a place meanwhile; false on a stop request.
    bool SleepUntil(std::chrono::steady_clock::time_point until) {
        while (true) {
            PumpCommands();
            const auto step = std::min(until, std::chrono::steady_clock::now() + std::chrono::milliseconds(200));
            if (!CStopRequest::SleepUntil(step))
                return false;
            if (step == until)
                return true;
        }
    }

    CPingEngine& Engine() { return m_engine; }

private:
    void Announce(const history::Announcement& a) {
        const std::string strTime = LocalTime(std::time(nullptr));
        const history::Device& d = a.device;
        std::string strName;
        if (m_options.bNames && !d.strAddress.empty())
            strName = ResolveName(d.strAddress).value_or("");
        const std::string strMac = UpperCase(d.strMac);
        Print(strTime + '\t' + history::EventName(a.event) + '\t' + d.strAddress + '\t' + strMac + '\t' +
              TsvField(d.strVendor) + '\t' + TsvField(strName) + '\n');
        if (!m_options.exec)
            return;
        const platform::Environment env = {
            {"LANWICK_EVENT", history::EventName(a.event)},
            {"LANWICK_ADDRESS", d.strAddress},
            {"LANWICK_MAC", strMac},
            {"LANWICK_VENDOR", d.strVendor},
            {"LANWICK_NAME", strName},
            {"LANWICK_TIME", strTime},
            {"LANWICK_PREVIOUS_MAC", UpperCase(a.strPreviousMac)},
        };
        if (std::string strError; !m_runner.Run(*m_options.exec, env, &strError))
            std::fprintf(stderr, "lanwick-cli: watch: --exec not run for %s: %s\n", d.strAddress.c_str(),
                         strError.c_str());
    }

    void PumpCommands() {
        std::vector<std::string> errors;
        m_runner.Pump(&errors);
        for (const std::string& strError : errors)
            std::fprintf(stderr, "lanwick-cli: watch: --exec: %s\n", strError.c_str());
    }

    void WriteProm(bool bFirst) {
        if (!m_options.promFile)
            return;
        const std::string strError = WritePromFile(*m_options.promFile, DevicePromText(m_book.Devices(true)));
        if (strError.empty())
            return;
        const std::string strLine = "cannot write " + Shorten(*m_options.promFile) + ": " + strError;
        if (bFirst)
            throw CCliError(strLine);
        std::fprintf(stderr, "lanwick-cli: watch: %s\n", strLine.c_str());
    }

    const WatchOptions& m_options;
    CKnownMachines& m_known;
    history::CDeviceBook m_book;
    CPingEngine m_engine;
    platform::CCommandRunner m_runner{4, 1024};
    bool m_bBookFailing = false;
};

} // namespace

int RunWatch(const Arguments& arguments) {
    const CArgs args(arguments, {{"--every", true},
                                 {"--exec", true},
                                 {"--prom-file", true},
                                 {"--history", true},
                                 {kTimeoutOption, true},
                                 {"--names", false},
                                 {"--file", true},
                                 {"--sweeps", true}});
    if (args.WantsHelp()) {
        Print(kHelp);
        return 0;
    }
    const CliSettings settings = LoadCliSettings(args);
    args.RequirePositionals(2, 2, "START and END addresses");
    const IpAddress start = RequireAddress(args.Positionals()[0]);
    const IpAddress end = RequireAddress(args.Positionals()[1]);
    RequireSweepRange(start, end, args.Positionals()[0], args.Positionals()[1]);

    WatchOptions options;
    if (const auto every = args.Value("--every"))
        options.nEvery = static_cast<int>(ParseNumber(*every, 1, 86400, "--every"));
    if (const auto sweeps = args.Value("--sweeps"))
        options.nSweeps = ParseNumber(*sweeps, 1, 1000000000, "--sweeps");
    options.exec = NonEmpty(args, "--exec", "a command");
    options.promFile = NonEmpty(args, "--prom-file", "a file name");
    options.nTimeout = TimeoutOption(args);
    options.bNames = args.Has("--names");
    options.strHistory = HistoryPath(args, settings);
    // A metrics file that cannot be written is found out before the first ping.
    if (options.promFile) {
        if (const std::string strReason = platform::ReplaceRefusal(*options.promFile); !strReason.empty())
            throw CCliError("cannot write " + Shorten(*options.promFile) + ": " + strReason);
    }
    const std::optional<std::string> file = args.Value("--file");
    CKnownMachines known(MachineFilePath(file, settings), file.has_value());
    known.Read(true);
    RequireIcmp();
    options.addresses = SweepAddresses(start, end);
    CWatch watch(options, known);
    watch.Open();

    CStopRequest::Install(&watch.Engine());
    auto next = std::chrono::steady_clock::now();
    for (long long nSweep = 0; options.nSweeps < 0 || nSweep < options.nSweeps; ++nSweep) {
        // Sweeps keep to the period; after one longer than the period the next follows at once.
        if (nSweep > 0 && !watch.SleepUntil(next))
            break;
        if (!watch.Sweep(nSweep == 0))
            break;
        next = std::max(next + std::chrono::seconds(options.nEvery), std::chrono::steady_clock::now());
    }
    CStopRequest::Install(nullptr);
    return 0;
}

} // namespace lanwick::cli
