// The main window on a real X display with a window manager and a notification area (tests/ui/with_tray.sh):
// minimised as a user does it, through the window manager, it hides into the tray (the program goes on), and a
// left click on the tray icon brings it back enabled, with its frame where it was. Places are read from the X
// server with xwininfo and xprop, not from Qt's own idea of them; clicks are made with xdotool.
#include "ui/MainDlgWindow.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSystemTrayIcon>

using namespace lanwick;

namespace {

QString Output(const QString& strProgram, const QStringList& args) {
    QProcess process;
    process.start(strProgram, args);
    return process.waitForFinished(10000) && process.exitCode() == 0 ? QString::fromLocal8Bit(process.readAll())
                                                                     : QString();
}

// Where the X server has the corner of the window manager's frame of a mapped top-level window; nothing while it
// is unmapped or not framed yet (only a framed window carries _NET_FRAME_EXTENTS: left, right, top, bottom).
std::optional<QPoint> FrameOnScreen(WId id) {
    const QString strId = QStringLiteral("0x") + QString::number(id, 16);
    const QString strInfo = Output(QStringLiteral("xwininfo"), {QStringLiteral("-id"), strId});
    const auto corner =
        QRegularExpression(QStringLiteral("upper-left X:\\s*(-?\\d+)\\s*Absolute upper-left Y:\\s*(-?\\d+)"))
            .match(strInfo);
    const auto extents =
        QRegularExpression(QStringLiteral("= (\\d+), (\\d+), (\\d+), (\\d+)"))
            .match(Output(QStringLiteral("xprop"), {QStringLiteral("-id"), strId, "_NET_FRAME_EXTENTS"}));
    if (!strInfo.contains(QStringLiteral("IsViewable")) || !corner.hasMatch() || !extents.hasMatch())
        return std::nullopt;
    return QPoint(corner.captured(1).toInt() - extents.captured(1).toInt(),
                  corner.captured(2).toInt() - extents.captured(3).toInt());
}

bool Xdotool(const QStringList& args) {
    return QProcess::execute(QStringLiteral("xdotool"), args) == 0;
}

// Without --sync: it would wait for a motion that never comes when the pointer is already there.
bool ClickAt(const QPoint& pt, int nButton) {
    return Xdotool({QStringLiteral("mousemove"), QString::number(pt.x()), QString::number(pt.y()),
                    QStringLiteral("click"), QString::number(nButton)});
}

} // namespace

class TrayMainDlg : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Q_INIT_RESOURCE(lanwick); }
    void Minimise_HidesToTheTrayAndLeftClickRestoresInPlace();
};

void TrayMainDlg::Minimise_HidesToTheTrayAndLeftClickRestoresInPlace() {
    test::Window w;
    w.Start();
    CMainDlg& dlg = *w.dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QTRY_VERIFY_WITH_TIMEOUT(dlg.HasTrayIcon(), 5000);
    auto* pTray = dlg.findChild<QSystemTrayIcon*>();
    QTRY_VERIFY_WITH_TIMEOUT(pTray->geometry().isValid(), 5000); // docked in the notification area
    const QPoint ptIcon = pTray->geometry().center();
    QTRY_VERIFY_WITH_TIMEOUT(FrameOnScreen(dlg.winId()), 5000); // framed and shown
    // The window manager may still move a newly framed window; no event tells when it has done so.
    QTest::qWait(300);
    const QPoint ptBefore = *FrameOnScreen(dlg.winId());

    // Twice: the second trip must not drift either.
    for (int nTrip = 1; nTrip <= 2; ++nTrip) {
        QVERIFY(Xdotool({QStringLiteral("windowminimize"), QString::number(dlg.winId())}));
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.isVisible(), 5000);
        QVERIFY(!dlg.isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!FrameOnScreen(dlg.winId()), 5000);

        QVERIFY(ClickAt(ptIcon, 3)); // right button: ignored
        QTest::qWait(300);           // room for a restore, which must not come
        QVERIFY(!dlg.isVisible());

        QVERIFY(ClickAt(ptIcon, 1));
        QTRY_VERIFY_WITH_TIMEOUT(dlg.isVisible(), 5000);
        // Restored it stays, where it was: the window system's answers to the restore must neither send it back
        // to the tray nor move it.
        QTest::qWait(1000);
        QVERIFY(dlg.isVisible() && dlg.isEnabled() && !dlg.isMinimized());
        QCOMPARE(FrameOnScreen(dlg.winId()).value_or(QPoint(-1, -1)), ptBefore);
    }
}

QTEST_MAIN(TrayMainDlg)
#include "tray_MainDlg.moc"
