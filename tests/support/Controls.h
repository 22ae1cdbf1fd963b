// A dialog's controls by their numeric ids for the widget tests: a missing one ends the test binary loudly rather
// than crashing it later on a null pointer.
#pragma once

#include "controls/ControlId.h"

#include <QLabel>
#include <QLineEdit>

namespace lanwick::test {

template <class T>
T* Control(QWidget* root, int id) {
    T* w = FindControl<T>(root, id);
    if (!w)
        qFatal("control %d missing", id);
    return w;
}

// The text of an edit box or a label.
inline QString Text(QWidget* root, int id) {
    if (auto* edit = FindControl<QLineEdit>(root, id))
        return edit->text();
    return Control<QLabel>(root, id)->text();
}

} // namespace lanwick::test
