// The machine list (appending, the shared cursor, identity removal) and the group texts (case-insensitive
// comparison, the view filter and the combo-box prefix rule).
#include <gtest/gtest.h>

#include <vector>

#include "registry/Groups.h"
#include "registry/MachineList.h"

namespace lanwick {
namespace {

const IpAddress kIp{192, 168, 1, 10};

std::vector<std::string> Names(CMachineList& list) {
    std::vector<std::string> names;
    list.ResetCursor();
    while (const CMachine* pMachine = list.GetNextMachine())
        names.push_back(pMachine->m_strName);
    return names;
}

TEST(Groups, CompareFoldsOnlyLatinLettersAndDrivesViewAndCombo) {
    // The sign of CompareNoCase(a, b). Letters fold to lower case, so '_' sorts before them; "Ä" (0xC3 0x84) is not
    // folded byte by byte.
    const struct {
        const char *a, *b;
        int order;
    } cases[] = {{"Office", "OFFICE", 0},
                 {"office 2", "OFFICE 2", 0},
                 {"Office", "Offices", -1},
                 {"bÜro", "BÜRO", 0},
                 {"Büro", "BÜRO", 1},
                 {"Lab", "laboratory", -1},
                 {"office", "LAB", 1},
                 {"", "", 0},
                 {"_", "A", -1},
                 {"_", "a", -1},
                 {"\xC3\x84", "\xC3\xA4", -1},
                 {"X\xC3\x84", "x\xC3\x84", 0},
                 {"\xC3\x84", "z", 1}};
    for (const auto& c : cases) {
        const int nOrder = CompareNoCase(c.a, c.b);
        EXPECT_EQ((nOrder > 0) - (nOrder < 0), c.order) << c.a << " / " << c.b;
        EXPECT_EQ(GroupEquals(c.a, c.b), c.order == 0) << c.a << " / " << c.b;
    }
    EXPECT_TRUE(IsInView("Office", "*All machines"));
    EXPECT_TRUE(IsInView("", "*All machines"));
    EXPECT_TRUE(IsInView("Office", "OFFICE"));
    EXPECT_FALSE(IsInView("Office", "Lab"));
    EXPECT_FALSE(IsInView("Office", "*all machines"));
    EXPECT_TRUE(IsInView("*ALL MACHINES", "*all machines"));
    const std::vector<std::string> entries{"Laboratory", "Office"};
    EXPECT_TRUE(ComboHasPrefix(entries, "lab"));
    EXPECT_TRUE(ComboHasPrefix(entries, "OFFICE"));
    EXPECT_FALSE(ComboHasPrefix(entries, "Offices"));
    EXPECT_FALSE(ComboHasPrefix(entries, "Lobby"));
    EXPECT_FALSE(ComboHasPrefix({}, "Lab"));
}

TEST(Groups, GroupsForComboSkipsGroupsThatPrefixAnEarlierOne) {
    CMachineList list;
    for (const char* group : {"Laboratory", "Office", "Lab", "OFFICE", "Hall", "laboratory x"})
        list.AddMachine(kIp, "", group, "m", 0);
    EXPECT_EQ(GroupsForCombo(list), (std::vector<std::string>{"Laboratory", "Office", "Hall", "laboratory x"}));
    EXPECT_TRUE(list.IsAtEnd());
    // The main selector already holds the pseudo-group; a group "*" is then not offered.
    list.AddMachine(kIp, "", "*", "m", 0);
    EXPECT_EQ(GroupsForCombo(list, {"*All machines"}).size(), 4u);
}

TEST(Machine, BothConstructorsReadAsAnsweringUntilCheckedAndAddressesPrintBytesZeroToThree) {
    const CMachine full(kIp, "001122334455", "Office", "pc1", 1, 1, 1);
    const CMachine shortForm(kIp, "001122334455", "Office", "pc1", 0);
    EXPECT_EQ(full.m_dPingTime, 65535.0);
    EXPECT_EQ(shortForm.m_dPingTime, 65535.0);
    EXPECT_EQ(full.m_bExcluded + full.m_bNotify + full.m_bNotifyOffline, 3);
    EXPECT_EQ(shortForm.m_bNotify + shortForm.m_bNotifyOffline, 0);
    EXPECT_EQ(FormatAddress({10, 0, 255, 7}), "10.0.255.7");
    EXPECT_EQ(FormatAddress({0, 0, 0, 0}), "0.0.0.0");
}

// One list through adding, walking, removing and emptying: the cursor is shared by all of them.
TEST(MachineList, CursorFollowsAddsAndRemovesAndRemovalIsByIdentity) {
    CMachineList list;
    EXPECT_TRUE(list.IsAtEnd());
    EXPECT_EQ(list.AddMachine(kIp, "A", "G", "first", 0, 1, 0), 0);
    EXPECT_TRUE(list.IsAtEnd());
    list.AddMachine(kIp, "A", "G", "second", 0);
    // Adding leaves the cursor on the old tail.
    EXPECT_FALSE(list.IsAtEnd());
    EXPECT_EQ(list.GetNextMachine()->m_strName, "first");
    list.AddMachine(kIp, "A", "G", "second", 0);
    EXPECT_EQ(list.GetNextMachine()->m_strName, "second");
    EXPECT_EQ(list.GetNextMachine()->m_strName, "second");
    EXPECT_EQ(list.GetNextMachine(), nullptr);
    EXPECT_EQ(list.GetNextMachine(), nullptr);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"first", "second", "second"}));

    list.ResetCursor();
    list.GetNextMachine();
    CMachine* pSecond = list.GetNextMachine();
    const CMachine lookalike(kIp, "A", "G", "second", 0);
    EXPECT_EQ(list.RemoveMachine(&lookalike), 0);
    EXPECT_EQ(list.GetCount(), 3u);
    EXPECT_EQ(list.RemoveMachine(pSecond), 1);
    EXPECT_EQ(list.RemoveMachine(pSecond), 0);
    // Removing leaves the cursor on the following record.
    list.ResetCursor();
    list.GetNextMachine();
    EXPECT_EQ(list.RemoveMachine(list.GetNextMachine()), 1);
    EXPECT_EQ(list.GetNextMachine(), nullptr);
    list.AddMachine(kIp, "", "G", "third", 0);
    list.ResetCursor();
    EXPECT_EQ(list.RemoveMachine(list.GetNextMachine()), 1);
    EXPECT_EQ(list.GetNextMachine()->m_strName, "third");
    EXPECT_EQ(list.GetCount(), 1u);

    list.ResetCursor();
    list.RemoveAllMachines();
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_TRUE(list.IsAtEnd());
    EXPECT_EQ(list.GetNextMachine(), nullptr);
    list.AddMachine(kIp, "", "G", "again", 0);
    EXPECT_EQ(Names(list), std::vector<std::string>{"again"});
}

} // namespace
} // namespace lanwick
