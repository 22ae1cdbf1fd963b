// The machine record and the dotted form of its address.
#include "registry/Machine.h"

#include <cstddef>

namespace lanwick {

std::string FormatAddress(const IpAddress& ip) {
    // Same text as "%u.%u.%u.%u"; built by hand because the machine file writer calls it for every machine.
    std::string strText;
    strText.reserve(15);
    for (std::size_t i = 0; i < ip.size(); ++i) {
        if (i > 0)
            strText += '.';
        const unsigned value = ip[i];
        if (value >= 100)
            strText += static_cast<char>('0' + value / 100);
        if (value >= 10)
            strText += static_cast<char>('0' + value / 10 % 10);
        strText += static_cast<char>('0' + value % 10);
    }
    return strText;
}

CMachine::CMachine(const IpAddress& ip, const std::string& strMac, const std::string& strGroup,
                   const std::string& strName, int bExcluded, int bNotify, int bNotifyOffline)
    : m_ip(ip), m_strMac(strMac), m_strGroup(strGroup), m_strName(strName), m_bNotify(bNotify),
      m_bNotifyOffline(bNotifyOffline), m_bExcluded(bExcluded), m_dPingTime(kUncheckedPingTime) {}

CMachine::CMachine(const IpAddress& ip, const std::string& strMac, const std::string& strGroup,
                   const std::string& strName, int bExcluded)
    : CMachine(ip, strMac, strGroup, strName, bExcluded, 0, 0) {}

CMachine::~CMachine() = default;

} // namespace lanwick
