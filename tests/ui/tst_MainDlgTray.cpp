// The main window with its real popup, sound and tray handling: what a pass shows and plays, the hidden test
// command, and minimising without a tray host (the tray icon's clicks: tray_MainDlg, on a display with a tray).
#include "controls/TaskbarNotifier.h"
#include "ui/MainDlgWindow.h"

using namespace lanwick;
using namespace lanwick::test;

namespace {

void OneWatchedMachine(CMachineList& list) {
    list.AddMachine({10, 2, 0, 1}, "00A0C9123456", "Lab", "bench", 0, 1, 0);
}

} // namespace

class TestMainDlgTray : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Q_INIT_RESOURCE(lanwick); }
    void Popup_APassShowsAndPlaysOnce_TheTestCommandOnlyShows_MinimisedWithoutTrayHostItStays();
};

void TestMainDlgTray::Popup_APassShowsAndPlaysOnce_TheTestCommandOnlyShows_MinimisedWithoutTrayHostItStays() {
    Window w;
    w.WriteMachines(OneWatchedMachine);
    w.services.notify = nullptr; // the real popup and sound
    w.pinger.SetResult("10.2.0.1", 900);
    w.Start();
    CTaskbarNotifier* p = w.dlg->Notifier();
    QCOMPARE(p->GetSkinSize(), QSize(201, 111));
    QCOMPARE(p->GetTextColor(false), RGB(0, 0, 0));
    QCOMPARE(p->GetTextColor(true), RGB(0, 0, 200));
    w.Pass(); // nothing changed: nothing shown or played
    QVERIFY(p->GetCaption().isEmpty());
    QCOMPARE(w.dlg->SoundsPlayed(), 0);

    w.pinger.SetResult("10.2.0.1", -1);
    w.dlg->OnTimer();
    QVERIFY(w.dlg->IsBusy());
    QVERIFY(w.dlg->WaitIdle(8000)); // busy until the sound has ended
    QCOMPARE(p->GetCaption(), QStringLiteral("       offline\nbench\n"));
    QCOMPARE(p->GetAnimation().GetTimeToShow(), 500u);
    QCOMPARE(p->GetAnimation().GetTimeToStay(), 9500u);
    QCOMPARE(p->GetAnimation().GetTimeToHide(), 200u);
    QCOMPARE(w.dlg->SoundsPlayed(), 1);

    w.dlg->OnNotifierTest();
    QCOMPARE(p->GetCaption(), QStringLiteral("Just testing"));
    QCOMPARE(p->GetAnimation().GetTimeToStay(), 10500u);
    QCOMPARE(w.dlg->SoundsPlayed(), 1);

    w.dlg->show();
    QVERIFY(!w.dlg->HasTrayIcon()); // the offscreen platform has no notification area
    w.dlg->showMinimized();
    QTest::qWait(50); // room for a hide, which must not come
    QVERIFY(w.dlg->isVisible() && w.dlg->isEnabled());
}

QTEST_MAIN(TestMainDlgTray)
#include "tst_MainDlgTray.moc"
