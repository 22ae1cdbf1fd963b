// The machine file text as written: byte for byte, group order, escaping.
#include <gtest/gtest.h>

#include "registry/MachineList.h"

namespace lanwick {
namespace {

TEST(MachineFileWrite, EmptyListWritesHeaderCountAndClose) {
    CMachineList list;
    EXPECT_EQ(list.SaveToText(), "<?xml version=\"1.0\"?>\r\n <Machines>\r\n  <Count mach=\"0\">\r\n  </Count>\r\n"
                                 " </Machines>\r\n");
    std::string strText;
    list.Exchange(strText, true);
    list.Exchange(strText, false);
    EXPECT_EQ(list.GetCount(), 0u);
}

TEST(MachineFileWrite, TwoGroupsMixedCase_ByteExact) {
    CMachineList list;
    list.AddMachine({10, 0, 0, 1}, "00A0C9123456", "Office", "pc-1", 0, 1, 0);
    list.AddMachine({172, 16, 0, 200}, "080020ABCDEF", "Lab", "lab-1", 1, 0, 1);
    list.AddMachine({192, 168, 200, 255}, "000000000000", "OFFICE", "pc-2", 0, 0, 0);
    const std::string expected = "<?xml version=\"1.0\"?>\r\n"
                                 " <Machines>\r\n"
                                 "  <Count mach=\"3\">\r\n"
                                 "  </Count>\r\n"
                                 "  <Group name=\"Office\">\r\n"
                                 "   <MAC Address=\"00A0C9123456\">\r\n"
                                 "    <IPAddress>10.0.0.1</IPAddress>\r\n"
                                 "    <Name>pc-1</Name>\r\n"
                                 "    <Notify>Yes</Notify>\r\n"
                                 "    <NotifyOffline>No</NotifyOffline>\r\n"
                                 "    <Excluded>No</Excluded>\r\n"
                                 "   </MAC>\r\n"
                                 "   <MAC Address=\"000000000000\">\r\n"
                                 "    <IPAddress>192.168.200.255</IPAddress>\r\n"
                                 "    <Name>pc-2</Name>\r\n"
                                 "    <Notify>No</Notify>\r\n"
                                 "    <NotifyOffline>No</NotifyOffline>\r\n"
                                 "    <Excluded>No</Excluded>\r\n"
                                 "   </MAC>\r\n"
                                 "  </Group>\r\n"
                                 "  <Group name=\"Lab\">\r\n"
                                 "   <MAC Address=\"080020ABCDEF\">\r\n"
                                 "    <IPAddress>172.16.0.200</IPAddress>\r\n"
                                 "    <Name>lab-1</Name>\r\n"
                                 "    <Notify>No</Notify>\r\n"
                                 "    <NotifyOffline>Yes</NotifyOffline>\r\n"
                                 "    <Excluded>Yes</Excluded>\r\n"
                                 "   </MAC>\r\n"
                                 "  </Group>\r\n"
                                 " </Machines>\r\n";
    EXPECT_EQ(list.SaveToText(), expected);
}

TEST(MachineFileWrite, NonZeroFlagsOtherThanOneWriteYes) {
    CMachineList list;
    list.AddMachine({1, 2, 3, 4}, "001122334455", "G", "n", -1, 7, 2);
    const std::string strText = list.SaveToText();
    EXPECT_NE(strText.find("<Notify>Yes</Notify>"), std::string::npos);
    EXPECT_NE(strText.find("<NotifyOffline>Yes</NotifyOffline>"), std::string::npos);
    EXPECT_NE(strText.find("<Excluded>Yes</Excluded>"), std::string::npos);
}

TEST(MachineFileWrite, OfficeLabOffice_ReadsBackGroupedUnderFirstText) {
    CMachineList list;
    list.AddMachine({10, 0, 0, 1}, "000000000001", "Office", "first", 0);
    list.AddMachine({10, 0, 0, 2}, "000000000002", "Lab", "second", 0);
    list.AddMachine({10, 0, 0, 3}, "000000000003", "office", "third", 0);
    const std::string strText = list.SaveToText();
    EXPECT_EQ(strText.find("<Group name=\"office\">"), std::string::npos);

    CMachineList copy;
    copy.LoadFromText(strText);
    ASSERT_EQ(copy.GetCount(), 3u);
    copy.ResetCursor();
    const std::pair<const char*, const char*> expected[] = {
        {"first", "Office"}, {"third", "Office"}, {"second", "Lab"}};
    for (const auto& [name, group] : expected) {
        const CMachine* pMachine = copy.GetNextMachine();
        EXPECT_EQ(pMachine->m_strName, name);
        EXPECT_EQ(pMachine->m_strGroup, group);
    }
}

TEST(MachineFileWrite, DuplicatesAreBothWritten) {
    CMachineList list;
    list.AddMachine({10, 0, 0, 1}, "001122334455", "G", "twin", 0);
    list.AddMachine({10, 0, 0, 1}, "001122334455", "G", "twin", 0);
    CMachineList copy;
    copy.LoadFromText(list.SaveToText());
    EXPECT_EQ(copy.GetCount(), 2u);
}

TEST(MachineFileWrite, EscapesDelimitersInTexts) {
    CMachineList list;
    list.AddMachine({10, 0, 0, 1}, "AB&\"<>", "R&D \"lab\">", "a</b & <c>", 0);
    const std::string strText = list.SaveToText();
    EXPECT_NE(strText.find("<Group name=\"R&amp;D &quot;lab&quot;&gt;\">"), std::string::npos);
    EXPECT_NE(strText.find("<Name>a&lt;/b &amp; &lt;c&gt;</Name>"), std::string::npos);
    EXPECT_NE(strText.find("<MAC Address=\"AB&amp;&quot;&lt;&gt;\">"), std::string::npos);
}

TEST(MachineFileWrite, TextsWithDelimitersRoundTrip) {
    CMachineList list;
    list.AddMachine({10, 0, 0, 1}, "0011223344&5", "Group\">x", "name</Name> & more", 1, 0, 1);
    list.AddMachine({10, 0, 0, 2}, "001122334455", "Group\">X", "</Group>", 0, 1, 0);
    list.AddMachine({10, 0, 0, 3}, "001122334455", "plain", "it's", 0);
    CMachineList copy;
    copy.LoadFromText(list.SaveToText());
    ASSERT_EQ(copy.GetCount(), 3u);
    copy.ResetCursor();
    const CMachine* p1 = copy.GetNextMachine();
    EXPECT_EQ(p1->m_strMac, "0011223344&5");
    EXPECT_EQ(p1->m_strGroup, "Group\">x");
    EXPECT_EQ(p1->m_strName, "name</Name> & more");
    EXPECT_EQ(p1->m_bExcluded, 1);
    EXPECT_EQ(p1->m_bNotifyOffline, 1);
    const CMachine* p2 = copy.GetNextMachine();
    EXPECT_EQ(p2->m_strGroup, "Group\">x");
    EXPECT_EQ(p2->m_strName, "</Group>");
    EXPECT_EQ(p2->m_bNotify, 1);
    EXPECT_EQ(copy.GetNextMachine()->m_strName, "it's");
}

} // namespace
} // namespace lanwick
