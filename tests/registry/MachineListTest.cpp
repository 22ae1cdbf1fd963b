// The machine list: appending, the shared cursor, identity removal and ownership.
#include <gtest/gtest.h>

#include "registry/MachineList.h"

namespace lanwick {
namespace {

const IpAddress kIp{192, 168, 1, 10};

TEST(MachineList, AddMachine_ToEmptyListMakesHead)
{
    CMachineList list;
    EXPECT_EQ(list.AddMachine(kIp, "001122334455", "Office", "pc1", 0), 0);
    list.ResetCursor();
    const CMachine* pFirst = list.GetNextMachine();
    ASSERT_NE(pFirst, nullptr);
    EXPECT_EQ(pFirst->m_strName, "pc1");
    EXPECT_EQ(list.GetNextMachine(), nullptr);
    EXPECT_TRUE(list.IsAtEnd());
}

} // namespace
} // namespace lanwick
