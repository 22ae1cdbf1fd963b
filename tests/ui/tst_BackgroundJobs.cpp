// The window's worker pool: work runs off the window thread and each result comes back on it exactly once;
// waiting means no work queued or running; a pool destroyed with results undelivered drops them.
#include "ui/BackgroundJobs.h"

#include <QtTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using namespace lanwick;
using namespace std::chrono_literals;

class TestBackgroundJobs : public QObject {
    Q_OBJECT
private slots:
    void Results_ArriveOnTheWindowThreadOnceEach() {
        CBackgroundJobs jobs(4);
        std::vector<int> delivered;
        std::atomic<int> nWorkerThreadHits{0};
        const auto windowThread = std::this_thread::get_id();
        for (int i = 0; i < 40; ++i)
            jobs.Run<int>(
                [i, windowThread, &nWorkerThreadHits] {
                    if (std::this_thread::get_id() != windowThread)
                        ++nWorkerThreadHits;
                    return i;
                },
                [&delivered, windowThread](int n) {
                    QCOMPARE(std::this_thread::get_id(), windowThread);
                    delivered.push_back(n);
                });
        QCOMPARE(jobs.Pending(), 40);
        QTRY_COMPARE(jobs.Pending(), 0);
        QCOMPARE(nWorkerThreadHits.load(), 40);
        std::sort(delivered.begin(), delivered.end());
        for (int i = 0; i < 40; ++i)
            QCOMPARE(delivered[static_cast<std::size_t>(i)], i);
        QTest::qWait(20); // no second delivery trails behind
        QCOMPARE(delivered.size(), std::size_t{40});
    }

    void Waiting_CoversQueuedAndRunningWork_DestroyingDropsUndeliveredResults() {
        std::atomic<int> nDone{0};
        int nDelivered = 0;
        {
            CBackgroundJobs jobs(1); // one thread: the second job waits in the queue behind the first
            for (int i = 0; i < 2; ++i)
                jobs.Run<int>(
                    [&nDone] {
                        std::this_thread::sleep_for(50ms);
                        return ++nDone;
                    },
                    [&nDelivered](int) { ++nDelivered; });
            jobs.WaitForWorkers();
            QCOMPARE(nDone.load(), 2);
            QCOMPARE(jobs.Pending(), 2); // the results wait for the event loop
        }
        QCoreApplication::processEvents();
        QCOMPARE(nDelivered, 0);

        // Work still queued when the pool goes still runs to its end.
        nDone = 0;
        {
            CBackgroundJobs jobs(1);
            for (int i = 0; i < 3; ++i)
                jobs.Run<int>(
                    [&nDone] {
                        std::this_thread::sleep_for(10ms);
                        return ++nDone;
                    },
                    [](int) {});
        }
        QCOMPARE(nDone.load(), 3);
    }
};

QTEST_GUILESS_MAIN(TestBackgroundJobs)
#include "tst_BackgroundJobs.moc"
