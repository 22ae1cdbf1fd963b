// The shared temporary folder of the tests and their whole-file helpers.
#include "support/TempDir.h"

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace lanwick::test {

std::string ReadFile(const std::string& strPath) {
    std::ifstream in(strPath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& strPath, const std::string& strText) {
    std::ofstream(strPath, std::ios::binary | std::ios::trunc) << strText;
}

CTempDir::CTempDir() {
    const char* root = std::getenv("LANWICK_LAN_DIR");
    std::string strTemplate =
        (root && *root ? std::string(root) : std::filesystem::temp_directory_path().string()) + "/lanwick-test.XXXXXX";
    if (::mkdtemp(strTemplate.data()) != nullptr)
        m_strPath = strTemplate;
}

CTempDir::~CTempDir() {
    if (m_strPath.empty())
        return;
    std::error_code ec;
    std::filesystem::permissions(m_strPath, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(m_strPath, ec);
}

} // namespace lanwick::test
