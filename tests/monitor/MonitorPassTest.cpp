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
        char mac[24];
        std::snprintf(mac, sizeof mac, "00A0C90000%02X", n);
        m_list.AddMachine({10, 0, 0, static_cast<std::uint8_t>(n)}, mac, strGroup, "pc" + std::to_string(n),
                          flags.bExcluded, flags.bNotify, flags.bNotifyOffline);
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
    // The rows as "name|address|MAC|state|state kind (0 excluded, 1 online, 2 offline)[|fresh]".
    static std::vector<std::string> Rows(const std::vector<ListRow>& listRows) {
        std::vector<std::string> rows;
        for (const ListRow& row : listRows)
            rows.push_back(row.cells[0].text + "|" + row.cells[1].text + "|" + row.cells[2].text + "|" +
                           row.cells[3].text + "|" + std::to_string(static_cast<int>(row.state)) +
                           (row.bFresh ? "|fresh" : ""));
        return rows;
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
    CStateMessage message;
    EXPECT_EQ(message.Text(), "");
    for (const char* name : {"a", "b", "c", "d", "e"})
        message.AddOffline(name);
    message.AddOnline("up");
    EXPECT_EQ(message.Text(), "        online\nup\n       offline\na\nb\nc\n....\n") << "the fourth name on are dots";
}

TEST_F(MonitorPassTest, ListFillStoresSilentlyCountsOnlineShowsTheNewPingTimeAndExcludedMachinesKeepTheirs) {
    CMachine* pDown = Add(1, "Lab", {0, 1, 1});
    CMachine* pUp = Add(2, "Lab", {0, 1, 1});
    CMachine* pExcluded = Add(3, "Lab", {1, 1, 1});
    CMachine* pFast = Add(4, "Lab", {0, 1, 1});
    pDown->m_dPingTime = 800.0;
    pExcluded->m_dPingTime = 2500.0;
    SetUp(2, true, 800);
    SetUp(4, true, 0);
    const PassOutcome plain = Fill();
    EXPECT_EQ(plain.rows[0].pMachine, pDown);
    EXPECT_EQ(plain.rows[3].pMachine, pFast);
    for (std::size_t column = 0; column < 3; ++column) {
        EXPECT_EQ(plain.rows[0].cells[column].textColour, kDefaultColor);
        EXPECT_EQ(plain.rows[0].cells[column].background, kDefaultColor);
    }
    EXPECT_EQ(plain.rows[2].cells[3].textColour, kExcludedColour);
    m_settings.m_bShowPingTime = 1;
    const PassOutcome fill = Fill();
    EXPECT_EQ(fill.strMessage, "");
    EXPECT_EQ(fill.nOnline, 2);
    EXPECT_EQ(Rows(fill.rows), (std::vector<std::string>{" pc1| 10.0.0.1| 00:A0:C9:00:00:01|No|2|fresh",
                                                         " pc2| 10.0.0.2| 00:A0:C9:00:00:02|0.80|1|fresh",
                                                         " pc3| 10.0.0.3| 00:A0:C9:00:00:03|Exc|0",
                                                         " pc4| 10.0.0.4| 00:A0:C9:00:00:04|<1|1|fresh"}));
    EXPECT_EQ(pDown->m_dPingTime, -1.0);
    EXPECT_EQ(pUp->m_dPingTime, 800.0);
    EXPECT_EQ(pFast->m_dPingTime, 0.0);
    // The change the fill saw is never announced; an excluded machine is never named and keeps its result.
    const PassOutcome pass = Pass();
    EXPECT_EQ(pass.strMessage, "");
    EXPECT_EQ(pass.rows[2].cells[3].text, "Exc");
    EXPECT_EQ(pExcluded->m_dPingTime, 2500.0);
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
    // Each form stores the results: the earlier pass's stored times are put back before the second one runs.
    std::vector<ListRow> handed;
    const PassOutcome each = pass.ApplyEach(m_list, results, true, [&](ListRow&& row) { handed.push_back(row); });
    EXPECT_TRUE(each.rows.empty());
    m_list.ResetCursor();
    for (CMachine* pMachine = m_list.GetNextMachine(); pMachine; pMachine = m_list.GetNextMachine())
        pMachine->m_dPingTime = pMachine->m_ip[3] == 1 ? -1.0 : (pMachine->m_ip[3] == 3 ? 700.0 : 65535.0);
    const PassOutcome kept = pass.Apply(m_list, results, true);
    EXPECT_EQ(Rows(handed), Rows(kept.rows));
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
        std::vector<std::string> names;
        for (const ListRow& row : Pass(c.filter).rows)
            names.push_back(row.cells[0].text);
        EXPECT_EQ(names, listed) << c.filter;
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

TEST_F(MonitorPassTest, SettingsReachThePingsAndMissingResultsAreNotStored) {
    CMachine* pMachine = Add(1, "Lab", {0, 1, 1});
    m_settings.m_nRetries = 3;
    m_settings.m_nPause = 250;
    Pass();
    m_settings.m_nRetries = 0;
    Pass();
    const std::vector<CFakePingProvider::Call> calls = m_pinger.Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].attempts, 3u);
    EXPECT_EQ(calls[0].pause, 250u);
    EXPECT_EQ(calls[1].attempts, 1u) << "zero retries pings once";

    pMachine->m_dPingTime = CMachine::kUncheckedPingTime;
    const PassOutcome outcome = CMonitorPass::Plan(m_list, "Lab", PassKind::MonitoringPass).Apply(m_list, {}, false);
    EXPECT_EQ(Rows(outcome.rows), std::vector<std::string>{" pc1| 10.0.0.1| 00:A0:C9:00:00:01|Yes|1"});
    EXPECT_EQ(outcome.strMessage, "");
    EXPECT_EQ(pMachine->m_dPingTime, CMachine::kUncheckedPingTime);
}

} // namespace
} // namespace lanwick
