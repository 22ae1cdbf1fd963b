// The monitoring pass and list fill with the real ping engine on the namespace LAN give the same rows and
// notification texts as the scripted provider in the same up/down states.
#include "fakes/FakePingProvider.h"
#include "lan/Lan.h"
#include "monitor/MonitorPass.h"
#include "probes/PingEngine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace lanwick {
namespace {

using test::CFakePingProvider;
using test::CLan;
using test::LanHost;

IpAddress ParseAddress(const std::string& strAddress) {
    unsigned a = 0, b = 0, c = 0, d = 0;
    EXPECT_EQ(std::sscanf(strAddress.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d), 4) << strAddress;
    return {static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(c),
            static_cast<std::uint8_t>(d)};
}

struct Entry {
    std::string strAddress;
    std::string strName;
    int bExcluded, bNotify, bNotifyOffline;
};

// Two identical machine lists, one pinged by the real engine over the LAN, one by the fake scripted with the
// states the test sets on the LAN.
class MonitorPassLanTest : public ::testing::Test {
protected:
    void SetUp() override {
        LANWICK_REQUIRE_LAN();
        const CLan& lan = CLan::Get();
        ASSERT_GE(lan.Hosts().size(), 4u);
        m_hosts.assign(lan.Hosts().begin(), lan.Hosts().begin() + 4);
        m_entries = {
            {m_hosts[0].address, "notify", 0, 1, 0},
            {m_hosts[1].address, "notify offline", 0, 0, 1},
            {m_hosts[2].address, "both", 0, 1, 1},
            {m_hosts[3].address, "excluded", 1, 1, 1},
            {lan.SilentAddress(0), "silent notify", 0, 1, 0},
            {lan.SilentAddress(1), "silent quiet", 0, 0, 0},
        };
        for (const Entry& entry : m_entries) {
            for (CMachineList* pList : {&m_realList, &m_fakeList})
                pList->AddMachine(ParseAddress(entry.strAddress), "00A0C9000001", "LAN", entry.strName, entry.bExcluded,
                                  entry.bNotify, entry.bNotifyOffline);
        }
        for (const LanHost& host : m_hosts)
            m_fake.SetUp(host.address, true);
    }

    void TearDown() override {
        for (const LanHost& host : m_hosts)
            test::SetHostUp(host, true);
    }

    void SetHostUp(std::size_t n, bool bUp) {
        ASSERT_TRUE(test::SetHostUp(m_hosts[n], bUp));
        m_fake.SetUp(m_hosts[n].address, bUp);
    }

    // Runs the same step on both lists and checks that they agree; returns the real outcome.
    PassOutcome Both(PassKind kind) {
        const auto run = [&](CMachineList& list, IPingProvider& provider) {
            return kind == PassKind::ListFill ? RunListFill(list, "lan", m_settings, provider)
                                              : RunPass(list, "lan", m_settings, provider);
        };
        const PassOutcome real = run(m_realList, m_engine);
        const PassOutcome fake = run(m_fakeList, m_fake);
        EXPECT_EQ(real.strMessage, fake.strMessage);
        EXPECT_EQ(real.nOnline, fake.nOnline);
        EXPECT_EQ(real.rows.size(), fake.rows.size());
        for (std::size_t i = 0; i < real.rows.size() && i < fake.rows.size(); ++i) {
            EXPECT_EQ(real.rows[i].state, fake.rows[i].state) << "row " << i;
            for (std::size_t column = 0; column < kColumnCount; ++column) {
                EXPECT_EQ(real.rows[i].cells[column].text, fake.rows[i].cells[column].text) << "row " << i;
                EXPECT_EQ(real.rows[i].cells[column].textColour, fake.rows[i].cells[column].textColour);
                EXPECT_EQ(real.rows[i].cells[column].background, fake.rows[i].cells[column].background);
            }
        }
        return real;
    }

    static std::vector<std::string> StateTexts(const PassOutcome& outcome) {
        std::vector<std::string> texts;
        for (const ListRow& row : outcome.rows)
            texts.push_back(row.cells[3].text);
        return texts;
    }

    std::vector<LanHost> m_hosts;
    std::vector<Entry> m_entries;
    CMachineList m_realList;
    CMachineList m_fakeList;
    CPingEngine m_engine;
    CFakePingProvider m_fake;
    CSettings m_settings;
};

TEST_F(MonitorPassLanTest, PassBeforeAnyFillReportsSilentNewMachinesOffline) {
    const PassOutcome pass = Both(PassKind::MonitoringPass);
    EXPECT_EQ(pass.strMessage, "       offline\nsilent notify\n");
    EXPECT_EQ(StateTexts(pass), (std::vector<std::string>{"Yes", "Yes", "Yes", "Exc", "No", "No"}));
    EXPECT_EQ(pass.rows[0].cells[1].text, " " + m_hosts[0].address);
}

TEST_F(MonitorPassLanTest, ListFillThenPassInTheSameStatesSaysNothing) {
    const PassOutcome fill = Both(PassKind::ListFill);
    EXPECT_EQ(fill.strMessage, "");
    EXPECT_EQ(fill.nOnline, 3);
    EXPECT_EQ(Both(PassKind::MonitoringPass).strMessage, "");
}

TEST_F(MonitorPassLanTest, HostSwitchedOffAfterTheFillIsAnnouncedOnceAndBackOnlyWithNotify) {
    Both(PassKind::ListFill);
    SetHostUp(1, false);
    const PassOutcome off = Both(PassKind::MonitoringPass);
    EXPECT_EQ(off.strMessage, "       offline\nnotify offline\n");
    EXPECT_EQ(StateTexts(off), (std::vector<std::string>{"Yes", "No", "Yes", "Exc", "No", "No"}));
    EXPECT_EQ(Both(PassKind::MonitoringPass).strMessage, "");

    // Back online with only notify-offline: not named; another host with notify goes off meanwhile.
    SetHostUp(1, true);
    SetHostUp(0, false);
    SetHostUp(2, false);
    EXPECT_EQ(Both(PassKind::MonitoringPass).strMessage, "       offline\nnotify\nboth\n");
    SetHostUp(0, true);
    EXPECT_EQ(Both(PassKind::MonitoringPass).strMessage, "        online\nnotify\n");
}

TEST_F(MonitorPassLanTest, ShowPingTimeGivesMillisecondsForAnsweringHosts) {
    m_settings.m_bShowPingTime = 1;
    const PassOutcome fill = RunListFill(m_realList, "LAN", m_settings, m_engine);
    ASSERT_EQ(fill.rows.size(), 6u);
    for (std::size_t i : {0u, 1u, 2u}) {
        const std::string& strText = fill.rows[i].cells[3].text;
        double dMs = 0.0;
        if (strText != "<1") {
            EXPECT_EQ(std::sscanf(strText.c_str(), "%lf", &dMs), 1) << strText;
        }
        EXPECT_GE(dMs, 0.0) << strText;
        EXPECT_LT(dMs, 1000.0) << strText;
        EXPECT_EQ(fill.rows[i].cells[3].textColour, kOnlineColour);
    }
    EXPECT_EQ(fill.rows[4].cells[3].text, "No");
}

} // namespace
} // namespace lanwick
