// Real files for the history tests: a fresh folder removed with its contents, and passes built in one line.
#pragma once

#include "history/History.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
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

class CHistoryDir {
public:
    CHistoryDir() {
        const char* root = std::getenv("LANWICK_LAN_DIR");
        std::string strTemplate = std::string(root && *root ? root : "/tmp") + "/lanwick-history-test.XXXXXX";
        if (mkdtemp(strTemplate.data()) != nullptr)
            m_strPath = strTemplate;
    }
    ~CHistoryDir() {
        std::error_code ec;
        if (!m_strPath.empty())
            std::filesystem::remove_all(m_strPath, ec);
    }
    CHistoryDir(const CHistoryDir&) = delete;
    CHistoryDir& operator=(const CHistoryDir&) = delete;

    const std::string& Path() const { return m_strPath; }
    std::string File(const std::string& strName) const { return m_strPath + "/" + strName; }
    void Write(const std::string& strName, const std::string& strText) const {
        std::ofstream(File(strName), std::ios::binary | std::ios::trunc) << strText;
    }
    std::string Read(const std::string& strName) const {
        std::ifstream in(File(strName), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    std::string m_strPath;
};

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
