// The settings file: where it lives and how the seven settings are read from and written to it.
#include "monitor/Settings.h"

#include "monitor/IniFile.h"
#include "platform/FileStore.h"

#include <cstdlib>
#include <filesystem>
#include <optional>

namespace lanwick {
namespace {

constexpr char kIniName[] = "Lanwick.ini";

std::string WithSeparator(const std::string& dir) {
    if (dir.empty())
        return "./";
    return dir.back() == '/' ? dir : dir + '/';
}

// The per-user configuration folder, or nothing when the environment names none.
std::optional<std::string> UserConfigDir(const char* xdgConfigHome, const char* home) {
    // Only an absolute XDG_CONFIG_HOME counts; a relative one is to be ignored.
    if (xdgConfigHome && xdgConfigHome[0] == '/')
        return WithSeparator(xdgConfigHome) + "lanwick/";
    if (home && home[0] != '\0')
        return WithSeparator(home) + ".config/lanwick/";
    return std::nullopt;
}

} // namespace

SettingsLocation LocateSettings(const std::string& strExeDir) {
    return LocateSettings(strExeDir, std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

SettingsLocation LocateSettings(const std::string& strExeDir, const char* xdgConfigHome, const char* home) {
    std::string dir = WithSeparator(strExeDir);
    if (!platform::IsReadWritable(dir)) {
        if (auto user = UserConfigDir(xdgConfigHome, home)) {
            // Made now, so that the default machine file can be saved there before any setting is.
            std::error_code ec;
            std::filesystem::create_directories(*user, ec);
            dir = *user;
        }
    }
    return {dir + kIniName, dir};
}

void CSettings::LoadSettings(const std::string& strIniFile, const std::string& strAppDir) {
    if (strIniFile.empty())
        return;
    const CIniFile ini(strIniFile);
    m_bShowPingTime = static_cast<std::int32_t>(ini.GetInt("General", "ShowPingTime", 0));
    m_bHideExcluded = static_cast<std::int32_t>(ini.GetInt("General", "HideExcluded", 0));
    m_strDefFile = ini.GetString("General", "DefFile", "");
    if (m_strDefFile.empty())
        m_strDefFile = strAppDir + "machines.xml";
    // Only the low 8 bits are kept; 0 would reach the ping engine's division, so it counts as one attempt.
    m_nRetries = static_cast<std::uint8_t>(ini.GetInt("Scan", "Retries", 1) & 0xFF);
    if (m_nRetries == 0)
        m_nRetries = 1;
    m_nPause = static_cast<std::int32_t>(ini.GetInt("Scan", "Pause", 500));
    m_bMonitor = static_cast<std::int32_t>(ini.GetInt("Monitor", "Enabled", 0));
    m_nRefresh = static_cast<std::int32_t>(ini.GetInt("Monitor", "Refresh", 60));
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
