// The main window with its real popup, sound and tray handling: what a pass shows and plays, the hidden test
// command, minimising without a tray host, and the tray icon's left press.
#include "controls/TaskbarNotifier.h"
#include "fakes/FakePingProvider.h"
#include "ui/MainDlg.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace lanwick;
using lanwick::test::CFakePingProvider;

namespace {

const char* kOneMachine = "<?xml version=\"1.0\"?>\r\n <Machines>\r\n  <Count mach=\"1\">\r\n  </Count>\r\n"
                          "  <Group name=\"Lab\">\r\n   <MAC Address=\"00A0C9123456\">\r\n"
                          "    <IPAddress>10.2.0.1</IPAddress>\r\n    <Name>bench</Name>\r\n"
                          "    <Notify>Yes</Notify>\r\n    <NotifyOffline>No</NotifyOffline>\r\n"
                          "    <Excluded>No</Excluded>\r\n   </MAC>\r\n  </Group>\r\n </Machines>\r\n";

struct Window {
    QTemporaryDir dir;
    CFakePingProvider pinger;
    std::unique_ptr<CMainDlg> dlg;

    void Start() {
        QFile f(dir.filePath(QStringLiteral("machines.xml")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(kOneMachine);
        f.close();
        SettingsLocation location{dir.filePath(QStringLiteral("Lanwick.ini")).toStdString(),
                                  (dir.path() + QLatin1Char('/')).toStdString()};
        MainDlgServices services;
        services.pPinger = &pinger;
        services.canProbe = [] { return true; };
        services.message = [](QWidget*, const QString&) {};
        dlg = std::make_unique<CMainDlg>(location, services);
        QVERIFY(dlg->OnInitDialog());
        QVERIFY(dlg->WaitIdle(5000));
    }
};

} // namespace

class TestMainDlgTray : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Q_INIT_RESOURCE(lanwick); }
    void Notifier_ConfiguredFromTheSkin();
    void Pass_ShowsTheTextWithItsTimesAndPlaysTheSoundOnce();
    void Pass_NamingNoMachineShowsAndPlaysNothing();
    void TestCommand_ShowsWithoutSound();
    void Minimise_WithoutTrayHostStaysReachable();
    void TrayIcon_OnlyLeftPressRestores();
};

void TestMainDlgTray::Notifier_ConfiguredFromTheSkin() {
    Window w;
    w.Start();
    CTaskbarNotifier* p = w.dlg->Notifier();
    QVERIFY(p);
    QCOMPARE(p->GetSkinSize(), QSize(201, 111));
    QCOMPARE(p->GetTextRect(), QRect(QPoint(10, 40), QPoint(201 - 10 - 1, 111 - 25 - 1)));
    QCOMPARE(p->GetTextColor(false), RGB(0, 0, 0));
    QCOMPARE(p->GetTextColor(true), RGB(0, 0, 200));
    QCOMPARE(p->GetTextFont(false).family(), QStringLiteral("Verdana"));
    QVERIFY(p->GetTextFont(true).underline());
}

void TestMainDlgTray::Pass_ShowsTheTextWithItsTimesAndPlaysTheSoundOnce() {
    Window w;
    w.pinger.SetResult("10.2.0.1", 900);
    w.Start();
    w.pinger.SetResult("10.2.0.1", -1);
    w.dlg->OnTimer();
    QVERIFY(w.dlg->IsBusy());
    QVERIFY(w.dlg->WaitIdle(8000)); // busy until the sound has ended
    CTaskbarNotifier* p = w.dlg->Notifier();
    QCOMPARE(p->GetCaption(), QStringLiteral("       offline\nbench\n"));
    QCOMPARE(p->GetAnimation().GetTimeToShow(), 500u);
    QCOMPARE(p->GetAnimation().GetTimeToStay(), 9500u);
    QCOMPARE(p->GetAnimation().GetTimeToHide(), 200u);
    QCOMPARE(w.dlg->SoundsPlayed(), 1);
}

void TestMainDlgTray::Pass_NamingNoMachineShowsAndPlaysNothing() {
    Window w;
    w.pinger.SetResult("10.2.0.1", 900);
    w.Start();
    w.dlg->OnTimer();
    QVERIFY(w.dlg->WaitIdle(8000));
    QVERIFY(w.dlg->Notifier()->GetCaption().isEmpty());
    QCOMPARE(w.dlg->SoundsPlayed(), 0);
}

void TestMainDlgTray::TestCommand_ShowsWithoutSound() {
    Window w;
    w.Start();
    w.dlg->OnNotifierTest();
    QCOMPARE(w.dlg->Notifier()->GetCaption(), QStringLiteral("Just testing"));
    QCOMPARE(w.dlg->Notifier()->GetAnimation().GetTimeToStay(), 10500u);
    QCOMPARE(w.dlg->SoundsPlayed(), 0);
}

void TestMainDlgTray::Minimise_WithoutTrayHostStaysReachable() {
    Window w;
    w.Start();
    w.dlg->show();
    QVERIFY(!w.dlg->HasTrayIcon()); // the offscreen platform has no notification area
    w.dlg->showMinimized();
    QTest::qWait(50); // room for a hide, which must not come
    QVERIFY(w.dlg->isVisible());
    QVERIFY(w.dlg->isEnabled());
}

void TestMainDlgTray::TrayIcon_OnlyLeftPressRestores() {
    Window w;
    w.Start();
    w.dlg->hide();
    w.dlg->setEnabled(false);
    w.dlg->OnTrayNotify(110, 0x204); // right button
    w.dlg->OnTrayNotify(111, 0x201); // another icon
    QVERIFY(!w.dlg->isVisible());
    w.dlg->OnTrayNotify(110, 0x201);
    QVERIFY(w.dlg->isVisible());
    QVERIFY(w.dlg->isEnabled());
}

QTEST_MAIN(TestMainDlgTray)
#include "tst_MainDlgTray.moc"
