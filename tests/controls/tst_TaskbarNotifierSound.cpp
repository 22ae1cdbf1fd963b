// The notification sound player: one Finished per Play, never from inside Play, and always within the limit,
// also here where there is no sound device at all; and the program's own sound and pictures as the popup, the tray
// and the main window expect them, embedded under their ids.
#include "controls/Sound.h"

#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QSoundEffect>
#include <QTest>
#include <QXmlStreamReader>
#include <QtEndian>

#include <algorithm>

using lanwick::CSound;

namespace {

QString Resources() {
    return qEnvironmentVariable("LANWICK_SOURCE_DIR") + QStringLiteral("/resources/");
}

QString Sound150() {
    return Resources() + QStringLiteral("sounds/150.wav");
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

    void Icons_WindowIconAndRoundSwitchIconsGreenForOnGreyForOff() {
        const QImage window(Resources() + QStringLiteral("icons/143.png"));
        QCOMPARE(window.size(), QSize(32, 32));
        QVERIFY(window.hasAlphaChannel());
        const QImage on(Resources() + QStringLiteral("icons/144.png"));
        const QImage off(Resources() + QStringLiteral("icons/145.png"));
        for (const QImage& icon : {on, off}) {
            QCOMPARE(icon.size(), QSize(16, 16));
            QCOMPARE(qAlpha(icon.pixel(0, 0)), 0); // round: the corners are see-through
            QCOMPARE(qAlpha(icon.pixel(8, 8)), 255);
        }
        QVERIFY(on.pixelColor(8, 4).green() > on.pixelColor(8, 4).red() + 50);
        QVERIFY(qAbs(off.pixelColor(8, 4).green() - off.pixelColor(8, 4).red()) < 20);
    }

    void Sound150_IsMonoPcm11025Hz8BitOfAbout1_7Seconds() {
        QFile file(Sound150());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray wav = file.readAll();
        QCOMPARE(wav.left(4), QByteArray("RIFF"));
        QCOMPARE(qFromLittleEndian<quint32>(wav.constData() + 4), quint32(wav.size() - 8));
        QCOMPARE(wav.mid(8, 8), QByteArray("WAVEfmt "));
        // PCM, mono, samples and bytes per second, block align, bits per sample.
        const char* fmt = wav.constData() + 20;
        QCOMPARE(qFromLittleEndian<quint16>(fmt), quint16(1));
        QCOMPARE(qFromLittleEndian<quint16>(fmt + 2), quint16(1));
        QCOMPARE(qFromLittleEndian<quint32>(fmt + 4), 11025u);
        QCOMPARE(qFromLittleEndian<quint32>(fmt + 8), 11025u);
        QCOMPARE(qFromLittleEndian<quint16>(fmt + 12), quint16(1));
        QCOMPARE(qFromLittleEndian<quint16>(fmt + 14), quint16(8));
        QCOMPARE(wav.mid(36, 4), QByteArray("data"));
        const quint32 nSamples = qFromLittleEndian<quint32>(wav.constData() + 40);
        QCOMPARE(nSamples, 18679u);
        QVERIFY(44 + nSamples <= quint32(wav.size()));
        const auto* p = reinterpret_cast<const uchar*>(wav.constData() + 44);
        const auto [nMin, nMax] = std::minmax_element(p, p + nSamples);
        QVERIFY(*nMax - *nMin > 150); // a clearly audible chime, yet not clipped
        QVERIFY(*nMin > 0 && *nMax < 255);
        QVERIFY(qAbs(int(p[0]) - 128) <= 2); // starts and ends at rest: no click
        QVERIFY(qAbs(int(p[nSamples - 1]) - 128) <= 2);
    }

    void Qrc_EmbedsEveryResourceUnderItsId() {
        QFile file(Resources() + QStringLiteral("lanwick.qrc"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringList aliases;
        QXmlStreamReader xml(&file);
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("file"))
                continue;
            aliases << xml.attributes().value(QLatin1String("alias")).toString();
            const QString strPath = xml.readElementText();
            QVERIFY2(QFile::exists(Resources() + strPath), qPrintable(strPath));
        }
        QVERIFY(!xml.hasError());
        for (const char* alias :
             {"icons/143.png", "icons/144.png", "icons/145.png", "bitmaps/135.bmp", "sounds/150.wav"})
            QVERIFY2(aliases.contains(QLatin1String(alias)), alias);
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
