// The settings sheet on the offscreen platform: its pages and texts, the bounds of each number with the focus in
// the refused box, pages never opened keeping their values, Browse, the spin buttons, and a round trip of the
// confirmed values through the settings file.
#include "monitor/Settings.h"
#include "support/Controls.h"
#include "support/ModalDriver.h"
#include "support/TempDir.h"
#include "ui/SettingsSheet.h"
#include "ui/SpinButton.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using namespace lanwick;
using test::Control;
using test::RunModal;

namespace {

SettingsValues Sample() {
    SettingsValues v;
    v.bShowPingTime = 1;
    v.bHideExcluded = 0;
    v.strDefFile = "/srv/lanwick/machines.xml";
    v.nRetries = 3;
    v.nPause = 250;
    v.bMonitor = 1;
    v.nRefresh = 60;
    return v;
}

bool Same(const SettingsValues& a, const SettingsValues& b) {
    return a.bShowPingTime == b.bShowPingTime && a.bHideExcluded == b.bHideExcluded && a.strDefFile == b.strDefFile &&
           a.nRetries == b.nRetries && a.nPause == b.nPause && a.bMonitor == b.bMonitor && a.nRefresh == b.nRefresh;
}

QTabBar* Tabs(QWidget* sheet) {
    return Control<QTabBar>(sheet, CPropertySheet::IDC_TAB_CONTROL);
}

void ClickOk(QWidget* sheet) {
    Control<QPushButton>(sheet, CPropertySheet::IDC_OK)->click();
}

// Shows the sheet, brings `page` to the front, puts `text` into box `id` and presses OK; the message boxes shown.
QStringList OkWithText(CSettingsSheet& sheet, int page, int id, const QString& text) {
    sheet.show();
    sheet.SetActivePage(page);
    Control<QLineEdit>(&sheet, id)->setText(text);
    return RunModal([&] { ClickOk(&sheet); });
}

} // namespace

class TestSettingsSheet : public QObject {
    Q_OBJECT
private slots:
    void Opening_TitlePagesButtonsAndTheFirstPageFilled() {
        CSettingsSheet sheet(Sample());
        sheet.show();
        QCOMPARE(sheet.windowTitle(), QStringLiteral("Settings..."));
        QTabBar* tabs = Tabs(&sheet);
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(0), QStringLiteral("General"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("Scanning"));
        QCOMPARE(tabs->tabText(2), QStringLiteral("Monitoring"));
        QCOMPARE(sheet.GetActiveIndex(), 0);
        QCOMPARE(FindControl(&sheet, CGenSetPp::IDD), sheet.GeneralPage());
        QCOMPARE(FindControl(&sheet, CScanSetPp::IDD), sheet.ScanningPage());
        QCOMPARE(FindControl(&sheet, CMonSetPp::IDD), sheet.MonitoringPage());
        QVERIFY(Control<QPushButton>(&sheet, CPropertySheet::IDC_OK)->isVisible());
        QVERIFY(Control<QPushButton>(&sheet, CPropertySheet::IDC_CANCEL)->isVisible());
        QVERIFY(!Control<QPushButton>(&sheet, CPropertySheet::IDC_APPLY_NOW)->isVisible());

        QWidget* general = sheet.GeneralPage();
        QCOMPARE(Control<QCheckBox>(general, 1030)->text(),
                 QStringLiteral("Display ping time in ms instead of Yes/No"));
        QVERIFY(Control<QCheckBox>(general, 1030)->isChecked());
        QCOMPARE(Control<QCheckBox>(general, 1026)->text(), QStringLiteral("Hide excluded machines"));
        QVERIFY(!Control<QCheckBox>(general, 1026)->isChecked());
        QCOMPARE(Control<QLineEdit>(general, 1034)->text(), QStringLiteral("/srv/lanwick/machines.xml"));
        QCOMPARE(Control<QPushButton>(general, 1035)->text(), QStringLiteral("Browse..."));
        // Pages not yet shown have not filled their boxes.
        QVERIFY(!sheet.ScanningPage()->IsCreated());
        QCOMPARE(Control<QLineEdit>(sheet.ScanningPage(), 1028)->text(), QString());
    }

