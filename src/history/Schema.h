// The history's tables, and the check that a file is ours before anything is written to or read from it: the
// file may be shared with the device book (tables "device..."), never with another program.
#pragma once

#include <cstdint>
#include <string>

#include "history/Database.h"

namespace lanwick::history {

// PRAGMA user_version numbers the history's schema, so that a later Lanwick can migrate the tables; a file with a
// higher number was written by a newer Lanwick and is left alone.
inline constexpr std::int64_t kSchemaVersion = 1;

// Hours are stored as hour numbers (Unix seconds / 3600): three bytes a row instead of four, over millions of rows.
inline constexpr std::int64_t kHourSeconds = 3600;

// Empty when the open file is an empty database, ours, or only the device book's; else why it is not ours, in a
// few words ("holds the table \"x\" of another program").
std::string ForeignReason(CDatabase& db);

// Creates the missing tables and sets the schema number, in one transaction; false with the reason in
// db.LastError().
bool CreateSchema(CDatabase& db);

} // namespace lanwick::history
