// The machine file reader: substring search, the 30-character group rule, value conversions and damaged input.
#include <gtest/gtest.h>

#include <vector>

#include "MachineFileText.h"
#include "registry/MachineList.h"

namespace lanwick {
namespace {

using test::FileXml;
using test::GroupXml;
using test::MachineXml;

std::vector<const CMachine*> Load(CMachineList& list, const std::string& strText) {
    list.LoadFromText(strText);
    std::vector<const CMachine*> machines;
    list.ResetCursor();
    while (const CMachine* pMachine = list.GetNextMachine())
        machines.push_back(pMachine);
    return machines;
}

std::string ThreeMachines(const std::string& strCount) {
    return FileXml(strCount, GroupXml("A", MachineXml("000000000001", "10.0.0.1", "one") +
                                               MachineXml("000000000002", "10.0.0.2", "two")) +
                                 GroupXml("B", MachineXml("000000000003", "10.0.0.3", "three")));
}

TEST(MachineFileRead, EmptyOrCountlessTextAddsNothing) {
    CMachineList list;
    EXPECT_TRUE(Load(list, "").empty());
    EXPECT_TRUE(Load(list, "<Machines>" + GroupXml("A", MachineXml("000000000001", "1.2.3.4", "x"))).empty());
    EXPECT_TRUE(Load(list, ThreeMachines("0")).empty());
    EXPECT_TRUE(Load(list, ThreeMachines("-5")).empty());
}

TEST(MachineFileRead, ReadsGroupsAndMachinesInOrder) {
    CMachineList list;
    const auto machines = Load(list, ThreeMachines("3"));
    ASSERT_EQ(machines.size(), 3u);
    EXPECT_EQ(machines[0]->m_strGroup, "A");
    EXPECT_EQ(machines[1]->m_strGroup, "A");
    EXPECT_EQ(machines[2]->m_strGroup, "B");
    EXPECT_EQ(machines[2]->m_strName, "three");
    EXPECT_EQ(machines[2]->m_strMac, "000000000003");
    EXPECT_EQ(machines[2]->m_ip, (IpAddress{10, 0, 0, 3}));
    EXPECT_EQ(machines[2]->m_dPingTime, 65535.0);
}

TEST(MachineFileRead, CountSmallerReadsOnlyTheFirstMachines) {
    CMachineList list;
    const auto machines = Load(list, ThreeMachines("2"));
    ASSERT_EQ(machines.size(), 2u);
    EXPECT_EQ(machines[1]->m_strName, "two");
}

TEST(MachineFileRead, CountLargerReadsAllAndStops) {
    CMachineList list;
    EXPECT_EQ(Load(list, ThreeMachines("99")).size(), 3u);
    CMachineList huge;
    EXPECT_EQ(Load(huge, ThreeMachines("99999999999999")).size(), 3u);
}

TEST(MachineFileRead, AppendsToRecordsAlreadyInTheList) {
    CMachineList list;
    list.AddMachine({1, 1, 1, 1}, "", "X", "kept", 0);
    const auto machines = Load(list, ThreeMachines("3"));
    ASSERT_EQ(machines.size(), 4u);
    EXPECT_EQ(machines[0]->m_strName, "kept");
}

TEST(MachineFileRead, OctetsKeepTheirLowEightBits) {
    CMachineList list;
    const auto machines =
        Load(list, FileXml("2", GroupXml("G", MachineXml("000000000001", "300.256.-1.07", "a") +
                                                  MachineXml("000000000002", " 1.2x.99999999999.+4", "b"))));
    ASSERT_EQ(machines.size(), 2u);
    EXPECT_EQ(machines[0]->m_ip, (IpAddress{44, 0, 255, 7}));
    EXPECT_EQ(machines[1]->m_ip, (IpAddress{1, 2, 255, 4}));
}

TEST(MachineFileRead, FlagsAreYesIgnoringCaseAndNothingElse) {
    CMachineList list;
    const auto machines =
        Load(list, FileXml("3", GroupXml("G", MachineXml("000000000001", "1.1.1.1", "a", "yes", "YES", "Yes") +
                                                  MachineXml("000000000002", "1.1.1.2", "b", "1", "true", "Yes ") +
                                                  MachineXml("000000000003", "1.1.1.3", "c", "No", "", "yEs"))));
    ASSERT_EQ(machines.size(), 3u);
    EXPECT_EQ(machines[0]->m_bNotify, 1);
    EXPECT_EQ(machines[0]->m_bNotifyOffline, 1);
    EXPECT_EQ(machines[0]->m_bExcluded, 1);
    EXPECT_EQ(machines[1]->m_bNotify, 0);
    EXPECT_EQ(machines[1]->m_bNotifyOffline, 0);
    EXPECT_EQ(machines[1]->m_bExcluded, 0);
    EXPECT_EQ(machines[2]->m_bExcluded, 1);
}

TEST(MachineFileRead, MacIsAlwaysTwelveCharacters) {
    CMachineList writer;
    writer.AddMachine({1, 1, 1, 1}, "ABC", "G", "short", 0);
    writer.AddMachine({1, 1, 1, 2}, "00112233445566", "G", "long", 0);
    const std::string strText = writer.SaveToText();
    EXPECT_NE(strText.find("\"ABC\""), std::string::npos);
    EXPECT_NE(strText.find("\"00112233445566\""), std::string::npos);

    CMachineList list;
    const auto machines = Load(list, strText);
    ASSERT_EQ(machines.size(), 2u);
    EXPECT_EQ(machines[0]->m_strMac, "ABC\">\r\n    <");
    EXPECT_EQ(machines[1]->m_strMac, "001122334455");
    EXPECT_EQ(machines[1]->m_strName, "long");
}

TEST(MachineFileRead, UnescapedDelimitersCutTextsAsBefore) {
    // A file written without escapes: the name ends at "</", the group at "\">".
    CMachineList list;
    const auto machines =
        Load(list, FileXml("1", GroupXml("Lab\">x", MachineXml("000000000001", "1.1.1.1", "a</b", "Yes"))));
    ASSERT_EQ(machines.size(), 1u);
    EXPECT_EQ(machines[0]->m_strGroup, "Lab");
    EXPECT_EQ(machines[0]->m_strName, "a");
}

TEST(MachineFileRead, DecodesEntitiesIncludingApos) {
    CMachineList list;
    const auto machines = Load(
        list, FileXml("1", GroupXml("R&amp;D", MachineXml("00&amp;1122334455", "1.1.1.1", "it&apos;s &lt;&gt;&x;"))));
    ASSERT_EQ(machines.size(), 1u);
    EXPECT_EQ(machines[0]->m_strGroup, "R&D");
    EXPECT_EQ(machines[0]->m_strName, "it's <>&x;");
    EXPECT_EQ(machines[0]->m_strMac, "00&112233445");
}

TEST(MachineFileRead, MacCountsTwelveDecodedCharacters) {
    CMachineList list;
    const auto machines = Load(list, FileXml("1", GroupXml("G", MachineXml("00&apos;0000", "1.1.1.1", "a"))));
    ASSERT_EQ(machines.size(), 1u);
    EXPECT_EQ(machines[0]->m_strMac, "00'0000\">\r\n ");
    // Written back escaped, it reads as the same twelve characters.
    CMachineList copy;
    const auto again = Load(copy, list.SaveToText());
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0]->m_strMac, machines[0]->m_strMac);
}

