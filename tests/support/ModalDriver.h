// Drives the modal windows a widget test's action opens: a timer on the window thread looks at the active modal
// window while the action's own event loop runs, answers message boxes and hands every other window on.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <utility>

namespace lanwick::test {

class CModalDriver {
public:
    // Each message box is answered with `answer` and its text kept (with NoButton it goes to onModal instead);
    // every other modal window is handed to onModal once, when it shows.
    explicit CModalDriver(std::function<void(QWidget*)> onModal = {},
                          QMessageBox::StandardButton answer = QMessageBox::Ok) {
        QObject::connect(&m_timer, &QTimer::timeout, [this, onModal = std::move(onModal), answer] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible())
                return;
            if (auto* box = qobject_cast<QMessageBox*>(modal); box && answer != QMessageBox::NoButton) {
                const QString strMore = box->informativeText();
                m_boxes << (strMore.isEmpty() ? box->text() : box->text() + "|" + strMore);
                box->button(answer)->click();
            } else if (onModal && !m_handled.contains(QPointer<QWidget>(modal))) {
                m_handled << modal;
                onModal(modal);
            }
        });
        m_timer.start(5);
    }

    // The texts of the boxes answered so far: "text", or "text|informative text" when the box has one.
    const QStringList& Boxes() const { return m_boxes; }

private:
    QTimer m_timer;
    QStringList m_boxes;
    QList<QPointer<QWidget>> m_handled; // a window gone frees its address for the next one
};

// Runs action under a driver; the texts of the message boxes it answered.
inline QStringList RunModal(const std::function<void()>& action, std::function<void(QWidget*)> onModal = {},
                            QMessageBox::StandardButton answer = QMessageBox::Ok) {
    CModalDriver driver(std::move(onModal), answer);
    action();
    return driver.Boxes();
}

} // namespace lanwick::test
