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
        char mac[24];
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

TEST(StateCellTest, ShowsYesNoOrMillisecondsWithTwoDecimalsInTheirColoursAndCountsFollowATab) {
    const struct {
        std::int32_t nResult;
        bool bShowPingTime;
        const char* text;
        COLORREF colour;
    } cases[] = {
        {1500, false, "Yes", 0x000A960A}, {-1, false, "No", 0x000000FF},      {-7, true, "No", 0x000000FF},
        {0, true, "<1", 0x000A960A},      {999, true, "1.00", 0x000A960A},    {1500, true, "1.50", 0x000A960A},
        {1234, true, "1.23", 0x000A960A}, {65535, true, "65.53", 0x000A960A}, // a new record, 65.534999... in binary
    };
    for (const auto& c : cases) {
        const ListCell cell = StateCell(c.nResult, c.bShowPingTime);
        EXPECT_EQ(cell.text, c.text) << c.nResult;
        EXPECT_EQ(cell.textColour, c.colour) << c.nResult;
        EXPECT_EQ(cell.background, 0x00FFFFFFu) << c.nResult;
    }
    const ListCell excluded = ExcludedCell();
    EXPECT_EQ(excluded.text, "Exc");
    EXPECT_EQ(excluded.textColour, 0x000F0000u);
    EXPECT_EQ(excluded.background, 0x00FFFFFFu);
    EXPECT_EQ(FormatCounts(0, 0, 0), "\t0/0/0");
    EXPECT_EQ(FormatCounts(12, 5, 3), "\t12/5/3");
}

