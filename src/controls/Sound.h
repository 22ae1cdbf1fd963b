// The notification sound: plays a WAVE resource without blocking the window thread and reports its end,
// so that a monitoring pass can count as running until the sound is over.
#pragma once

#include <QObject>
#include <QTimer>

class QSoundEffect;

namespace lanwick {

class CSound final : public QObject {
    Q_OBJECT
public:
    // Finished comes at the latest this long after Play, whatever the sound device does (or whether there is one).
    static constexpr int kMaxPlayMs = 3000;

    explicit CSound(QObject* pParent = nullptr);
    ~CSound() override;

    // Plays the program's sound resource ":/sounds/<id>.wav".
    void Play(int nSoundId);
    // Plays a WAVE file ("/path/x.wav") or resource (":/sounds/x.wav"). A sound still playing is cut short
    // and reported finished first; every Play is answered by exactly one Finished, never from inside Play.
    void PlayFile(const QString& strPath);
    // Ends the sound at once; reports Finished when one was playing.
    void Stop();

    bool IsPlaying() const { return m_bPlaying; }

signals:
    void Finished();

private:
    void OnPlayingChanged();
    void Finish();

    QSoundEffect* m_pEffect = nullptr;
    QTimer m_timerLimit;
    bool m_bPlaying = false;
};

} // namespace lanwick
