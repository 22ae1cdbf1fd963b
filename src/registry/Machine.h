// One monitored machine: address, MAC, group, name, the three flags and the last ping result.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace lanwick {

// Byte 0 is the first number of the dotted form.
using IpAddress = std::array<std::uint8_t, 4>;

// "%u.%u.%u.%u" of bytes 0 to 3, the form of the main list and the machine file.
std::string FormatAddress(const IpAddress& ip);

class CMachine {
public:
    // Ping time of a record that has not been checked yet: not negative, so it reads as answering.
    static constexpr double kUncheckedPingTime = 65535.0;

    CMachine(const IpAddress& ip, const std::string& strMac, const std::string& strGroup, const std::string& strName,
             int bExcluded, int bNotify, int bNotifyOffline);
    CMachine(const IpAddress& ip, const std::string& strMac, const std::string& strGroup, const std::string& strName,
             int bExcluded);
    virtual ~CMachine();

    CMachine(const CMachine&) = default;
    CMachine& operator=(const CMachine&) = default;

    IpAddress m_ip;
    std::string m_strMac;
    std::string m_strGroup;
    std::string m_strName;
    std::int32_t m_bNotify;
    std::int32_t m_bNotifyOffline;
    std::int32_t m_bExcluded;
    double m_dPingTime;
};

} // namespace lanwick
