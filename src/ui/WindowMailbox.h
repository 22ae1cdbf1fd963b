// Hands closures from any thread to the thread that owns the mailbox (the window thread). The closures travel in
// a queue under our own mutex, and Qt carries only a call without arguments that says "look in the queue", so
// every hand-over is one that a thread checker can see.
#pragma once

#include <QObject>
#include <functional>
#include <mutex>
#include <vector>

namespace lanwick {

class CWindowMailbox final : public QObject {
    Q_OBJECT
public:
    explicit CWindowMailbox(QObject* pParent = nullptr) : QObject(pParent) {}

    // Any thread. call runs later on this object's thread, in posting order; calls not yet run when the mailbox
    // is destroyed are dropped with it.
    void Post(std::function<void()> call);

private:
    Q_INVOKABLE void Deliver();

    std::mutex m_mutex;
    std::vector<std::function<void()>> m_calls; // under m_mutex
};

} // namespace lanwick
