// Case-insensitive group comparison, the view filter and the combo-box rule.
#include "registry/Groups.h"

#include <cstddef>

#include "registry/MachineList.h"

namespace lanwick {

namespace {

// Only A to Z fold (to lower case, as the default locale's comparison does); bytes of multibyte characters are
// all 0x80 or above and so stay as they are.
unsigned char Fold(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

bool StartsWithNoCase(const std::string& strText, const std::string& strPrefix) {
    if (strPrefix.size() > strText.size())
        return false;
    for (std::size_t i = 0; i < strPrefix.size(); ++i) {
        if (Fold(strText[i]) != Fold(strPrefix[i]))
            return false;
    }
    return true;
}

} // namespace

int CompareNoCase(const std::string& strA, const std::string& strB) {
    const std::size_t n = strA.size() < strB.size() ? strA.size() : strB.size();
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char a = Fold(strA[i]);
        const unsigned char b = Fold(strB[i]);
        if (a != b)
            return a < b ? -1 : 1;
    }
    if (strA.size() == strB.size())
        return 0;
    return strA.size() < strB.size() ? -1 : 1;
}

bool GroupEquals(const std::string& strA, const std::string& strB) {
    return strA.size() == strB.size() && CompareNoCase(strA, strB) == 0;
}

std::string GroupKey(const std::string& strGroup) {
    std::string key(strGroup.size(), '\0');
    for (std::size_t i = 0; i < strGroup.size(); ++i)
        key[i] = static_cast<char>(Fold(strGroup[i]));
    return key;
}

bool IsInView(const std::string& strGroup, const std::string& strFilterText) {
    return GroupEquals(strGroup, strFilterText) || strFilterText.find("*All") != std::string::npos;
}

bool ComboHasPrefix(const std::vector<std::string>& entries, const std::string& strText) {
    for (const std::string& entry : entries) {
        if (StartsWithNoCase(entry, strText))
            return true;
    }
    return false;
}

std::vector<std::string> GroupsForCombo(CMachineList& list, const std::vector<std::string>& existingEntries) {
    std::vector<std::string> entries = existingEntries;
    std::vector<std::string> added;
    list.ResetCursor();
    while (CMachine* pMachine = list.GetNextMachine()) {
        if (!ComboHasPrefix(entries, pMachine->m_strGroup)) {
            entries.push_back(pMachine->m_strGroup);
            added.push_back(pMachine->m_strGroup);
        }
    }
    return added;
}

} // namespace lanwick
