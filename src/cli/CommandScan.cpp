// "scan": an address range swept through the ping engine (or walked by the range scan's workers), printing each
// answering address with its MAC, vendor and name, then the dialog's status line; with --add the found machines
// join a group of the machine file, as the dialog's OK does.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "cli/Args.h"
#include "cli/CliFiles.h"
#include "cli/Commands.h"
#include "cli/Formats.h"
#include "cli/StopRequest.h"
#include "cli/Sweep.h"
#include "cli/Targets.h"
#include "discovery/NameResolver.h"
#include "discovery/RangeDivision.h"
#include "discovery/ScanColumns.h"
#include "discovery/ScanSession.h"
#include "discovery/ScanWorker.h"
#include "platform/FileStore.h"
#include "probes/Lookups.h"
#include "probes/PingEngine.h"
#include "probes/VendorTable.h"

namespace lanwick::cli {

namespace {

constexpr const char* kHelp =
    "Usage: lanwick-cli scan START END [--timeout MS | --workers N] [--names] [--add GROUP [--file FILE]]\n"
    "                        [--settings FILE]\n"
    "\n"
    "Probes every address from START to END whose last number is 1 to 254, and prints each address that\n"
    "answers: address, MAC (twelve digits, zeros without an ARP answer), vendor and name, separated by tabs;\n"
    "then \"N addresses found\". By default every address is pinged at once (one attempt each) and the MACs\n"
    "come from the neighbour table that the sweep filled, so a range takes about one time-out; the rows\n"
    "follow in address order. Broadcast addresses of this machine's subnets are left out.\n"
    "The range must keep its first number, must not lower its second, and END must lie above START in its\n"
    "last two numbers (as the window's scan dialog requires).\n"
    "  --timeout MS  how long the sweep waits for replies, 10 to 10000 ms (default 1000)\n"
    "  --workers N   walk the range as the window's scan dialog does instead: N worker threads, 10 (mild) to\n"
    "                80 (aggressive), one address at a time each, rows as they arrive\n"
    "  --names       look up the host name of every address found (\"n/a\" when it has none)\n"
    "  --add GROUP   add every address found to GROUP of the machine file and save it, as the dialog's OK does;\n"
    "                GROUP must not start with \"-\" (most likely a mistyped option). The machine file is checked\n"
    "                before anything is sent: it must be a machine file this program may rewrite in its folder\n"
    "  --file FILE   the machine file for --add (default: the settings' default machine file)\n";

// One scan: the workers report here on their threads, names come back on the resolver's threads; rows are printed
// under the lock in the order they become complete (the workers') or, for the sweep, in the order found once every
// name is in.
class CScanRun final : public IScanSink {
public:
    explicit CScanRun(bool bNames)
        : m_session(VendorTableData(), VendorTableSize(), bNames),
          m_resolver(ResolveName,
                     [this](std::uint64_t key, const std::optional<std::string>& name) { OnName(key, name); }) {}

    ~CScanRun() override {
        m_workers.Cancel();
        m_workers.Join();
    }
    CScanRun(const CScanRun&) = delete;
    CScanRun& operator=(const CScanRun&) = delete;

    void Start(const std::vector<ScanRange>& blocks) { m_workers.Start(blocks, RealScanProbes(), *this); }

    // The sweep, on this thread: the rows come in address order once every name is in.
    void Sweep(CPingEngine& engine, const std::vector<std::string>& addresses) {
        m_bInOrder = true;
        for (const SweepHit& hit : SweepOnce(engine, addresses))
            OnScanFound(hit.strAddress, hit.strMac);
        OnScanDone();
    }

    // Waits for the last worker and the last name; false when a stop was requested first (the scan is then
    // cancelled and waited for, and its rows are incomplete).
    bool Wait() {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_session.Complete()) {
            if (CStopRequest::Requested()) {
                m_bStopped = true;
                lock.unlock();
                m_workers.Cancel();
                m_resolver.DropPending();
                m_workers.Join();
                return false;
            }
            m_changed.wait_for(lock, std::chrono::milliseconds(50));
        }
        lock.unlock();
        m_workers.Join();
        return true;
    }

    // Complete once Wait returned true.
    const CScanSession& Session() const { return m_session; }
    bool OutputFailed() const { return m_bOutputFailed; }

    void OnScanFound(const std::string& strAddress, const std::string& strMac) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        const std::size_t nRow = m_session.Found(strAddress, strMac);
        if (!m_session.WantsNames()) {
            Emit(nRow);
            return;
        }
        // Outside the lock: without a lookup thread the resolver answers on this very thread.
        lock.unlock();
        m_resolver.Request(nRow, strAddress);
    }
    void OnScanStep() override {}
    void OnScanDone() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_session.WorkersDone();
        EmitInOrderWhenComplete();
        m_changed.notify_all();
    }

