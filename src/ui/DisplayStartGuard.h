// Start-up where there is no graphical display (no DISPLAY, a display that cannot be reached, a shell over ssh):
// Qt would print its platform plugin text and abort; the operator gets one line that says what is missing and
// that lanwick-cli is the same engine for a terminal, and the program ends with status 1.
#pragma once

#include <QtGlobal>

#include <string>

namespace lanwick {

// Lives while QApplication is constructed: Qt's messages of that time are held back, and the fatal one that
// says no platform could be initialised becomes the one line above and exit status 1. On destruction the held
// messages go out as they would have.
class CDisplayStartGuard {
public:
    CDisplayStartGuard();
    ~CDisplayStartGuard();
    CDisplayStartGuard(const CDisplayStartGuard&) = delete;
    CDisplayStartGuard& operator=(const CDisplayStartGuard&) = delete;

    // The line printed when no display could be opened (without its newline), naming what the environment holds.
    static std::string NoDisplayLine();

private:
    QtMessageHandler m_pPrevious = nullptr;
};

} // namespace lanwick
