// Picks the dialog font once: Liberation Sans (an Arial-metric face, installed with the program's packages) at
// 11 pixels, 8 points at 96 dots per inch, so that text measures the same on every machine; where it is missing,
// the nearest face the system has.
#include "controls/DialogFont.h"

#include <QFontDatabase>
#include <QStringList>

namespace lanwick {

QFont DialogFont() {
    static const QFont font = [] {
        const QStringList families = QFontDatabase::families();
        QFont f;
        for (const char* name : {"Liberation Sans", "Arial", "Nimbus Sans", "MS Sans Serif", "Microsoft Sans Serif"}) {
            if (families.contains(QString::fromLatin1(name), Qt::CaseInsensitive)) {
                f.setFamily(QString::fromLatin1(name));
                break;
            }
        }
        f.setPixelSize(11);
        return f;
    }();
    return font;
}

} // namespace lanwick
