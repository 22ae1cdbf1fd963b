// The settings sheet on the offscreen platform: its pages and texts, the bounds of each number with the focus in
// the refused box, pages never opened keeping their values, Browse, the file dialog and the spin buttons.
#include "support/Controls.h"
#include "support/ModalDriver.h"
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
    return {1, 0, "/srv/lanwick/machines.xml", 3, 250, 1, 60};
}

// The values in their order: ping time, hide excluded, file, retries, pause, monitoring, refresh.
QString Show(const SettingsValues& v) {
    return QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
        .arg(v.bShowPingTime)
        .arg(v.bHideExcluded)
        .arg(QString::fromStdString(v.strDefFile))
        .arg(v.nRetries)
        .arg(v.nPause)
        .arg(v.bMonitor)
        .arg(v.nRefresh);
}

// What a page shows, in creation order: labels, buttons ("[x]" before a ticked box) and edit boxes.
QStringList Texts(QWidget* page) {
    QStringList texts;
    for (QWidget* w : page->findChildren<QWidget*>()) {
        if (auto* label = qobject_cast<QLabel*>(w))
            texts << label->text();
        else if (auto* box = qobject_cast<QCheckBox*>(w))
            texts << (box->isChecked() ? "[x] " : "[ ] ") + box->text();
        else if (auto* button = qobject_cast<QPushButton*>(w))
            texts << button->text();
        else if (auto* edit = qobject_cast<QLineEdit*>(w))
            texts << edit->text();
    }
    return texts;
}

void ClickOk(QWidget* sheet) {
    Control<QPushButton>(sheet, CPropertySheet::IDC_OK)->click();
}

} // namespace

class TestSettingsSheet : public QObject {
    Q_OBJECT
private slots:
    // Pages fill their boxes when first shown.
    void Opening_TitlePagesTextsAndValues() {
        CSettingsSheet sheet(Sample());
        sheet.show();
        QCOMPARE(sheet.windowTitle(), QStringLiteral("Settings..."));
        QTabBar* tabs = Control<QTabBar>(&sheet, CPropertySheet::IDC_TAB_CONTROL);
        QCOMPARE(QStringList({tabs->tabText(0), tabs->tabText(1), tabs->tabText(2)}),
                 QStringList({"General", "Scanning", "Monitoring"}));
        QVERIFY(Control<QPushButton>(&sheet, CPropertySheet::IDC_OK)->isVisible());
        QVERIFY(Control<QPushButton>(&sheet, CPropertySheet::IDC_CANCEL)->isVisible());
        QVERIFY(!Control<QPushButton>(&sheet, CPropertySheet::IDC_APPLY_NOW)->isVisible());
        QCOMPARE(Texts(sheet.GeneralPage()),
                 QStringList({"[x] Display ping time in ms instead of Yes/No", "[ ] Hide excluded machines",
                              "Default file:", "/srv/lanwick/machines.xml", "Browse..."}));
        QVERIFY(!sheet.ScanningPage()->IsCreated());
        QCOMPARE(Control<QLineEdit>(sheet.ScanningPage(), CScanSetPp::IDC_RETRIES)->text(), QString());

        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        QCOMPARE(sheet.GetActiveIndex(), 1);
        QCOMPARE(Texts(sheet.ScanningPage()), QStringList({"Retries:", "3", "Pause for", "250", "ms between retries"}));
        QVERIFY(sheet.SetActivePage(2));
        QCOMPARE(Texts(sheet.MonitoringPage()), QStringList({"[x] Monitoring on", "Refresh every", "60", "seconds"}));
    }

