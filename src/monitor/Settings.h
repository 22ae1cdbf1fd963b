// The seven user settings and where their file lives: "Lanwick.ini" beside the program in a build tree, or in the
// user's configuration folder for an installed program (or one whose folder cannot be written).
#pragma once

#include <cstdint>
#include <string>

namespace lanwick {

struct SettingsLocation {
    std::string strIniFile; // the settings file
    std::string strAppDir;  // its folder with a trailing separator; the default machine file goes here too
};

// The file whose presence marks a program folder as installed, relative to that folder ("<prefix>/bin/").
inline constexpr char kInstalledMarker[] = "../share/lanwick/installed";

// Picks the settings file for a program living in `strExeDir`: beside the program when that folder is writable
// and not installed (a build tree), else $STATE_DIRECTORY (a systemd service's state folder; the first when it
// lists several), else $XDG_CONFIG_HOME/lanwick/ or ~/.config/lanwick/ (created when missing). An installed program
// is told apart by kInstalledMarker: root can write /usr/bin, but its settings still belong in a user's folder.
SettingsLocation LocateSettings(const std::string& strExeDir);
// The same with the environment given, for tests; null means unset.
SettingsLocation LocateSettings(const std::string& strExeDir, const char* xdgConfigHome, const char* home,
                                const char* stateDirectory = nullptr);

// The ranges of the settings sheet, which the loader holds the file's values to as well.
constexpr std::int32_t kMinRetries = 1, kMaxRetries = 255;
constexpr std::int32_t kMinPause = 1, kMaxPause = 5000;       // milliseconds
constexpr std::int32_t kMinRefresh = 10, kMaxRefresh = 86400; // seconds

// Attempts per ping for a Retries value: the sheet accepts 0 and a file may hold it, and either pings once, as 1
// does (the engine divides by the number of attempts).
constexpr std::uint8_t AttemptsFor(std::uint32_t nRetries) {
    return nRetries == 0 ? 1 : static_cast<std::uint8_t>(nRetries);
}

class CSettings {
public:
    std::int32_t m_bShowPingTime = 0; // "Online" column shows the ping time instead of "Yes"
    std::int32_t m_bHideExcluded = 0; // kept and edited; no listing reads it
    std::string m_strDefFile;         // machine file loaded at start
    std::uint8_t m_nRetries = 1;      // attempts per ping, 1 to 255 once loaded
    std::int32_t m_nPause = 500;      // milliseconds between attempts
    std::int32_t m_bMonitor = 0;      // monitoring switched on at start
    std::int32_t m_nRefresh = 60;     // seconds between monitoring passes

    // Reads the seven keys with their defaults, reading the file once. An empty DefFile becomes strAppDir +
    // "machines.xml". Retries, Pause and Refresh are brought into the ranges the settings sheet allows (1..255,
    // 1..5000 ms, 10..86400 s), whatever the file says: a hand-edited Pause of days would stall every ping. No
    // file at all gives the defaults; a file that cannot be read or is too large gives them too, but false, with
    // the reason in *pstrError when given.
    bool LoadSettings(const std::string& strIniFile, const std::string& strAppDir, std::string* pstrError = nullptr);
    // Writes the seven keys in their order, keeping every other key and section of the file. False when the
    // file could not be written.
    bool SaveSettings(const std::string& strIniFile) const;
};

} // namespace lanwick
