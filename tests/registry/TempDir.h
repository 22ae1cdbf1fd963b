// A temporary directory for file tests, removed with everything in it; and a way to run code as an unprivileged
// user so that permission checks bite even when the tests run as root.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

namespace lanwick::test {

// A file's whole content as bytes ("" when it cannot be read), and a file written with exactly these bytes.
inline std::string ReadFile(const std::string& strPath) {
    std::ifstream in(strPath, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteFile(const std::string& strPath, const std::string& strText) {
    std::ofstream(strPath, std::ios::binary) << strText;
}

class CTempDir {
public:
    CTempDir() {
        std::string strTemplate = (std::filesystem::temp_directory_path() / "lanwick-registry-XXXXXX").string();
        if (::mkdtemp(strTemplate.data()) != nullptr)
            m_path = strTemplate;
    }
    ~CTempDir() {
        std::error_code ec;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& strName) const { return (m_path / strName).string(); }

private:
    std::filesystem::path m_path;
};

// The user id the permission tests run as when we are root.
constexpr uid_t kNobody = 65534;

// Runs fn as kNobody in a child process when we are root (root passes every permission check), else in place.
// Returns fn's result, or -1 when the child could not run it.
inline int RunUnprivileged(const std::function<int()>& fn) {
    if (::geteuid() != 0)
        return fn();
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(255);
        ::_exit(fn());
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) == 255)
        return -1;
    return WEXITSTATUS(status);
}

} // namespace lanwick::test
