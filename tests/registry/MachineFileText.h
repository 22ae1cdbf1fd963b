// Builds machine file texts by hand, in the writer's exact layout, for the reader tests.
#pragma once

#include <string>

namespace lanwick::test {

inline std::string MachineXml(const std::string& strMac, const std::string& strIp, const std::string& strName,
                              const std::string& strNotify = "No", const std::string& strOffline = "No",
                              const std::string& strExcluded = "No") {
    return "   <MAC Address=\"" + strMac + "\">\r\n    <IPAddress>" + strIp + "</IPAddress>\r\n    <Name>" + strName +
           "</Name>\r\n    <Notify>" + strNotify + "</Notify>\r\n    <NotifyOffline>" + strOffline +
           "</NotifyOffline>\r\n    <Excluded>" + strExcluded + "</Excluded>\r\n   </MAC>\r\n";
}

inline std::string GroupXml(const std::string& strGroup, const std::string& strMachines) {
    return "  <Group name=\"" + strGroup + "\">\r\n" + strMachines + "  </Group>\r\n";
}

inline std::string FileXml(const std::string& strCount, const std::string& strGroups) {
    return "<?xml version=\"1.0\"?>\r\n <Machines>\r\n  <Count mach=\"" + strCount + "\">\r\n  </Count>\r\n" +
           strGroups + " </Machines>\r\n";
}

} // namespace lanwick::test
