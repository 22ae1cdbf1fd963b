// Reading the history on a connection of its own: a machine's hours by point lookups (the hourly table is keyed
// hour first for the writer's sake), its state changes by range.
#include "history/History.h"
#include "history/Schema.h"

#include "platform/FileStore.h"

#include <algorithm>
#include <cstdio>

namespace lanwick::history {

namespace {

constexpr std::int64_t kDaySeconds = 24 * kHourSeconds;

// The dotted address as a number for sorting; text that is no address sorts last.
std::uint64_t AddressOrder(const std::string& strAddress) {
    unsigned a = 0, b = 0, c = 0, d = 0;
    char tail = 0;
    if (std::sscanf(strAddress.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) != 4)
        return UINT64_MAX;
    return (std::uint64_t{a} << 24) | (b << 16) | (c << 8) | d;
}

double Share(std::int64_t nAnswered, std::int64_t nChecks) {
    return nChecks > 0 ? static_cast<double>(nAnswered) / static_cast<double>(nChecks) : -1.0;
}

} // namespace

struct CHistoryReader::Impl {
    mutable CDatabase db;
    mutable CStatement machine, hours, changes, before, all;
};

CHistoryReader::CHistoryReader() : m_pImpl(std::make_unique<Impl>()) {}
CHistoryReader::~CHistoryReader() = default;

bool CHistoryReader::Open(const std::string& strPath, std::string* pstrError) {
    m_pImpl = std::make_unique<Impl>();
    const auto fail = [&](const std::string& strWhy) {
        if (pstrError)
            *pstrError = strWhy;
        m_pImpl = std::make_unique<Impl>();
        return false;
    };
    if (!platform::FileExists(strPath))
        return fail("no history database at " + strPath);
    std::string strError;
    CDatabase& db = m_pImpl->db;
    if (!db.OpenReadOnly(strPath, &strError))
        return fail("cannot read " + strPath + ": " + strError);
    if (const std::string strWhy = ForeignReason(db); !strWhy.empty())
        return fail(strPath + " " + strWhy);
    // The hours of one machine in a span, one lookup each.
    m_pImpl->hours = db.Prepare("WITH RECURSIVE span(hour) AS (SELECT ?2 UNION ALL SELECT hour + 1 FROM span WHERE "
                                "hour < ?3) SELECT h.hour, h.checks, h.answered, h.rtt_min, h.rtt_sum, h.rtt_max FROM "
                                "span JOIN hourly AS h ON h.hour = span.hour AND h.machine = ?1 ORDER BY h.hour");
    m_pImpl->machine = db.Prepare("SELECT id FROM machine WHERE address = ?1 AND mac = ?2");
    m_pImpl->changes =
        db.Prepare("SELECT at, up FROM state_change WHERE machine = ?1 AND at >= ?2 AND at <= ?3 ORDER BY at");
    m_pImpl->before = db.Prepare("SELECT up FROM state_change WHERE machine = ?1 AND at < ?2 ORDER BY at DESC LIMIT 1");
    m_pImpl->all = db.Prepare("SELECT address, mac FROM machine");
    // A database that holds only the device book has no history yet: every machine reads as unknown.
    if (!m_pImpl->machine && db.PragmaInt("user_version").value_or(0) != 0)
        return fail("cannot read " + strPath + ": " + db.LastError());
    return true;
}

MachineHistory CHistoryReader::Read(const MachineKey& key, std::int64_t nSince, std::int64_t nNow) const {
    MachineHistory history;
    Impl& impl = *m_pImpl;
    if (!impl.machine || !impl.hours || !impl.changes || !impl.before)
        return history;
    impl.machine.Reset();
    impl.machine.Bind(1, key.strAddress).Bind(2, key.strMac);
    if (!impl.machine.Step())
        return history;
    const std::int64_t nId = impl.machine.Int(0);
    impl.machine.Reset();
    history.bKnown = true;

    // Uptime spans count the hours that start within them, the current one included; the asked span every hour
    // that overlaps it. One read of the longest serves all.
    const std::int64_t nNowHour = nNow / kHourSeconds;
    const std::int64_t nSinceHour = nSince / kHourSeconds;
    const std::int64_t n30dFirst = (nNow - 30 * kDaySeconds + kHourSeconds - 1) / kHourSeconds;
    struct Totals {
        std::int64_t nFirstHour, nChecks = 0, nAnswered = 0;
    } totals[] = {{(nNow - kDaySeconds + kHourSeconds - 1) / kHourSeconds},
                  {(nNow - 7 * kDaySeconds + kHourSeconds - 1) / kHourSeconds},
                  {n30dFirst}};
    impl.hours.Reset();
    impl.hours.Bind(1, nId).Bind(2, std::min(nSinceHour, n30dFirst)).Bind(3, nNowHour);
    while (impl.hours.Step()) {
        const std::int64_t nHour = impl.hours.Int(0);
        const std::int64_t nChecks = impl.hours.Int(1), nAnswered = impl.hours.Int(2);
        for (Totals& t : totals) {
            if (nHour >= t.nFirstHour) {
                t.nChecks += nChecks;
                t.nAnswered += nAnswered;
            }
        }
        if (nHour < nSinceHour)
            continue;
        HourStats stats;
        stats.nHourStart = nHour * kHourSeconds;
        stats.nChecks = static_cast<std::int32_t>(nChecks);
        stats.nAnswered = static_cast<std::int32_t>(nAnswered);
        if (nAnswered > 0) {
            stats.dMinMs = static_cast<double>(impl.hours.Int(3)) / 1000.0;
            stats.dAvgMs = static_cast<double>(impl.hours.Int(4)) / 1000.0 / static_cast<double>(nAnswered);
            stats.dMaxMs = static_cast<double>(impl.hours.Int(5)) / 1000.0;
        }
        history.hours.push_back(stats);
    }
    impl.hours.Reset();
    history.uptime = {Share(totals[0].nAnswered, totals[0].nChecks), Share(totals[1].nAnswered, totals[1].nChecks),
                      Share(totals[2].nAnswered, totals[2].nChecks)};

    impl.changes.Reset();
    impl.changes.Bind(1, nId).Bind(2, nSince).Bind(3, nNow);
    while (impl.changes.Step())
        history.changes.push_back({impl.changes.Int(0), impl.changes.Int(1) != 0});
    impl.changes.Reset();
    impl.before.Reset();
    impl.before.Bind(1, nId).Bind(2, nSince);
    if (impl.before.Step())
        history.nStateBefore = impl.before.Int(0) != 0 ? 1 : 0;
    impl.before.Reset();
    return history;
}

std::vector<MachineKey> CHistoryReader::Machines() const {
    std::vector<MachineKey> keys;
    if (!m_pImpl->all)
        return keys;
    m_pImpl->all.Reset();
    while (m_pImpl->all.Step())
        keys.push_back({m_pImpl->all.Text(0), m_pImpl->all.Text(1)});
    m_pImpl->all.Reset();
    std::sort(keys.begin(), keys.end(), [](const MachineKey& a, const MachineKey& b) {
        const std::uint64_t na = AddressOrder(a.strAddress), nb = AddressOrder(b.strAddress);
        return na != nb ? na < nb : a.strMac < b.strMac;
    });
    return keys;
}

} // namespace lanwick::history
