// Notification sound through the desktop's sound output, bounded in time so that a missing or stuck
// device costs a few seconds of silence, never an error or a hang.
#include "controls/Sound.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace lanwick {

CSound::CSound(QObject* pParent) : QObject(pParent) {
    m_timerLimit.setSingleShot(true);
    connect(&m_timerLimit, &QTimer::timeout, this, &CSound::Finish);
}

CSound::~CSound() = default;

void CSound::Play(int nSoundId) {
    PlayFile(QStringLiteral(":/sounds/%1.wav").arg(nSoundId));
}

void CSound::PlayFile(const QString& strPath) {
    if (m_bPlaying)
        Finish();
    m_bPlaying = true;

    if (QMediaDevices::audioOutputs().isEmpty()) {
        // No sound device: nothing to hear, and the end comes at once (but not before Play returns).
        m_timerLimit.start(0);
        return;
    }
    if (!m_pEffect) {
        m_pEffect = new QSoundEffect(this);
        connect(m_pEffect, &QSoundEffect::playingChanged, this, &CSound::OnPlayingChanged);
        connect(m_pEffect, &QSoundEffect::statusChanged, this, [this] {
            if (m_bPlaying && m_pEffect->status() == QSoundEffect::Error)
                m_timerLimit.start(0);
        });
    }
    const QUrl url =
        strPath.startsWith(QLatin1Char(':')) ? QUrl(QStringLiteral("qrc") + strPath) : QUrl::fromLocalFile(strPath);
    // A device that never reports the end (or a sound that never loads) is cut off by this limit.
    m_timerLimit.start(kMaxPlayMs);
    m_pEffect->setSource(url);
    m_pEffect->play();
}

void CSound::Stop() {
    if (m_bPlaying)
        Finish();
}

void CSound::OnPlayingChanged() {
    // Reported through the event loop, as every end is, so that no Finished comes from inside Play.
    if (m_bPlaying && !m_pEffect->isPlaying() && m_pEffect->status() != QSoundEffect::Loading)
        m_timerLimit.start(0);
}

void CSound::Finish() {
    if (!m_bPlaying)
        return;
    m_bPlaying = false;
    m_timerLimit.stop();
    if (m_pEffect && m_pEffect->isPlaying())
        m_pEffect->stop();
    emit Finished();
}

} // namespace lanwick
