// Group texts: case-insensitive comparison, the view filter and the combo-box prefix rule.
#include <gtest/gtest.h>

#include "registry/Groups.h"
#include "registry/MachineList.h"

namespace lanwick {
namespace {

TEST(Groups, CompareNoCase_FoldsOnlyLatinLetters) {
    EXPECT_TRUE(GroupEquals("Office", "OFFICE"));
    EXPECT_TRUE(GroupEquals("office 2", "OFFICE 2"));
    EXPECT_FALSE(GroupEquals("Office", "Offices"));
    EXPECT_FALSE(GroupEquals("Büro", "BÜRO")); // multibyte letters compare as they are
    EXPECT_TRUE(GroupEquals("bÜro", "BÜRO"));
    EXPECT_LT(CompareNoCase("Lab", "laboratory"), 0);
    EXPECT_GT(CompareNoCase("office", "LAB"), 0);
    EXPECT_EQ(CompareNoCase("", ""), 0);
    // Letters fold to lower case, so '_' (0x5F) sorts before every letter.
    EXPECT_LT(CompareNoCase("_", "A"), 0);
    EXPECT_LT(CompareNoCase("_", "a"), 0);
}

TEST(Groups, CompareNoCase_NeverSplitsMultibyteCharacters) {
    // 0xC3 0x84 is "Ä"; a byte-wise fold of 0xC3/0x84 must not make it equal to anything else.
    EXPECT_FALSE(GroupEquals("\xC3\x84", "\xC3\xA4"));
    EXPECT_TRUE(GroupEquals("X\xC3\x84", "x\xC3\x84"));
    EXPECT_GT(CompareNoCase("\xC3\x84", "z"), 0);
}

TEST(Groups, IsInView_AllSelectorShowsEveryMachine) {
    EXPECT_TRUE(IsInView("Office", "*All machines"));
    EXPECT_TRUE(IsInView("", "*All machines"));
    EXPECT_TRUE(IsInView("Office", "OFFICE"));
    EXPECT_FALSE(IsInView("Office", "Lab"));
    EXPECT_FALSE(IsInView("Office", "*all machines"));
    EXPECT_TRUE(IsInView("*ALL MACHINES", "*all machines"));
}

TEST(Groups, ComboHasPrefix_IgnoresCase) {
    const std::vector<std::string> entries{"Laboratory", "Office"};
    EXPECT_TRUE(ComboHasPrefix(entries, "lab"));
    EXPECT_TRUE(ComboHasPrefix(entries, "OFFICE"));
    EXPECT_FALSE(ComboHasPrefix(entries, "Offices"));
    EXPECT_FALSE(ComboHasPrefix(entries, "Lobby"));
    EXPECT_FALSE(ComboHasPrefix({}, "Lab"));
}

TEST(Groups, GroupsForCombo_SkipsGroupsThatPrefixAnEarlierOne) {
    CMachineList list;
    const IpAddress ip{10, 0, 0, 1};
    for (const char* group : {"Laboratory", "Office", "Lab", "OFFICE", "Hall", "laboratory x"})
        list.AddMachine(ip, "", group, "m", 0);
    EXPECT_EQ(GroupsForCombo(list), (std::vector<std::string>{"Laboratory", "Office", "Hall", "laboratory x"}));
    EXPECT_TRUE(list.IsAtEnd());
    // The main selector already holds the pseudo-group; a group "*" is then not offered.
    list.AddMachine(ip, "", "*", "m", 0);
    EXPECT_EQ(GroupsForCombo(list, {"*All machines"}).size(), 4u);
}

} // namespace
} // namespace lanwick
