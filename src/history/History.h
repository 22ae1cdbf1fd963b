// What the monitoring saw of each machine over time: its state changes, and per hour the checks, the answers and
// the round trips. Written by a thread of its own so that no pass ever waits for the disk; read on another
// connection, so that a reader never waits for the writer.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lanwick {
class CMachine;
}

namespace lanwick::history {

inline constexpr char kHistoryFileName[] = "Lanwick-history.db";
inline constexpr std::int64_t kDefaultRetentionDays = 30;

// The database of a program living in strExeDir when nothing names one: beside the settings file when that is
// the program's own folder (a build tree), else $STATE_DIRECTORY (a service), else $XDG_DATA_HOME/lanwick/ or
// ~/.local/share/lanwick/ (created when missing). Empty when no folder is left (no HOME).
std::string DefaultHistoryPath(const std::string& strExeDir);
// The same with the environment given, for tests; null means unset.
std::string DefaultHistoryPath(const std::string& strExeDir, const char* xdgDataHome, const char* home,
                               const char* stateDirectory);

// The [History] section of the settings file, which the settings sheet never touches: File= names another
// database (absolute, or relative to the settings file's folder), Enabled=0 switches the history off, Days= keeps
// that many days (1 to 3650). Without the section: enabled, at DefaultHistoryPath(strExeDir), 30 days.
struct HistoryOptions {
    bool bEnabled = true;
    std::string strPath;
    std::int64_t nRetentionDays = kDefaultRetentionDays;
};
HistoryOptions LoadHistoryOptions(const std::string& strIniFile, const std::string& strExeDir);

// A machine as the history knows it: by address and MAC (when the machine file has one), so that renaming it
// or moving it to another group keeps its history. strMac is normalised to "aa:bb:cc:dd:ee:ff" or empty.
struct MachineKey {
    std::string strAddress;
    std::string strMac;
    bool operator==(const MachineKey&) const = default;
};

// A key as two numbers: the address and the MAC's 48 bits (0 without one). False for a key in any other form
// than the canonical one (a dotted address without leading zeros, a MAC as NormaliseMac gives it, or none).
bool PackKey(const MachineKey& key, std::uint32_t& nAddress, std::uint64_t& nMac);
MachineKey UnpackKey(std::uint32_t nAddress, std::uint64_t nMac);

// One machine's result in a pass. The key is kept as numbers: a monitor hands over a pass of 10,000 machines
// every minute, and two strings a check would be most of its memory.
struct Check {
    Check() = default;
    Check(const MachineKey& key, std::int32_t nRoundTrip);
    MachineKey Key() const;

    std::uint32_t nAddress = 0;
    std::uint64_t nMac = 0;
    std::int32_t nRoundTripUs = -1; // -1: no answer
    // Only for a key that does not pack (see PackKey): kept as it was given.
    std::shared_ptr<const MachineKey> pOddKey;
};

// One monitoring pass or list fill, with the Unix time at which it ended.
struct PassRecord {
    std::int64_t nUnixSeconds = 0;
    std::vector<Check> checks;
};

struct StateChange {
    std::int64_t nUnixSeconds = 0;
    bool bUp = false;
};

struct HourStats {
    std::int64_t nHourStart = 0; // Unix seconds, a multiple of 3600
    std::int32_t nChecks = 0;
    std::int32_t nAnswered = 0;
    // Round trips of the answered checks in milliseconds; negative when none answered.
    double dMinMs = -1, dAvgMs = -1, dMaxMs = -1;
};

struct Uptime {
    // Answered share of the checks, 0..1; negative when the span holds no check. Counted by whole hours: those
    // that begin within the span, the current one included.
    double d24h = -1, d7d = -1, d30d = -1;
};

struct MachineHistory {
    bool bKnown = false;              // the database holds anything for this machine
    Uptime uptime;                    // always over the last 24 h, 7 d and 30 d before nNow
    std::vector<HourStats> hours;     // the hours overlapping the asked span, oldest first, only those with checks
    std::vector<StateChange> changes; // the asked span, oldest first; the first ever observation counts as one
    // The state the machine was in when the span began, if the history knew it then.
    int nStateBefore = -1; // -1 unknown, 0 down, 1 up
};

// Records passes. Record hands a pass to the writer thread and returns at once; the writer folds it into the
// hour's counts and the state changes in one transaction, so a killed process loses at most the pass in hand.
// A failure to write (full disk, damaged or foreign file) pauses the history: one message, nothing further
// written, and Record goes on returning at once, so the monitoring never notices.
class CHistoryWriter {
public:
    // Opens (creating) the database on the writer thread; a failure to open pauses the history as above.
    explicit CHistoryWriter(const std::string& strPath, std::int64_t nRetentionDays = kDefaultRetentionDays);
    // Writes what was handed over, then ends the thread.
    ~CHistoryWriter();
    CHistoryWriter(const CHistoryWriter&) = delete;
    CHistoryWriter& operator=(const CHistoryWriter&) = delete;

    // Any thread. Never blocks on the disk; while the writer is behind, passes wait in a queue of bounded size
    // (the oldest are merged, never dropped silently: see the implementation).
    void Record(PassRecord pass);
    // Waits until every pass handed over before the call is written, or the history paused.
    void Flush();

    // Empty while the history is written; else the reason it paused, in one line naming the file.
    std::string PauseReason() const;
    // Called once, on the writer thread, when the history pauses; set it before the first Record.
    void OnPause(std::function<void(const std::string& strReason)> callback);

    const std::string& Path() const;
    // CPU time the writer thread has spent so far, in seconds (for the benchmark).
    double WriterCpuSeconds() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_pImpl;
};

// Reads the history on a connection of its own; any thread, one thread at a time per reader.
class CHistoryReader {
public:
    CHistoryReader();
    ~CHistoryReader();
    CHistoryReader(const CHistoryReader&) = delete;
    CHistoryReader& operator=(const CHistoryReader&) = delete;

    // False with the reason when the file is missing, unreadable or not a history database; never creates it.
    bool Open(const std::string& strPath, std::string* pstrError = nullptr);

    // One machine from nSince to nNow (Unix seconds).
    MachineHistory Read(const MachineKey& key, std::int64_t nSince, std::int64_t nNow) const;
    // Every machine the history holds, by address.
    std::vector<MachineKey> Machines() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_pImpl;
};

// "00-1A-2b-...", "001a.2bcc.ddee" or "001a2b..." to "00:1a:2b:cc:dd:ee"; empty for anything that is not six bytes, and
// for 00:00:00:00:00:00, which the machine file holds for an address that gave no ARP answer.
std::string NormaliseMac(const std::string& strMac);

// A machine's identity in the history, whatever its name and group: its address, and its MAC when it has one.
MachineKey KeyOf(const CMachine& machine);
// A machine's result in the pass that just pinged it, keyed as KeyOf.
Check CheckOf(const CMachine& machine);

} // namespace lanwick::history
