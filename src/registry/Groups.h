// Groups are plain texts on the machines; these are the rules for comparing, filtering and offering them.
#pragma once

#include <string>
#include <vector>

namespace lanwick {

class CMachineList;

// Compares ignoring case the way the default locale does: only A to Z fold, every other byte (so every byte of a
// multibyte character) compares as it is. Result is negative, zero or positive like strcmp.
int CompareNoCase(const std::string& strA, const std::string& strB);

// True when the two group texts name the same group.
bool GroupEquals(const std::string& strA, const std::string& strB);

// The group text with A to Z folded: equal keys exactly when GroupEquals holds.
std::string GroupKey(const std::string& strGroup);

// The group selector's entry that shows every machine.
inline constexpr char kAllMachines[] = "*All machines";

// A machine is in view when its group equals the selector text ignoring case, or the selector text contains "*All"
// (case-sensitive on purpose: "*all machines" is an ordinary group).
bool IsInView(const std::string& strGroup, const std::string& strFilterText);

// True when an entry begins with strText ignoring case; the combo boxes then do not add strText.
bool ComboHasPrefix(const std::vector<std::string>& entries, const std::string& strText);

// Group texts to add, in list order, to a group combo box that already holds existingEntries, by the prefix rule
// above. Walks with the shared cursor.
std::vector<std::string> GroupsForCombo(CMachineList& list, const std::vector<std::string>& existingEntries = {});

} // namespace lanwick
