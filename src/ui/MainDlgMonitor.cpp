// The monitoring cycle of the main window: passes on the timer, list fills, the counts and the switch. The
// pings of a pass run on a worker thread; the rows, the stored results and the notification are applied here.
#include "ui/MainDlg.h"

#include "controls/XListCtrl.h"
#include "ui/BackgroundJobs.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <utility>

namespace lanwick {

bool CMainDlg::IsBusy() const {
    return m_bStartPending || m_cycle != Cycle::Idle || (m_pJobs && m_pJobs->Pending() > 0);
}

bool CMainDlg::WaitIdle(int msTimeout) {
    QElapsedTimer timer;
    timer.start();
    while (IsBusy() && timer.elapsed() < msTimeout)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return !IsBusy();
}

void CMainDlg::RunPass(PassKind kind, std::function<void(const PassOutcome&)> done) {
    m_cycle = Cycle::Pinging;
    setCursor(Qt::WaitCursor);
    auto pPlan = std::make_shared<CMonitorPass>(CMonitorPass::Plan(m_machines, FilterText(), kind));
    IPingProvider* pPinger = m_pPinger;
    const std::uint8_t nRetries = m_settings.m_nRetries;
    const std::int32_t nPause = m_settings.m_nPause;
    m_pJobs->Run<std::vector<std::int32_t>>(
        [pPlan, pPinger, nRetries, nPause] { return pPlan->Ping(*pPinger, nRetries, nPause); },
        [this, pPlan, done = std::move(done)](std::vector<std::int32_t> results) {
            const PassOutcome outcome = pPlan->Apply(m_machines, results, m_settings.m_bShowPingTime != 0);
            RecordHistory(outcome);
            ApplyOutcome(outcome);
            done(outcome);
        });
}

void CMainDlg::ApplyOutcome(const PassOutcome& outcome) {
    if (!m_view.bCaptured)
        CaptureRowsView();
    m_pList->setUpdatesEnabled(false);
    m_pList->DeleteAllItems();
    for (const ListRow& row : outcome.rows) {
        const int nItem = m_pList->InsertItem(m_pList->GetItemCount(), QString::fromStdString(row.cells[0].text));
        m_pList->SetItemData(nItem, row.pMachine);
        for (int nCol = 1; nCol < static_cast<int>(kColumnCount); ++nCol) {
            const ListCell& cell = row.cells[static_cast<std::size_t>(nCol)];
            m_pList->SetItemText(nItem, nCol, QString::fromStdString(cell.text), cell.textColour, cell.background);
        }
    }
    SortRows();
    RestoreRowsView();
    m_pList->setUpdatesEnabled(true);
    m_nOnline = outcome.nOnline;
    UpdateCounts();
}

void CMainDlg::CaptureRowsView() {
    m_view = RowsView{};
    m_view.bCaptured = true;
    const int nSelected = m_pList->GetFirstSelectedItem();
    if (nSelected >= 0)
        m_view.pSelected = m_pList->GetItemData<CMachine>(nSelected);
    m_view.nTopRow = m_pList->GetTopIndex();
    if (m_view.nTopRow >= 0)
        m_view.pTop = m_pList->GetItemData<CMachine>(m_view.nTopRow);
}

void CMainDlg::RestoreRowsView() {
    const RowsView view = std::exchange(m_view, RowsView{});
    int nSelected = -1;
    int nTop = -1;
    for (int nItem = 0; nItem < m_pList->GetItemCount(); ++nItem) {
        const CMachine* pMachine = m_pList->GetItemData<CMachine>(nItem);
        if (pMachine == nullptr)
            continue;
        if (pMachine == view.pSelected)
            nSelected = nItem;
        if (pMachine == view.pTop)
            nTop = nItem;
    }
    // The top row's machine may have gone (deleted, or another group): then the same row number stays on top.
    if (nTop < 0)
        nTop = view.nTopRow;
    if (nSelected >= 0) {
        m_pList->selectionModel()->setCurrentIndex(m_pList->model()->index(nSelected, 0),
                                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    m_pList->SetTopIndex(nTop);
}

void CMainDlg::ClearRows(const CMachine* pGone) {
    if (!m_view.bCaptured)
        CaptureRowsView();
    // A removed machine's record is gone: a new one may later be made at the same address.
    if (pGone != nullptr && m_view.pSelected == pGone)
        m_view.pSelected = nullptr;
    if (pGone != nullptr && m_view.pTop == pGone)
        m_view.pTop = nullptr;
    m_pList->DeleteAllItems();
}

void CMainDlg::SortRows() {
    if (m_nSortColumn < 0)
        return;
    m_pList->SortItems([this](void* a, void* b) {
        return CompareRows(static_cast<const CMachine*>(a), static_cast<const CMachine*>(b), m_nSortColumn);
    });
}

void CMainDlg::EndCycle() {
    m_cycle = Cycle::Idle;
    unsetCursor();
    emit PassApplied();
    if (auto fill = std::exchange(m_queuedFill, nullptr))
        fill();
}

void CMainDlg::OnTimer() {
    if (m_cycle != Cycle::Idle)
        return;
    RunPass(PassKind::MonitoringPass, [this](const PassOutcome& outcome) {
        if (outcome.strMessage.empty()) {
            EndCycle();
            return;
        }
        m_cycle = Cycle::Announcing;
        ShowNotification(QString::fromStdString(outcome.strMessage));
    });
}

void CMainDlg::FillList(std::function<void()> after) {
    if (m_cycle != Cycle::Idle) {
        m_queuedFill = [this, after = std::move(after)]() mutable { FillList(std::move(after)); };
        return;
    }
    RunPass(PassKind::ListFill, [this, after = std::move(after)](const PassOutcome& outcome) {
        m_nOnline = outcome.nOnline;
        if (after)
            after();
        EndCycle();
    });
}

void CMainDlg::OnSelchangeGroup() {
    FillList([this] { UpdateCounts(); });
}

void CMainDlg::UpdateCounts() {
    if (!m_pStatusCounts)
        return;
    const std::string strCounts =
        FormatCounts(static_cast<std::int32_t>(m_machines.GetCount()), m_pList->GetItemCount(), m_nOnline);
    // The leading tab centres the text in its part; the label centres it instead.
    m_pStatusCounts->setText(QString::fromStdString(strCounts).remove(QLatin1Char('\t')));
}

void CMainDlg::SetMonitorIcon(bool bOn) {
    m_pMonitorButton->setIcon(QIcon(bOn ? QStringLiteral(":/icons/144.png") : QStringLiteral(":/icons/145.png")));
}

void CMainDlg::StartMonitorTimer(int nRefreshSeconds) {
    m_monitorTimer.start(std::max(1, nRefreshSeconds) * 1000);
    m_nTimerId = m_monitorTimer.isActive() ? IDT_MONITOR : 0;
}

void CMainDlg::StopMonitorTimer() {
    m_monitorTimer.stop();
    m_nTimerId = 0;
}

void CMainDlg::OnMonitorToggle() {
    if (m_nTimerId != 0) {
        StopMonitorTimer();
        SetMonitorIcon(false);
        m_settings.m_bMonitor = 0;
        m_pMonitorButton->setToolTip(QStringLiteral("Monitoring is off"));
    } else {
        StartMonitorTimer(m_settings.m_nRefresh);
        SetMonitorIcon(true);
        m_settings.m_bMonitor = 1;
        m_pMonitorButton->setToolTip(QStringLiteral("Monitoring is on"));
    }
}

void CMainDlg::WarnIfProbesCannotRun() {
    if (m_bWarnedProbes || m_services.canProbe())
        return;
    m_bWarnedProbes = true;
    // Said once, instead of silently showing every machine offline.
    ShowLater(QStringLiteral(
        "Lanwick cannot send pings: this user may open neither a raw nor a datagram ICMP socket, so every "
        "machine would show as offline.\n\nGrant the right in one of these ways, then start Lanwick again:\n"
        " - give the program the CAP_NET_RAW capability:  sudo setcap cap_net_raw+ep <path to lanwick>\n"
        " - or allow your group to use ICMP datagram sockets:  sudo sysctl -w "
        "net.ipv4.ping_group_range=\"0 2147483647\""));
}

} // namespace lanwick