    void LaterPages_FillWhenFirstShownWithTheirTexts() {
        CSettingsSheet sheet(Sample());
        sheet.show();
        QTest::mouseClick(Tabs(&sheet), Qt::LeftButton, {}, Tabs(&sheet)->tabRect(1).center());
        QCOMPARE(sheet.GetActiveIndex(), 1);
        QWidget* scan = sheet.ScanningPage();
        QCOMPARE(Control<QLineEdit>(scan, 1028)->text(), QStringLiteral("3"));
        QCOMPARE(Control<QLineEdit>(scan, 1033)->text(), QStringLiteral("250"));
        QVERIFY(FindControl<CSpinButton>(scan, 1029));
        QStringList labels;
        for (QLabel* l : scan->findChildren<QLabel*>())
            labels << l->text();
        QCOMPARE(labels, QStringList({"Retries:", "Pause for", "ms between retries"}));

        QVERIFY(sheet.SetActivePage(2));
        QWidget* mon = sheet.MonitoringPage();
        QCOMPARE(Control<QCheckBox>(mon, 1031)->text(), QStringLiteral("Monitoring on"));
        QVERIFY(Control<QCheckBox>(mon, 1031)->isChecked());
        QCOMPARE(Control<QLineEdit>(mon, 1032)->text(), QStringLiteral("60"));
        labels.clear();
        for (QLabel* l : mon->findChildren<QLabel*>())
            labels << l->text();
        QCOMPARE(labels, QStringList({"Refresh every", "seconds"}));
    }

    void Pause_ZeroAnd5001RefusedWithFocusInTheBox_OneAnd5000Taken() {
        for (const QString& bad : {QStringLiteral("0"), QStringLiteral("5001")}) {
            CSettingsSheet sheet(Sample());
            const QStringList boxes = OkWithText(sheet, 1, CScanSetPp::IDC_PAUSE, bad);
            QCOMPARE(boxes, QStringList{QStringLiteral("Please enter an integer between 1 and 5000.")});
            QVERIFY(sheet.isVisible());
            QCOMPARE(sheet.result(), 0);
            QCOMPARE(sheet.GetActiveIndex(), 1);
            QCOMPARE(sheet.focusWidget(), FindControl(sheet.ScanningPage(), CScanSetPp::IDC_PAUSE));
            QCOMPARE(Control<QLineEdit>(sheet.ScanningPage(), CScanSetPp::IDC_PAUSE)->selectedText(), bad);
        }
        for (int good : {1, 5000}) {
            CSettingsSheet sheet(Sample());
            QVERIFY(OkWithText(sheet, 1, CScanSetPp::IDC_PAUSE, QString::number(good)).isEmpty());
            QCOMPARE(sheet.result(), static_cast<int>(QDialog::Accepted));
            QCOMPARE(sheet.Values().nPause, good);
        }
    }

    void Pause_NotAnUnsignedNumberNamesThatRule() {
        for (const QString& bad :
             {QString(), QStringLiteral("-1"), QStringLiteral("1e3"), QStringLiteral("4294967296")}) {
            CSettingsSheet sheet(Sample());
            const QStringList boxes = OkWithText(sheet, 1, CScanSetPp::IDC_PAUSE, bad);
            QCOMPARE(boxes, QStringList{QStringLiteral("Please enter an unsigned integer.")});
            QCOMPARE(sheet.result(), 0);
        }
    }

    void Refresh_NineAnd86401Refused_TenAnd86400Taken() {
        for (const QString& bad : {QStringLiteral("9"), QStringLiteral("86401")}) {
            CSettingsSheet sheet(Sample());
            const QStringList boxes = OkWithText(sheet, 2, CMonSetPp::IDC_REFRESH, bad);
            QCOMPARE(boxes, QStringList{QStringLiteral("Please enter an integer between 10 and 86400.")});
            QCOMPARE(sheet.result(), 0);
            QCOMPARE(sheet.focusWidget(), FindControl(sheet.MonitoringPage(), CMonSetPp::IDC_REFRESH));
        }
        for (int good : {10, 86400}) {
            CSettingsSheet sheet(Sample());
            QVERIFY(OkWithText(sheet, 2, CMonSetPp::IDC_REFRESH, QString::number(good)).isEmpty());
            QCOMPARE(sheet.result(), static_cast<int>(QDialog::Accepted));
            QCOMPARE(sheet.Values().nRefresh, good);
        }
        CSettingsSheet sheet(Sample());
        QCOMPARE(OkWithText(sheet, 2, CMonSetPp::IDC_REFRESH, QStringLiteral("ten")),
                 QStringList{QStringLiteral("Please enter an unsigned integer.")});
    }

