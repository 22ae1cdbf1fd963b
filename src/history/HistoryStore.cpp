// The writer thread's connection: every pass becomes one transaction of hourly upserts and state changes, and
// once an hour of pass time the rows older than the retention are pruned.
#include "history/HistoryStore.h"

#include "history/Schema.h"
#include "platform/FileStore.h"

#include <algorithm>
#include <functional>

namespace lanwick::history {

namespace {

std::int64_t HourOf(std::int64_t nUnixSeconds) {
    // Floor, not truncation: a time before 1970 still falls in the hour that holds it.
    return nUnixSeconds >= 0 ? nUnixSeconds / kHourSeconds : -((-nUnixSeconds + kHourSeconds - 1) / kHourSeconds);
}

void AddCheck(CFoldedPasses::Hour& hour, std::int32_t nRoundTripUs) {
    ++hour.nChecks;
    if (nRoundTripUs < 0)
        return;
    ++hour.nAnswered;
    hour.nRttSum += nRoundTripUs;
    hour.nRttMin = hour.nRttMin < 0 ? nRoundTripUs : std::min<std::int64_t>(hour.nRttMin, nRoundTripUs);
    hour.nRttMax = std::max<std::int64_t>(hour.nRttMax, nRoundTripUs);
}

} // namespace

std::size_t MachineKeyHash::operator()(const MachineKey& key) const noexcept {
    const std::hash<std::string> hash;
    return hash(key.strAddress) * 31 + hash(key.strMac);
}

void CFoldedPasses::Add(const PassRecord& pass) {
    const std::int64_t nHour = HourOf(pass.nUnixSeconds);
    for (const Check& check : pass.checks) {
        Machine& machine = m_machines[check.Key()];
        if (machine.hours.empty() || machine.hours.back().nHour != nHour)
            machine.hours.push_back({nHour});
        AddCheck(machine.hours.back(), check.nRoundTripUs);
        const bool bUp = check.nRoundTripUs >= 0;
        if (machine.states.empty() || machine.states.back().bUp != bUp)
            machine.states.push_back({pass.nUnixSeconds, bUp});
    }
    ++m_nPasses;
}

std::string CHistoryStore::Open(const std::string& strPath, std::int64_t nRetentionDays) {
    m_strPath = strPath;
    m_nRetentionDays = nRetentionDays;
    if (strPath.empty())
        return "no folder for the history database (HOME is not set): name one with File= in [History]";
    std::string strError;
    // A file that exists is checked on a reading connection first: opening it for writing would already turn a
    // foreign database's journal to write-ahead logging.
    if (platform::FileExists(strPath)) {
        CDatabase check;
        if (!check.OpenReadOnly(strPath, &strError))
            return "cannot open " + strPath + ": " + strError;
        if (const std::string strWhy = ForeignReason(check); !strWhy.empty())
            return strPath + " " + strWhy + "; it is left as it is";
    }
    if (!m_db.Open(strPath, &strError))
        return "cannot open " + strPath + ": " + strError;
    // A pass touches a few dozen pages of the current hour and the machine table; SQLite's default of 2 MB of
    // cache would double what a monitor of 10,000 machines otherwise holds.
    m_db.Exec("PRAGMA cache_size = -256");
    // Checked again on this connection: the file may have been created or replaced in between.
    if (const std::string strWhy = ForeignReason(m_db); !strWhy.empty())
        return strPath + " " + strWhy + "; it is left as it is";
    if (!CreateSchema(m_db))
        return Failure("write");
    m_insertMachine = m_db.Prepare("INSERT INTO machine(address, mac, last_hour) VALUES(?1, ?2, ?3) "
                                   "ON CONFLICT(address, mac) DO NOTHING");
    m_selectMachine = m_db.Prepare("SELECT id, last_hour FROM machine WHERE address = ?1 AND mac = ?2");
    m_lastState = m_db.Prepare("SELECT up FROM state_change WHERE machine = ?1 ORDER BY at DESC LIMIT 1");
    m_touchMachine = m_db.Prepare("UPDATE machine SET last_hour = ?2 WHERE id = ?1 AND last_hour < ?2");
    // Counts add up rather than replace, so that two programs recording into one file do not undo each other.
    m_upsertHour =
        m_db.Prepare("INSERT INTO hourly(hour, machine, checks, answered, rtt_min, rtt_sum, rtt_max) "
                     "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7) ON CONFLICT(hour, machine) DO UPDATE SET "
                     "checks = checks + excluded.checks, answered = answered + excluded.answered, "
                     "rtt_min = min(coalesce(rtt_min, excluded.rtt_min), coalesce(excluded.rtt_min, rtt_min)), "
                     "rtt_sum = rtt_sum + excluded.rtt_sum, "
                     "rtt_max = max(coalesce(rtt_max, excluded.rtt_max), coalesce(excluded.rtt_max, rtt_max))");
    m_insertChange = m_db.Prepare("INSERT OR REPLACE INTO state_change(machine, at, up) VALUES(?1, ?2, ?3)");
    if (!m_insertMachine || !m_selectMachine || !m_lastState || !m_touchMachine || !m_upsertHour || !m_insertChange)
        return Failure("read");
    return {};
}

std::string CHistoryStore::Failure(const char* what) const {
    return std::string("cannot ") + what + " " + m_strPath + ": " + m_db.LastError();
}

CHistoryStore::Known* CHistoryStore::CKnownMachines::Find(const PackedKey& key) {
    const Entry probe{key.nMac, key.nAddress, {}};
    const auto it = std::lower_bound(m_sorted.begin(), m_sorted.end(), probe);
    if (it != m_sorted.end() && it->nMac == key.nMac && it->nAddress == key.nAddress)
        return &it->known;
    // A machine added earlier in this pass is not searched: its second lookup reads the same row again, and
    // Settle keeps the later entry.
    return nullptr;
}

CHistoryStore::Known* CHistoryStore::CKnownMachines::Add(const PackedKey& key, const Known& known) {
    m_added.push_back({key.nMac, key.nAddress, known});
    return &m_added.back().known;
}

void CHistoryStore::CKnownMachines::Settle() {
    if (m_added.empty())
        return;
    std::stable_sort(m_added.begin(), m_added.end());
    // Of a key met twice in a pass (an address listed twice), the later entry holds the state written last.
    auto last = m_added.begin();
    for (auto it = m_added.begin(); it != m_added.end(); ++it) {
        if (last != it && (*last < *it))
            ++last;
        *last = *it;
    }
    m_added.erase(last + 1, m_added.end());
    const auto middle = m_sorted.insert(m_sorted.end(), m_added.begin(), m_added.end());
    std::inplace_merge(m_sorted.begin(), middle, m_sorted.end());
    m_added.clear();
    m_added.shrink_to_fit();
}

void CHistoryStore::CKnownMachines::Clear() {
    m_sorted.clear();
    m_added.clear();
}

CHistoryStore::Known* CHistoryStore::Lookup(const PackedKey& packed, std::int64_t nHour) {
    if (Known* pKnown = m_known.Find(packed))
        return pKnown;
    return Lookup(UnpackKey(packed.nAddress, packed.nMac), nHour);
}

CHistoryStore::Known* CHistoryStore::Lookup(const MachineKey& key, std::int64_t nHour) {
    PackedKey packed;
    const bool bPacked = PackKey(key, packed.nAddress, packed.nMac);
    if (bPacked) {
        if (Known* pKnown = m_known.Find(packed))
            return pKnown;
    }
    m_insertMachine.Reset();
    if (!m_insertMachine.Bind(1, key.strAddress).Bind(2, key.strMac).Bind(3, nHour).Run())
        return nullptr;
    m_selectMachine.Reset();
    m_selectMachine.Bind(1, key.strAddress).Bind(2, key.strMac);
    if (!m_selectMachine.Step())
        return nullptr;
    Known known{static_cast<std::int32_t>(m_selectMachine.Int(0)), static_cast<std::int32_t>(m_selectMachine.Int(1)),
                -1};
    m_selectMachine.Reset();
    m_lastState.Reset();
    m_lastState.Bind(1, std::int64_t{known.nId});
    if (m_lastState.Step())
        known.nLastUp = static_cast<std::int32_t>(m_lastState.Int(0));
    else if (m_lastState.LastCode() != 0)
        return nullptr;
    m_lastState.Reset();
    if (!bPacked) {
        m_uncached = known;
        return &m_uncached;
    }
    return m_known.Add(packed, known);
}

bool CHistoryStore::AddHour(Known& machine, const CFoldedPasses::Hour& hour) {
    m_upsertHour.Reset();
    m_upsertHour.Bind(1, hour.nHour).Bind(2, std::int64_t{machine.nId}).Bind(3, std::int64_t{hour.nChecks});
    m_upsertHour.Bind(4, std::int64_t{hour.nAnswered}).Bind(6, hour.nRttSum);
    if (hour.nAnswered > 0)
        m_upsertHour.Bind(5, hour.nRttMin).Bind(7, hour.nRttMax);
    if (!m_upsertHour.Run())
        return false;
    if (machine.nLastHour < hour.nHour) {
        m_touchMachine.Reset();
        if (!m_touchMachine.Bind(1, std::int64_t{machine.nId}).Bind(2, hour.nHour).Run())
            return false;
        machine.nLastHour = static_cast<std::int32_t>(hour.nHour);
    }
    return true;
}

bool CHistoryStore::AddState(Known& machine, std::int64_t nAt, bool bUp) {
    if (machine.nLastUp == (bUp ? 1 : 0))
        return true;
    m_insertChange.Reset();
    if (!m_insertChange.Bind(1, std::int64_t{machine.nId}).Bind(2, nAt).Bind(3, std::int64_t{bUp ? 1 : 0}).Run())
        return false;
    machine.nLastUp = bUp ? 1 : 0;
    return true;
}

bool CHistoryStore::PruneIfDue(std::int64_t nHour) {
    if (nHour <= m_nPrunedHour)
        return true;
    const std::int64_t nCutHour = nHour - m_nRetentionDays * 24;
    const std::int64_t nCut = nCutHour * kHourSeconds;
    CTransaction transaction(m_db);
    CStatement hours = m_db.Prepare("DELETE FROM hourly WHERE hour < ?1");
    // The last change before the cut stays: it tells the state a machine was in when the kept span begins.
    CStatement changes = m_db.Prepare("DELETE FROM state_change WHERE at < ?1 AND EXISTS (SELECT 1 FROM state_change "
                                      "AS later WHERE later.machine = state_change.machine AND "
                                      "later.at > state_change.at AND later.at <= ?1)");
    CStatement goneChanges =
        m_db.Prepare("DELETE FROM state_change WHERE machine IN (SELECT id FROM machine WHERE last_hour < ?1)");
    CStatement gone = m_db.Prepare("DELETE FROM machine WHERE last_hour < ?1");
    if (!transaction.Began() || !hours || !changes || !goneChanges || !gone || !hours.Bind(1, nCutHour).Run() ||
        !changes.Bind(1, nCut).Run() || !goneChanges.Bind(1, nCutHour).Run() || !gone.Bind(1, nCutHour).Run() ||
        !transaction.Commit())
        return false;
    // Ids of machines gone for the whole retention are no longer valid; the rest is looked up again cheaply.
    if (m_db.Changes() > 0)
        m_known.Clear();
    m_nPrunedHour = nHour;
    return true;
}

std::string CHistoryStore::Finish(CTransaction& transaction, std::int64_t nHour) {
    if (!transaction.Commit())
        return Abandon();
    m_known.Settle();
    // After the pass, whose machines are then fresh: pruning first would take a machine back from a long pause
    // for one gone for good.
    return PruneIfDue(nHour) ? std::string() : Failure("prune");
}

// The transaction rolls back, and with it any machine row this pass added: the cache starts afresh.
std::string CHistoryStore::Abandon() {
    m_known.Clear();
    return Failure("write");
}

std::string CHistoryStore::WritePass(const PassRecord& pass) {
    const std::int64_t nHour = HourOf(pass.nUnixSeconds);
    CTransaction transaction(m_db);
    if (!transaction.Began())
        return Failure("write");
    for (const Check& check : pass.checks) {
        Known* pMachine = check.pOddKey ? Lookup(*check.pOddKey, nHour) : Lookup({check.nAddress, check.nMac}, nHour);
        CFoldedPasses::Hour hour{nHour};
        AddCheck(hour, check.nRoundTripUs);
        if (!pMachine || !AddHour(*pMachine, hour) || !AddState(*pMachine, pass.nUnixSeconds, check.nRoundTripUs >= 0))
            return Abandon();
    }
    return Finish(transaction, nHour);
}

std::string CHistoryStore::WriteFolded(const CFoldedPasses& folded) {
    std::int64_t nHour = -1;
    for (const auto& [key, machine] : folded.Machines())
        nHour = std::max(nHour, machine.hours.back().nHour);
    CTransaction transaction(m_db);
    if (!transaction.Began())
        return Failure("write");
    for (const auto& [key, machine] : folded.Machines()) {
        Known* pMachine = Lookup(key, machine.hours.front().nHour);
        bool bWritten = pMachine != nullptr;
        for (std::size_t i = 0; bWritten && i < machine.hours.size(); ++i)
            bWritten = AddHour(*pMachine, machine.hours[i]);
        for (std::size_t i = 0; bWritten && i < machine.states.size(); ++i)
            bWritten = AddState(*pMachine, machine.states[i].nUnixSeconds, machine.states[i].bUp);
        if (!bWritten)
            return Abandon();
    }
    return Finish(transaction, nHour);
}

} // namespace lanwick::history
