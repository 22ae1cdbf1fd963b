// The scan's rows and the rule for when it is over, as the dialog and the command line both rely on them.
#include <gtest/gtest.h>

#include "discovery/ScanSession.h"
#include "probes/VendorTable.h"
#include "registry/MachineList.h"

namespace lanwick {
namespace {

TEST(ScanSession, CompleteOnlyWhenTheWorkersAreDoneAndEveryNameAskedForIsIn) {
    CScanSession plain(VendorTableData(), VendorTableSize(), false);
    plain.Found("198.18.0.1", "00000C120001");
    EXPECT_FALSE(plain.Complete());
    plain.WorkersDone();
    EXPECT_TRUE(plain.Complete());
    EXPECT_EQ(plain.StatusText(), "1 address found");
    EXPECT_EQ(plain.Rows()[0].strVendor, "Cisco Systems, Inc");
    EXPECT_EQ(plain.Rows()[0].strName, "");

    CScanSession named(nullptr, 0, true);
    EXPECT_EQ(named.StatusText(), "0 addresses found");
    EXPECT_EQ(named.Found("198.18.0.1", "000000000000"), 0u);
    EXPECT_EQ(named.Found("198.18.0.2", "00000C120002"), 1u);
    named.WorkersDone();
    named.NameIn(1, "two");
    named.NameIn(1, "again"); // a second answer must not stand for the first row's
    named.NameIn(7, "nobody");
    EXPECT_FALSE(named.Complete());
    named.NameIn(0, "n/a");
    EXPECT_TRUE(named.Complete());
    EXPECT_EQ(named.StatusText(), "2 addresses found");
    EXPECT_EQ(named.Rows()[0].strName, "n/a");
    EXPECT_EQ(named.Rows()[1].strName, "two");
    EXPECT_EQ(named.Rows()[1].strVendor, ""); // no vendor table

    // Stopped: the dropped lookups never answer, and more dropped than asked for must not wrap the count.
    CScanSession stopped(nullptr, 0, true);
    stopped.Found("198.18.0.1", "00000C120001");
    stopped.Found("198.18.0.2", "00000C120002");
    stopped.WorkersDone();
    stopped.NamesDropped(1);
    EXPECT_FALSE(stopped.Complete());
    stopped.NamesDropped(5);
    EXPECT_TRUE(stopped.Complete());
}

TEST(ScanSession, FoundRowsJoinTheGroupAsNewMachines) {
    CScanSession session(VendorTableData(), VendorTableSize(), true);
    session.Found("198.18.0.7", "00000C120007");
    session.NameIn(0, "host7");
    CMachineList list;
    AddFoundMachines(list, session.Rows(), "Found");
    list.ResetCursor();
    const CMachine* pMachine = list.GetNextMachine();
    ASSERT_NE(pMachine, nullptr);
    EXPECT_EQ(pMachine->m_ip, (IpAddress{198, 18, 0, 7}));
    EXPECT_EQ(pMachine->m_strMac, "00000C120007");
    EXPECT_EQ(pMachine->m_strGroup, "Found");
    EXPECT_EQ(pMachine->m_strName, "host7");
    EXPECT_EQ(pMachine->m_bExcluded + pMachine->m_bNotify + pMachine->m_bNotifyOffline, 0);
    EXPECT_EQ(list.GetNextMachine(), nullptr);
}

} // namespace
} // namespace lanwick
