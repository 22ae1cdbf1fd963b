// The range scan dialog on the offscreen platform, with a fake network injected into its workers and lookups:
// range rules, Total, status texts, the scan state, names, OK, and closing while workers run.
#include "controls/ControlId.h"
#include "controls/IpAddressCtrl.h"
#include "controls/XListCtrl.h"
#include "probes/VendorTable.h"
#include "registry/MachineList.h"
#include "support/ModalDriver.h"
#include "ui/MassAddDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

using namespace lanwick;

namespace {

// Answers for the addresses it is given; counts probes and the most probes in flight at once.
struct CFakeNet {
    std::map<std::string, std::string> live; // address -> MAC
    std::map<std::string, std::string> names;
    std::chrono::milliseconds pingTime{0};
    std::chrono::milliseconds nameTime{0};
    std::atomic<int> nProbes{0};
    std::atomic<int> nInFlight{0};
    std::atomic<int> nPeak{0};

    CMassAddDlg::Probes Probes() {
        CMassAddDlg::Probes p;
        p.scan.ping = [this](const std::string& a) {
            ++nProbes;
            const int now = ++nInFlight;
            int peak = nPeak.load();
            while (now > peak && !nPeak.compare_exchange_weak(peak, now)) {
            }
            std::this_thread::sleep_for(pingTime);
            --nInFlight;
            return live.count(a) ? 1 : -1;
        };
        p.scan.mac = [this](const std::string& a) { return live.at(a); };
        p.resolve = [this](const std::string& a) -> std::optional<std::string> {
            std::this_thread::sleep_for(nameTime);
            const auto it = names.find(a);
            return it == names.end() ? std::nullopt : std::optional<std::string>(it->second);
        };
        return p;
    }
};

std::vector<CMachine> Machines(CMachineList& list) {
    std::vector<CMachine> out;
    list.ResetCursor();
    while (CMachine* m = list.GetNextMachine())
        out.push_back(*m);
    return out;
}

} // namespace

class TestMassAddDlg : public QObject {
    Q_OBJECT

    CMachineList m_machines;
    CFakeNet m_net;
    std::unique_ptr<CMassAddDlg> m_pDlg;

