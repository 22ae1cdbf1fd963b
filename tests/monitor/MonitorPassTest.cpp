// The monitoring pass and the list fill against a scripted ping provider: filter, rows, display rule, stored
// results and the notification text.
#include "monitor/MonitorPass.h"
#include "fakes/FakePingProvider.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace lanwick {
namespace {

using test::CFakePingProvider;

struct Flags {
    int bExcluded = 0;
    int bNotify = 0;
    int bNotifyOffline = 0;
};

class MonitorPassTest : public ::testing::Test {
protected:
    // Machine n gets 10.0.0.n, a MAC ending in n and the name "pcN".
    CMachine* Add(int n, const std::string& strGroup, Flags flags = {}) {
        const IpAddress ip{10, 0, 0, static_cast<std::uint8_t>(n)};
        char mac[16];
        std::snprintf(mac, sizeof mac, "00A0C90000%02X", n);
        m_list.AddMachine(ip, mac, strGroup, "pc" + std::to_string(n), flags.bExcluded, flags.bNotify,
                          flags.bNotifyOffline);
        return Last();
    }
    CMachine* Last() {
        CMachine* pLast = nullptr;
        m_list.ResetCursor();
        while (CMachine* pMachine = m_list.GetNextMachine())
            pLast = pMachine;
        return pLast;
    }
    static std::string Address(int n) { return "10.0.0." + std::to_string(n); }
    void SetUp(int n, bool bUp, std::int32_t nResult = 1500) { m_pinger.SetUp(Address(n), bUp, nResult); }

    PassOutcome Pass(const std::string& strFilter = "*All machines") {
        return RunPass(m_list, strFilter, m_settings, m_pinger);
    }
    PassOutcome Fill(const std::string& strFilter = "*All machines") {
        return RunListFill(m_list, strFilter, m_settings, m_pinger);
    }
    static std::vector<std::string> Names(const PassOutcome& outcome) {
        std::vector<std::string> names;
        for (const ListRow& row : outcome.rows)
            names.push_back(row.cells[0].text);
        return names;
    }