    // Each row: the page, the box (and its place in Show), the message, texts it refuses and texts it takes.
    void Ok_ChecksEachNumbersBoundsWithTheFocusInTheRefusedBox() {
        const struct {
            int page;
            int id;
            int field;
            QString message;
            QStringList refused;
            QStringList taken;
        } cases[] = {
            {1, CScanSetPp::IDC_PAUSE, 4, "Please enter an integer between 1 and 5000.", {"0", "5001"}, {"1", "5000"}},
            {1, CScanSetPp::IDC_PAUSE, 4, "Please enter an unsigned integer.", {"", "-1", "1e3", "4294967296"}, {}},
            {2,
             CMonSetPp::IDC_REFRESH,
             6,
             "Please enter an integer between 10 and 86400.",
             {"9", "86401"},
             {"10", "86400"}},
            {2, CMonSetPp::IDC_REFRESH, 6, "Please enter an unsigned integer.", {"ten"}, {}},
            {1, CScanSetPp::IDC_RETRIES, 3, "Please enter an integer between 0 and 255.", {"256", ""}, {"0", "255"}},
        };
        for (const auto& c : cases) {
            for (const QString& text : c.refused + c.taken) {
                const QByteArray tag = QByteArray::number(c.id) + " '" + text.toLatin1() + "' ";
                const char* row = tag.constData();
                CSettingsSheet sheet(Sample());
                sheet.show();
                sheet.SetActivePage(c.page);
                auto* box = Control<QLineEdit>(&sheet, c.id);
                box->setText(text);
                const QStringList boxes = RunModal([&] { ClickOk(&sheet); });
                if (c.taken.contains(text)) {
                    QVERIFY2(boxes.isEmpty() && sheet.result() == QDialog::Accepted, row);
                    QCOMPARE(Show(sheet.Values()).split(' ')[c.field], text);
                } else {
                    QVERIFY2(boxes == QStringList{c.message}, qPrintable(row + boxes.join('/')));
                    QVERIFY2(sheet.isVisible() && sheet.result() == 0 && sheet.GetActiveIndex() == c.page, row);
                    QVERIFY2(sheet.focusWidget() == box && box->selectedText() == text, row);
                }
            }
        }
    }

    void LeavingARefusedPage_KeepsItsTabInFront() {
        CSettingsSheet sheet(Sample());
        sheet.show();
        sheet.SetActivePage(1);
        auto* pause = Control<QLineEdit>(&sheet, CScanSetPp::IDC_PAUSE);
        pause->setText("0");
        QTabBar* tabs = Control<QTabBar>(&sheet, CPropertySheet::IDC_TAB_CONTROL);
        QCOMPARE(RunModal([&] { QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center()); }).size(), 1);
        QCOMPARE(sheet.GetActiveIndex(), 1);
        QCOMPARE(tabs->currentIndex(), 1);
        QVERIFY(!sheet.MonitoringPage()->IsCreated());
        // Once corrected, the tab can be left (here with Ctrl+Tab).
        pause->setText("1");
        QTest::keyClick(pause, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(sheet.GetActiveIndex(), 2);
        QCOMPARE(tabs->currentIndex(), 2);
    }

    void PagesNeverShownOrLeftUnchanged_ReturnTheirValues_ChangesOnLeftPagesComeBack() {
        // Out of range as a hand-edited settings file may hold: pages never shown do not check them.
        const SettingsValues given = {1, 0, "/srv/lanwick/machines.xml", 300, 0, 1, 5};
        std::optional<SettingsValues> got;
        QVERIFY(RunModal([&] { got = RunSettingsSheet(nullptr, given); }, ClickOk).isEmpty());
        QVERIFY(got);
        QCOMPARE(Show(*got), Show(given));

        CSettingsSheet sheet(Sample());
        sheet.show();
        QVERIFY(sheet.SetActivePage(1) && sheet.SetActivePage(2) && sheet.SetActivePage(0));
        QCOMPARE(Show(sheet.Values()), Show(Sample()));
        QVERIFY(sheet.SetActivePage(1));
        Control<QLineEdit>(&sheet, CScanSetPp::IDC_RETRIES)->setText("7");
        QVERIFY(sheet.SetActivePage(0));
        Control<QCheckBox>(&sheet, CGenSetPp::IDC_HIDE_EXCLUDED)->setChecked(true);
        QVERIFY(sheet.SetActivePage(2));
        Control<QCheckBox>(&sheet, CMonSetPp::IDC_MONITOR)->setChecked(false);
        QVERIFY(RunModal([&] { ClickOk(&sheet); }).isEmpty());
        QCOMPARE(Show(sheet.Values()), QStringLiteral("1 1 /srv/lanwick/machines.xml 7 250 0 60"));
    }

