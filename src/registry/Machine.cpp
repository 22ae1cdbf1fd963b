// The machine record and the dotted form of its address.
#include "registry/Machine.h"

#include "platform/Resolver.h"

namespace lanwick {

std::string FormatAddress(const IpAddress& ip) {
    return platform::FormatIpv4(ip);
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