TEST(StateMessageTest, OnlineBlockComesFirstAndTheFourthAndLaterNamesFoldIntoOneDotsLine) {
    CStateMessage message;
    EXPECT_EQ(message.Text(), "");
    for (const char* name : {"a", "b", "c", "d", "e"})
        message.AddOffline(name);
    message.AddOnline("up");
    EXPECT_EQ(message.Text(), "        online\nup\n       offline\na\nb\nc\n....\n");
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

TEST_F(MonitorPassTest, FilterListsAndPingsItsGroupIgnoringCaseOrEveryMachine) {
    const char* groups[] = {"Lab", "Office", "OFFICE", "*all machines", "", "Lab"};
    for (int n = 1; n <= 6; ++n)
        Add(n, groups[n - 1], {n == 6, 0, 0});
    const struct {
        const char* filter;
        std::vector<int> listed, pinged;
    } cases[] = {
        {"*All machines", {1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5}},
        {"office", {2, 3}, {2, 3}},
        {"*all machines", {4}, {4}},
        {"", {5}, {5}},
        {"Nobody", {}, {}},
    };
    for (const auto& c : cases) {
        const std::size_t nCalls = m_pinger.Calls().size();
        std::vector<std::string> listed, pinged;
        for (int n : c.listed)
            listed.push_back(" pc" + std::to_string(n));
        for (int n : c.pinged)
            pinged.push_back(Address(n));
        EXPECT_EQ(Names(Pass(c.filter)), listed) << c.filter;
        // Nothing in view (or only excluded machines) pings nothing.
        EXPECT_EQ(m_pinger.Calls().size(), nCalls + (pinged.empty() ? 0 : 1)) << c.filter;
        if (!pinged.empty()) {
            EXPECT_EQ(m_pinger.Calls().back().hosts, pinged) << c.filter;
        }
    }
}

// Machines 1..n with their flags; each step sets which are up ('1') and runs a fill or a pass, whose text must
// be the expected one. The stored results are compared: a new record first pinged by a pass counts as online.
TEST_F(MonitorPassTest, NotifyFlagsDecideWhoIsNamedOnlineFirstThreeNamesThenDots) {
    struct Step {
        const char* up;
        bool bFill;
        const char* message;
    };
    const struct {
        std::vector<Flags> machines;
        std::vector<Step> steps;
    } scenarios[] = {
        {{{0, 1, 1}, {0, 1, 0}, {0, 0, 0}},
         {{"000", false, "       offline\npc1\npc2\n"},
          {"000", false, ""},
          {"111", false, "        online\npc1\npc2\n"}}},
        {{{0, 0, 1}}, {{"0", false, "       offline\npc1\n"}, {"1", false, ""}}},
        {{{0, 0, 1}, {0, 1, 0}}, {{"10", true, ""}, {"01", false, "        online\npc2\n       offline\npc1\n"}}},
        {{{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}}, {{"0000", false, "       offline\npc1\npc2\npc3\n....\n"}}},
    };
    for (const auto& scenario : scenarios) {
        m_list.RemoveAllMachines();
        int n = 0;
        for (const Flags& flags : scenario.machines)
            Add(++n, "Lab", flags);
        for (const Step& step : scenario.steps) {
            for (int i = 0; step.up[i]; ++i)
                SetUp(i + 1, step.up[i] == '1');
            const PassOutcome outcome = step.bFill ? Fill() : Pass();
            EXPECT_EQ(outcome.strMessage, step.message) << "up " << step.up;
            for (std::size_t i = 0; i < outcome.rows.size(); ++i)
                EXPECT_EQ(outcome.rows[i].cells[3].text, step.up[i] == '1' ? "Yes" : "No") << "up " << step.up;
        }
    }
}

TEST_F(MonitorPassTest, HiddenGroupIsNotPingedAndItsChangeNeverAnnounced) {
    Add(1, "Lab", {0, 1, 1});
    CMachine* pHidden = Add(2, "Office", {0, 1, 1});
    SetUp(1, true);
    SetUp(2, true);
    Fill();
    SetUp(2, false);
    EXPECT_EQ(Pass("Lab").strMessage, "");
    EXPECT_EQ(pHidden->m_dPingTime, 1500.0);

    // Showing its group fills the list first, which stores the new state silently.
    EXPECT_EQ(Fill("Office").strMessage, "");
    EXPECT_EQ(pHidden->m_dPingTime, -1.0);
    EXPECT_EQ(Pass("Office").strMessage, "");
}

TEST_F(MonitorPassTest, ListFillStoresSilentlyCountsOnlineShowsTheNewPingTimeAndExcludedMachinesKeepTheirs) {
    m_settings.m_bShowPingTime = 1;
    CMachine* pDown = Add(1, "Lab", {0, 1, 1});
    CMachine* pUp = Add(2, "Lab", {0, 1, 1});
    CMachine* pExcluded = Add(3, "Lab", {1, 1, 1});
    CMachine* pFast = Add(4, "Lab", {0, 1, 1});
    pDown->m_dPingTime = 800.0;
    pExcluded->m_dPingTime = 2500.0;
    SetUp(2, true, 800);
    SetUp(4, true, 0);
    const PassOutcome fill = Fill();
    EXPECT_EQ(fill.strMessage, "");
    EXPECT_EQ(fill.nOnline, 2);
    std::vector<std::string> texts;
    for (const ListRow& row : fill.rows)
        texts.push_back(row.cells[3].text);
    EXPECT_EQ(texts, (std::vector<std::string>{"No", "0.80", "Exc", "<1"}));
    EXPECT_EQ(fill.rows[2].cells[3].textColour, kExcludedColour);
    EXPECT_EQ(fill.rows[2].state, MachineState::Excluded);
    EXPECT_EQ(pDown->m_dPingTime, -1.0);
    EXPECT_EQ(pUp->m_dPingTime, 800.0);
    EXPECT_EQ(pFast->m_dPingTime, 0.0);
    // The change the fill saw is never announced; an excluded machine is never named and keeps its result.
    const PassOutcome pass = Pass();
    EXPECT_EQ(pass.strMessage, "");
    EXPECT_EQ(pass.rows[2].cells[3].text, "Exc");
    EXPECT_EQ(pExcluded->m_dPingTime, 2500.0);
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