    CMassAddDlg& Dlg() { return *m_pDlg; }
    template <class T>
    T* Ctl(int id) {
        return FindControl<T>(m_pDlg.get(), id);
    }
    void SetRange(const IpAddress& start, const IpAddress& end) {
        Ctl<CIPAddressCtrl>(CMassAddDlg::IDC_START_IP)->SetAddress(start);
        Ctl<CIPAddressCtrl>(CMassAddDlg::IDC_END_IP)->SetAddress(end);
    }
    bool ScanAndWait(const IpAddress& start, const IpAddress& end) {
        SetRange(start, end);
        Ctl<QPushButton>(CMassAddDlg::IDC_GO)->click();
        return QTest::qWaitFor([this] { return !Dlg().IsScanning(); }, 20000);
    }
    QString Cell(int row, int col) { return Ctl<CXListCtrl>(CMassAddDlg::IDC_RESULTS)->GetItemText(row, col); }
    int Rows() { return Ctl<CXListCtrl>(CMassAddDlg::IDC_RESULTS)->GetItemCount(); }
    QString Status() { return Ctl<QLabel>(CMassAddDlg::IDC_STATUS)->text(); }

private slots:
    void init() {
        m_machines.RemoveAllMachines();
        m_net.live.clear();
        m_net.names.clear();
        m_net.pingTime = m_net.nameTime = std::chrono::milliseconds(0);
        m_net.nProbes = 0;
        m_net.nPeak = 0;
        m_pDlg =
            std::make_unique<CMassAddDlg>(m_machines, VendorTableData(), VendorTableSize(), nullptr, m_net.Probes());
        m_pDlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pDlg.get()));
    }
    void cleanup() { m_pDlg.reset(); }

    void OnInitDialog_SetsControlsAndOffersGroupsSorted() {
        m_pDlg.reset();
        m_machines.AddMachine({10, 0, 0, 1}, "", "office", "", 0);
        m_machines.AddMachine({10, 0, 0, 2}, "", "Laboratory", "", 0);
        m_machines.AddMachine({10, 0, 0, 3}, "", "Lab", "", 0); // a prefix of an earlier group: not offered
        m_machines.AddMachine({10, 0, 0, 4}, "", "Admin", "", 0);
        m_machines.AddMachine({10, 0, 0, 5}, "", "OFFICE", "", 0);
        m_pDlg = std::make_unique<CMassAddDlg>(m_machines, nullptr, 0, nullptr, m_net.Probes());
        QCOMPARE(Dlg().windowTitle(), QStringLiteral("Mass add machines"));
        auto* group = Ctl<QComboBox>(CMassAddDlg::IDC_GROUP);
        QVERIFY(group && group->isEditable());
        QStringList items;
        for (int i = 0; i < group->count(); ++i)
            items << group->itemText(i);
        QCOMPARE(items, (QStringList{"Admin", "Laboratory", "office"}));
        QCOMPARE(group->currentText(), QString());
        auto* slider = Ctl<QSlider>(CMassAddDlg::IDC_WORKERS);
        QCOMPARE(slider->minimum(), 10);
        QCOMPARE(slider->maximum(), 80);
        QCOMPARE(slider->value(), 10);
        QCOMPARE(Ctl<QCheckBox>(CMassAddDlg::IDC_RETRIEVE_NAMES)->text(), QStringLiteral("Retreive names"));
        QVERIFY(!Ctl<QCheckBox>(CMassAddDlg::IDC_RETRIEVE_NAMES)->isChecked());
        auto* list = Ctl<CXListCtrl>(CMassAddDlg::IDC_RESULTS);
        QCOMPARE(list->GetColumns(), 4);
        QCOMPARE(list->IsSingleSelection(), false);
        const int widths[] = {85, 95, 165, 100};
        const char* headings[] = {"IP", "MAC", "Vendor", "Name"};
        for (int c = 0; c < 4; ++c) {
            QCOMPARE(list->columnWidth(c), widths[c]);
            QCOMPARE(list->model()->headerData(c, Qt::Horizontal).toString(), QString(headings[c]));
        }
        QStringList labels;
        for (const QLabel* label : Dlg().findChildren<QLabel*>())
            labels << label->text();
        for (const char* text : {"Start IP:", "End IP:", "Group", "Mild", "Agressive", "Total:"})
            QVERIFY2(labels.contains(QString(text)), text);
        QCOMPARE(Ctl<QPushButton>(CMassAddDlg::IDC_GO)->text(), QStringLiteral("Go"));
        QVERIFY(Ctl<QLabel>(CMassAddDlg::IDC_TOTAL));
        QVERIFY(Ctl<QProgressBar>(CMassAddDlg::IDC_PROGRESS) && Ctl<QPushButton>(CMassAddDlg::IDC_OK));
        QVERIFY(Ctl<QPushButton>(CMassAddDlg::IDC_CANCEL) && Ctl<CIPAddressCtrl>(CMassAddDlg::IDC_END_IP));
    }

    void OnGo_InvalidRangesDoNothing() {
        const std::pair<IpAddress, IpAddress> invalid[] = {
            {{198, 18, 0, 10}, {198, 18, 0, 10}},  // equal
            {{198, 18, 2, 1}, {198, 18, 1, 254}},  // third byte reversed
            {{198, 18, 0, 200}, {198, 18, 0, 20}}, // last byte reversed
            {{198, 19, 0, 1}, {198, 18, 0, 20}},   // second byte reversed: Total would wrap
        };
        for (const auto& [start, end] : invalid) {
            SetRange(start, end);
            Ctl<QPushButton>(CMassAddDlg::IDC_GO)->click();
            QVERIFY(!Dlg().IsScanning());
            QCOMPARE(Ctl<QLabel>(CMassAddDlg::IDC_TOTAL)->text(), QString());
            QVERIFY(Ctl<QPushButton>(CMassAddDlg::IDC_GO)->isEnabled());
        }
        QTest::qWait(50); // room for a probe, which must not come
        QCOMPARE(m_net.nProbes.load(), 0);
        QCOMPARE(Status(), QString());
    }

    void OnGo_ShowsTotalDisablesButtonsAndEndsWithTheCount() {
        m_net.pingTime = std::chrono::milliseconds(2);
        SetRange({198, 18, 0, 1}, {198, 18, 0, 254});
        Ctl<QPushButton>(CMassAddDlg::IDC_GO)->click();
        QVERIFY(Dlg().IsScanning());
        QCOMPARE(Ctl<QLabel>(CMassAddDlg::IDC_TOTAL)->text(), QStringLiteral("253"));
        for (int id : {CMassAddDlg::IDC_GO, CMassAddDlg::IDC_OK, CMassAddDlg::IDC_CANCEL})
            QVERIFY(!Ctl<QPushButton>(id)->isEnabled());
        auto* progress = Ctl<QProgressBar>(CMassAddDlg::IDC_PROGRESS);
        QCOMPARE(progress->maximum(), 254);
        int highest = 0;
        QVERIFY(QTest::qWaitFor(
            [&] {
                highest = std::max(highest, progress->value());
                return !Dlg().IsScanning();
            },
            20000));
        QVERIFY(highest > 0);
        QCOMPARE(progress->value(), 0);
        QCOMPARE(Status(), QStringLiteral("0 addresses found"));
        QCOMPARE(m_net.nProbes.load(), 254);
        for (int id : {CMassAddDlg::IDC_GO, CMassAddDlg::IDC_OK, CMassAddDlg::IDC_CANCEL})
            QVERIFY(Ctl<QPushButton>(id)->isEnabled());
    }

    void OnGo_RangeWithoutAProbedAddressEndsAtOnce() {
        // Valid by the range rule, but its only addresses end in 255 and 0: no worker starts, the scan still ends.
        QVERIFY(ScanAndWait({198, 18, 0, 255}, {198, 18, 1, 0}));
        QCOMPARE(Status(), QStringLiteral("0 addresses found"));
        QCOMPARE(m_net.nProbes.load(), 0);
        QVERIFY(Ctl<QPushButton>(CMassAddDlg::IDC_OK)->isEnabled());
    }

    void OnScanDone_StatusSaysAddressForOneAndAddressesOtherwise() {
        m_net.live = {{"198.18.0.20", "00A0C9120014"}};
        QVERIFY(ScanAndWait({198, 18, 0, 1}, {198, 18, 0, 40}));
        QCOMPARE(Status(), QStringLiteral("1 address found"));
        m_net.live = {{"198.18.0.20", "00A0C9120014"}, {"198.18.0.21", "0000000C0015"}, {"198.18.0.3", "00"}};
        QVERIFY(ScanAndWait({198, 18, 0, 1}, {198, 18, 0, 40}));
        QCOMPARE(Status(), QStringLiteral("3 addresses found"));
        QCOMPARE(Rows(), 3);
    }

    void OnScanFound_ShowsMacAndVendorOrNa() {
        m_net.live = {{"198.18.0.10", "00A0C912000A"}, {"198.18.0.11", "000000000000"}};
        QVERIFY(ScanAndWait({198, 18, 0, 10}, {198, 18, 0, 11}));
        QCOMPARE(Rows(), 2);
        for (int row = 0; row < 2; ++row) {
            const bool known = Cell(row, 0) == "198.18.0.10";
            QCOMPARE(Cell(row, 1), known ? QStringLiteral("00A0C912000A") : QStringLiteral("000000000000"));
            QCOMPARE(Cell(row, 2), known ? QStringLiteral("Intel Corporation") : QStringLiteral("n/a"));
            QCOMPARE(Cell(row, 3), QString());
        }
        // Without a vendor table the column stays empty.
        m_pDlg = std::make_unique<CMassAddDlg>(m_machines, nullptr, 0, nullptr, m_net.Probes());
        QVERIFY(ScanAndWait({198, 18, 0, 10}, {198, 18, 0, 11}));
        QCOMPARE(Rows(), 2);
        QCOMPARE(Cell(0, 2), QString());
    }

    void OnOK_EmptyGroupShowsTheMessageAndKeepsTheRows() {
        m_net.live = {{"198.18.0.10", "00A0C912000A"}};
        QVERIFY(ScanAndWait({198, 18, 0, 1}, {198, 18, 0, 20}));
        const test::CModalDriver driver;
        Ctl<QPushButton>(CMassAddDlg::IDC_OK)->click();
        QCOMPARE(driver.Boxes(),
                 QStringList{QStringLiteral("No group entered, please select existing or enter new group")});
        QVERIFY(Dlg().isVisible());
        QCOMPARE(Dlg().result(), int(QDialog::Rejected));
        QCOMPARE(Rows(), 1);
        QCOMPARE(m_machines.GetCount(), std::size_t{0});
    }

    void OnOK_NewGroupAddsEveryRowInRowOrder() {
        m_machines.AddMachine({10, 0, 0, 1}, "", "Office", "", 0);
        m_pDlg =
            std::make_unique<CMassAddDlg>(m_machines, VendorTableData(), VendorTableSize(), nullptr, m_net.Probes());
        m_pDlg->show();
        for (int i = 10; i < 30; ++i)
            m_net.live["198.18.0." + std::to_string(i)] = "08002012" + std::to_string(1000 + i).substr(0, 4);
        Ctl<QSlider>(CMassAddDlg::IDC_WORKERS)->setValue(80);
        QVERIFY(ScanAndWait({198, 18, 0, 1}, {198, 18, 0, 254}));
        QCOMPARE(Rows(), 20);
        Ctl<CXListCtrl>(CMassAddDlg::IDC_RESULTS)->SetItemSelected(3, true); // selection plays no part
        Ctl<QComboBox>(CMassAddDlg::IDC_GROUP)->lineEdit()->setText(QStringLiteral("Lab 7"));
        Ctl<QPushButton>(CMassAddDlg::IDC_OK)->click();
        QCOMPARE(Dlg().result(), int(QDialog::Accepted));
        const auto machines = Machines(m_machines);
        QCOMPARE(machines.size(), std::size_t{21});
        for (int row = 0; row < 20; ++row) {
            const CMachine& m = machines[static_cast<std::size_t>(row) + 1];
            QCOMPARE(QString::fromStdString(FormatAddress(m.m_ip)), Cell(row, 0));
            QCOMPARE(QString::fromStdString(m.m_strMac), Cell(row, 1));
            QCOMPARE(m.m_strGroup, std::string("Lab 7"));
            QCOMPARE(m.m_strName, std::string());
            QCOMPARE(m.m_bExcluded, 0);
            QCOMPARE(m.m_bNotify, 0);
            QCOMPARE(m.m_bNotifyOffline, 0);
        }
    }

    void RetrieveNames_OnFillsNamesOrNaAndOkAddsThem() {
        m_net.live = {{"198.18.0.10", "00A0C912000A"}, {"198.18.0.11", "00A0C912000B"}};
        m_net.names = {{"198.18.0.10", "host10.lanwick.test"}};
        m_net.nameTime = std::chrono::milliseconds(1000); // slower than the sweep: the scan waits for the names
        Ctl<QCheckBox>(CMassAddDlg::IDC_RETRIEVE_NAMES)->setChecked(true);
        SetRange({198, 18, 0, 1}, {198, 18, 0, 20});
        Ctl<QPushButton>(CMassAddDlg::IDC_GO)->click();
        QVERIFY(QTest::qWaitFor([this] { return Rows() == 2; }, 10000));
        QCOMPARE(Cell(0, 3), QString()); // rows come at once, their names later
        QVERIFY(Dlg().IsScanning());
        QVERIFY(QTest::qWaitFor([this] { return !Dlg().IsScanning(); }, 10000));
        for (int row = 0; row < 2; ++row)
            QCOMPARE(Cell(row, 3),
                     Cell(row, 0) == "198.18.0.10" ? QStringLiteral("host10.lanwick.test") : QStringLiteral("n/a"));
        Ctl<QComboBox>(CMassAddDlg::IDC_GROUP)->lineEdit()->setText(QStringLiteral("Named"));
        Ctl<QPushButton>(CMassAddDlg::IDC_OK)->click();
        const auto machines = Machines(m_machines);
        QCOMPARE(machines.size(), std::size_t{2});
        QCOMPARE(QString::fromStdString(machines[0].m_strName), Cell(0, 3));
        QCOMPARE(QString::fromStdString(machines[1].m_strName), Cell(1, 3));
    }

    void RetrieveNames_OffLeavesNamesEmpty() {
        m_net.live = {{"198.18.0.10", "00A0C912000A"}};
        m_net.names = {{"198.18.0.10", "host10.lanwick.test"}};
        QVERIFY(ScanAndWait({198, 18, 0, 1}, {198, 18, 0, 20}));
        QCOMPARE(Cell(0, 3), QString());
    }

    void Slider_GivesTheWorkerCount() {
        m_net.pingTime = std::chrono::milliseconds(10);
        QVERIFY(ScanAndWait({198, 18, 0, 1}, {198, 18, 0, 254}));
        QVERIFY(m_net.nPeak.load() <= 10);
        m_net.nPeak = 0;
        Ctl<QSlider>(CMassAddDlg::IDC_WORKERS)->setValue(80);
        QVERIFY(ScanAndWait({198, 18, 0, 1}, {198, 18, 0, 254}));
        QVERIFY(m_net.nPeak.load() > 10);
        QVERIFY(m_net.nPeak.load() <= 80);
    }

    void Close_DuringAScanStopsTheWorkersThenCloses() {
        m_net.pingTime = std::chrono::milliseconds(50);
        SetRange({198, 18, 0, 1}, {198, 18, 0, 254});
        Ctl<QPushButton>(CMassAddDlg::IDC_GO)->click();
        QTRY_VERIFY_WITH_TIMEOUT(m_net.nProbes.load() > 0, 5000);
        QTest::keyClick(m_pDlg.get(), Qt::Key_Escape);
        QVERIFY(Dlg().isVisible()); // not gone while workers still report
        QVERIFY(QTest::qWaitFor([this] { return !Dlg().isVisible(); }, 10000));
        QCOMPARE(Dlg().result(), int(QDialog::Rejected));
        QVERIFY(!Dlg().IsScanning());
        QVERIFY(m_net.nProbes.load() < 100);
        QCOMPARE(m_machines.GetCount(), std::size_t{0});
    }

    void Close_BoxDuringAScanIsHeldUntilTheWorkersEnd() {
        m_net.pingTime = std::chrono::milliseconds(20);
        SetRange({198, 18, 0, 1}, {198, 18, 0, 254});
        Ctl<QPushButton>(CMassAddDlg::IDC_GO)->click();
        QVERIFY(!Dlg().close());
        QVERIFY(QTest::qWaitFor([this] { return !Dlg().isVisible(); }, 10000));
    }

    void Destroy_DuringAScanWaitsForTheWorkers() {
        m_net.pingTime = std::chrono::milliseconds(20);
        m_net.live = {{"198.18.0.5", "00A0C9120005"}};
        SetRange({198, 18, 0, 1}, {198, 18, 0, 254});
        Ctl<QPushButton>(CMassAddDlg::IDC_GO)->click();
        QTRY_VERIFY_WITH_TIMEOUT(m_net.nProbes.load() > 0, 5000);
        m_pDlg.reset();
        const int probes = m_net.nProbes.load();
        QTest::qWait(100); // queued reports for the gone dialog are dropped, and no worker probes on
        QCOMPARE(m_net.nProbes.load(), probes);
    }

    void Run_CancelAddsNothingAndOkWithAGroupReturnsTrue() {
        m_pDlg.reset();
        {
            const test::CModalDriver cancel(
                [](QWidget* dlg) { FindControl<QPushButton>(dlg, CMassAddDlg::IDC_CANCEL)->click(); });
            QVERIFY(!CMassAddDlg::Run(nullptr, m_machines, VendorTableData(), VendorTableSize()));
        }
        const test::CModalDriver ok([](QWidget* dlg) {
            FindControl<QComboBox>(dlg, CMassAddDlg::IDC_GROUP)->lineEdit()->setText(QStringLiteral("G"));
            FindControl<QPushButton>(dlg, CMassAddDlg::IDC_OK)->click();
        });
        QVERIFY(CMassAddDlg::Run(nullptr, m_machines, VendorTableData(), VendorTableSize()));
        QCOMPARE(m_machines.GetCount(), std::size_t{0});
    }
};

QTEST_MAIN(TestMassAddDlg)
#include "tst_MassAddDlg.moc"
