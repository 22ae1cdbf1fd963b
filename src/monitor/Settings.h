// The seven user settings and where their file lives: "Lanwick.ini" beside the program, or in the user's
// configuration folder when the program's folder cannot be written (an installed program).
#pragma once

#include <cstdint>
#include <string>

namespace lanwick {

struct SettingsLocation {
    std::string strIniFile; // the settings file
    std::string strAppDir;  // its folder with a trailing separator; the default machine file goes here too
};

// Picks the settings file for a program living in `strExeDir`: beside the program when that folder is
// writable, else $XDG_CONFIG_HOME/lanwick/ or ~/.config/lanwick/ (created when missing).
SettingsLocation LocateSettings(const std::string& strExeDir);
// The same with the environment given, for tests; null means unset.
SettingsLocation LocateSettings(const std::string& strExeDir, const char* xdgConfigHome, const char* home);

class CSettings {
public:
    std::int32_t m_bShowPingTime = 0; // "Online" column shows the ping time instead of "Yes"
    std::int32_t m_bHideExcluded = 0; // kept and edited; no listing reads it
    std::string m_strDefFile;         // machine file loaded at start
    std::uint8_t m_nRetries = 1;      // attempts per ping, never 0 once loaded
    std::int32_t m_nPause = 500;      // milliseconds between attempts
    std::int32_t m_bMonitor = 0;      // monitoring switched on at start
    std::int32_t m_nRefresh = 60;     // seconds between monitoring passes

    // Reads the seven keys with their defaults. An empty DefFile becomes strAppDir + "machines.xml". A Retries
    // whose low 8 bits are 0 becomes 1, since the ping engine divides by it. No file at all gives the defaults.
    void LoadSettings(const std::string& strIniFile, const std::string& strAppDir);
    // Writes the seven keys in their order, keeping every other key and section of the file. False when the
    // file could not be written.
    bool SaveSettings(const std::string& strIniFile) const;
};

} // namespace lanwick
