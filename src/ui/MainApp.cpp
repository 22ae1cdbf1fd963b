// Start of the window program: the settings file beside the program (or in the user's configuration folder when
// the program's folder is not writable), then the main window until it closes.
#include "ui/MainApp.h"

#include "monitor/Settings.h"
#include "ui/DisplayStartGuard.h"
#include "ui/MainDlg.h"

#include <QApplication>
#include <QEvent>
#include <cstdio>
#include <ctime>
#include <memory>

namespace lanwick {

namespace {

// Measurement hook for bench/bench_window_startup: with LANWICK_TRACE_FIRST_PAINT set, the main window's first
// paint prints the monotonic clock (ns) to stderr, so the benchmark can take the time from its exec.
class CFirstPaintTrace final : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override {
        if (pEvent->type() == QEvent::Paint) {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            std::fprintf(stderr, "lanwick: first paint at %lld ns\n",
                         static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
            pWatched->removeEventFilter(this);
        }
        return false;
    }
};

} // namespace

int CMainApp::Run(int argc, char** argv) {
    // Where no display can be opened Qt aborts with its own text; the guard turns that into one line and status 1.
    auto pGuard = std::make_unique<CDisplayStartGuard>();
    QApplication app(argc, argv);
    pGuard.reset();
    QApplication::setApplicationName(QStringLiteral("Lanwick"));
    // The window lives on in the tray when minimised: closing the popup must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    const std::string strExeDir = QCoreApplication::applicationDirPath().toStdString();
    const SettingsLocation location = LocateSettings(strExeDir);
    MainDlgServices services;
    services.history = history::LoadHistoryOptions(location.strIniFile, strExeDir);
    CMainDlg dlg(location, std::move(services));
    if (qEnvironmentVariableIsSet("LANWICK_TRACE_FIRST_PAINT"))
        dlg.installEventFilter(new CFirstPaintTrace(&dlg));
    if (!dlg.OnInitDialog(CMainDlg::StartWork::AfterFirstPaint))
        return 1;
    // The application's loop, not the dialog's own: hiding the window to the tray must not end a modal loop.
    QObject::connect(&dlg, &QDialog::finished, &app, [](int nResult) { QCoreApplication::exit(nResult < 0 ? 1 : 0); });
    dlg.show();
    return QApplication::exec();
}

} // namespace lanwick
