// The pings run on another thread while the window thread edits the machine list: deleted, edited, added and
// re-flagged machines are handled at Apply without a stale pointer, a stale result or a lost edit.
#include "fakes/FakePingProvider.h"
#include "monitor/MonitorPass.h"

#include <gtest/gtest.h>

#include <cstdio>
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

// Each case edits the list while the pings are in flight; every row reads "name address state stored-time", with
// "kept" when the pass's result was not used for it.
TEST_F(InFlightTest, DeletedEditedAddedAndReflaggedMachinesAreHandledAtApply) {
    const std::function<void(std::vector<CMachine*>&)> noSetUp = [](std::vector<CMachine*>&) {};
    const struct {
        std::function<void(std::vector<CMachine*>&)> setUp, edit;
        std::vector<std::string> rows;
        const char* message;
    } cases[] = {
        {noSetUp,
         [&](auto& m) { ASSERT_EQ(m_list.RemoveMachine(m[1]), 1); },
         {"a 10.0.0.1 No -1", "c 10.0.0.3 No -1"},
         "       offline\na\nc\n"},
        {noSetUp, [&](auto&) { m_list.RemoveAllMachines(); }, {}, ""},
        // The stored result, not the old address's silence, is shown and kept.
        {[](auto& m) { m[0]->m_dPingTime = 700.0; },
         [](auto& m) {
             m[0]->m_ip = {10, 0, 0, 9};
         },
         {"a 10.0.0.9 Yes 700 kept", "b 10.0.0.2 No -1", "c 10.0.0.3 No -1"},
         "       offline\nb\nc\n"},
        {[](auto& m) { m[0]->m_bNotify = m[0]->m_bNotifyOffline = 0; },
         [](auto& m) {
             m[0]->m_strName = "new name";
             m[0]->m_bNotifyOffline = 1;
             m[1]->m_bNotify = m[1]->m_bNotifyOffline = 0;
             m[2]->m_bExcluded = 1;
         },
         {"new name 10.0.0.1 No -1", "b 10.0.0.2 No -1", "c 10.0.0.3 Exc 65535 kept"},
         "       offline\nnew name\n"},
        {[](auto& m) { m[0]->m_bExcluded = 1; },
         [&](auto& m) {
             m[0]->m_bExcluded = 0;
             m_list.RemoveMachine(m[1]);
             m_list.RemoveMachine(m[2]);
             Add(4, "added", 1, 1);
         },
         {"a 10.0.0.1 Yes 65535 kept", "added 10.0.0.4 Yes 65535 kept"},
         ""},
    };
    for (const auto& c : cases) {
        m_list.RemoveAllMachines();
        std::vector<CMachine*> machines{Add(1, "a", 1, 1), Add(2, "b", 1, 1), Add(3, "c", 1, 1)};
        c.setUp(machines);
        const PassOutcome outcome = PassWithEdit([&] { c.edit(machines); });
        std::vector<std::string> rows;
        for (const ListRow& row : outcome.rows) {
            char time[16];
            std::snprintf(time, sizeof time, "%g", row.pMachine->m_dPingTime);
            rows.push_back(row.cells[0].text.substr(1) + row.cells[1].text + " " + row.cells[3].text + " " + time +
                           (row.bFresh ? "" : " kept"));
        }
        EXPECT_EQ(rows, c.rows);
        EXPECT_EQ(outcome.strMessage, c.message);
    }
}

TEST_F(InFlightTest, NextPassAfterAnAddressEditPingsTheNewAddressAndComparesWithTheKeptResult) {
    CMachine* pEdited = Add(1, "edited", 1, 1);
    pEdited->m_dPingTime = 700.0;
    EXPECT_EQ(PassWithEdit([&] { pEdited->m_ip = {10, 0, 0, 9}; }).nOnline, 1);
    const PassOutcome next = PassWithEdit([] {});
    EXPECT_TRUE(next.rows[0].bFresh);
    EXPECT_EQ(next.strMessage, "       offline\nedited\n");
    EXPECT_EQ(m_pinger.Calls().back().hosts, (std::vector<std::string>{"10.0.0.9"}));
}

} // namespace
} // namespace lanwick
