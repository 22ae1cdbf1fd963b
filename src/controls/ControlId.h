// Numeric control ids on Qt widgets: code, layout rules and tests find a window's controls by the ids of its
// dialog template (1000 for the machine list, 1043 for the monitoring switch, ...).
#pragma once

#include <QWidget>

namespace lanwick {

// Gives w the id: object name "id_<n>" (so tests can reach it by name) and the dynamic property "lwId".
void SetControlId(QWidget* w, int id);

// The id given by SetControlId, or 0 when the widget has none (0 is never a control's id).
int ControlId(const QWidget* w);

QWidget* FindControlWidget(QWidget* root, int id);

// First descendant of root carrying the id and of type T, or nullptr.
template <class T = QWidget>
T* FindControl(QWidget* root, int id) {
    return qobject_cast<T*>(FindControlWidget(root, id));
}

} // namespace lanwick
