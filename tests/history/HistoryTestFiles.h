// Real files for the history tests (in the shared temporary folder), and passes built in one line.
#pragma once

#include "history/History.h"
#include "support/TempDir.h"

#include <ctime>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace lanwick::history {
// Keys as text in the failure messages of gtest.
inline void PrintTo(const MachineKey& key, std::ostream* os) {
    *os << key.strAddress << '/' << key.strMac;
}
} // namespace lanwick::history

namespace lanwick::test {

// An hour start two days back: recent enough that no pruning at the real clock touches it.
inline std::int64_t RecentHour() {
    return (static_cast<std::int64_t>(std::time(nullptr)) / 3600 - 48) * 3600;
}

inline history::MachineKey Key(const std::string& strAddress, const std::string& strMac = "") {
    return {strAddress, strMac};
}

inline history::PassRecord Pass(std::int64_t nAt, std::vector<std::pair<history::MachineKey, std::int32_t>> checks) {
    history::PassRecord pass{nAt, {}};
    for (auto& [key, nRtt] : checks)
        pass.checks.push_back({std::move(key), nRtt});
    return pass;
}

// A history as one line, times in seconds after nBase: "before -1; up@0 down@120; hours @0 3/2 0.5/0.6/0.7".
inline std::string Text(const history::MachineHistory& h, std::int64_t nBase) {
    std::ostringstream out;
    out << "before " << h.nStateBefore << ";";
    for (const history::StateChange& change : h.changes)
        out << (change.bUp ? " up@" : " down@") << change.nUnixSeconds - nBase;
    out << "; hours";
    for (const history::HourStats& hour : h.hours)
        out << " @" << hour.nHourStart - nBase << ' ' << hour.nChecks << '/' << hour.nAnswered << ' ' << hour.dMinMs
            << '/' << hour.dAvgMs << '/' << hour.dMaxMs;
    return out.str();
}

} // namespace lanwick::test
