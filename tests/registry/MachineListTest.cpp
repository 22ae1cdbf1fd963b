// The machine list: appending, the shared cursor, identity removal and ownership of records.
#include <gtest/gtest.h>

#include <vector>

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

TEST(Machine, BothConstructorsReadAsAnsweringUntilChecked) {
    const CMachine full(kIp, "001122334455", "Office", "pc1", 1, 1, 1);
    const CMachine shortForm(kIp, "001122334455", "Office", "pc1", 0);
    EXPECT_EQ(full.m_dPingTime, 65535.0);
    EXPECT_EQ(shortForm.m_dPingTime, 65535.0);
    EXPECT_FALSE(shortForm.m_dPingTime < 0);
    EXPECT_EQ(full.m_bExcluded, 1);
    EXPECT_EQ(full.m_bNotify, 1);
    EXPECT_EQ(full.m_bNotifyOffline, 1);
    EXPECT_EQ(shortForm.m_bNotify, 0);
    EXPECT_EQ(shortForm.m_bNotifyOffline, 0);
}

TEST(Machine, FormatAddress_PrintsBytesZeroToThree) {
    EXPECT_EQ(FormatAddress({10, 0, 255, 7}), "10.0.255.7");
    EXPECT_EQ(FormatAddress({0, 0, 0, 0}), "0.0.0.0");
}

TEST(MachineList, AddMachine_ToEmptyListMakesHeadAndReturnsZero) {
    CMachineList list;
    EXPECT_TRUE(list.IsAtEnd());
    EXPECT_EQ(list.AddMachine(kIp, "001122334455", "Office", "pc1", 0), 0);
    EXPECT_EQ(list.GetCount(), 1u);
    EXPECT_EQ(Names(list), std::vector<std::string>{"pc1"});
    EXPECT_TRUE(list.IsAtEnd());
}

TEST(MachineList, AddMachine_LeavesCursorOnTheOldTail) {
    CMachineList list;
    list.AddMachine(kIp, "", "G", "first", 0, 1, 0);
    list.AddMachine(kIp, "", "G", "second", 0);
    EXPECT_FALSE(list.IsAtEnd());
    CMachine* pAtCursor = list.GetNextMachine();
    ASSERT_NE(pAtCursor, nullptr);
    EXPECT_EQ(pAtCursor->m_strName, "first");
    list.AddMachine(kIp, "", "G", "third", 0);
    ASSERT_NE(list.GetNextMachine(), nullptr);
    EXPECT_EQ(list.GetNextMachine()->m_strName, "third");
    EXPECT_EQ(list.GetNextMachine(), nullptr);
    EXPECT_EQ(list.GetNextMachine(), nullptr);
}

TEST(MachineList, KeepsDuplicatesInOrderOfAdding) {
    CMachineList list;
    list.AddMachine(kIp, "A", "Office", "same", 0);
    list.AddMachine(kIp, "A", "Office", "same", 0);
    list.AddMachine(kIp, "B", "Lab", "other", 0);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"same", "same", "other"}));
}

TEST(MachineList, RemoveMachine_ComparesIdentityNotContents) {
    CMachineList list;
    list.AddMachine(kIp, "A", "Office", "same", 0);
    list.AddMachine(kIp, "A", "Office", "same", 0);
    list.ResetCursor();
    list.GetNextMachine();
    CMachine* pSecond = list.GetNextMachine();

    const CMachine lookalike(kIp, "A", "Office", "same", 0);
    EXPECT_EQ(list.RemoveMachine(&lookalike), 0);
    EXPECT_EQ(list.GetCount(), 2u);
    EXPECT_TRUE(list.IsAtEnd());

    EXPECT_EQ(list.RemoveMachine(pSecond), 1);
    EXPECT_EQ(list.GetCount(), 1u);
    EXPECT_EQ(list.RemoveMachine(pSecond), 0);
}

TEST(MachineList, RemoveMachine_LeavesCursorOnTheFollowingRecord) {
    CMachineList list;
    for (const char* name : {"a", "b", "c"})
        list.AddMachine(kIp, "", "G", name, 0);
    list.ResetCursor();
    list.GetNextMachine();
    CMachine* pB = list.GetNextMachine();
    EXPECT_EQ(list.RemoveMachine(pB), 1);
    const CMachine* pNext = list.GetNextMachine();
    ASSERT_NE(pNext, nullptr);
    EXPECT_EQ(pNext->m_strName, "c");
    EXPECT_EQ(Names(list), (std::vector<std::string>{"a", "c"}));
}

TEST(MachineList, RemoveAllMachines_EmptiesListAndEndsWalk) {
    CMachineList list;
    list.AddMachine(kIp, "", "G", "a", 0);
    list.AddMachine(kIp, "", "G", "b", 0);
    list.ResetCursor();
    list.RemoveAllMachines();
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_TRUE(list.IsAtEnd());
    EXPECT_EQ(list.GetNextMachine(), nullptr);
    list.ResetCursor();
    EXPECT_EQ(list.GetNextMachine(), nullptr);
    list.AddMachine(kIp, "", "G", "again", 0);
    EXPECT_EQ(Names(list), std::vector<std::string>{"again"});
}

} // namespace
} // namespace lanwick
