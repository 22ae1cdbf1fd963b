// Runs blocking work (pings, lookups) on worker threads and hands each result back to the window thread as a
// queued call, so the window never waits on the network.
#pragma once

#include <QObject>
#include <QThreadPool>
#include <functional>
#include <memory>

namespace lanwick {

class CBackgroundJobs final : public QObject {
    Q_OBJECT
public:
    explicit CBackgroundJobs(QObject* pParent = nullptr);
    // Waits for work still running; results not yet delivered are dropped with this object.
    ~CBackgroundJobs() override;

    // work runs on a worker thread; done(result) later runs on this object's thread.
    template <class R>
    void Run(std::function<R()> work, std::function<void(R)> done) {
        auto pResult = std::make_shared<R>();
        Start([work = std::move(work), pResult] { *pResult = work(); },
              [done = std::move(done), pResult] { done(std::move(*pResult)); });
    }

    int Pending() const { return m_nPending; }
    void WaitForWorkers() { m_pool.waitForDone(); }

private:
    void Start(std::function<void()> work, std::function<void()> deliver);

    QThreadPool m_pool;
    int m_nPending = 0; // window thread only
};

} // namespace lanwick
