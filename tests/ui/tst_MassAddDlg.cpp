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
#include <thread>

using namespace lanwick;
using std::chrono::milliseconds;

namespace {

// Answers for the addresses it is given; counts probes and the most probes in flight at once.
struct CFakeNet {
    std::map<std::string, std::string> live; // address -> MAC
    std::map<std::string, std::string> names;
    milliseconds pingTime{0};
    milliseconds nameTime{0};
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

} // namespace

class TestMassAddDlg : public QObject {
    Q_OBJECT

    CMachineList m_machines;
    CFakeNet m_net;
    std::unique_ptr<CMassAddDlg> m_pDlg;

    template <class T>
    T* Ctl(int id) {
        return FindControl<T>(m_pDlg.get(), id);
    }
    void Open(const char* pVendorTable = VendorTableData(), std::size_t nSize = VendorTableSize()) {
        m_pDlg = std::make_unique<CMassAddDlg>(m_machines, pVendorTable, nSize, nullptr, m_net.Probes());
        m_pDlg->show();
    }
    void Go(const IpAddress& start, const IpAddress& end) {
        Ctl<CIPAddressCtrl>(CMassAddDlg::IDC_START_IP)->SetAddress(start);
        Ctl<CIPAddressCtrl>(CMassAddDlg::IDC_END_IP)->SetAddress(end);
        Ctl<QPushButton>(CMassAddDlg::IDC_GO)->click();
    }
    bool ScanAndWait(const IpAddress& start, const IpAddress& end) {
        Go(start, end);
        return QTest::qWaitFor([this] { return !m_pDlg->IsScanning(); }, 20000);
    }
    // Each row as "address mac vendor name".
    QStringList Rows() {
        auto* list = Ctl<CXListCtrl>(CMassAddDlg::IDC_RESULTS);
        QStringList rows;
        for (int row = 0; row < list->GetItemCount(); ++row)
            rows << QStringList({list->GetItemText(row, 0), list->GetItemText(row, 1), list->GetItemText(row, 2),
                                 list->GetItemText(row, 3)})
                        .join(' ');
        return rows;
    }
    QString Status() { return Ctl<QLabel>(CMassAddDlg::IDC_STATUS)->text(); }
    QList<bool> ButtonsEnabled() {
        return {Ctl<QPushButton>(CMassAddDlg::IDC_GO)->isEnabled(), Ctl<QPushButton>(CMassAddDlg::IDC_OK)->isEnabled(),
                Ctl<QPushButton>(CMassAddDlg::IDC_CANCEL)->isEnabled()};
    }
    void OkWithGroup(const QString& group) {
        Ctl<QComboBox>(CMassAddDlg::IDC_GROUP)->lineEdit()->setText(group);
        Ctl<QPushButton>(CMassAddDlg::IDC_OK)->click();
    }

private slots:
    void init() {
        m_machines.RemoveAllMachines();
        m_net.live.clear();
        m_net.names.clear();
        m_net.pingTime = m_net.nameTime = milliseconds(0);
        m_net.nProbes = 0;
        m_net.nPeak = 0;
    }
    void cleanup() { m_pDlg.reset(); }

