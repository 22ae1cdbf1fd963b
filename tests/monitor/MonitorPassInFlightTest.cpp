// The pings run on another thread while the window thread edits the machine list: deleted, edited, added and
// re-flagged machines are handled at Apply without a stale pointer, a stale result or a lost edit.
#include "fakes/FakePingProvider.h"
#include "monitor/MonitorPass.h"

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <thread>
#include <vector>

namespace lanwick {
namespace {

using test::CFakePingProvider;

class InFlightTest : public ::testing::Test {
protected:
    CMachine* Add(std::uint8_t last, const std::string& strName, int bNotify, int bNotifyOffline) {
        m_list.AddMachine({10, 0, 0, last}, "001B21000000", "Lab", strName, 0, bNotify, bNotifyOffline);
        CMachine* pLast = nullptr;
        m_list.ResetCursor();
        while (CMachine* pMachine = m_list.GetNextMachine())
            pLast = pMachine;
        return pLast;
    }

    // Plans on this thread, pings on another, runs `edit` here while the pings are in flight, then applies here.
    PassOutcome PassWithEdit(const std::function<void()>& edit) {
        const CMonitorPass pass = CMonitorPass::Plan(m_list, "*All machines", PassKind::MonitoringPass);
        std::promise<void> edited;
        std::shared_future<void> editDone = edited.get_future().share();
        m_pinger.SetDuringPing([editDone] { editDone.wait(); });
        std::future<std::vector<std::int32_t>> results =
            std::async(std::launch::async, [&pass, this] { return pass.Ping(m_pinger, 1, 500); });
        edit();
        edited.set_value();
        return pass.Apply(m_list, results.get(), false);
    }

    CMachineList m_list;
    CFakePingProvider m_pinger;
};

TEST_F(InFlightTest, MachineDeletedDuringThePingsIsSkipped) {
    Add(1, "first", 1, 1);
    CMachine* pDoomed = Add(2, "doomed", 1, 1);
    Add(3, "third", 1, 1);
    const PassOutcome outcome = PassWithEdit([&] { ASSERT_EQ(m_list.RemoveMachine(pDoomed), 1); });
    ASSERT_EQ(outcome.rows.size(), 2u);
    EXPECT_EQ(outcome.rows[0].cells[0].text, " first");
    EXPECT_EQ(outcome.rows[1].cells[0].text, " third");
    EXPECT_EQ(outcome.strMessage, "       offline\nfirst\nthird\n");
}

TEST_F(InFlightTest, AddressEditedDuringThePingsKeepsTheEditAndStoresNoStaleResult) {
    CMachine* pEdited = Add(1, "edited", 1, 1);
    pEdited->m_dPingTime = 700.0;
    const PassOutcome outcome = PassWithEdit([&] { pEdited->m_ip = {10, 0, 0, 9}; });
    ASSERT_EQ(outcome.rows.size(), 1u);
    const ListRow& row = outcome.rows[0];
    EXPECT_EQ(row.pMachine, pEdited);
    EXPECT_EQ(row.cells[1].text, " 10.0.0.9");
    EXPECT_FALSE(row.bFresh);
    EXPECT_EQ(row.cells[3].text, "Yes"); // the stored result, not the old address's silence
    EXPECT_EQ(pEdited->m_dPingTime, 700.0);
    EXPECT_EQ(outcome.strMessage, "");
    EXPECT_EQ(outcome.nOnline, 1);

    // The next pass pings the new address and compares with the kept result.
    const PassOutcome next = PassWithEdit([] {});
    EXPECT_TRUE(next.rows[0].bFresh);
    EXPECT_EQ(next.strMessage, "       offline\nedited\n");
    EXPECT_EQ(m_pinger.Calls().back().hosts, (std::vector<std::string>{"10.0.0.9"}));
}

TEST_F(InFlightTest, FlagsAndNamesAreReadWhenApplying) {
    CMachine* pRenamed = Add(1, "old name", 0, 0);
    CMachine* pQuietened = Add(2, "quiet", 1, 1);
    const PassOutcome outcome = PassWithEdit([&] {
        pRenamed->m_strName = "new name";
        pRenamed->m_bNotifyOffline = 1;
        pQuietened->m_bNotify = 0;
        pQuietened->m_bNotifyOffline = 0;
    });
    EXPECT_EQ(outcome.rows[0].cells[0].text, " new name");
    EXPECT_EQ(outcome.strMessage, "       offline\nnew name\n");
    EXPECT_EQ(pQuietened->m_dPingTime, -1.0);
}

TEST_F(InFlightTest, MachineExcludedDuringThePingsShowsExcAndKeepsItsResult) {
    CMachine* pMachine = Add(1, "excluded", 1, 1);
    const PassOutcome outcome = PassWithEdit([&] { pMachine->m_bExcluded = 1; });
    EXPECT_EQ(outcome.rows[0].cells[3].text, "Exc");
    EXPECT_EQ(outcome.strMessage, "");
    EXPECT_EQ(pMachine->m_dPingTime, CMachine::kUncheckedPingTime);
}

TEST_F(InFlightTest, MachineAddedOrIncludedDuringThePingsIsListedWithItsStoredResult) {
    CMachine* pWasExcluded = Add(1, "was excluded", 1, 1);
    pWasExcluded->m_bExcluded = 1;
    const PassOutcome outcome = PassWithEdit([&] {
        pWasExcluded->m_bExcluded = 0;
        Add(2, "added", 1, 1);
    });
    ASSERT_EQ(outcome.rows.size(), 2u);
    for (const ListRow& row : outcome.rows) {
        EXPECT_FALSE(row.bFresh);
        EXPECT_EQ(row.cells[3].text, "Yes");
        EXPECT_EQ(row.pMachine->m_dPingTime, CMachine::kUncheckedPingTime);
    }
    EXPECT_EQ(outcome.rows[1].cells[0].text, " added");
    EXPECT_EQ(outcome.strMessage, "");
}

TEST_F(InFlightTest, EveryMachineRemovedDuringThePingsGivesNoRows) {
    Add(1, "a", 1, 1);
    Add(2, "b", 1, 1);
    const PassOutcome outcome = PassWithEdit([&] { m_list.RemoveAllMachines(); });
    EXPECT_TRUE(outcome.rows.empty());
    EXPECT_EQ(outcome.strMessage, "");
}

} // namespace
} // namespace lanwick
