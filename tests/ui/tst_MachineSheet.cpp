// The machine properties sheet on the offscreen platform with scripted lookups: filling from a record, what OK
// copies back (MAC with and without colons, the empty MAC, the address, the flags), Cancel, "Refresh" on the
// typed address off the window thread, a sheet closed while a lookup runs, and the General page alone.
#include "probes/VendorTable.h"
#include "ui/MachineSheet.h"

#include "controls/IpAddressCtrl.h"
#include "support/Controls.h"
#include "support/ModalDriver.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <condition_variable>
#include <mutex>

using namespace lanwick;
using test::Control;
using test::RunModal;
using test::Text;

namespace {

CMachine Sample(const std::string& mac = "00A0C9123456") {
    return CMachine({192, 168, 1, 10}, mac, "Lab", "printer", 0, 1, 0);
}

// Scripted network: records the addresses asked, answers as set, and can hold the answer until released.
struct CScriptedLookups {
    std::mutex lock;
    std::condition_variable released;
    bool bHold = false;
    std::optional<std::string> name;
    std::string mac = "00000C120010";
    QStringList asked;
    Qt::HANDLE lookupThread = nullptr;

    MachineLookups Hooks() {
        MachineLookups hooks;
        hooks.ResolveName = [this](const std::string& address) {
            std::unique_lock<std::mutex> guard(lock);
            asked << QString::fromStdString(address);
            lookupThread = QThread::currentThreadId();
            released.wait(guard, [this] { return !bHold; });
            return name;
        };
        hooks.GetMacAddress = [this](const std::string&) {
            std::lock_guard<std::mutex> guard(lock);
            return mac;
        };
        return hooks;
    }
    void Release() {
        {
            std::lock_guard<std::mutex> guard(lock);
            bHold = false;
        }
        released.notify_all();
    }
    int AskedCount() {
        std::lock_guard<std::mutex> guard(lock);
        return static_cast<int>(asked.size());
    }
};

void ClickRefreshAndWait(CMachineSheet& sheet) {
    QTest::mouseClick(Control<QPushButton>(&sheet, CGenPp::IDC_REFRESH), Qt::LeftButton);
    QTRY_VERIFY(!sheet.GeneralPage()->IsRefreshing());
}

} // namespace

