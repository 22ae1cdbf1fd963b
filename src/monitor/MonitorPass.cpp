// A monitoring pass and a list fill: the walk with the view filter, the pings of all machines at once, and the
// rows, stored results and notification text applied to the machine list as it is when the pings are done.
#include "monitor/MonitorPass.h"

#include "probes/Lookups.h"
#include "registry/Groups.h"
#include "registry/Machine.h"

#include <algorithm>
#include <cstdio>
#include <functional>

namespace lanwick {

namespace {

constexpr double kAnswered = 0.0; // the change test: a result counts as online when not below this

ListRow BaseRow(CMachine& machine) {
    ListRow row;
    row.pMachine = &machine;
    row.cells[0].text = " " + machine.m_strName;
    row.cells[1].text = " " + FormatAddress(machine.m_ip);
    row.cells[2].text = " " + FormatMac(machine.m_strMac);
    return row;
}

// Names the machine in the pass's message when it went offline or came online and asks to be told.
void NoteChange(const CMachine& machine, double dOld, double dNew, CStateMessage& message) {
    const bool bWentOffline = dNew < kAnswered && dOld >= kAnswered;
    const bool bCameOnline = dNew >= kAnswered && dOld < kAnswered;
    // A machine with both flags that goes offline is named once.
    if (bWentOffline && machine.m_bNotifyOffline != 0) {
        message.AddOffline(machine.m_strName);
        return;
    }
    if (machine.m_bNotify == 0)
        return;
    if (bCameOnline)
        message.AddOnline(machine.m_strName);
    else if (bWentOffline)
        message.AddOffline(machine.m_strName);
}

} // namespace

CMonitorPass CMonitorPass::Plan(CMachineList& list, const std::string& strFilter, PassKind kind) {
    CMonitorPass pass;
    pass.m_kind = kind;
    pass.m_strFilter = strFilter;
    // Counted first, so that a pass over thousands of machines is planned in vectors of its exact size: grown by
    // doubling they would hold up to twice that, and old and new at once while they move.
    std::size_t nInView = 0;
    std::size_t nPinged = 0;
    list.ResetCursor();
    while (const CMachine* pMachine = list.GetNextMachine()) {
        if (IsInView(pMachine->m_strGroup, strFilter)) {
            ++nInView;
            nPinged += pMachine->m_bExcluded == 0 ? 1 : 0;
        }
    }
    pass.m_machines.reserve(nInView);
    pass.m_hosts.reserve(nPinged);
    list.ResetCursor();
    while (CMachine* pMachine = list.GetNextMachine()) {
        if (!IsInView(pMachine->m_strGroup, strFilter))
            continue;
        PlannedMachine planned;
        planned.pMachine = pMachine;
        planned.ip = pMachine->m_ip;
        planned.bPinged = pMachine->m_bExcluded == 0;
        if (planned.bPinged) {
            planned.nHost = pass.m_hosts.size();
            pass.m_hosts.push_back(FormatAddress(pMachine->m_ip));
        }
        pass.m_machines.push_back(planned);
    }
    return pass;
}

std::vector<std::int32_t> CMonitorPass::Ping(IPingProvider& provider, std::uint8_t nRetries,
                                             std::int32_t nPause) const {
    if (m_hosts.empty())
        return {};
    const unsigned nAttempts = AttemptsFor(nRetries);
    const unsigned nPauseMs = static_cast<unsigned>(std::max<std::int32_t>(nPause, 0));
    return provider.PingAll(m_hosts, nAttempts, nPauseMs);
}

PassOutcome CMonitorPass::Apply(CMachineList& list, const std::vector<std::int32_t>& results,
                                bool bShowPingTime) const {
    std::vector<ListRow> rows;
    rows.reserve(m_machines.size());
    PassOutcome outcome =
        ApplyEach(list, results, bShowPingTime, [&rows](ListRow&& row) { rows.push_back(std::move(row)); });
    outcome.rows = std::move(rows);
    return outcome;
}

PassOutcome CMonitorPass::ApplyEach(CMachineList& list, const std::vector<std::int32_t>& results, bool bShowPingTime,
                                    const std::function<void(ListRow&&)>& each) const {
    // Records deleted while the pings ran are simply no longer met by this walk; the planned pointers are only
    // looked up, never followed. A sorted vector rather than a hash map: 8 bytes a machine instead of about 40.
    std::vector<const PlannedMachine*> planned;
    planned.reserve(m_machines.size());
    for (const PlannedMachine& machine : m_machines)
        planned.push_back(&machine);
    const auto byMachine = [](const PlannedMachine* a, const PlannedMachine* b) {
        return std::less<const CMachine*>()(a->pMachine, b->pMachine);
    };
    std::sort(planned.begin(), planned.end(), byMachine);
    const auto findPlan = [&planned](const CMachine* pMachine) -> const PlannedMachine* {
        const auto it = std::lower_bound(planned.begin(), planned.end(), pMachine,
                                         [](const PlannedMachine* p, const CMachine* pKey) {
                                             return std::less<const CMachine*>()(p->pMachine, pKey);
                                         });
        return it != planned.end() && (*it)->pMachine == pMachine ? *it : nullptr;
    };

    PassOutcome outcome;
    CStateMessage message;
    list.ResetCursor();
    while (CMachine* pMachine = list.GetNextMachine()) {
        CMachine& machine = *pMachine;
        if (!IsInView(machine.m_strGroup, m_strFilter))
            continue;
        ListRow row = BaseRow(machine);
        if (machine.m_bExcluded != 0) {
            row.cells[3] = ExcludedCell();
            row.state = MachineState::Excluded;
            each(std::move(row));
            continue;
        }
        // A result counts only for the address it was taken for: a machine edited or added meanwhile keeps its
        // stored result (shown, not stored again, not announced) until the next pass pings its new address.
        const PlannedMachine* pPlan = findPlan(pMachine);
        double dShown = machine.m_dPingTime;
        if (pPlan != nullptr && pPlan->bPinged && pPlan->nHost < results.size() && pPlan->ip == machine.m_ip) {
            const double dNew = static_cast<double>(results[pPlan->nHost]);
            if (m_kind == PassKind::MonitoringPass)
                NoteChange(machine, machine.m_dPingTime, dNew, message);
            machine.m_dPingTime = dNew;
            dShown = dNew;
            row.bFresh = true;
        }
        row.cells[3] = StateCell(dShown, bShowPingTime);
        row.state = dShown > -1.0 ? MachineState::Online : MachineState::Offline;
        if (row.state == MachineState::Online)
            ++outcome.nOnline;
        each(std::move(row));
    }
    if (m_kind == PassKind::MonitoringPass)
        outcome.strMessage = message.Text();
    return outcome;
}

namespace {

PassOutcome RunAll(CMachineList& list, const std::string& strFilter, const CSettings& settings, IPingProvider& provider,
                   PassKind kind) {
    const CMonitorPass pass = CMonitorPass::Plan(list, strFilter, kind);
    const std::vector<std::int32_t> results = pass.Ping(provider, settings.m_nRetries, settings.m_nPause);
    return pass.Apply(list, results, settings.m_bShowPingTime != 0);
}

} // namespace

PassOutcome RunPass(CMachineList& list, const std::string& strFilter, const CSettings& settings,
                    IPingProvider& provider) {
    return RunAll(list, strFilter, settings, provider, PassKind::MonitoringPass);
}

PassOutcome RunListFill(CMachineList& list, const std::string& strFilter, const CSettings& settings,
                        IPingProvider& provider) {
    return RunAll(list, strFilter, settings, provider, PassKind::ListFill);
}

ListCell StateCell(double dResult, bool bShowPingTime) {
    // The display tests for above -1.0 where the change test uses 0.0; for whole results they agree.
    if (!(dResult > -1.0))
        return {"No", kOfflineColour, kStateBackground};
    if (!bShowPingTime)
        return {"Yes", kOnlineColour, kStateBackground};
    if (dResult >= 1.0) {
        char text[64];
        std::snprintf(text, sizeof text, "%.2f", dResult * 0.001);
        return {text, kOnlineColour, kStateBackground};
    }
    return {"<1", kOnlineColour, kStateBackground};
}

ListCell ExcludedCell() {
    return {"Exc", kExcludedColour, kStateBackground};
}

std::string FormatCounts(std::int32_t nMachines, std::int32_t nRows, std::int32_t nOnline) {
    char text[64];
    std::snprintf(text, sizeof text, "\t%d/%d/%d", nMachines, nRows, nOnline);
    return text;
}

void CStateMessage::Add(std::string& strBlock, std::int32_t& nCount, const std::string& strName) {
    // Deliberately three names at most per block; every further machine is folded into one "...." line.
    if (nCount < 3)
        strBlock += strName + "\n";
    else if (nCount == 3)
        strBlock += "....\n";
    ++nCount;
}

std::string CStateMessage::Text() const {
    std::string strText;
    if (m_nOnline > 0)
        strText += m_strOnline;
    if (m_nOffline > 0)
        strText += m_strOffline;
    return strText;
}

} // namespace lanwick