    CMachineList m_list;
    CFakePingProvider m_pinger;
    CSettings m_settings;
};

TEST(StateCellTest, ShowsYesOrNoWithTheirColours) {
    const ListCell yes = StateCell(1500, false);
    EXPECT_EQ(yes.text, "Yes");
    EXPECT_EQ(yes.textColour, 0x000A960A);
    EXPECT_EQ(yes.background, 0x00FFFFFF);
    const ListCell no = StateCell(-1, false);
    EXPECT_EQ(no.text, "No");
    EXPECT_EQ(no.textColour, 0x000000FF);
    EXPECT_EQ(no.background, 0x00FFFFFF);
    EXPECT_EQ(StateCell(-7, true).text, "No");
    const ListCell excluded = ExcludedCell();
    EXPECT_EQ(excluded.text, "Exc");
    EXPECT_EQ(excluded.textColour, 0x000F0000);
    EXPECT_EQ(excluded.background, 0x00FFFFFF);
}

TEST(StateCellTest, ShowPingTimeGivesMillisecondsWithTwoDecimals) {
    EXPECT_EQ(StateCell(0, true).text, "<1");
    EXPECT_EQ(StateCell(999, true).text, "1.00");
    EXPECT_EQ(StateCell(1500, true).text, "1.50");
    EXPECT_EQ(StateCell(1234, true).text, "1.23");
    EXPECT_EQ(StateCell(65535, true).text, "65.53"); // a new record, 65.534999... in binary
    EXPECT_EQ(StateCell(0, true).textColour, kOnlineColour);
}

TEST(FormatCountsTest, TabThenThreeNumbers) {
    EXPECT_EQ(FormatCounts(0, 0, 0), "\t0/0/0");
    EXPECT_EQ(FormatCounts(12, 5, 3), "\t12/5/3");
}

TEST(StateMessageTest, FourthAndLaterMachinesFoldIntoOneDotsLine) {
    CStateMessage message;
    for (const char* name : {"a", "b", "c", "d", "e"})
        message.AddOffline(name);
    EXPECT_EQ(message.Text(), "       offline\na\nb\nc\n....\n");
}

TEST(StateMessageTest, OnlineBlockComesFirstAndEmptyWithoutNames) {
    CStateMessage message;
    EXPECT_EQ(message.Text(), "");
    message.AddOffline("down");
    message.AddOnline("up");
    EXPECT_EQ(message.Text(), "        online\nup\n       offline\ndown\n");
}

TEST_F(MonitorPassTest, RowsCarryTheMachineAndTextsWithLeadingSpace) {
    CMachine* pFirst = Add(10, "Lab");
    CMachine* pSecond = Add(11, "Office");
    SetUp(10, true);
    const PassOutcome outcome = Pass();
    ASSERT_EQ(outcome.rows.size(), 2u);
    const ListRow& row = outcome.rows[0];
    EXPECT_EQ(row.pMachine, pFirst);
    EXPECT_EQ(outcome.rows[1].pMachine, pSecond);
    EXPECT_EQ(row.cells[0].text, " pc10");
    EXPECT_EQ(row.cells[1].text, " 10.0.0.10");
    EXPECT_EQ(row.cells[2].text, " 00:A0:C9:00:00:0A");
    EXPECT_EQ(row.cells[3].text, "Yes");
    for (std::size_t column = 0; column < 3; ++column) {
        EXPECT_EQ(row.cells[column].textColour, kDefaultColor);
        EXPECT_EQ(row.cells[column].background, kDefaultColor);
    }
    EXPECT_EQ(row.state, MachineState::Online);
    EXPECT_EQ(outcome.rows[1].cells[3].text, "No");
    EXPECT_EQ(outcome.rows[1].state, MachineState::Offline);
}

TEST_F(MonitorPassTest, ApplyEachHandsOverApplysRowsInOrderAndKeepsNone) {
    Add(1, "Lab", {0, 1, 0});
    Add(2, "Lab", {1, 0, 0});
    Add(3, "Office", {0, 0, 1});
    SetUp(1, false);
    SetUp(3, true, 700);
    Fill();
    SetUp(1, true, 1200);
    SetUp(3, false);
    const CMonitorPass pass = CMonitorPass::Plan(m_list, "*All machines", PassKind::MonitoringPass);
    const std::vector<std::int32_t> results = pass.Ping(m_pinger, 1, 0);
    const auto text = [](const ListRow& row) {
        return row.cells[0].text + "|" + row.cells[1].text + "|" + row.cells[3].text + "|" +
               std::to_string(static_cast<int>(row.state)) + (row.bFresh ? "|fresh" : "");
    };
    // Each form stores the results: the earlier pass's stored times are put back before the second one runs.
    std::vector<std::string> handed;
    const PassOutcome each = pass.ApplyEach(m_list, results, true, [&](ListRow&& row) { handed.push_back(text(row)); });
    EXPECT_TRUE(each.rows.empty());
    m_list.ResetCursor();
    for (CMachine* pMachine = m_list.GetNextMachine(); pMachine; pMachine = m_list.GetNextMachine())
        pMachine->m_dPingTime = pMachine->m_ip[3] == 1 ? -1.0 : (pMachine->m_ip[3] == 3 ? 700.0 : 65535.0);
    const PassOutcome kept = pass.Apply(m_list, results, true);
    std::vector<std::string> rows;
    for (const ListRow& row : kept.rows)
        rows.push_back(text(row));
    EXPECT_EQ(handed, rows);
    EXPECT_EQ(handed.size(), 3u);
    EXPECT_EQ(each.nOnline, kept.nOnline);
    EXPECT_EQ(each.strMessage, kept.strMessage);
    EXPECT_EQ(each.strMessage, "        online\npc1\n       offline\npc3\n");
}

TEST_F(MonitorPassTest, FilterAllMachinesListsAndPingsEveryMachine) {
    Add(1, "Lab");
    Add(2, "Office");
    Add(3, "");
    EXPECT_EQ(Names(Pass("*All machines")), (std::vector<std::string>{" pc1", " pc2", " pc3"}));
    EXPECT_EQ(m_pinger.PingedHosts(), (std::vector<std::string>{Address(1), Address(2), Address(3)}));
}

TEST_F(MonitorPassTest, FilterSelectsItsGroupIgnoringCase) {
    Add(1, "Lab");
    Add(2, "Office");
    Add(3, "OFFICE");
    Add(4, "*all machines");
    Add(5, "");
    EXPECT_EQ(Names(Pass("office")), (std::vector<std::string>{" pc2", " pc3"}));
    EXPECT_EQ(Names(Pass("*all machines")), (std::vector<std::string>{" pc4"}));
    EXPECT_EQ(Names(Pass("")), (std::vector<std::string>{" pc5"}));
}

TEST_F(MonitorPassTest, HiddenGroupIsNotPingedAndItsChangeNeverAnnounced) {
    Add(1, "Lab", {0, 1, 1});
    CMachine* pHidden = Add(2, "Office", {0, 1, 1});
    SetUp(1, true);
    SetUp(2, true);
    Fill();
    SetUp(2, false);
    const PassOutcome hidden = Pass("Lab");
    EXPECT_EQ(hidden.strMessage, "");
    EXPECT_EQ(pHidden->m_dPingTime, 1500.0);
    EXPECT_EQ(m_pinger.Calls().back().hosts, (std::vector<std::string>{Address(1)}));

    // Showing its group fills the list first, which stores the new state silently.
    const PassOutcome fill = Fill("Office");
    EXPECT_EQ(fill.strMessage, "");
    EXPECT_EQ(pHidden->m_dPingTime, -1.0);
    EXPECT_EQ(Pass("Office").strMessage, "");
}

TEST_F(MonitorPassTest, FourMachinesGoingOfflineNameThreeThenDots) {
    for (int n = 1; n <= 4; ++n)
        Add(n, "Lab", {0, 0, 1});
    const PassOutcome outcome = Pass();
    EXPECT_EQ(outcome.strMessage, "       offline\npc1\npc2\npc3\n....\n");
}

TEST_F(MonitorPassTest, OnlineBlockPrecedesOfflineBlock) {
    Add(1, "Lab", {0, 0, 1});
    Add(2, "Lab", {0, 1, 0});
    SetUp(1, true);
    SetUp(2, false);
    Fill();
    SetUp(1, false);
    SetUp(2, true);
    EXPECT_EQ(Pass().strMessage, "        online\npc2\n       offline\npc1\n");
}

TEST_F(MonitorPassTest, NotifyOfflineOnlyComingOnlineSaysNothingButShowsYes) {
    Add(1, "Lab", {0, 0, 1});
    EXPECT_EQ(Pass().strMessage, "       offline\npc1\n");
    SetUp(1, true);
    const PassOutcome outcome = Pass();
    EXPECT_EQ(outcome.strMessage, "");
    EXPECT_EQ(outcome.rows[0].cells[3].text, "Yes");
}

TEST_F(MonitorPassTest, NotifyFlagsDecideWhoIsNamed) {
    Add(1, "Lab", {0, 1, 1}); // both flags: named once
    Add(2, "Lab", {0, 1, 0}); // any change
    Add(3, "Lab", {0, 0, 0}); // never
    EXPECT_EQ(Pass().strMessage, "       offline\npc1\npc2\n");
    // No change, no message: the stored results are compared.
    EXPECT_EQ(Pass().strMessage, "");
    for (int n = 1; n <= 3; ++n)
        SetUp(n, true);
    EXPECT_EQ(Pass().strMessage, "        online\npc1\npc2\n");
}

TEST_F(MonitorPassTest, NewRecordFirstPingedByAPassAndSilentIsReportedOffline) {
    CMachine* pMachine = Add(1, "Lab", {0, 1, 0});
    EXPECT_EQ(pMachine->m_dPingTime, CMachine::kUncheckedPingTime);
    const PassOutcome outcome = Pass();
    EXPECT_EQ(outcome.strMessage, "       offline\npc1\n");
    EXPECT_EQ(pMachine->m_dPingTime, -1.0);
}

TEST_F(MonitorPassTest, ExcludedMachineShowsExcAndKeepsItsResult) {
    CMachine* pMachine = Add(1, "Lab", {1, 1, 1});
    pMachine->m_dPingTime = 2500.0;
    for (int pass = 0; pass < 2; ++pass) {
        const PassOutcome outcome = Pass();
        ASSERT_EQ(outcome.rows.size(), 1u);
        EXPECT_EQ(outcome.rows[0].cells[3].text, "Exc");
        EXPECT_EQ(outcome.rows[0].cells[3].textColour, kExcludedColour);
        EXPECT_EQ(outcome.rows[0].state, MachineState::Excluded);
        EXPECT_EQ(outcome.strMessage, "");
    }
    EXPECT_EQ(pMachine->m_dPingTime, 2500.0);
    EXPECT_TRUE(m_pinger.Calls().empty());
}

TEST_F(MonitorPassTest, ShowPingTimeRowsUseTheNewResult) {
    m_settings.m_bShowPingTime = 1;
    Add(1, "Lab");
    Add(2, "Lab");
    Add(3, "Lab");
    Add(4, "Lab");
    SetUp(1, true, 0);
    SetUp(2, true, 999);
    SetUp(3, true, 1500);
    SetUp(4, false);
    const PassOutcome outcome = Pass();
    ASSERT_EQ(outcome.rows.size(), 4u);
    EXPECT_EQ(outcome.rows[0].cells[3].text, "<1");
    EXPECT_EQ(outcome.rows[1].cells[3].text, "1.00");
    EXPECT_EQ(outcome.rows[2].cells[3].text, "1.50");
    EXPECT_EQ(outcome.rows[3].cells[3].text, "No");
}

TEST_F(MonitorPassTest, ListFillStoresSilentlyAndCountsOnline) {
    CMachine* pDown = Add(1, "Lab", {0, 1, 1});
    CMachine* pUp = Add(2, "Lab", {0, 1, 1});
    Add(3, "Lab", {1, 0, 0});
    SetUp(2, true, 800);
    const PassOutcome fill = Fill();
    EXPECT_EQ(fill.strMessage, "");
    EXPECT_EQ(fill.nOnline, 1);
    EXPECT_EQ(fill.rows.size(), 3u);
    EXPECT_EQ(pDown->m_dPingTime, -1.0);
    EXPECT_EQ(pUp->m_dPingTime, 800.0);
    // The change the fill saw is never announced.
    EXPECT_EQ(Pass().strMessage, "");
}

TEST_F(MonitorPassTest, SettingsReachThePingsAndZeroRetriesPingsOnce) {
    Add(1, "Lab");
    m_settings.m_nRetries = 3;
    m_settings.m_nPause = 250;
    Pass();
    m_settings.m_nRetries = 0;
    Pass();
    const std::vector<CFakePingProvider::Call> calls = m_pinger.Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].attempts, 3u);
    EXPECT_EQ(calls[0].pause, 250u);
    EXPECT_EQ(calls[1].attempts, 1u);
}

TEST_F(MonitorPassTest, NothingInViewPingsNothing) {
    Add(1, "Lab");
    const PassOutcome outcome = Pass("Office");
    EXPECT_TRUE(outcome.rows.empty());
    EXPECT_EQ(outcome.strMessage, "");
    EXPECT_TRUE(m_pinger.Calls().empty());
}

TEST_F(MonitorPassTest, MissingResultsAreNotStored) {
    CMachine* pMachine = Add(1, "Lab", {0, 1, 1});
    const CMonitorPass pass = CMonitorPass::Plan(m_list, "Lab", PassKind::MonitoringPass);
    const PassOutcome outcome = pass.Apply(m_list, {}, false);
    ASSERT_EQ(outcome.rows.size(), 1u);
    EXPECT_FALSE(outcome.rows[0].bFresh);
    EXPECT_EQ(outcome.strMessage, "");
    EXPECT_EQ(pMachine->m_dPingTime, CMachine::kUncheckedPingTime);
}

} // namespace
} // namespace lanwick
