#include "ui/WindowMailbox.h"

#include <QMetaObject>

namespace lanwick {

void CWindowMailbox::Post(std::function<void()> call) {
    bool bWasEmpty = false;
    {
        std::lock_guard lock(m_mutex);
        bWasEmpty = m_calls.empty();
        m_calls.push_back(std::move(call));
    }
    // One wake-up per batch: Deliver empties the whole queue, and the next post after that wakes it again.
    if (bWasEmpty)
        QMetaObject::invokeMethod(this, "Deliver", Qt::QueuedConnection);
}

void CWindowMailbox::Deliver() {
    std::vector<std::function<void()>> calls;
    {
        std::lock_guard lock(m_mutex);
        calls.swap(m_calls);
    }
    // A call may open a modal loop that delivers the next batch; each call still runs once, in order per batch.
    for (auto& call : calls)
        call();
}

} // namespace lanwick
