// The main window's own message boxes and its About box, as the commands really open them: each is wide enough
// for a window manager to show its whole title beside the title bar's buttons, and shows every text whole.
#include "controls/ControlId.h"
#include "controls/IpAddressCtrl.h"
#include "fakes/FakePingProvider.h"
#include "support/ModalDriver.h"
#include "ui/MainDlg.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

using namespace lanwick;
using lanwick::test::CFakePingProvider;

namespace {

// What a box showed while it was up.
struct Seen {
    QString strTitle;
    int nWidth = 0;
    QStringList texts;   // every text label
    QStringList clipped; // labels narrower or lower than their text
};

// Runs action; the first modal window it opens is looked at, then closed with No or its first button.
void WatchModal(const std::function<void()>& action, Seen& seen) {
    bool bDone = false;
    const test::CModalDriver driver(
        [&](QWidget* pModal) {
            if (bDone)
                return;
            bDone = true;
            seen.strTitle = pModal->windowTitle();
            seen.nWidth = pModal->width();
            for (QLabel* pLabel : pModal->findChildren<QLabel*>()) {
                if (pLabel->text().isEmpty() || !pLabel->isVisible())
                    continue;
                seen.texts << pLabel->text();
                const QFontMetrics fm(pLabel->font());
                const QRect rcText = fm.boundingRect(pLabel->contentsRect(), Qt::TextWordWrap, pLabel->text());
                const bool bFits = pLabel->wordWrap()
                                       ? rcText.height() <= pLabel->contentsRect().height()
                                       : fm.horizontalAdvance(pLabel->text()) <= pLabel->contentsRect().width();
                if (!bFits)
                    seen.clipped << pLabel->text();
            }
            auto* pButtons = pModal->findChild<QDialogButtonBox*>();
            QAbstractButton* pClose = nullptr;
            if (auto* pBox = qobject_cast<QMessageBox*>(pModal))
                pClose = pBox->button(QMessageBox::No);
            if (!pClose && pButtons && !pButtons->buttons().isEmpty())
                pClose = pButtons->buttons().first();
            if (pClose)
                pClose->click();
            else
                pModal->close();
        },
        QMessageBox::NoButton);
    action();
    QTRY_VERIFY_WITH_TIMEOUT(bDone, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeModalWidget(), 5000);
}

// The least width a title bar needs for strTitle: the window manager's font is not Qt's to know, so the
// application font made bold stands for it; the title is centred, and three buttons sit on its right, each at
// least as wide as the font is high plus a little padding, so as much room again is kept on its left.
int LeastTitleBarWidth(const QString& strTitle) {
    QFont font = QApplication::font();
    font.setBold(true);
    const QFontMetrics fm(font);
    return fm.horizontalAdvance(strTitle) + 2 * 3 * (fm.height() + 4);
}

} // namespace

class TestMainDlgBoxes : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Q_INIT_RESOURCE(lanwick); }
    void Boxes_WideEnoughForTheirTitleAndTexts_data();
    void Boxes_WideEnoughForTheirTitleAndTexts();
};

void TestMainDlgBoxes::Boxes_WideEnoughForTheirTitleAndTexts_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::newRow("message") << "add nothing"
                             << "Lanwick v0.5"
                             << "Nothing to add...";
    QTest::newRow("question") << "add an address without a name"
                              << "Lanwick v0.5"
                              << "IP is not resolved, would you like to add it anyway?";
    QTest::newRow("about") << "about"
                           << "About Lanwick"
                           << "Lanwick ver 0.5";
}

void TestMainDlgBoxes::Boxes_WideEnoughForTheirTitleAndTexts() {
    QFETCH(QString, command);
    QFETCH(QString, title);
    QFETCH(QString, text);

    QTemporaryDir dir;
    SettingsLocation location{dir.filePath(QStringLiteral("Lanwick.ini")).toStdString(),
                              (dir.path() + QLatin1Char('/')).toStdString()};
    CFakePingProvider pinger;
    MainDlgServices services; // message and askYesNo left empty: the real boxes
    services.pPinger = &pinger;
    services.canProbe = [] { return true; };
    services.forwardLookup = [](const std::string&) { return std::optional<platform::HostEntry>(); };
    services.reverseLookup = [](const platform::Ipv4&) { return std::optional<std::string>(); };
    services.getMacAddress = [](const std::string&) { return std::string("00A0C9000001"); };
    services.notify = [](const QString&) {};
    CMainDlg dlg(location, services);
    QVERIFY(dlg.OnInitDialog());
    QVERIFY(dlg.WaitIdle(5000));
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));

    Seen seen;
    WatchModal(
        [&] {
            if (command == QLatin1String("about")) {
                dlg.OnAbout();
                return;
            }
            if (command == QLatin1String("add an address without a name"))
                FindControl<CIPAddressCtrl>(&dlg, 1002)->SetAddress({10, 2, 0, 50});
            dlg.OnAddMachine();
            QVERIFY(dlg.WaitIdle(5000));
        },
        seen);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(seen.strTitle, title);
    QVERIFY2(seen.texts.contains(text), qPrintable(seen.texts.join(QLatin1String(" | "))));
    QVERIFY2(
        seen.nWidth >= LeastTitleBarWidth(title),
        qPrintable(QStringLiteral("%1 px wide, the title needs %2").arg(seen.nWidth).arg(LeastTitleBarWidth(title))));
    QVERIFY2(seen.clipped.isEmpty(), qPrintable(seen.clipped.join(QLatin1String(" | "))));
    // The question was answered No: nothing was added.
    QCOMPARE(dlg.Machines().GetCount(), std::size_t{0});
}

QTEST_MAIN(TestMainDlgBoxes)
#include "tst_MainDlgBoxes.moc"
