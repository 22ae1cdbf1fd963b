// The main window on a real X display with a window manager and a notification area (tests/ui/with_tray.sh):
// minimised as a user does it, through the window manager, it hides into the tray (the program goes on), and a
// left click on the tray icon brings it back enabled, with its frame where it was. Places are read from the X
// server with xwininfo and xprop, not from Qt's own idea of them; clicks are made with xdotool.
#include "ui/MainDlg.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QtTest>
#include <climits>
#include <optional>

using namespace lanwick;

namespace {

QString Output(const QString& strProgram, const QStringList& args) {
    QProcess process;
    process.start(strProgram, args);
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

int NumberAfter(const QString& strText, const QString& strLabel) {
    const QRegularExpression re(QRegularExpression::escape(strLabel) + QStringLiteral("\\s*(-?\\d+)"));
    const auto match = re.match(strText);
    return match.hasMatch() ? match.captured(1).toInt() : INT_MIN;
}

// A top-level window as the X server has it: mapped or not, and the corner of its window manager's frame.
struct XPlace {
    bool bViewable = false;
    QPoint ptFrame;
};

std::optional<XPlace> AskX(WId id) {
    const QString strId = QStringLiteral("0x") + QString::number(id, 16);
    const QString strInfo = Output(QStringLiteral("xwininfo"), {QStringLiteral("-id"), strId});
    const int x = NumberAfter(strInfo, QStringLiteral("Absolute upper-left X:"));
    const int y = NumberAfter(strInfo, QStringLiteral("Absolute upper-left Y:"));
    if (x == INT_MIN || y == INT_MIN)
        return std::nullopt;
    XPlace place;
    place.bViewable = strInfo.contains(QStringLiteral("Map State: IsViewable"));
    // left, right, top, bottom; only a window the window manager has framed carries it.
    const QString strExtents =
        Output(QStringLiteral("xprop"), {QStringLiteral("-id"), strId, QStringLiteral("_NET_FRAME_EXTENTS")});
    const QRegularExpression re(QStringLiteral("= (\\d+), (\\d+), (\\d+), (\\d+)"));
    const auto m = re.match(strExtents);
    if (!m.hasMatch())
        return std::nullopt;
    place.ptFrame = QPoint(x - m.captured(1).toInt(), y - m.captured(3).toInt());
    return place;
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
    auto* pTray = dlg.findChild<QSystemTrayIcon*>();
    QVERIFY(pTray);
    QTRY_VERIFY_WITH_TIMEOUT(pTray->geometry().isValid(), 5000); // docked in the notification area
    const QPoint ptIcon = pTray->geometry().center();
    QTRY_VERIFY_WITH_TIMEOUT(AskX(dlg.winId()) && AskX(dlg.winId())->bViewable, 5000); // framed and shown
    // The window manager may still move a newly framed window; no event tells when it has done so.
    QTest::qWait(300);
    const XPlace before = *AskX(dlg.winId());
    const QString strId = QString::number(dlg.winId());

    // Twice: the second trip must not drift either.
    for (int nTrip = 1; nTrip <= 2; ++nTrip) {
        QVERIFY(Xdotool({QStringLiteral("windowminimize"), strId}));
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.isVisible(), 5000);
        QVERIFY(!dlg.isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!AskX(dlg.winId()) || !AskX(dlg.winId())->bViewable, 5000);

        QVERIFY(ClickAt(ptIcon, 3)); // right button: ignored
        QTest::qWait(300);           // room for a restore, which must not come
        QVERIFY(!dlg.isVisible());

        QVERIFY(ClickAt(ptIcon, 1));
        QTRY_VERIFY_WITH_TIMEOUT(dlg.isVisible(), 5000);
        // Restored it stays, where it was: the window system's answers to the restore must neither send it back
        // to the tray nor move it.
        QTest::qWait(1000);
        QVERIFY(dlg.isVisible());
        QVERIFY(dlg.isEnabled());
        QVERIFY(!dlg.isMinimized());
        const auto after = AskX(dlg.winId());
        QVERIFY(after);
        QVERIFY(after->bViewable);
        QCOMPARE(after->ptFrame, before.ptFrame);
    }
}

QTEST_MAIN(TrayMainDlg)
#include "tray_MainDlg.moc"
