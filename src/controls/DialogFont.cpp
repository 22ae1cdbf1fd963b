// Picks the dialog font once: an Arial-metric face at 11 pixels (8 points at 96 dots per inch) where one is
// installed, else the system's sans serif at that size.
#include "controls/DialogFont.h"

#include <QFontDatabase>
#include <QStringList>

namespace lanwick {

QFont DialogFont() {
    static const QFont font = [] {
        const QStringList families = QFontDatabase::families();
        QFont f;
        for (const char* name : {"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "Arial", "Nimbus Sans"}) {
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
