// The machine file text: written byte for byte, grouped and escaped; read back by substring search with the
// 30-character group rule, its value conversions, and damaged or truncated input.
#include <gtest/gtest.h>

#include "registry/MachineList.h"

namespace lanwick {
namespace {

// Texts in the writer's exact layout, built by hand.
std::string MachineXml(const std::string& strMac, const std::string& strIp, const std::string& strName,
                       const std::string& strNotify = "No", const std::string& strOffline = "No",
                       const std::string& strExcluded = "No") {
    return "   <MAC Address=\"" + strMac + "\">\r\n    <IPAddress>" + strIp + "</IPAddress>\r\n    <Name>" + strName +
           "</Name>\r\n    <Notify>" + strNotify + "</Notify>\r\n    <NotifyOffline>" + strOffline +
           "</NotifyOffline>\r\n    <Excluded>" + strExcluded + "</Excluded>\r\n   </MAC>\r\n";
}

std::string GroupXml(const std::string& strGroup, const std::string& strMachines) {
    return "  <Group name=\"" + strGroup + "\">\r\n" + strMachines + "  </Group>\r\n";
}

std::string FileXml(const std::string& strCount, const std::string& strGroups) {
    return "<?xml version=\"1.0\"?>\r\n <Machines>\r\n  <Count mach=\"" + strCount + "\">\r\n  </Count>\r\n" +
           strGroups + " </Machines>\r\n";
}

std::string ThreeMachines(const std::string& strCount) {
    return FileXml(strCount, GroupXml("A", MachineXml("000000000001", "10.0.0.1", "one") +
                                               MachineXml("000000000002", "10.0.0.2", "two")) +
                                 GroupXml("B", MachineXml("000000000003", "10.0.0.3", "three")));
}

// Every machine as "group/name/mac/address/notify,offline,excluded", joined by "; ".
std::string Dump(CMachineList& list) {
    std::string text;
    list.ResetCursor();
    while (const CMachine* p = list.GetNextMachine())
        text += (text.empty() ? "" : "; ") + p->m_strGroup + "/" + p->m_strName + "/" + p->m_strMac + "/" +
                FormatAddress(p->m_ip) + "/" + std::to_string(p->m_bNotify) + std::to_string(p->m_bNotifyOffline) +
                std::to_string(p->m_bExcluded) + (p->m_dPingTime == 65535.0 ? "" : " checked");
    return text;
}

TEST(MachineFileWrite, ByteExactGroupedByFirstTextWithFlagsAndEscapes) {
    CMachineList list;
    EXPECT_EQ(list.SaveToText(), FileXml("0", ""));
    list.AddMachine({10, 0, 0, 1}, "00A0C9123456", "Office", "pc-1", 0, 1, 0);
    list.AddMachine({172, 16, 0, 200}, "080020ABCDEF", "Lab", "lab-1", 1, 0, 1);
    list.AddMachine({192, 168, 200, 255}, "000000000000", "OFFICE", "pc-2", 0, 0, 0);
    list.AddMachine({1, 2, 3, 4}, "AB&\"<>", "R&D \"lab\">", "a</b & <c>", -1, 7, 2); // any non-zero flag is Yes
    EXPECT_EQ(
        list.SaveToText(),
        FileXml("4", GroupXml("Office", MachineXml("00A0C9123456", "10.0.0.1", "pc-1", "Yes") +
                                            MachineXml("000000000000", "192.168.200.255", "pc-2")) +
                         GroupXml("Lab", MachineXml("080020ABCDEF", "172.16.0.200", "lab-1", "No", "Yes", "Yes")) +
                         GroupXml("R&amp;D &quot;lab&quot;&gt;",
                                  MachineXml("AB&amp;&quot;&lt;&gt;", "1.2.3.4", "a&lt;/b &amp; &lt;c&gt;", "Yes",
                                             "Yes", "Yes"))));
    std::string strText;
    list.Exchange(strText, true);
    CMachineList copy;
    copy.Exchange(strText, false);
    EXPECT_EQ(copy.GetCount(), 4u);
}

TEST(MachineFileWrite, TextsWithDelimitersAndDuplicatesReadBackAsWritten) {
    CMachineList list;
    list.AddMachine({10, 0, 0, 1}, "0011223344&5", "Group\">x", "name</Name> & more", 1, 0, 1);
    list.AddMachine({10, 0, 0, 2}, "001122334455", "Group\">X", "</Group>", 0, 1, 0);
    list.AddMachine({10, 0, 0, 3}, "001122334455", "plain", "it's", 0);
    list.AddMachine({10, 0, 0, 3}, "001122334455", "plain", "it's", 0);
    CMachineList copy;
    copy.LoadFromText(list.SaveToText());
    EXPECT_EQ(Dump(copy), "Group\">x/name</Name> & more/0011223344&5/10.0.0.1/011; "
                          "Group\">x/</Group>/001122334455/10.0.0.2/100; plain/it's/001122334455/10.0.0.3/000; "
                          "plain/it's/001122334455/10.0.0.3/000");
}

TEST(MachineFileRead, ReadsWhatTheCountAllowsAndCountsWhatItLeavesOut) {
    const std::string strNoIp = "   <MAC Address=\"0000000000FF\">\r\n    <Name>broken</Name>\r\n   </MAC>\r\n";
    const std::string strNoExcluded = "   <MAC Address=\"0000000000EE\">\r\n    <IPAddress>9.9.9.9</IPAddress>\r\n"
                                      "    <Name>half</Name>\r\n    <Notify>Yes</Notify>\r\n   </MAC>\r\n";
    std::string strLfOnly = ThreeMachines("3");
    std::erase(strLfOnly, '\r');
    const std::string strThree = "A/one/000000000001/10.0.0.1/000; A/two/000000000002/10.0.0.2/000; "
                                 "B/three/000000000003/10.0.0.3/000";
    const struct {
        const char* what;
        std::string strText, strDump;
        std::size_t nSkipped, nBeyond;
    } cases[] = {
        {"empty", "", "", 0, 0},
        {"no count", "<Machines>" + GroupXml("A", MachineXml("000000000001", "1.2.3.4", "x")), "", 0, 1},
        {"no count, a machine at the first byte", MachineXml("000000000001", "1.2.3.4", "x").substr(3), "", 0, 1},
        {"count 0", ThreeMachines("0"), "", 0, 3},
        {"count -5", ThreeMachines("-5"), "", 0, 3},
        {"count 1 of 3", ThreeMachines("1"), "A/one/000000000001/10.0.0.1/000", 0, 2},
        {"whole", ThreeMachines("3"), strThree, 0, 0},
        {"count larger", ThreeMachines("99"), strThree, 0, 0},
        {"count huge", ThreeMachines("99999999999999"), strThree, 0, 0},
        {"LF only", strLfOnly, strThree, 0, 0},
        {"octets keep their low eight bits",
         FileXml("2", GroupXml("G", MachineXml("000000000001", "300.256.-1.07", "a") +
                                        MachineXml("000000000002", " 1.2x.99999999999.+4", "b"))),
         "G/a/000000000001/44.0.255.7/000; G/b/000000000002/1.2.255.4/000", 0, 0},
        {"flags are Yes in any case and nothing else",
         FileXml("3", GroupXml("G", MachineXml("000000000001", "1.1.1.1", "a", "yes", "YES", "Yes") +
                                        MachineXml("000000000002", "1.1.1.2", "b", "1", "true", "Yes ") +
                                        MachineXml("000000000003", "1.1.1.3", "c", "No", "", "yEs"))),
         "G/a/000000000001/1.1.1.1/111; G/b/000000000002/1.1.1.2/000; G/c/000000000003/1.1.1.3/001", 0, 0},
        // A file written without escapes: the name ends at "</", the group at "\">".
        {"unescaped delimiters",
         FileXml("1", GroupXml("Lab\">x", MachineXml("000000000001", "1.1.1.1", "a</b", "Yes"))),
         "Lab/a/000000000001/1.1.1.1/100", 0, 0},
        {"entities",
         FileXml("1", GroupXml("R&amp;D", MachineXml("00&amp;1122334455", "1.1.1.1", "it&apos;s &lt;&gt;&x;"))),
         "R&D/it's <>&x;/00&112233445/1.1.1.1/000", 0, 0},
        {"the MAC is twelve decoded characters",
         FileXml("1", GroupXml("G", MachineXml("00&apos;0000", "1.1.1.1", "a"))), "G/a/00'0000\">\r\n /1.1.1.1/000", 0,
         0},
        // Deliberately kept: only a "</Group>" close behind a machine ends its group, so extra padding before it
        // leaves the next group's machines under the old group text.
        {"group close beyond thirty characters",
         FileXml("2", "  <Group name=\"A\">\r\n" + MachineXml("000000000001", "1.1.1.1", "a") +
                          "                   </Group>\r\n" +
                          GroupXml("B", MachineXml("000000000002", "1.1.1.2", "b"))),
         "A/a/000000000001/1.1.1.1/000; A/b/000000000002/1.1.1.2/000", 0, 0},
        {"an address without dots is skipped",
         FileXml("2", GroupXml("G", MachineXml("000000000001", "localhost", "a") +
                                        MachineXml("000000000002", "1.2.3.4", "b"))),
         "G/b/000000000002/1.2.3.4/000", 1, 0},
        {"damaged machines are skipped, neighbours kept",
         FileXml("5", GroupXml("A", MachineXml("000000000001", "10.0.0.1", "one") + strNoIp +
                                        MachineXml("000000000002", "10.0.0.2", "two")) +
                          GroupXml("B", strNoExcluded) +
                          GroupXml("C", MachineXml("000000000003", "10.0.0.3", "three"))),
         "A/one/000000000001/10.0.0.1/000; A/two/000000000002/10.0.0.2/000; C/three/000000000003/10.0.0.3/000", 2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CMachineList list;
        list.LoadFromText(c.strText);
        EXPECT_EQ(Dump(list), c.strDump);
        EXPECT_EQ(list.LastLoad().nSkipped, c.nSkipped);
        EXPECT_EQ(list.LastLoad().nBeyondCount, c.nBeyond);
        EXPECT_EQ(list.LastLoad().Lossless(), c.nSkipped + c.nBeyond == 0);
        // Written back escaped, it reads as the same texts.
        CMachineList copy;
        copy.LoadFromText(list.SaveToText());
        EXPECT_EQ(Dump(copy), c.strDump);
    }
}

TEST(MachineFileRead, AppendsToTheListReportsTheLastLoadAndSurvivesEveryCut) {
    CMachineList list;
    list.AddMachine({1, 1, 1, 1}, "", "X", "kept", 0);
    list.LoadFromText(ThreeMachines("1"));
    EXPECT_FALSE(list.LastLoad().Lossless());
    list.LoadFromText(ThreeMachines("3"));
    EXPECT_TRUE(list.LastLoad().Lossless()) << "the report is the last load's, not a sum";
    EXPECT_EQ(list.GetCount(), 5u);
    EXPECT_EQ(Dump(list).substr(0, 22), "X/kept//1.1.1.1/000; A");
    // The writer keeps a MAC as it is; the reader takes twelve characters whatever they are.
    CMachineList odd;
    odd.AddMachine({1, 1, 1, 1}, "ABC", "G", "short", 0);
    odd.AddMachine({1, 1, 1, 2}, "00112233445566", "G", "long", 0);
    list.RemoveAllMachines();
    list.LoadFromText(odd.SaveToText());
    EXPECT_EQ(Dump(list), "G/short/ABC\">\r\n    </1.1.1.1/000; G/long/001122334455/1.1.1.2/000");

    const std::string strText = ThreeMachines("3");
    for (std::size_t cut = 0; cut < strText.size(); ++cut) {
        CMachineList part;
        part.LoadFromText(strText.substr(0, cut));
        EXPECT_LE(part.GetCount(), 3u);
    }
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

} // namespace
} // namespace lanwick