    void Retries_256AndEmptyRefused_ZeroAnd255Taken() {
        for (const QString& bad : {QStringLiteral("256"), QString()}) {
            CSettingsSheet sheet(Sample());
            const QStringList boxes = OkWithText(sheet, 1, CScanSetPp::IDC_RETRIES, bad);
            QCOMPARE(boxes, QStringList{QStringLiteral("Please enter an integer between 0 and 255.")});
            QCOMPARE(sheet.focusWidget(), FindControl(sheet.ScanningPage(), CScanSetPp::IDC_RETRIES));
        }
        for (unsigned good : {0u, 255u}) {
            CSettingsSheet sheet(Sample());
            QVERIFY(OkWithText(sheet, 1, CScanSetPp::IDC_RETRIES, QString::number(good)).isEmpty());
            QCOMPARE(sheet.Values().nRetries, good);
        }
    }

    void Retries_BoxTakesDigitsOnly() {
        CSettingsSheet sheet(Sample());
        sheet.show();
        sheet.SetActivePage(1);
        auto* retries = Control<QLineEdit>(&sheet, CScanSetPp::IDC_RETRIES);
        retries->clear();
        QTest::keyClicks(retries, QStringLiteral("1a-2 "));
        QCOMPARE(retries->text(), QStringLiteral("12"));
    }

    void LeavingARefusedPage_KeepsItsTabInFront() {
        CSettingsSheet sheet(Sample());
        sheet.show();
        sheet.SetActivePage(1);
        Control<QLineEdit>(&sheet, CScanSetPp::IDC_PAUSE)->setText("0");
        QTabBar* tabs = Tabs(&sheet);
        const QStringList boxes =
            RunModal([&] { QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center()); });
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(sheet.GetActiveIndex(), 1);
        QCOMPARE(tabs->currentIndex(), 1);
        QVERIFY(!sheet.MonitoringPage()->IsCreated());
        // Once corrected, the tab can be left (here with Ctrl+Tab).
        Control<QLineEdit>(&sheet, CScanSetPp::IDC_PAUSE)->setText("1");
        QTest::keyClick(Control<QLineEdit>(&sheet, CScanSetPp::IDC_PAUSE), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(sheet.GetActiveIndex(), 2);
        QCOMPARE(tabs->currentIndex(), 2);
    }

    void OkAtOnce_PagesNeverShownReturnTheirValuesEvenOutOfRange() {
        SettingsValues given = Sample();
        given.nRefresh = 5;   // as a hand-edited settings file may hold
        given.nPause = 0;     // below the page's range
        given.nRetries = 300; // beyond what the page accepts
        std::optional<SettingsValues> got;
        const QStringList boxes =
            RunModal([&] { got = RunSettingsSheet(nullptr, given); }, [](QWidget* sheet) { ClickOk(sheet); });
        QVERIFY(boxes.isEmpty());
        QVERIFY(got);
        QVERIFY(Same(*got, given));
    }

    void PagesLeftUnchanged_ReturnTheirValues_ChangesOnLeftPagesComeBack() {
        CSettingsSheet sheet(Sample());
        sheet.show();
        QVERIFY(sheet.SetActivePage(1));
        QVERIFY(sheet.SetActivePage(2));
        QVERIFY(sheet.SetActivePage(0));
        QVERIFY(Same(sheet.Values(), Sample()));

        QVERIFY(sheet.SetActivePage(1));
        Control<QLineEdit>(&sheet, CScanSetPp::IDC_RETRIES)->setText("7");
        QVERIFY(sheet.SetActivePage(0));
        Control<QCheckBox>(&sheet, CGenSetPp::IDC_HIDE_EXCLUDED)->setChecked(true);
        QVERIFY(sheet.SetActivePage(2));
        Control<QCheckBox>(&sheet, CMonSetPp::IDC_MONITOR)->setChecked(false);
        QVERIFY(RunModal([&] { ClickOk(&sheet); }).isEmpty());
        const SettingsValues v = sheet.Values();
        QCOMPARE(v.nRetries, 7u);
        QCOMPARE(v.bHideExcluded, 1);
        QCOMPARE(v.bMonitor, 0);
        QCOMPARE(v.nPause, 250);
    }

    void Cancel_ReturnsNothingAfterChangesAndAfterBrowse() {
        std::optional<SettingsValues> got = Sample();
        int picks = 0;
        RunModal(
            [&] {
                got = RunSettingsSheet(nullptr, Sample(), [&](QWidget*) {
                    ++picks;
                    return std::optional<std::string>("/tmp/other.xml");
                });
            },
            [](QWidget* sheet) {
                Control<QPushButton>(sheet, CGenSetPp::IDC_BROWSE)->click();
                QCOMPARE(Control<QLineEdit>(sheet, CGenSetPp::IDC_DEF_FILE)->text(), QStringLiteral("/tmp/other.xml"));
                Control<QPushButton>(sheet, CPropertySheet::IDC_CANCEL)->click();
            });
        QCOMPARE(picks, 1);
        QVERIFY(!got);
    }

