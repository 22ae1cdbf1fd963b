// The machine file: the hand-built XML text the list is stored as, and the substring-search reader of that text.
#include <cstddef>
#include <unordered_map>
#include <vector>

#include "registry/Groups.h"
#include "registry/MachineList.h"
#include "registry/XmlText.h"

namespace lanwick {

namespace {

void AppendFlag(std::string& strOut, const char* open, std::int32_t bFlag, const char* close) {
    strOut += open;
    strOut += bFlag != 0 ? "Yes" : "No";
    strOut += close;
}

void AppendMachine(std::string& strOut, const CMachine& machine) {
    strOut += "   <MAC Address=\"";
    AppendEscaped(strOut, machine.m_strMac);
    strOut += "\">\r\n    <IPAddress>";
    strOut += FormatAddress(machine.m_ip);
    strOut += "</IPAddress>\r\n    <Name>";
    AppendEscaped(strOut, machine.m_strName);
    strOut += "</Name>\r\n";
    AppendFlag(strOut, "    <Notify>", machine.m_bNotify, "</Notify>\r\n");
    AppendFlag(strOut, "    <NotifyOffline>", machine.m_bNotifyOffline, "</NotifyOffline>\r\n");
    AppendFlag(strOut, "    <Excluded>", machine.m_bExcluded, "</Excluded>\r\n");
    strOut += "   </MAC>\r\n";
}

// One group of the file: the text of its first record and its records in list order.
struct GroupBlock {
    std::string strGroup;
    std::vector<const CMachine*> machines;
};

} // namespace

void CMachineList::StoreText(std::string& strText) {
    // Groups in order of first appearance; a hash of the folded text keeps the lookup flat for many groups.
    std::vector<GroupBlock> blocks;
    std::unordered_map<std::string, std::size_t> blockOf;
    std::size_t total = 128;
    ResetCursor();
    while (const CMachine* pMachine = GetNextMachine()) {
        const auto [it, bNew] = blockOf.try_emplace(GroupKey(pMachine->m_strGroup), blocks.size());
        if (bNew)
            blocks.push_back({pMachine->m_strGroup, {}});
        blocks[it->second].machines.push_back(pMachine);
        total += 200 + pMachine->m_strName.size() + pMachine->m_strMac.size();
    }

    strText.clear();
    strText.reserve(total + 64 * blocks.size());
    strText += "<?xml version=\"1.0\"?>\r\n <Machines>\r\n  <Count mach=\"";
    strText += std::to_string(GetCount());
    strText += "\">\r\n  </Count>\r\n";
    for (const GroupBlock& block : blocks) {
        strText += "  <Group name=\"";
        AppendEscaped(strText, block.strGroup);
        strText += "\">\r\n";
        for (const CMachine* pMachine : block.machines)
            AppendMachine(strText, *pMachine);
        strText += "  </Group>\r\n";
    }
    strText += " </Machines>\r\n";
}

} // namespace lanwick
