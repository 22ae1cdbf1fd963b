// One monitoring pass or list fill over the machines in view, without a window: the rows, the stored results and
// the notification text. Split into Plan, Ping and Apply so the pings can run off the window thread.
#pragma once

#include "monitor/Settings.h"
#include "platform/ColorRef.h"
#include "probes/PingProvider.h"
#include "registry/MachineList.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lanwick {

inline constexpr COLORREF kExcludedColour = RGB(0, 0, 15);
inline constexpr COLORREF kOnlineColour = RGB(10, 150, 10);
inline constexpr COLORREF kOfflineColour = RGB(255, 0, 0);
inline constexpr COLORREF kStateBackground = RGB(255, 255, 255);

// Columns of the machine list: 0 "Name", 1 "IP", 2 "MAC", 3 "Online".
inline constexpr std::size_t kColumnCount = 4;

enum class PassKind {
    MonitoringPass, // compares with the stored results and composes the notification
    ListFill,       // stores the results silently and counts the machines online
};

enum class MachineState { Excluded, Online, Offline };

struct ListCell {
    std::string text;
    COLORREF textColour = kDefaultColor;
    COLORREF background = kDefaultColor;
};

struct ListRow {
    CMachine* pMachine = nullptr; // the row's item data; in the list when Apply returned
    std::array<ListCell, kColumnCount> cells;
    MachineState state = MachineState::Offline;
    // False when column 3 shows the stored result because this pass has no ping for the machine's current
    // address (edited or added while the pings ran); nothing was stored or announced for such a row.
    bool bFresh = false;
};

struct PassOutcome {
    std::vector<ListRow> rows; // machine-list order
    std::string strMessage;    // notification text; empty when nothing is announced (always for a list fill)
    std::int32_t nOnline = 0;  // rows shown online: m_nOnline after a list fill
};

// What the walk saw of one machine in view. The pointer is only compared, never read, after the walk.
struct PlannedMachine {
    const CMachine* pMachine = nullptr;
    IpAddress ip{};
    bool bPinged = false; // not excluded at planning: its result is at index nHost
    std::size_t nHost = 0;
};

class CMonitorPass {
public:
    // Window thread: walks the list with the view filter and copies what the pings need.
    static CMonitorPass Plan(CMachineList& list, const std::string& strFilter, PassKind kind);

    // The addresses to ping, one per non-excluded machine in view, in list order.
    const std::vector<std::string>& Hosts() const { return m_hosts; }
    const std::vector<PlannedMachine>& Machines() const { return m_machines; }
    const std::string& Filter() const { return m_strFilter; }
    PassKind Kind() const { return m_kind; }

    // Any thread: pings every host at once; reads only the plan's own copies, never a record.
    std::vector<std::int32_t> Ping(IPingProvider& provider, std::uint8_t nRetries, std::int32_t nPause) const;

    // Window thread: rows for the list as it is now (walked in order, with the planned filter), flags and names
    // read now. A machine takes its result only when it was planned, pinged and still has the planned address;
    // otherwise (edited, added or re-included meanwhile) its row shows the stored result and nothing is stored or
    // announced. Machines deleted meanwhile are not met. Results of a cancelled engine must not be applied.
    PassOutcome Apply(CMachineList& list, const std::vector<std::int32_t>& results, bool bShowPingTime) const;
    // The same, but every row goes to `each` as soon as it is made and outcome.rows stays empty: a caller that
    // reads each row once (the command line's monitor) keeps no row of a pass over thousands of machines.
    PassOutcome ApplyEach(CMachineList& list, const std::vector<std::int32_t>& results, bool bShowPingTime,
                          const std::function<void(ListRow&&)>& each) const;

private:
    PassKind m_kind = PassKind::MonitoringPass;
    std::string m_strFilter;
    std::vector<PlannedMachine> m_machines;
    std::vector<std::string> m_hosts;
};

// Plan, Ping and Apply in one go on the calling thread, with m_nRetries, m_nPause and m_bShowPingTime.
PassOutcome RunPass(CMachineList& list, const std::string& strFilter, const CSettings& settings,
                    IPingProvider& provider);
PassOutcome RunListFill(CMachineList& list, const std::string& strFilter, const CSettings& settings,
                        IPingProvider& provider);

// Column 3 of a machine that was pinged (or whose stored result is shown): "Yes", the time or "No".
ListCell StateCell(double dResult, bool bShowPingTime);
ListCell ExcludedCell();

// The status bar's counts: machines in the list, rows in the list control, machines online.
std::string FormatCounts(std::int32_t nMachines, std::int32_t nRows, std::int32_t nOnline);

// The notification text of a pass: an online block, then an offline block, each naming at most three machines.
class CStateMessage {
public:
    void AddOnline(const std::string& strName) { Add(m_strOnline, m_nOnline, strName); }
    void AddOffline(const std::string& strName) { Add(m_strOffline, m_nOffline, strName); }
    // Empty when no machine was added.
    std::string Text() const;

private:
    static void Add(std::string& strBlock, std::int32_t& nCount, const std::string& strName);

    std::string m_strOnline = "        online\n";
    std::string m_strOffline = "       offline\n";
    std::int32_t m_nOnline = 0;
    std::int32_t m_nOffline = 0;
};

} // namespace lanwick