    void Browse_ChangesOnlyTheFileBoxAndOkReturnsThePath() {
        CSettingsSheet sheet(Sample());
        std::optional<std::string> answer = "/home/op/lab.xml";
        sheet.SetFilePicker([&](QWidget* parent) {
            if (parent != sheet.GeneralPage())
                qFatal("file dialog without the page as parent");
            return answer;
        });
        sheet.show();
        auto* ping = Control<QCheckBox>(&sheet, CGenSetPp::IDC_SHOW_PING_TIME);
        auto* hide = Control<QCheckBox>(&sheet, CGenSetPp::IDC_HIDE_EXCLUDED);
        ping->setChecked(false);
        hide->setChecked(true);
        Control<QPushButton>(&sheet, CGenSetPp::IDC_BROWSE)->click();
        QCOMPARE(Control<QLineEdit>(&sheet, CGenSetPp::IDC_DEF_FILE)->text(), QStringLiteral("/home/op/lab.xml"));
        QVERIFY(!ping->isChecked());
        QVERIFY(hide->isChecked());
        // A cancelled dialog leaves the box as it is.
        answer.reset();
        Control<QPushButton>(&sheet, CGenSetPp::IDC_BROWSE)->click();
        QCOMPARE(Control<QLineEdit>(&sheet, CGenSetPp::IDC_DEF_FILE)->text(), QStringLiteral("/home/op/lab.xml"));
        ClickOk(&sheet);
        const SettingsValues v = sheet.Values();
        QCOMPARE(v.strDefFile, std::string("/home/op/lab.xml"));
        QCOMPARE(v.bShowPingTime, 0);
        QCOMPARE(v.bHideExcluded, 1);
    }

    void FileDialog_XmlFilterDefaultExtensionNoInitialName() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QStringList filters;
        QString suffix;
        QString initialName = QStringLiteral("unset");
        std::optional<std::string> picked;
        RunModal([&] { picked = PickXmlFile(nullptr); },
                 [&](QWidget* modal) {
                     auto* dialog = qobject_cast<QFileDialog*>(modal);
                     if (!dialog)
                         qFatal("no file dialog");
                     filters = dialog->nameFilters();
                     suffix = dialog->defaultSuffix();
                     initialName = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
                     dialog->setDirectory(dir.path());
                     dialog->selectFile(QStringLiteral("lab"));
                     static_cast<QDialog*>(dialog)->accept(); // QFileDialog hides its override
                 });
        QCOMPARE(filters, QStringList{QStringLiteral("XML Files (*.xml)")});
        QCOMPARE(suffix, QStringLiteral("xml"));
        QCOMPARE(initialName, QString());
        QVERIFY(picked);
        QCOMPARE(QString::fromStdString(*picked), dir.filePath(QStringLiteral("lab.xml")));

