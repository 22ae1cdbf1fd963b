// Where the history lives, what the settings file says of it, and the one form of a MAC its keys use.
#include "history/History.h"

#include "monitor/IniFile.h"
#include "monitor/Settings.h"
#include "platform/FileStore.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string_view>

namespace lanwick::history {

namespace {

std::string WithSeparator(const std::string& dir) {
    if (dir.empty())
        return "./";
    return dir.back() == '/' ? dir : dir + '/';
}

// The folder of the running program's data away from the program: the service's state folder, else the user's
// data folder; nothing when the environment names neither. The same order as the settings file's folder.
std::string UserDataDir(const char* xdgDataHome, const char* home, const char* stateDirectory) {
    // systemd sets STATE_DIRECTORY for a service with StateDirectory=, a colon-separated list of absolute paths.
    if (stateDirectory && stateDirectory[0] == '/')
        return WithSeparator(std::string(stateDirectory).substr(0, std::string_view(stateDirectory).find(':')));
    // Only an absolute XDG_DATA_HOME counts; a relative one is to be ignored.
    if (xdgDataHome && xdgDataHome[0] == '/')
        return WithSeparator(xdgDataHome) + "lanwick/";
    if (home && home[0] != '\0')
        return WithSeparator(home) + ".local/share/lanwick/";
    return {};
}

} // namespace

std::string DefaultHistoryPath(const std::string& strExeDir) {
    return DefaultHistoryPath(strExeDir, std::getenv("XDG_DATA_HOME"), std::getenv("HOME"),
                              std::getenv("STATE_DIRECTORY"));
}

std::string DefaultHistoryPath(const std::string& strExeDir, const char* xdgDataHome, const char* home,
                               const char* stateDirectory) {
    const std::string dir = WithSeparator(strExeDir);
    // The settings file's rule: a build tree keeps everything beside the program.
    if (!platform::FileExists(dir + kInstalledMarker) && platform::IsReadWritable(dir))
        return dir + kHistoryFileName;
    const std::string user = UserDataDir(xdgDataHome, home, stateDirectory);
    if (user.empty())
        return {};
    // Made private: the history says when each machine was up, which is nobody else's business.
    std::error_code ec;
    if (std::filesystem::create_directories(user, ec))
        std::filesystem::permissions(user, std::filesystem::perms::owner_all, ec);
    return user + kHistoryFileName;
}

HistoryOptions LoadHistoryOptions(const std::string& strIniFile, const std::string& strExeDir) {
    HistoryOptions options;
    if (strIniFile.empty()) {
        options.strPath = DefaultHistoryPath(strExeDir);
        return options;
    }
    // A settings file that cannot be read gives the defaults here; its reader reports it.
    const CIniFile ini(strIniFile);
    options.bEnabled = ini.GetInt("History", "Enabled", 1) != 0;
    if (const std::string strFile = ini.GetString("History", "File", ""); !strFile.empty()) {
        const std::size_t slash = strIniFile.rfind('/');
        const std::string dir = slash == std::string::npos ? std::string() : strIniFile.substr(0, slash + 1);
        options.strPath = strFile.front() == '/' ? strFile : dir + strFile;
    } else {
        options.strPath = DefaultHistoryPath(strExeDir);
    }
    if (const auto days = ini.Get("History", "Days"))
        options.nRetentionDays = std::clamp<std::int64_t>(ParseProfileInt(*days), 1, 3650);
    return options;
}

std::string NormaliseMac(const std::string& strMac) {
    std::string digits;
    for (char c : strMac) {
        if (c == ':' || c == '-')
            continue;
        if (c >= 'A' && c <= 'F')
            c = static_cast<char>(c - 'A' + 'a');
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return {};
        digits += c;
    }
    // All zeros is the machine file's "no ARP answer", not a MAC.
    if (digits.size() != 12 || digits == "000000000000")
        return {};
    std::string out;
    for (std::size_t i = 0; i < 12; i += 2)
        out += (i ? ":" : "") + digits.substr(i, 2);
    return out;
}

} // namespace lanwick::history
