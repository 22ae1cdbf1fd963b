// The font of the program's windows: the nearest the system has to "MS Sans Serif" 8, whose geometry the
// dialog-unit conversion assumes, so that texts fit the controls laid out for it.
#pragma once

#include <QFont>

namespace lanwick {

QFont DialogFont();

} // namespace lanwick