    void Opening_TextsColumnsAndGroupsSorted() {
        m_machines.AddMachine({10, 0, 0, 1}, "", "office", "", 0);
        m_machines.AddMachine({10, 0, 0, 2}, "", "Laboratory", "", 0);
        m_machines.AddMachine({10, 0, 0, 3}, "", "Lab", "", 0); // a prefix of an earlier group: not offered
        m_machines.AddMachine({10, 0, 0, 4}, "", "Admin", "", 0);
        m_machines.AddMachine({10, 0, 0, 5}, "", "OFFICE", "", 0);
        Open(nullptr, 0);
        QCOMPARE(m_pDlg->windowTitle(), QStringLiteral("Mass add machines"));
        auto* group = Ctl<QComboBox>(CMassAddDlg::IDC_GROUP);
        QVERIFY(group->isEditable());
        QCOMPARE(QStringList({group->itemText(0), group->itemText(1), group->itemText(2), group->currentText()}),
                 QStringList({"Admin", "Laboratory", "office", ""}));
        QCOMPARE(group->count(), 3);
        auto* slider = Ctl<QSlider>(CMassAddDlg::IDC_WORKERS);
        QCOMPARE(QList<int>({slider->minimum(), slider->maximum(), slider->value()}), QList<int>({10, 80, 10}));
        QCOMPARE(Ctl<QCheckBox>(CMassAddDlg::IDC_RETRIEVE_NAMES)->text(), QStringLiteral("Retreive names"));
        QVERIFY(!Ctl<QCheckBox>(CMassAddDlg::IDC_RETRIEVE_NAMES)->isChecked());
        auto* list = Ctl<CXListCtrl>(CMassAddDlg::IDC_RESULTS);
        QVERIFY(!list->IsSingleSelection());
        QStringList columns;
        for (int c = 0; c < list->GetColumns(); ++c)
            columns << list->model()->headerData(c, Qt::Horizontal).toString() + " " +
                           QString::number(list->columnWidth(c));
        QCOMPARE(columns, QStringList({"IP 85", "MAC 95", "Vendor 165", "Name 100"}));
        QStringList labels;
        for (const QLabel* label : m_pDlg->findChildren<QLabel*>())
            labels << label->text();
        for (const char* text : {"Start IP:", "End IP:", "Group", "Mild", "Agressive", "Total:"})
            QVERIFY2(labels.contains(QString(text)), text);
        QCOMPARE(Ctl<QPushButton>(CMassAddDlg::IDC_GO)->text(), QStringLiteral("Go"));
    }

    void Go_InvalidRangesDoNothing() {
        Open();
        const std::pair<IpAddress, IpAddress> invalid[] = {
            {{198, 18, 0, 10}, {198, 18, 0, 10}},  // equal
            {{198, 18, 2, 1}, {198, 18, 1, 254}},  // third byte reversed
            {{198, 18, 0, 200}, {198, 18, 0, 20}}, // last byte reversed
            {{198, 19, 0, 1}, {198, 18, 0, 20}},   // second byte reversed: Total would wrap
        };
        for (const auto& [start, end] : invalid) {
            Go(start, end);
            QVERIFY(!m_pDlg->IsScanning());
            QCOMPARE(Ctl<QLabel>(CMassAddDlg::IDC_TOTAL)->text(), QString());
            QVERIFY(Ctl<QPushButton>(CMassAddDlg::IDC_GO)->isEnabled());
        }
        QTest::qWait(50); // room for a probe, which must not come
        QCOMPARE(m_net.nProbes.load(), 0);
        QCOMPARE(Status(), QString());
        // Valid by the range rule, but its only addresses end in 255 and 0: no worker starts, the scan still ends.
        QVERIFY(ScanAndWait({198, 18, 0, 255}, {198, 18, 1, 0}));
        QCOMPARE(Status(), QStringLiteral("0 addresses found"));
        QCOMPARE(m_net.nProbes.load(), 0);
        QCOMPARE(ButtonsEnabled(), QList<bool>({true, true, true}));
    }

    void Go_ShowsTotalDisablesButtonsAndEndsWithTheCount() {
        Open();
        m_net.pingTime = milliseconds(2);
        Go({198, 18, 0, 1}, {198, 18, 0, 254});
        QVERIFY(m_pDlg->IsScanning());
        QCOMPARE(Ctl<QLabel>(CMassAddDlg::IDC_TOTAL)->text(), QStringLiteral("253"));
        QCOMPARE(ButtonsEnabled(), QList<bool>({false, false, false}));
        auto* progress = Ctl<QProgressBar>(CMassAddDlg::IDC_PROGRESS);
        QCOMPARE(progress->maximum(), 254);
        int highest = 0;
        QVERIFY(QTest::qWaitFor(
            [&] {
                highest = std::max(highest, progress->value());
                return !m_pDlg->IsScanning();
            },
            20000));
        QVERIFY(highest > 0);
        QCOMPARE(progress->value(), 0);
        QCOMPARE(Status(), QStringLiteral("0 addresses found"));
        QCOMPARE(m_net.nProbes.load(), 254);
        QCOMPARE(ButtonsEnabled(), QList<bool>({true, true, true}));
    }

