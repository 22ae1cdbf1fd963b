// The settings file: where it lives and how the seven settings are read from and written to it.
#include "monitor/Settings.h"

#include "monitor/IniFile.h"
#include "platform/FileStore.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string_view>

namespace lanwick {
namespace {

constexpr char kIniName[] = "Lanwick.ini";

std::string WithSeparator(const std::string& dir) {
    if (dir.empty())
        return "./";
    return dir.back() == '/' ? dir : dir + '/';
}

// The folder for the settings away from the program: the service's state folder, else the user's configuration
// folder; nothing when the environment names neither.
std::optional<std::string> UserConfigDir(const char* xdgConfigHome, const char* home, const char* stateDirectory) {
    // systemd sets STATE_DIRECTORY for a service with StateDirectory=, a colon-separated list of absolute paths.
    if (stateDirectory && stateDirectory[0] == '/')
        return WithSeparator(std::string(stateDirectory).substr(0, std::string_view(stateDirectory).find(':')));
    // Only an absolute XDG_CONFIG_HOME counts; a relative one is to be ignored.
    if (xdgConfigHome && xdgConfigHome[0] == '/')
        return WithSeparator(xdgConfigHome) + "lanwick/";
    if (home && home[0] != '\0')
        return WithSeparator(home) + ".config/lanwick/";
    return std::nullopt;
}

// A number of the file held to [nMin, nMax]. Read saturating rather than modulo 2^32, so that a huge value stays
// huge and lands at the top of the range instead of anywhere; a negative or non-numeric value reads 0, as the
// profile reader has it, and so the bottom.
std::int32_t InRange(const std::optional<std::string>& value, std::int32_t nDefault, std::int32_t nMin,
                     std::int32_t nMax) {
    if (!value)
        return nDefault;
    std::string_view text = *value;
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    std::int64_t n = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        n = std::min<std::int64_t>(n * 10 + (c - '0'), nMax);
    }
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(n, nMin, nMax));
}

} // namespace

SettingsLocation LocateSettings(const std::string& strExeDir) {
    return LocateSettings(strExeDir, std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"),
                          std::getenv("STATE_DIRECTORY"));
}

SettingsLocation LocateSettings(const std::string& strExeDir, const char* xdgConfigHome, const char* home,
                                const char* stateDirectory) {
    std::string dir = WithSeparator(strExeDir);
    if (platform::FileExists(dir + kInstalledMarker) || !platform::IsReadWritable(dir)) {
        if (auto user = UserConfigDir(xdgConfigHome, home, stateDirectory)) {
            // Made now, so that the default machine file can be saved there before any setting is.
            std::error_code ec;
            std::filesystem::create_directories(*user, ec);
            dir = *user;
        }
    }
    return {dir + kIniName, dir};
}

bool CSettings::LoadSettings(const std::string& strIniFile, const std::string& strAppDir, std::string* pstrError) {
    if (strIniFile.empty())
        return true;
    const CIniFile ini(strIniFile);
    const bool bRead = ini.Load(pstrError);
    m_bShowPingTime = static_cast<std::int32_t>(ini.GetInt("General", "ShowPingTime", 0));
    m_bHideExcluded = static_cast<std::int32_t>(ini.GetInt("General", "HideExcluded", 0));
    m_strDefFile = ini.GetString("General", "DefFile", "");
    if (m_strDefFile.empty())
        m_strDefFile = strAppDir + "machines.xml";
    m_nRetries = static_cast<std::uint8_t>(InRange(ini.Get("Scan", "Retries"), 1, kMinRetries, kMaxRetries));
    m_nPause = InRange(ini.Get("Scan", "Pause"), 500, kMinPause, kMaxPause);
    m_bMonitor = static_cast<std::int32_t>(ini.GetInt("Monitor", "Enabled", 0));
    m_nRefresh = InRange(ini.Get("Monitor", "Refresh"), 60, kMinRefresh, kMaxRefresh);
    return bRead;
}

bool CSettings::SaveSettings(const std::string& strIniFile) const {
    if (strIniFile.empty())
        return false;
    CIniFile ini(strIniFile);
    return ini.Update([this](CIniText& text) {
        return text.Set("General", "ShowPingTime", std::to_string(m_bShowPingTime)) &&
               text.Set("General", "HideExcluded", std::to_string(m_bHideExcluded)) &&
               text.Set("General", "DefFile", m_strDefFile) &&
               text.Set("Scan", "Retries", std::to_string(static_cast<unsigned>(m_nRetries))) &&
               text.Set("Scan", "Pause", std::to_string(m_nPause)) &&
               text.Set("Monitor", "Enabled", std::to_string(m_bMonitor)) &&
               text.Set("Monitor", "Refresh", std::to_string(m_nRefresh));
    });
}

} // namespace lanwick
