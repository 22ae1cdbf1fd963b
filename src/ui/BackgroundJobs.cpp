// Worker pool of the window: results travel back as queued calls on this object, which Qt drops if the object
// is gone, so no result ever reaches a destroyed window.
#include "ui/BackgroundJobs.h"

#include <QMetaObject>

namespace lanwick {

CBackgroundJobs::CBackgroundJobs(QObject* pParent) : QObject(pParent) {
    m_pool.setMaxThreadCount(4);
}

CBackgroundJobs::~CBackgroundJobs() {
    m_pool.waitForDone();
}

void CBackgroundJobs::Start(std::function<void()> work, std::function<void()> deliver) {
    ++m_nPending;
    m_pool.start([this, work = std::move(work), deliver = std::move(deliver)]() mutable {
        work();
        QMetaObject::invokeMethod(
            this,
            [this, deliver = std::move(deliver)] {
                --m_nPending;
                deliver();
            },
            Qt::QueuedConnection);
    });
}

} // namespace lanwick
