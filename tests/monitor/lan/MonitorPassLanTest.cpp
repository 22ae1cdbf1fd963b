// The monitoring pass and list fill with the real ping engine on the namespace LAN: hosts switched on and off show
// in the rows and the notification texts (the texts' rules themselves are tested against a scripted provider).
#include "lan/Lan.h"
#include "monitor/MonitorPass.h"
#include "platform/Resolver.h"
#include "probes/PingEngine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace lanwick {
namespace {

using test::CLan;
using test::LanHost;

class MonitorPassLanTest : public ::testing::Test {
protected:
    void SetUp() override {
        LANWICK_REQUIRE_LAN();
        const CLan& lan = CLan::Get();
        ASSERT_GE(lan.Hosts().size(), 4u);
        m_hosts.assign(lan.Hosts().begin(), lan.Hosts().begin() + 4);
        const struct {
            std::string strAddress, strName;
            int bExcluded, bNotify, bNotifyOffline;
        } entries[] = {
            {m_hosts[0].address, "notify", 0, 1, 0},
            {m_hosts[1].address, "notify offline", 0, 0, 1},
            {m_hosts[2].address, "both", 0, 1, 1},
            {m_hosts[3].address, "excluded", 1, 1, 1},
            {lan.SilentAddress(0), "silent notify", 0, 1, 0},
            {lan.SilentAddress(1), "silent quiet", 0, 0, 0},
        };
        for (const auto& e : entries)
            m_list.AddMachine(platform::ParseIpv4(e.strAddress).value(), "00A0C9000001", "LAN", e.strName, e.bExcluded,
                              e.bNotify, e.bNotifyOffline);
    }
    void TearDown() override {
        for (const LanHost& host : m_hosts)
            test::SetHostUp(host, true);
    }

    std::vector<LanHost> m_hosts;
    CMachineList m_list;
    CPingEngine m_engine;
    CSettings m_settings;
};

// Each step switches hosts 0 to 3 on ('1') or off ('0') or leaves them ('-'), then runs a fill or a pass; at the
// end host 2 is still off.
TEST_F(MonitorPassLanTest, HostsSwitchedOnAndOffShowInTheRowsAndAreAnnouncedByTheirFlags) {
    const struct {
        const char* up;
        PassKind kind;
        const char* message;
        const char* states; // the Online column of the six rows
    } steps[] = {
        {"----", PassKind::MonitoringPass, "       offline\nsilent notify\n", "Yes Yes Yes Exc No No"},
        {"----", PassKind::ListFill, "", "Yes Yes Yes Exc No No"},
        {"-0--", PassKind::MonitoringPass, "       offline\nnotify offline\n", "Yes No Yes Exc No No"},
        // Back online with only notify-offline: not named; hosts with notify go off meanwhile.
        {"010-", PassKind::MonitoringPass, "       offline\nnotify\nboth\n", "No Yes No Exc No No"},
        {"1---", PassKind::MonitoringPass, "        online\nnotify\n", "Yes Yes No Exc No No"},
    };
    for (const auto& step : steps) {
        for (std::size_t n = 0; n < 4; ++n)
            if (step.up[n] != '-') {
                ASSERT_TRUE(test::SetHostUp(m_hosts[n], step.up[n] == '1'));
            }
        const PassOutcome outcome = step.kind == PassKind::ListFill ? RunListFill(m_list, "lan", m_settings, m_engine)
                                                                    : RunPass(m_list, "lan", m_settings, m_engine);
        std::string states;
        for (const ListRow& row : outcome.rows)
            states += (states.empty() ? "" : " ") + row.cells[3].text;
        EXPECT_EQ(outcome.strMessage, step.message) << step.up;
        EXPECT_EQ(states, step.states) << step.up;
    }
    // With ping times shown, answering hosts give milliseconds.
    m_settings.m_bShowPingTime = 1;
    const PassOutcome fill = RunListFill(m_list, "LAN", m_settings, m_engine);
    ASSERT_EQ(fill.rows.size(), 6u);
    for (std::size_t i : {0u, 1u}) {
        const std::string& strText = fill.rows[i].cells[3].text;
        double dMs = 0.0;
        if (strText != "<1") {
            EXPECT_EQ(std::sscanf(strText.c_str(), "%lf", &dMs), 1) << strText;
        }
        EXPECT_GE(dMs, 0.0) << strText;
        EXPECT_LT(dMs, 1000.0) << strText;
        EXPECT_EQ(fill.rows[i].cells[3].textColour, kOnlineColour);
    }
    EXPECT_EQ(fill.rows[2].cells[3].text, "No");
    EXPECT_EQ(fill.rows[4].cells[3].text, "No");
}

} // namespace
} // namespace lanwick