TEST(MachineFileRead, GroupCloseBeyondThirtyCharactersKeepsTheGroup) {
    // Deliberately kept: only a "</Group>" close behind a machine ends its group, so extra padding before it
    // leaves the next group's machines under the old group text.
    const std::string strPadded =
        FileXml("2", "  <Group name=\"A\">\r\n" + MachineXml("000000000001", "1.1.1.1", "a") +
                         "                   </Group>\r\n" + GroupXml("B", MachineXml("000000000002", "1.1.1.2", "b")));
    CMachineList list;
    const auto machines = Load(list, strPadded);
    ASSERT_EQ(machines.size(), 2u);
    EXPECT_EQ(machines[1]->m_strGroup, "A");
}

TEST(MachineFileRead, LfOnlyFileReadsItsGroups) {
    std::string strText = ThreeMachines("3");
    std::erase(strText, '\r');
    CMachineList list;
    const auto machines = Load(list, strText);
    ASSERT_EQ(machines.size(), 3u);
    EXPECT_EQ(machines[2]->m_strGroup, "B");
}

TEST(MachineFileRead, DamagedMachineIsSkippedAndNeighboursKept) {
    const std::string strNoIp = "   <MAC Address=\"0000000000FF\">\r\n    <Name>broken</Name>\r\n   </MAC>\r\n";
    const std::string strNoExcluded = "   <MAC Address=\"0000000000EE\">\r\n    <IPAddress>9.9.9.9</IPAddress>\r\n"
                                      "    <Name>half</Name>\r\n    <Notify>Yes</Notify>\r\n   </MAC>\r\n";
    const std::string strText =
        FileXml("5", GroupXml("A", MachineXml("000000000001", "10.0.0.1", "one") + strNoIp +
                                       MachineXml("000000000002", "10.0.0.2", "two")) +
                         GroupXml("B", strNoExcluded) + GroupXml("C", MachineXml("000000000003", "10.0.0.3", "three")));
    CMachineList list;
    const auto machines = Load(list, strText);
    ASSERT_EQ(machines.size(), 3u);
    EXPECT_EQ(machines[0]->m_strName, "one");
    EXPECT_EQ(machines[1]->m_strName, "two");
    EXPECT_EQ(machines[1]->m_strGroup, "A");
    EXPECT_EQ(machines[2]->m_strName, "three");
    EXPECT_EQ(machines[2]->m_strGroup, "C");
}

