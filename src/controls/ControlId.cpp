// Numeric control ids kept as a dynamic property and mirrored in the object name.
#include "controls/ControlId.h"

#include <QVariant>

namespace lanwick {

namespace {
constexpr const char* kIdProperty = "lwId";
} // namespace

void SetControlId(QWidget* w, int id) {
    if (w == nullptr) {
        return;
    }
    w->setObjectName(QStringLiteral("id_%1").arg(id));
    w->setProperty(kIdProperty, id);
}

int ControlId(const QWidget* w) {
    if (w == nullptr) {
        return 0;
    }
    bool ok = false;
    const int id = w->property(kIdProperty).toInt(&ok);
    return ok ? id : 0;
}

QWidget* FindControlWidget(QWidget* root, int id) {
    if (root == nullptr || id == 0) {
        return nullptr;
    }
    // The property is the authority: an object name may be changed by other code, the id may not.
    const auto widgets = root->findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        if (ControlId(w) == id) {
            return w;
        }
    }
    return nullptr;
}

} // namespace lanwick
