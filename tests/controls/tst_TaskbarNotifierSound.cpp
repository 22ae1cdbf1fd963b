// The notification sound player: one Finished per Play, never from inside Play, and always within the limit,
// also here where there is no sound device at all.
#include "controls/Sound.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QSoundEffect>
#include <QTest>

using lanwick::CSound;

namespace {

QString Sound150() {
    return qEnvironmentVariable("LANWICK_SOURCE_DIR") + QStringLiteral("/resources/sounds/150.wav");
}

} // namespace

class TestTaskbarNotifierSound : public QObject {
    Q_OBJECT
private slots:
    void Play_FinishesOnceWithinLimitNotFromInsidePlayAndAgainWhenReplayed() {
        CSound sound;
        QSignalSpy spy(&sound, &CSound::Finished);
        QElapsedTimer clock;
        clock.start();
        sound.PlayFile(Sound150());
        QCOMPARE(spy.count(), 0);
        QVERIFY(sound.IsPlaying());
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, CSound::kMaxPlayMs + 1000);
        QVERIFY(clock.elapsed() <= CSound::kMaxPlayMs + 500);
        QVERIFY(!sound.IsPlaying());
        QTest::qWait(CSound::kMaxPlayMs / 10); // room for a second Finished, which must not come
        QCOMPARE(spy.count(), 1);
        // Played again while playing: the first finishes at once, the second in its time.
        sound.PlayFile(Sound150());
        sound.PlayFile(Sound150());
        QCOMPARE(spy.count(), 2);
        QVERIFY(sound.IsPlaying());
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 3, CSound::kMaxPlayMs + 1000);
        QTest::qWait(100); // room for another, which must not come
        QCOMPARE(spy.count(), 3);
    }

    void Play_MissingSoundStillFinishesWithinLimit() {
        CSound sound;
        QSignalSpy spy(&sound, &CSound::Finished);
        sound.Play(150); // this test binary holds no resources
        QCOMPARE(spy.count(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, CSound::kMaxPlayMs + 1000);
        sound.PlayFile(QStringLiteral("/nonexistent/lanwick.wav"));
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 2, CSound::kMaxPlayMs + 1000);
    }

    void StopAndDestroy_FinishAtOnceOnlyWhenPlayingAndDestroyIsQuiet() {
        int nFinished = 0;
        {
            CSound sound;
            QObject::connect(&sound, &CSound::Finished, [&] { ++nFinished; });
            sound.Stop();
            QCOMPARE(nFinished, 0);
            sound.PlayFile(Sound150());
            sound.Stop();
            QCOMPARE(nFinished, 1);
            sound.PlayFile(Sound150());
        }
        QTest::qWait(100); // room for a late Finished of the stopped or the destroyed play, which must not come
        QCOMPARE(nFinished, 1);
    }

    void Sound150_IsAcceptedByTheSoundOutput() {
        // The player's own decoder reads the 8-bit mono file; this needs no sound device.
        QSoundEffect effect;
        effect.setSource(QUrl::fromLocalFile(Sound150()));
        QTRY_COMPARE_WITH_TIMEOUT(effect.status(), QSoundEffect::Ready, 5000);
    }
};

QTEST_MAIN(TestTaskbarNotifierSound)
#include "tst_TaskbarNotifierSound.moc"