// Whatever the reader leaves out is counted, since a save would write only what was read.
TEST(MachineFileRead, LoadCountsDamagedAndUnreadElements) {
    const std::string strNoNotify = "   <MAC Address=\"0000000000EE\">\r\n    <IPAddress>9.9.9.9</IPAddress>\r\n"
                                    "    <Name>half</Name>\r\n    <NotifyOffline>No</NotifyOffline>\r\n"
                                    "    <Excluded>No</Excluded>\r\n   </MAC>\r\n";
    const std::string strDamaged =
        FileXml("3", GroupXml("A", MachineXml("000000000001", "10.0.0.1", "one") + strNoNotify +
                                       MachineXml("000000000002", "10.0.0.2", "two")));
    const struct {
        const char* what;
        std::string strText;
        std::size_t nRead, nSkipped, nBeyond;
    } cases[] = {
        {"whole", ThreeMachines("3"), 3, 0, 0},
        {"count larger", ThreeMachines("9"), 3, 0, 0},
        {"count 1 of 3", ThreeMachines("1"), 1, 0, 2},
        {"count 0", ThreeMachines("0"), 0, 0, 3},
        {"no count", "<Machines>" + GroupXml("A", MachineXml("000000000001", "1.2.3.4", "x")), 0, 0, 1},
        {"element without Notify", strDamaged, 2, 1, 0},
        {"empty", "", 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CMachineList list;
        EXPECT_EQ(Load(list, c.strText).size(), c.nRead);
        EXPECT_EQ(list.LastLoad().nSkipped, c.nSkipped);
        EXPECT_EQ(list.LastLoad().nBeyondCount, c.nBeyond);
        EXPECT_EQ(list.LastLoad().Lossless(), c.nSkipped + c.nBeyond == 0);
    }
    // The report is the last load's, not a sum.
    CMachineList list;
    list.LoadFromText(ThreeMachines("1"));
    list.LoadFromText(ThreeMachines("3"));
    EXPECT_TRUE(list.LastLoad().Lossless());
}

TEST(MachineFileRead, MachineFileIsRecognisedByItsFrameNotByAMarker) {
    EXPECT_TRUE(IsMachineFileText(""));
    EXPECT_TRUE(IsMachineFileText(ThreeMachines("3")));
    EXPECT_TRUE(IsMachineFileText(FileXml("0", "")));
    EXPECT_TRUE(IsMachineFileText("<Machines><Count mach=\"0\"></Count></Machines>\n"));
    EXPECT_FALSE(IsMachineFileText("junk <Count mach=\"1\"> junk"));
    EXPECT_FALSE(IsMachineFileText("root:x:0:0:root:/root:/bin/bash\n"));
    EXPECT_FALSE(IsMachineFileText("<?xml version=\"1.0\"?>\n<Machines>\n<Count mach=\"1\">"));
    EXPECT_FALSE(IsMachineFileText("<?xml version=\"1.0\"?>\n<Other><Count mach=\"1\"></Count></Machines>"));
    EXPECT_FALSE(IsMachineFileText(ThreeMachines("x")));
    EXPECT_FALSE(IsMachineFileText(ThreeMachines("3") + "trailing"));
}

TEST(MachineFileRead, TruncatedTextDoesNotCrash) {
    const std::string strText = ThreeMachines("3");
    for (std::size_t cut = 0; cut < strText.size(); ++cut) {
        CMachineList list;
        list.LoadFromText(strText.substr(0, cut));
        EXPECT_LE(list.GetCount(), 3u);
    }
}

TEST(MachineFileRead, AddressWithoutDotsIsSkipped) {
    CMachineList list;
    const auto machines = Load(list, FileXml("2", GroupXml("G", MachineXml("000000000001", "localhost", "a") +
                                                                    MachineXml("000000000002", "1.2.3.4", "b"))));
    ASSERT_EQ(machines.size(), 1u);
    EXPECT_EQ(machines[0]->m_strName, "b");
}

} // namespace
} // namespace lanwick
