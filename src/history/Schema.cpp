// The history's tables: machines by address and MAC, their state changes, and per hour their checks and round
// trips. Sized for 10,000 machines checked every minute: about 25 bytes an hourly row, keyed hour first so that a
// pass writes one contiguous run of pages.
#include "history/Schema.h"

namespace lanwick::history {

std::string ForeignReason(CDatabase& db) {
    CStatement tables = db.Prepare("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
                                   "ESCAPE '\\' ORDER BY name");
    if (!tables)
        return db.LastError();
    while (tables.Step()) {
        const std::string strName = tables.Text(0);
        if (strName != "machine" && strName != "state_change" && strName != "hourly" && strName.rfind("device", 0) != 0)
            return "holds the table \"" + strName + "\" of another program";
    }
    if (tables.LastCode() != 0)
        return db.LastError();
    const auto version = db.PragmaInt("user_version");
    if (!version)
        return db.LastError();
    if (*version > kSchemaVersion)
        return "was written by a newer Lanwick (history schema " + std::to_string(*version) + ")";
    return {};
}

bool CreateSchema(CDatabase& db) {
    CTransaction transaction(db);
    // last_hour: the last hour the machine was checked, so that pruning finds machines gone for the whole
    // retention without reading the hourly table.
    return transaction.Began() &&
           db.Exec("CREATE TABLE IF NOT EXISTS machine(id INTEGER PRIMARY KEY, address TEXT NOT NULL, "
                   "mac TEXT NOT NULL, last_hour INTEGER NOT NULL, UNIQUE(address, mac));"
                   "CREATE TABLE IF NOT EXISTS state_change(machine INTEGER NOT NULL, at INTEGER NOT NULL, "
                   "up INTEGER NOT NULL, PRIMARY KEY(machine, at)) WITHOUT ROWID;"
                   "CREATE TABLE IF NOT EXISTS hourly(hour INTEGER NOT NULL, machine INTEGER NOT NULL, "
                   "checks INTEGER NOT NULL, answered INTEGER NOT NULL, rtt_min INTEGER, rtt_sum INTEGER NOT NULL, "
                   "rtt_max INTEGER, PRIMARY KEY(hour, machine)) WITHOUT ROWID;"
                   "PRAGMA user_version = " +
                   std::to_string(kSchemaVersion)) &&
           transaction.Commit();
}

} // namespace lanwick::history
