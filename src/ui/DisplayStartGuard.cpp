// Turns Qt's abort for want of a display into one line for the operator and exit status 1.
#include "ui/DisplayStartGuard.h"

#include <QByteArray>
#include <QMessageLogContext>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace lanwick {

namespace {

// A message held back while the application object starts; the context's texts are Qt's static strings.
struct HeldMessage {
    QtMsgType type;
    const char* file;
    int line;
    const char* function;
    const char* category;
    QString strText;
};

std::mutex g_mutex;
std::vector<HeldMessage> g_held;

void HoldMessage(QtMsgType type, const QMessageLogContext& context, const QString& strText) {
    if (type == QtFatalMsg && strText.contains(QLatin1String("platform plugin"))) {
        // Qt aborts once this handler returns; what it held back (its plugin texts) is dropped with it.
        const std::string strLine = CDisplayStartGuard::NoDisplayLine() + "\n";
        std::fputs(strLine.c_str(), stderr);
        std::fflush(stderr);
        std::_Exit(1);
    }
    std::lock_guard lock(g_mutex);
    g_held.push_back({type, context.file, context.line, context.function, context.category, strText});
}

// An environment value fit for one line: control characters would break it.
std::string Printable(const char* pValue) {
    std::string str;
    for (const char* p = pValue; *p; ++p)
        str += static_cast<unsigned char>(*p) < 0x20 ? '?' : *p;
    return str;
}

} // namespace

CDisplayStartGuard::CDisplayStartGuard() : m_pPrevious(qInstallMessageHandler(HoldMessage)) {}

CDisplayStartGuard::~CDisplayStartGuard() {
    qInstallMessageHandler(m_pPrevious);
    std::vector<HeldMessage> held;
    {
        std::lock_guard lock(g_mutex);
        held.swap(g_held);
    }
    for (const HeldMessage& m : held)
        qt_message_output(m.type, QMessageLogContext(m.file, m.line, m.function, m.category), m.strText);
}

std::string CDisplayStartGuard::NoDisplayLine() {
    std::string strSeen;
    for (const char* pName : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* pValue = std::getenv(pName);
        if (!pValue || !*pValue)
            continue;
        strSeen += strSeen.empty() ? "" : ", ";
        strSeen += std::string(pName) + "=" + Printable(pValue);
    }
    const std::string strWhy = strSeen.empty() ? "no graphical display (DISPLAY and WAYLAND_DISPLAY are not set)"
                                               : "the graphical display cannot be opened (" + strSeen + ")";
    return "lanwick: " + strWhy + "; the window needs one, and lanwick-cli is the same engine for a terminal";
}

} // namespace lanwick
