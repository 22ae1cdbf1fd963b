// Where the history lives, what the settings file says of it, and the one form of a MAC its keys use.
#include "history/History.h"

#include "monitor/IniFile.h"
#include "monitor/Settings.h"
#include "platform/FileStore.h"
#include "platform/Resolver.h"
#include "registry/Machine.h"

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

namespace {
// Twelve hex digits in either case, with any of the usual separators, as 48 bits; false for anything else and for
// all zeros, which the machine file holds for an address that gave no ARP answer.
bool MacBits(const std::string& strMac, std::uint64_t& nBits) {
    nBits = 0;
    int nDigits = 0;
    for (const char c : strMac) {
        unsigned nValue = 0;
        if (c == ':' || c == '-' || c == '.')
            continue;
        if (c >= '0' && c <= '9')
            nValue = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            nValue = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            nValue = static_cast<unsigned>(c - 'A' + 10);
        else
            return false;
        if (++nDigits > 12)
            return false;
        nBits = (nBits << 4) | nValue;
    }
    return nDigits == 12 && nBits != 0;
}

std::string MacText(std::uint64_t nMac) {
    static const char kHex[] = "0123456789abcdef";
    std::string strMac;
    for (int nByte = 5; nByte >= 0; --nByte) {
        const auto b = static_cast<unsigned>(nMac >> (8 * nByte)) & 0xFF;
        if (nByte != 5)
            strMac += ':';
        strMac += kHex[b >> 4];
        strMac += kHex[b & 0xF];
    }
    return strMac;
}
} // namespace

std::string NormaliseMac(const std::string& strMac) {
    std::uint64_t nBits = 0;
    return MacBits(strMac, nBits) ? MacText(nBits) : std::string();
}

MachineKey KeyOf(const CMachine& machine) {
    return {FormatAddress(machine.m_ip), NormaliseMac(machine.m_strMac)};
}

Check CheckOf(const CMachine& machine) {
    // Packed straight from the record: a pass of 10,000 machines would otherwise build 20,000 strings on the
    // monitoring thread only to parse them again.
    Check check;
    for (const std::uint8_t part : machine.m_ip)
        check.nAddress = (check.nAddress << 8) | part;
    if (!MacBits(machine.m_strMac, check.nMac))
        check.nMac = 0;
    check.nRoundTripUs = machine.m_dPingTime > -1.0 ? static_cast<std::int32_t>(machine.m_dPingTime) : -1;
    return check;
}

bool PackKey(const MachineKey& key, std::uint32_t& nAddress, std::uint64_t& nMac) {
    // Only the canonical forms (no leading zeros, lower-case colon MAC), so that two texts the database tells
    // apart never share an entry. By hand: this runs for every check of every pass.
    nAddress = 0;
    nMac = 0;
    unsigned nPart = 0, nDigits = 0, nParts = 0;
    for (std::size_t i = 0; i <= key.strAddress.size(); ++i) {
        const char c = i < key.strAddress.size() ? key.strAddress[i] : '.';
        if (c >= '0' && c <= '9') {
            if ((nDigits > 0 && nPart == 0) || ++nDigits > 3)
                return false;
            nPart = nPart * 10 + static_cast<unsigned>(c - '0');
        } else if (c == '.' && nDigits > 0 && nPart <= 255 && nParts < 4) {
            nAddress = (nAddress << 8) | nPart;
            nPart = nDigits = 0;
            ++nParts;
        } else {
            return false;
        }
    }
    if (nParts != 4)
        return false;
    if (key.strMac.empty())
        return true;
    if (key.strMac.size() != 17)
        return false;
    for (std::size_t i = 0; i < 17; ++i) {
        const char c = key.strMac[i];
        if (i % 3 == 2) {
            if (c != ':')
                return false;
        } else if (c >= '0' && c <= '9') {
            nMac = (nMac << 4) | static_cast<std::uint64_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            nMac = (nMac << 4) | static_cast<std::uint64_t>(c - 'a' + 10);
        } else {
            return false;
        }
    }
    // All zeros is no MAC (NormaliseMac makes it empty); it must not share the entry of the empty one.
    return nMac != 0;
}

MachineKey UnpackKey(std::uint32_t nAddress, std::uint64_t nMac) {
    MachineKey key;
    key.strAddress =
        platform::FormatIpv4({static_cast<std::uint8_t>(nAddress >> 24), static_cast<std::uint8_t>(nAddress >> 16),
                              static_cast<std::uint8_t>(nAddress >> 8), static_cast<std::uint8_t>(nAddress)});
    if (nMac != 0)
        key.strMac = MacText(nMac);
    return key;
}

Check::Check(const MachineKey& key, std::int32_t nRoundTrip) : nRoundTripUs(nRoundTrip) {
    if (!PackKey(key, nAddress, nMac))
        pOddKey = std::make_shared<const MachineKey>(key);
}

MachineKey Check::Key() const {
    return pOddKey ? *pOddKey : UnpackKey(nAddress, nMac);
}

} // namespace lanwick::history