    // Browse asks with the page as parent and changes only the file box; a cancelled pick leaves it; OK returns
    // the path, Cancel nothing.
    void Browse_ChangesOnlyTheFileBox_OkReturnsItCancelNothing() {
        for (const int button : {CPropertySheet::IDC_OK, CPropertySheet::IDC_CANCEL}) {
            std::optional<std::string> answer = "/home/op/lab.xml";
            std::optional<SettingsValues> got;
            RunModal(
                [&] {
                    got = RunSettingsSheet(nullptr, Sample(), [&](QWidget* parent) {
                        if (!dynamic_cast<CGenSetPp*>(parent))
                            qFatal("file dialog without the page as parent");
                        return answer;
                    });
                },
                [&](QWidget* sheet) {
                    Control<QCheckBox>(sheet, CGenSetPp::IDC_SHOW_PING_TIME)->setChecked(false);
                    Control<QPushButton>(sheet, CGenSetPp::IDC_BROWSE)->click();
                    answer.reset();
                    Control<QPushButton>(sheet, CGenSetPp::IDC_BROWSE)->click();
                    QCOMPARE(Texts(static_cast<CSettingsSheet*>(sheet)->GeneralPage()),
                             QStringList({"[ ] Display ping time in ms instead of Yes/No", "[ ] Hide excluded machines",
                                          "Default file:", "/home/op/lab.xml", "Browse..."}));
                    Control<QPushButton>(sheet, button)->click();
                });
            if (button == CPropertySheet::IDC_CANCEL)
                QVERIFY(!got);
            else
                QCOMPARE(Show(got.value()), QStringLiteral("0 0 /home/op/lab.xml 3 250 1 60"));
        }
    }

    void FileDialog_XmlFilterDefaultExtensionNoInitialName() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QStringList seen;
        std::optional<std::string> picked;
        RunModal([&] { picked = PickXmlFile(nullptr); },
                 [&](QWidget* modal) {
                     auto* dialog = qobject_cast<QFileDialog*>(modal);
                     if (!dialog)
                         qFatal("no file dialog");
                     seen << dialog->nameFilters() << dialog->defaultSuffix()
                          << dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
                     dialog->setDirectory(dir.path());
                     dialog->selectFile(QStringLiteral("lab"));
                     static_cast<QDialog*>(dialog)->accept(); // QFileDialog hides its override
                 });
        QCOMPARE(seen, QStringList({"XML Files (*.xml)", "xml", ""}));
        QCOMPARE(QString::fromStdString(picked.value()), dir.filePath(QStringLiteral("lab.xml")));
        RunModal([&] { picked = PickXmlFile(nullptr); },
                 [](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
        QVERIFY(!picked);
    }

    // The arrows sit right of the box, clear of the label, and step within the page's range; out of range or no
    // number, the first step lands on the nearest bound. The boxes take digits only.
    void SpinButtons_StepWithinThePagesRange() {
        CSettingsSheet sheet(Sample());
        sheet.show();
        sheet.SetActivePage(2);
        auto* refresh = Control<QLineEdit>(&sheet, CMonSetPp::IDC_REFRESH);
        auto* spin = Control<CSpinButton>(sheet.MonitoringPage(), CMonSetPp::IDC_SPIN);
        QCOMPARE(spin->geometry().left(), refresh->geometry().right() + 1);
        QCOMPARE(spin->UpButton()->geometry().united(spin->DownButton()->geometry()), spin->rect());
        for (QLabel* label : sheet.MonitoringPage()->findChildren<QLabel*>())
            QVERIFY(!spin->geometry().intersects(label->geometry()));
        QTest::mouseClick(spin->UpButton(), Qt::LeftButton);
        QCOMPARE(refresh->text(), QStringLiteral("61"));
        QTest::mouseClick(spin->DownButton(), Qt::LeftButton);
        QTest::mouseClick(spin->DownButton(), Qt::LeftButton);
        QCOMPARE(refresh->text(), QStringLiteral("59"));
        const struct {
            const char* before;
            Qt::Key key;
            const char* after;
        } steps[] = {{"59", Qt::Key_Up, "60"}, {"10", Qt::Key_Down, "10"},        {"86400", Qt::Key_Up, "86400"},
                     {"5", Qt::Key_Up, "10"},  {"100000", Qt::Key_Down, "86400"}, {"soon", Qt::Key_Up, "10"}};
        for (const auto& s : steps) {
            refresh->setText(s.before);
            QTest::keyClick(refresh, s.key);
            QVERIFY2(refresh->text() == s.after, s.before);
        }

        sheet.SetActivePage(1);
        auto* retries = Control<QLineEdit>(&sheet, CScanSetPp::IDC_RETRIES);
        auto* retrySpin = Control<CSpinButton>(sheet.ScanningPage(), CScanSetPp::IDC_SPIN);
        retries->clear();
        QTest::keyClicks(retries, QStringLiteral("1a-2 "));
        QCOMPARE(retries->text(), QStringLiteral("12"));
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
};

QTEST_MAIN(TestSettingsSheet)
#include "tst_SettingsSheet.moc"