        RunModal([&] { picked = PickXmlFile(nullptr); },
                 [](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
        QVERIFY(!picked);
    }

    void SpinButtons_UpRaisesDownLowersWithinThePagesRange() {
        CSettingsSheet sheet(Sample());
        sheet.show();
        sheet.SetActivePage(2);
        auto* refresh = Control<QLineEdit>(&sheet, CMonSetPp::IDC_REFRESH);
        auto* spin = Control<CSpinButton>(sheet.MonitoringPage(), CMonSetPp::IDC_SPIN);
        QCOMPARE(spin->geometry().left(), refresh->geometry().right() + 1);
        for (QLabel* label : sheet.MonitoringPage()->findChildren<QLabel*>())
            if (label->text() == QStringLiteral("seconds"))
                QVERIFY(!spin->geometry().intersects(label->geometry()));
        QTest::mouseClick(spin->UpButton(), Qt::LeftButton);
        QCOMPARE(refresh->text(), QStringLiteral("61"));
        QTest::mouseClick(spin->DownButton(), Qt::LeftButton);
        QTest::mouseClick(spin->DownButton(), Qt::LeftButton);
        QCOMPARE(refresh->text(), QStringLiteral("59"));
        QTest::keyClick(refresh, Qt::Key_Up);
        QCOMPARE(refresh->text(), QStringLiteral("60"));
        refresh->setText("10");
        QTest::keyClick(refresh, Qt::Key_Down);
        QCOMPARE(refresh->text(), QStringLiteral("10"));
        refresh->setText("86400");
        QTest::keyClick(refresh, Qt::Key_Up);
        QCOMPARE(refresh->text(), QStringLiteral("86400"));
        // Out of range or no number: the first step lands on the nearest bound.
        refresh->setText("5");
        QTest::keyClick(refresh, Qt::Key_Up);
        QCOMPARE(refresh->text(), QStringLiteral("10"));
        refresh->setText("100000");
        QTest::keyClick(refresh, Qt::Key_Down);
        QCOMPARE(refresh->text(), QStringLiteral("86400"));
        refresh->setText("soon");
        QTest::keyClick(refresh, Qt::Key_Up);
        QCOMPARE(refresh->text(), QStringLiteral("10"));

        sheet.SetActivePage(1);
        auto* retries = Control<QLineEdit>(&sheet, CScanSetPp::IDC_RETRIES);
        auto* retrySpin = Control<CSpinButton>(sheet.ScanningPage(), CScanSetPp::IDC_SPIN);
        QCOMPARE(retrySpin->Min(), 0);
        QCOMPARE(retrySpin->Max(), 255);
        retries->setText("0");
        QTest::mouseClick(retrySpin->DownButton(), Qt::LeftButton);
        QCOMPARE(retries->text(), QStringLiteral("0"));
        QTest::mouseClick(retrySpin->UpButton(), Qt::LeftButton);
        QCOMPARE(retries->text(), QStringLiteral("1"));
        retries->setText("255");
        QTest::keyClick(retries, Qt::Key_Up);
        QCOMPARE(retries->text(), QStringLiteral("255"));
        // Whatever the spin buttons produce passes the page's checks.
        QVERIFY(RunModal([&] { ClickOk(&sheet); }).isEmpty());
        QCOMPARE(sheet.Values().nRetries, 255u);
    }

    void RoundTrip_ConfirmedValuesSurviveTheSettingsFile() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const std::string ini = dir.filePath("Lanwick.ini").toStdString();
        const std::string appDir = dir.path().toStdString() + "/";
        test::WriteFile(ini, "[General]\nShowPingTime=0\nHideExcluded=1\nDefFile=\n[Scan]\nRetries=2\nPause=500\n"
                             "[Monitor]\nEnabled=0\nRefresh=15\n");
        CSettings loaded;
        loaded.LoadSettings(ini, appDir);
        const SettingsValues given{loaded.m_bShowPingTime, loaded.m_bHideExcluded, loaded.m_strDefFile,
                                   loaded.m_nRetries,      loaded.m_nPause,        loaded.m_bMonitor,
                                   loaded.m_nRefresh};
        std::optional<SettingsValues> got;
        RunModal([&] { got = RunSettingsSheet(nullptr, given); },
                 [](QWidget* w) {
                     auto* sheet = static_cast<CSettingsSheet*>(w);
                     Control<QCheckBox>(sheet, CGenSetPp::IDC_SHOW_PING_TIME)->setChecked(true);
                     sheet->SetActivePage(1);
                     Control<QLineEdit>(sheet, CScanSetPp::IDC_RETRIES)->setText("0");
                     Control<QLineEdit>(sheet, CScanSetPp::IDC_PAUSE)->setText("1200");
                     ClickOk(sheet); // Monitoring never shown: its refresh of 15 comes back as read
                 });
        QVERIFY(got);
        // The owner's part: a retry count of 0 is taken as one attempt.
        CSettings members = loaded;
        members.m_bShowPingTime = got->bShowPingTime;
        members.m_bHideExcluded = got->bHideExcluded;
        members.m_strDefFile = got->strDefFile;
        members.m_nRetries = static_cast<std::uint8_t>(got->nRetries > 0 ? got->nRetries : 1);
        members.m_nPause = got->nPause;
        members.m_bMonitor = got->bMonitor;
        members.m_nRefresh = got->nRefresh;
        QVERIFY(members.SaveSettings(ini));

        CSettings reread;
        reread.LoadSettings(ini, "/elsewhere/");
        QCOMPARE(reread.m_bShowPingTime, 1);
        QCOMPARE(reread.m_bHideExcluded, 1);
        QCOMPARE(reread.m_strDefFile, appDir + "machines.xml"); // the full default path is written
        QCOMPARE(reread.m_nRetries, std::uint8_t{1});
        QCOMPARE(reread.m_nPause, 1200);
        QCOMPARE(reread.m_bMonitor, 0);
        QCOMPARE(reread.m_nRefresh, 15);
        const std::string text = test::ReadFile(ini);
        QVERIFY2(text.find("Retries=1") != std::string::npos, text.c_str());
    }
};

QTEST_MAIN(TestSettingsSheet)
#include "tst_SettingsSheet.moc"
