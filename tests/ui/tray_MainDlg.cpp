// The main window on a real X display with a notification area: minimising hides it into the tray (the program
// goes on), and a left press on the tray icon brings it back enabled, in its former place.
#include "ui/MainDlg.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace lanwick;

class TrayMainDlg : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Q_INIT_RESOURCE(lanwick); }
    void Minimise_HidesToTheTrayAndLeftPressRestores();
};

void TrayMainDlg::Minimise_HidesToTheTrayAndLeftPressRestores() {
    QTemporaryDir dir;
    SettingsLocation location{dir.filePath(QStringLiteral("Lanwick.ini")).toStdString(),
                              (dir.path() + QLatin1Char('/')).toStdString()};
    MainDlgServices services;
    services.canProbe = [] { return true; };
    services.message = [](QWidget*, const QString&) {};
    CMainDlg dlg(location, services);
    QVERIFY(dlg.OnInitDialog());
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QTRY_VERIFY_WITH_TIMEOUT(dlg.HasTrayIcon(), 5000);
    const QPoint place = dlg.pos();

    dlg.showMinimized();
    QTRY_VERIFY_WITH_TIMEOUT(!dlg.isVisible(), 5000);
    QVERIFY(!dlg.isEnabled());

    dlg.OnTrayNotify(110, 0x204); // right button: ignored
    QTest::qWait(200);
    QVERIFY(!dlg.isVisible());

    dlg.OnTrayNotify(110, 0x201);
    // Restored it stays: the window system's answers to the restore must not send it back to the tray.
    QTest::qWait(1000);
    QVERIFY(dlg.isVisible());
    QVERIFY(dlg.isEnabled());
    QVERIFY(!dlg.isMinimized());
    QCOMPARE(dlg.pos(), place);
}

QTEST_MAIN(TrayMainDlg)
#include "tray_MainDlg.moc"