    // Rows with MAC and vendor ("n/a" for the zero MAC, empty without a table), names only when asked for.
    void Scan_RowsStatusAndNames() {
        m_net.live = {{"198.18.0.10", "00A0C912000A"}, {"198.18.0.11", "000000000000"}};
        m_net.names = {{"198.18.0.10", "host10.lanwick.test"}};
        Open();
        QVERIFY(ScanAndWait({198, 18, 0, 10}, {198, 18, 0, 11}));
        QCOMPARE(Status(), QStringLiteral("2 addresses found"));
        QStringList rows = Rows();
        rows.sort();
        QCOMPARE(rows, QStringList({"198.18.0.10 00A0C912000A Intel Corporation ", "198.18.0.11 000000000000 n/a "}));

        m_net.nameTime = milliseconds(1000); // slower than the sweep: the scan waits for the names
        Ctl<QCheckBox>(CMassAddDlg::IDC_RETRIEVE_NAMES)->setChecked(true);
        Go({198, 18, 0, 1}, {198, 18, 0, 20});
        QVERIFY(QTest::qWaitFor([this] { return Rows().size() == 2; }, 10000));
        QVERIFY(Rows()[0].endsWith(' ')); // rows come at once, their names later
        QVERIFY(m_pDlg->IsScanning());
        QVERIFY(QTest::qWaitFor([this] { return !m_pDlg->IsScanning(); }, 10000));
        rows = Rows();
        rows.sort();
        QCOMPARE(rows, QStringList({"198.18.0.10 00A0C912000A Intel Corporation host10.lanwick.test",
                                    "198.18.0.11 000000000000 n/a n/a"}));
        OkWithGroup("Named");
        QCOMPARE(m_machines.GetCount(), std::size_t{2});
        for (m_machines.ResetCursor(); CMachine* m = m_machines.GetNextMachine();)
            QVERIFY(Rows().contains(QString::fromStdString(FormatAddress(m->m_ip) + " " + m->m_strMac) + " " +
                                    (m->m_strMac == "000000000000" ? "n/a " : "Intel Corporation ") +
                                    QString::fromStdString(m->m_strName)));

        m_net.live = {{"198.18.0.20", "00A0C9120014"}};
        Open(nullptr, 0);
        QVERIFY(ScanAndWait({198, 18, 0, 1}, {198, 18, 0, 40}));
        QCOMPARE(Status(), QStringLiteral("1 address found"));
        QCOMPARE(Rows(), QStringList{"198.18.0.20 00A0C9120014  "});
    }

