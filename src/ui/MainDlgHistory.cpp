// The main window's history: every pass and list fill it applies goes to the writer (which stores it on a thread
// of its own), a pause is said once without stopping anything, and the machine sheet reads from the same file.
#include "ui/MainDlg.h"

#include "ui/MessageBox.h"

#include <QMetaObject>

#include <ctime>

namespace lanwick {

void CMainDlg::StartHistory() {
    if (!m_services.history || !m_services.history->bEnabled || m_services.history->strPath.empty())
        return;
    m_pHistory =
        std::make_unique<history::CHistoryWriter>(m_services.history->strPath, m_services.history->nRetentionDays);
    // Called on the writer's thread (or here, should it have paused already); the window hears of it on its own
    // thread. The writer ends before this window does.
    m_pHistory->OnPause([this](const std::string& strReason) {
        QMetaObject::invokeMethod(
            this, [this, strText = QString::fromStdString(strReason)] { OnHistoryPaused(strText); },
            Qt::QueuedConnection);
    });
}

void CMainDlg::RecordHistory(const PassOutcome& outcome) {
    if (!m_pHistory)
        return;
    history::PassRecord pass;
    pass.nUnixSeconds = static_cast<std::int64_t>(std::time(nullptr));
    pass.checks.reserve(outcome.rows.size());
    for (const ListRow& row : outcome.rows) {
        // Only what this pass pinged: a stored result shown again is no new check.
        if (!row.bFresh || row.pMachine == nullptr)
            continue;
        pass.checks.push_back(history::CheckOf(*row.pMachine));
    }
    if (!pass.checks.empty())
        m_pHistory->Record(std::move(pass));
}

void CMainDlg::OnHistoryPaused(const QString& strReason) {
    if (m_bHistoryPauseShown)
        return;
    m_bHistoryPauseShown = true;
    const QString strText =
        QStringLiteral("The history stopped recording: %1\n\nMonitoring goes on without it.").arg(strReason);
    // Not a modal box: passes and their notifications must go on while it waits for OK.
    if (m_services.message)
        m_services.message(this, strText);
    else
        ShowInformationModeless(this, windowTitle(), strText);
}

std::optional<HistorySource> CMainDlg::HistorySourceForSheet() const {
    if (!m_services.history)
        return std::nullopt;
    const history::HistoryOptions& options = *m_services.history;
    if (!options.bEnabled)
        return NoHistory("The history is off: the [History] section of " + m_location.strIniFile + " says Enabled=0.");
    if (options.strPath.empty())
        return NoHistory("The history has no file: no folder was found for it (HOME is not set).");
    HistorySource source = DatabaseHistory(options.strPath);
    if (m_pHistory)
        if (const std::string strReason = m_pHistory->PauseReason(); !strReason.empty())
            source.strNote = "Recording paused: " + strReason;
    return source;
}

} // namespace lanwick