private:
    void OnName(std::uint64_t key, const std::optional<std::string>& name) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_session.NameIn(key, NameColumnText(name));
        if (!m_bInOrder)
            Emit(key);
        EmitInOrderWhenComplete();
        m_changed.notify_all();
    }

    // Under the lock.
    void EmitInOrderWhenComplete() {
        if (!m_bInOrder || !m_session.WantsNames() || !m_session.Complete())
            return;
        for (std::size_t nRow = 0; nRow < m_session.Rows().size(); ++nRow)
            Emit(nRow);
    }

    // Under the lock.
    void Emit(std::size_t nRow) {
        if (m_bStopped)
            return;
        const FoundMachine& row = m_session.Rows()[nRow];
        if (!TryPrint(row.strAddress + '\t' + TsvField(row.strMac) + '\t' + TsvField(row.strVendor) + '\t' +
                      TsvField(row.strName) + '\n'))
            m_bOutputFailed = true;
    }

    bool m_bInOrder = false; // set by the sweep before anything is found
    std::mutex m_mutex;
    std::condition_variable m_changed;
    CScanSession m_session;
    bool m_bStopped = false; // nothing more is printed once a stop was requested
    bool m_bOutputFailed = false;
    // Declared last: the workers end first, then the lookups, while the state above still stands.
    CNameResolver m_resolver;
    CScanWorkers m_workers;
};

} // namespace

int RunScan(const Arguments& arguments) {
    const CArgs args(
        arguments,
        {{"--workers", true}, {kTimeoutOption, true}, {"--names", false}, {"--add", true}, {"--file", true}});
    if (args.WantsHelp()) {
        Print(kHelp);
        return 0;
    }
    CheckSettingsOption(args);
    args.RequirePositionals(2, 2, "START and END addresses");
    const IpAddress start = RequireAddress(args.Positionals()[0]);
    const IpAddress end = RequireAddress(args.Positionals()[1]);
    RequireSweepRange(start, end, args.Positionals()[0], args.Positionals()[1]);
    std::optional<int> workers;
    if (const auto value = args.Value("--workers"))
        workers = static_cast<int>(ParseNumber(*value, 10, 80, "--workers"));
    if (workers && args.Has(kTimeoutOption))
        throw CCliError("--timeout is for the sweep: with --workers every probe waits one second, as in the "
                        "window's scan dialog");
    const std::uint32_t timeout = TimeoutOption(args);
    const auto group = args.Value("--add");
    if (group && group->empty())
        throw CCliError("no group entered: --add needs a group name");
    // Deliberately stricter than the window: from a command line a group "-x" is far likelier a mistyped option.
    if (group && group->front() == '-')
        throw CCliError("group \"" + Shorten(*group) +
                        "\" refused: a group named on the command line must not start with \"-\"");
    if (args.Has("--file") && !group)
        throw CCliError("--file is only used with --add");

    std::string strFile;
    if (group) {
        strFile =
            args.Has("--file") ? MachineFilePath(args.Value("--file"), {}) : MachineFilePath({}, LoadCliSettings(args));
        // Only a check, so that a file that could not be saved is refused before anything is sent; the file is
        // read again for the save.
        CMachineList checked;
        LoadMachineFileForUpdate(strFile, checked);
    }
    RequireIcmp();

    CScanRun run(args.Has("--names"));
    if (workers) {
        CStopRequest::Install(nullptr);
        run.Start(DivideRange(start, end, *workers));
    } else {
        CPingEngine engine;
        engine.SetTimeout(timeout);
        CStopRequest::Install(&engine);
        run.Sweep(engine, SweepAddresses(start, end));
        CStopRequest::Install(nullptr);
    }
    if (!run.Wait())
        throw CCliError(group ? "interrupted; nothing added" : "interrupted", 128 + CStopRequest::Signal());
    if (run.OutputFailed())
        throw CCliError("cannot write the output");
    const std::size_t nFound = run.Session().Rows().size();
    Print(run.Session().StatusText() + "\n");
    if (!group)
        return 0;

    // Another writer may have saved while the scan ran: the file is read again under the writers' lock and saved
    // before it is released, so that its machines and ours both stay.
    platform::CWriteLock lock;
    if (std::string strReason; !lock.Lock(strFile, &strReason))
        throw CCliError("machine file " + Shorten(strFile) + " not saved: " + strReason);
    CMachineList current;
    LoadMachineFileForUpdate(strFile, current);
    AddFoundMachines(current, run.Session().Rows(), *group);
    SaveMachineFile(strFile, current);
    Print(std::to_string(nFound) + (nFound == 1 ? " machine" : " machines") + " added to group " + *group + " in " +
          strFile + "\n");
    return 0;
}

} // namespace lanwick::cli