    void Ok_NeedsAGroupThenAddsEveryRowInRowOrder() {
        m_machines.AddMachine({10, 0, 0, 1}, "", "Office", "", 0);
        Open();
        for (int i = 10; i < 30; ++i)
            m_net.live["198.18.0." + std::to_string(i)] = "08002012" + std::to_string(1000 + i).substr(0, 4);
        Ctl<QSlider>(CMassAddDlg::IDC_WORKERS)->setValue(80);
        QVERIFY(ScanAndWait({198, 18, 0, 1}, {198, 18, 0, 254}));
        const QStringList rows = Rows();
        QCOMPARE(rows.size(), 20);
        const test::CModalDriver driver;
        Ctl<QPushButton>(CMassAddDlg::IDC_OK)->click();
        QCOMPARE(driver.Boxes(),
                 QStringList{QStringLiteral("No group entered, please select existing or enter new group")});
        QVERIFY(m_pDlg->isVisible());
        QCOMPARE(m_pDlg->result(), int(QDialog::Rejected));
        QCOMPARE(Rows(), rows);
        QCOMPARE(m_machines.GetCount(), std::size_t{1});

        Ctl<CXListCtrl>(CMassAddDlg::IDC_RESULTS)->SetItemSelected(3, true); // selection plays no part
        OkWithGroup("Lab 7");
        QCOMPARE(m_pDlg->result(), int(QDialog::Accepted));
        QCOMPARE(m_machines.GetCount(), std::size_t{21});
        m_machines.ResetCursor();
        m_machines.GetNextMachine();
        for (const QString& row : rows) {
            const CMachine* m = m_machines.GetNextMachine();
            QCOMPARE(QString::fromStdString(FormatAddress(m->m_ip) + " " + m->m_strMac), row.section(' ', 0, 1));
            QCOMPARE(QString::fromStdString(m->m_strGroup + "|" + m->m_strName), QStringLiteral("Lab 7|"));
            QCOMPARE(QList<int>({m->m_bExcluded, m->m_bNotify, m->m_bNotifyOffline}), QList<int>({0, 0, 0}));
        }
    }

    void Slider_GivesTheWorkerCount() {
        Open();
        m_net.pingTime = milliseconds(10);
        QVERIFY(ScanAndWait({198, 18, 0, 1}, {198, 18, 0, 254}));
        QVERIFY(m_net.nPeak.load() <= 10);
        m_net.nPeak = 0;
        m_net.pingTime = milliseconds(200); // long enough for more than ten to overlap on a slow, busy machine
        Ctl<QSlider>(CMassAddDlg::IDC_WORKERS)->setValue(80);
        QVERIFY(ScanAndWait({198, 18, 0, 1}, {198, 18, 0, 254}));
        QVERIFY(m_net.nPeak.load() > 10 && m_net.nPeak.load() <= 80);
    }

    // Escape and the window's close box are held until the workers end; a destroyed dialog waits for them.
    void Close_DuringAScanWaitsForTheWorkers() {
        Open();
        m_net.pingTime = milliseconds(200);
        Go({198, 18, 0, 1}, {198, 18, 0, 254});
        QTRY_VERIFY_WITH_TIMEOUT(m_net.nProbes.load() > 0, 5000);
        QTest::keyClick(m_pDlg.get(), Qt::Key_Escape);
        QVERIFY(m_pDlg->isVisible()); // not gone while workers still report
        QVERIFY(QTest::qWaitFor([this] { return !m_pDlg->isVisible(); }, 10000));
        QCOMPARE(m_pDlg->result(), int(QDialog::Rejected));
        QVERIFY(!m_pDlg->IsScanning());
        QVERIFY(m_net.nProbes.load() < 100);
        QCOMPARE(m_machines.GetCount(), std::size_t{0});

        Open();
        m_net.pingTime = milliseconds(20);
        Go({198, 18, 0, 1}, {198, 18, 0, 254});
        QVERIFY(!m_pDlg->close());
        QVERIFY(QTest::qWaitFor([this] { return !m_pDlg->isVisible(); }, 10000));

        m_net.live = {{"198.18.0.5", "00A0C9120005"}};
        m_net.nProbes = 0;
        Open();
        Go({198, 18, 0, 1}, {198, 18, 0, 254});
        QTRY_VERIFY_WITH_TIMEOUT(m_net.nProbes.load() > 0, 5000);
        m_pDlg.reset();
        const int probes = m_net.nProbes.load();
        QTest::qWait(100); // queued reports for the gone dialog are dropped, and no worker probes on
        QCOMPARE(m_net.nProbes.load(), probes);
    }

    void Run_CancelAddsNothingAndOkWithAGroupReturnsTrue() {
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