class TestMachineSheet : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        // No scripted lookup may outlive its test's objects.
        CGenPp::WaitForLookups();
        QCoreApplication::processEvents();
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void Opening_FilledFromTheRecordWithTheTemplatesTexts() {
        CMachineSheet sheet(Sample(), VendorTableData(), VendorTableSize());
        sheet.show();
        QCOMPARE(sheet.windowTitle(), QStringLiteral("Machine properties..."));
        auto* tabs = Control<QTabBar>(&sheet, CPropertySheet::IDC_TAB_CONTROL);
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(0), QStringLiteral("General"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("Scanning"));
        QCOMPARE(sheet.GetActiveIndex(), 0);
        QVERIFY(!Control<QPushButton>(&sheet, CPropertySheet::IDC_APPLY_NOW)->isVisible());

        QWidget* page = sheet.GeneralPage();
        QCOMPARE(Control<CIPAddressCtrl>(page, CGenPp::IDC_ADDRESS)->Text(), QStringLiteral("192.168.1.10"));
        QCOMPARE(Control<QLineEdit>(page, CGenPp::IDC_MAC)->maxLength(), 17);
        QCOMPARE(Text(page, CGenPp::IDC_NAME), QStringLiteral("printer"));
        QCOMPARE(Text(page, CGenPp::IDC_VENDOR), QStringLiteral("Intel Corporation"));
        QCOMPARE(Control<QPushButton>(page, CGenPp::IDC_REFRESH)->text(), QStringLiteral("Refresh"));
        QStringList labels;
        for (QLabel* l : page->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
            if (FindControl(page, CGenPp::IDC_VENDOR) != l)
                labels << l->text();
        QCOMPARE(labels, QStringList({"Name:", "IP Address:", "MAC:", "Vendor:"}));

        QVERIFY(sheet.SetActivePage(1));
        QWidget* scan = sheet.ScanningPage();
        QCOMPARE(Control<QCheckBox>(scan, 1020)->text(), QStringLiteral("Exclude machine from scan"));
        QCOMPARE(Control<QCheckBox>(scan, 1021)->text(), QStringLiteral("Notify if machine goes offline"));
        QCOMPARE(Control<QCheckBox>(scan, 1022)->text(), QStringLiteral("Notify if machine change it's state"));
        QVERIFY(!Control<QCheckBox>(scan, 1020)->isChecked());
        QVERIFY(Control<QCheckBox>(scan, 1022)->isChecked());
        QVERIFY(!Control<QCheckBox>(scan, 1021)->isChecked());
        // The group has no box on either page.
        for (QLineEdit* e : sheet.findChildren<QLineEdit*>())
            QVERIFY(e->text() != QStringLiteral("Lab"));

        CMachineSheet noTable(Sample(), nullptr, 0);
        noTable.show();
        QCOMPARE(Text(&noTable, CGenPp::IDC_VENDOR), QStringLiteral("Unknown Vendor"));
        QCOMPARE(VendorText(VendorTableData(), VendorTableSize(), "000000000000"), std::string("Unknown Vendor"));
        QCOMPARE(VendorText(VendorTableData(), VendorTableSize(), "00000C120010"), std::string("Cisco Systems, Inc"));
        QCOMPARE(VendorText(VendorTableData(), VendorTableSize(), ""), std::string("Unknown Vendor"));
    }

    // The MAC as shown and as OK stores it back; the other values come back unchanged.
    void Mac_ShownWithColonsAndStoredWithout() {
        const struct {
            const char* stored;
            const char* shown;
            const char* typed; // by key, or nullptr to leave the box
            const char* box;
            const char* back;
        } cases[] = {
            {"00A0C9123456", "00:A0:C9:12:34:56", nullptr, "", "00A0C9123456"},
            {"", ":::::", nullptr, "", ""},
            {"AABBCCDDEEFF11223", "AA:BB:CC:DD:EE:FF11223", nullptr, "", "AABBCCDDEEFF11223"},
            // Everything but the colons is kept, 17 characters at most.
            {"00A0C9123456", "00:A0:C9:12:34:56", "zz:12 3-!:ab:cdefgh", "zz:12 3-!:ab:cdef", "zz12 3-!abcdef"},
            {"00A0C9123456", "00:A0:C9:12:34:56", "001B21AABBCC", "001B21AABBCC", "001B21AABBCC"},
        };
        for (const auto& c : cases) {
            CMachineSheet sheet(Sample(c.stored), VendorTableData(), VendorTableSize());
            sheet.show();
            auto* mac = Control<QLineEdit>(&sheet, CGenPp::IDC_MAC);
            QCOMPARE(mac->text(), QString(c.shown));
            if (c.typed) {
                mac->clear();
                QTest::keyClicks(mac, QString(c.typed));
                QCOMPARE(mac->text(), QString(c.box));
            }
            Control<QPushButton>(&sheet, CPropertySheet::IDC_OK)->click();
            const MachineValues v = sheet.Values();
            QCOMPARE(v.strMac, std::string(c.back));
            QCOMPARE(v.strName, std::string("printer"));
            QVERIFY((v.ip == IpAddress{192, 168, 1, 10}));
            QCOMPARE(v.bExcluded, 0);
            QCOMPARE(v.bNotify, 1);
            QCOMPARE(v.bNotifyOffline, 0);
        }
    }

    void Address_ChangedIsReadOnOkFromEitherTab_EmptyFieldsAreZero() {
        std::optional<MachineValues> got;
        RunModal([&] { got = RunMachineSheet(nullptr, Sample(), VendorTableData(), VendorTableSize()); },
                 [](QWidget* w) {
                     auto* sheet = static_cast<CMachineSheet*>(w);
                     auto* address = Control<CIPAddressCtrl>(sheet, CGenPp::IDC_ADDRESS);
                     address->SetAddress({10, 9, 9, 7});
                     address->Field(2)->clear();
                     QVERIFY(sheet->SetActivePage(1));
                     Control<QCheckBox>(sheet, CScanPp::IDC_EXCLUDED)->setChecked(true);
                     Control<QCheckBox>(sheet, CScanPp::IDC_NOTIFY_OFFLINE)->setChecked(true);
                     Control<QCheckBox>(sheet, CScanPp::IDC_NOTIFY)->setChecked(false);
                     Control<QPushButton>(sheet, CPropertySheet::IDC_OK)->click();
                 });
        QVERIFY(got);
        QVERIFY((got->ip == IpAddress{10, 9, 0, 7}));
        QCOMPARE(got->bExcluded, 1);
        QCOMPARE(got->bNotifyOffline, 1);
        QCOMPARE(got->bNotify, 0);
        QCOMPARE(got->strName, std::string("printer"));
    }

    // An answering address fills name, MAC and vendor; a silent one gives the zero MAC and keeps the typed name.
    void Refresh_LooksUpTheTypedAddressAndFillsWhatAnswers() {
        const struct {
            std::optional<std::string> name;
            std::string mac;
            const char* shownName;
            const char* shownMac;
            const char* vendor;
        } cases[] = {
            {"router.lab", "00000C120010", "router.lab", "00:00:0C:12:00:10", "Cisco Systems, Inc"},
            {std::nullopt, "000000000000", "typed by hand", "00:00:00:00:00:00", "Unknown Vendor"},
        };
        for (const auto& c : cases) {
            CScriptedLookups net;
            net.name = c.name;
            net.mac = c.mac;
            CMachineSheet sheet(Sample(), VendorTableData(), VendorTableSize(), net.Hooks());
            sheet.show();
            Control<CIPAddressCtrl>(&sheet, CGenPp::IDC_ADDRESS)->SetAddress({10, 1, 2, 3});
            Control<QLineEdit>(&sheet, CGenPp::IDC_NAME)->setText("typed by hand");
            ClickRefreshAndWait(sheet);
            QCOMPARE(net.asked, QStringList{QStringLiteral("10.1.2.3")});
            QCOMPARE(Text(&sheet, CGenPp::IDC_NAME), QString(c.shownName));
            QCOMPARE(Text(&sheet, CGenPp::IDC_MAC), QString(c.shownMac));
            QCOMPARE(Text(&sheet, CGenPp::IDC_VENDOR), QString(c.vendor));
            Control<QPushButton>(&sheet, CPropertySheet::IDC_OK)->click();
            QCOMPARE(sheet.Values().strMac, c.mac);
            QCOMPARE(sheet.Values().strName, std::string(c.shownName));
            QVERIFY((sheet.Values().ip == IpAddress{10, 1, 2, 3}));
        }
        // Cancel after a Refresh returns nothing.
        CScriptedLookups net;
        net.name = "renamed.lab";
        std::optional<MachineValues> got;
        RunModal([&] { got = RunMachineSheet(nullptr, Sample(), VendorTableData(), VendorTableSize(), net.Hooks()); },
                 [](QWidget* w) {
                     ClickRefreshAndWait(*static_cast<CMachineSheet*>(w));
                     QCOMPARE(Text(w, CGenPp::IDC_NAME), QStringLiteral("renamed.lab"));
                     Control<QPushButton>(w, CPropertySheet::IDC_CANCEL)->click();
                 });
        QVERIFY(!got);
        QCOMPARE(net.AskedCount(), 1);
        // Refresh never takes Enter: with the focus on it, Enter confirms the sheet and looks nothing up.
        CMachineSheet sheet(Sample(), VendorTableData(), VendorTableSize(), net.Hooks());
        sheet.show();
        QTest::keyClick(Control<QPushButton>(&sheet, CGenPp::IDC_REFRESH), Qt::Key_Return);
        QCOMPARE(sheet.result(), int(QDialog::Accepted));
        QCOMPARE(net.AskedCount(), 1);
    }

    void Refresh_RunsOffTheWindowThreadUnderTheWaitCursor() {
        CScriptedLookups net;
        net.bHold = true;
        net.name = "late.lab";
        CMachineSheet sheet(Sample(), VendorTableData(), VendorTableSize(), net.Hooks());
        sheet.show();
        auto* refresh = Control<QPushButton>(&sheet, CGenPp::IDC_REFRESH);
        QTest::mouseClick(refresh, Qt::LeftButton);
        QTRY_COMPARE(net.AskedCount(), 1);
        QVERIFY(net.lookupThread != QThread::currentThreadId());
        QVERIFY(sheet.GeneralPage()->IsRefreshing());
        QVERIFY(!refresh->isEnabled());
        QVERIFY(QGuiApplication::overrideCursor());
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        // The window keeps working meanwhile: typing reaches the boxes and timers fire.
        QTest::keyClicks(Control<QLineEdit>(&sheet, CGenPp::IDC_NAME), QStringLiteral("-x"));
        QCOMPARE(Text(&sheet, CGenPp::IDC_NAME), QStringLiteral("printer-x"));
        bool ticked = false;
        QTimer::singleShot(10, [&] { ticked = true; });
        QTRY_VERIFY(ticked);
        net.Release();
        QTRY_VERIFY(!sheet.GeneralPage()->IsRefreshing());
        QCOMPARE(Text(&sheet, CGenPp::IDC_NAME), QStringLiteral("late.lab"));
        QVERIFY(refresh->isEnabled());
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void Refresh_AnswerAfterTheSheetClosedReachesNothing() {
        CScriptedLookups net;
        net.bHold = true;
        {
            CMachineSheet sheet(Sample(), VendorTableData(), VendorTableSize(), net.Hooks());
            sheet.show();
            QTest::mouseClick(Control<QPushButton>(&sheet, CGenPp::IDC_REFRESH), Qt::LeftButton);
            QTRY_COMPARE(net.AskedCount(), 1);
            sheet.reject();
        }
        QVERIFY(!QGuiApplication::overrideCursor());
        net.Release();
        CGenPp::WaitForLookups();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void GeneralPageAlone_PresetAddressGreyedApplyAndThePagesAddressAndName() {
        CMachineSheet sheet(IpAddress{198, 18, 0, 77}, VendorTableData(), VendorTableSize());
        sheet.show();
        QCOMPARE(sheet.windowTitle(), QStringLiteral("Machine properties..."));
        QCOMPARE(sheet.GetPageCount(), 1);
        QVERIFY(!sheet.ScanningPage());
        auto* apply = Control<QPushButton>(&sheet, CPropertySheet::IDC_APPLY_NOW);
        QVERIFY(apply->isVisible() && !apply->isEnabled());
        QCOMPARE(Control<CIPAddressCtrl>(&sheet, CGenPp::IDC_ADDRESS)->Text(), QStringLiteral("198.18.0.77"));
        for (int id : {CGenPp::IDC_MAC, CGenPp::IDC_NAME, CGenPp::IDC_VENDOR})
            QCOMPARE(Text(&sheet, id), QString());

        std::optional<std::pair<IpAddress, std::string>> got;
        RunModal(
            [&] {
                got = RunGeneralPageAlone(nullptr, {198, 18, 0, 77}, VendorTableData(), VendorTableSize());
            },
            [](QWidget* w) {
                Control<QLineEdit>(w, CGenPp::IDC_NAME)->setText("nas");
                Control<CIPAddressCtrl>(w, CGenPp::IDC_ADDRESS)->Field(3)->setText("78");
                Control<QPushButton>(w, CPropertySheet::IDC_OK)->click();
            });
        QVERIFY(got);
        QVERIFY((got->first == IpAddress{198, 18, 0, 78}));
        QCOMPARE(got->second, std::string("nas"));
        RunModal(
            [&] {
                got = RunGeneralPageAlone(nullptr, {198, 18, 0, 77}, nullptr, 0);
            },
            [](QWidget* w) { Control<QPushButton>(w, CPropertySheet::IDC_CANCEL)->click(); });
        QVERIFY(!got);
    }
};

QTEST_MAIN(TestMachineSheet)
#include "tst_MachineSheet.moc"
