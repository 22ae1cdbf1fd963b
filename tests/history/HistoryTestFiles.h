// Real files for the history tests (in the shared temporary folder), and passes built in one line.
#pragma once

#include "history/History.h"
#include "support/TempDir.h"

#include <ctime>
#include <ostream>
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

} // namespace lanwick::test
