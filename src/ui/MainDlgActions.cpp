// Commands of the main window that open other windows (scan, sheets, remote actions), the notification with its
// sound, and the window's minimise and restore.
#include "ui/MainDlg.h"

#include "actions/WakeOnLan.h"
#include "controls/Sound.h"
#include "controls/TaskbarNotifier.h"
#include "controls/XListCtrl.h"
#include "probes/VendorTable.h"
#include "ui/DlgLayout.h"
#include "ui/MachineSheet.h"
#include "ui/MassAddDlg.h"
#include "ui/SettingsSheet.h"
#include "ui/ShutdownDlg.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QWindowStateChangeEvent>

namespace lanwick {

void CMainDlg::ShowNotification(const QString& strText) {
    if (m_services.notify) {
        m_services.notify(strText);
        EndCycle();
        return;
    }
    if (m_pNotifier)
        m_pNotifier->Show(strText, 500, 9500, 200, 10);
    // The cycle announces until its sound has ended, so sounds never overlap; the window thread goes on.
    if (!m_pSound) {
        m_pSound = new CSound(this);
        connect(m_pSound, &CSound::Finished, this, [this] {
            if (m_cycle == Cycle::Announcing)
                EndCycle();
        });
    }
    ++m_nSoundsPlayed;
    m_pSound->Play(150);
}

void CMainDlg::AddTrayIcon() {
    m_pTray = new QSystemTrayIcon(QIcon(QStringLiteral(":/icons/143.png")), this);
    m_pTray->setToolTip(QStringLiteral("Network lanwick"));
    connect(m_pTray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        OnTrayNotify(110, reason == QSystemTrayIcon::Trigger ? 0x201 : 0);
    });
    m_pTray->show();
}

bool CMainDlg::HasTrayIcon() const {
    return m_pTray && QSystemTrayIcon::isSystemTrayAvailable();
}

void CMainDlg::OnTrayNotify(int nIconId, int nMouseMessage) {
    if (nIconId != 110 || nMouseMessage != 0x201)
        return;
    // Leave the minimised state before showing, so that showing does not count as another minimise.
    setWindowState(windowState() & ~Qt::WindowMinimized);
    setEnabled(true);
    show();
    // Back where it was: to the window manager a window shown again is a new one, which it would place anew
    // (openbox put it 10 pixels right and 40 lower). The client area's corner is given, not the frame's: Qt only
    // learns the frame's size some time after the window manager has framed the window. Should that place have left
    // the screens meanwhile (a monitor unplugged), the window manager's choice is the better one.
    if (m_ptBeforeTray && QGuiApplication::screenAt(*m_ptBeforeTray))
        setGeometry(QRect(*m_ptBeforeTray, size()));
    raise();
    activateWindow();
}

void CMainDlg::OnNotifierTest() {
    if (m_pNotifier)
        m_pNotifier->Show(QStringLiteral("Just testing"), 500, 10500, 200, 10);
}

void CMainDlg::OnMassAdd() {
    const bool bAdded = m_services.massAdd ? m_services.massAdd(this, m_machines)
                                           : CMassAddDlg::Run(this, m_machines, VendorTableData(), VendorTableSize());
    if (!bAdded)
        return;
    FillGroupCombos();
    SaveMachines();
    // Filling the combos selects their first group: the rows and counts follow it at once.
    OnSelchangeGroup();
}

void CMainDlg::OnSettings() {
    const SettingsValues current{m_settings.m_bShowPingTime, m_settings.m_bHideExcluded, m_strDefFile,
                                 m_settings.m_nRetries,      m_settings.m_nPause,        m_settings.m_bMonitor,
                                 m_settings.m_nRefresh};
    const auto values =
        m_services.settingsSheet ? m_services.settingsSheet(this, current) : RunSettingsSheet(this, current);
    if (!values)
        return;
    m_settings.m_bHideExcluded = values->bHideExcluded;
    m_settings.m_bShowPingTime = values->bShowPingTime;
    m_strDefFile = m_settings.m_strDefFile = values->strDefFile;
    m_settings.m_nRetries = AttemptsFor(values->nRetries);
    if (!m_settings.m_bMonitor && values->bMonitor) {
        StartMonitorTimer(values->nRefresh);
        SetMonitorIcon(true);
        m_pMonitorButton->setToolTip(QStringLiteral("Monitoring is on"));
    } else if (m_settings.m_bMonitor && !values->bMonitor) {
        StopMonitorTimer();
        SetMonitorIcon(false);
        m_pMonitorButton->setToolTip(QStringLiteral("Monitoring is off"));
    }
    m_settings.m_nRefresh = values->nRefresh;
    m_settings.m_bMonitor = values->bMonitor;
    m_settings.m_nPause = values->nPause;
    if (!m_settings.SaveSettings(m_location.strIniFile))
        ShowMessage(
            QStringLiteral("Could not save the settings to %1.").arg(QString::fromStdString(m_location.strIniFile)));
}

bool CMainDlg::IsInList(const CMachine* pMachine) {
    m_machines.ResetCursor();
    while (const CMachine* p = m_machines.GetNextMachine())
        if (p == pMachine)
            return true;
    return false;
}

void CMainDlg::OnMachineProperties() {
    CMachine* pMachine = SelectedMachine();
    if (!pMachine)
        return;
    const auto values = m_services.machineSheet ? m_services.machineSheet(this, *pMachine)
                                                : RunMachineSheet(this, *pMachine, VendorTableData(), VendorTableSize(),
                                                                  {}, HistorySourceForSheet());
    // The sheet is modal, but the machine is checked again rather than trusted across it.
    if (!values || !IsInList(pMachine))
        return;
    pMachine->m_strName = values->strName;
    pMachine->m_strMac = values->strMac;
    pMachine->m_ip = values->ip;
    pMachine->m_bExcluded = values->bExcluded;
    pMachine->m_bNotify = values->bNotify;
    pMachine->m_bNotifyOffline = values->bNotifyOffline;
    SaveMachines();
    ClearRows();
    FillList();
}

void CMainDlg::OnWakeOnLan() {
    CMachine* pMachine = SelectedMachine();
    if (!pMachine)
        return;
    // The packet is fire-and-forget; only a packet that could not be sent at all is worth a word.
    const int nResult = WakeMachine(*pMachine);
    const QString strName = QString::fromStdString(pMachine->m_strName);
    if (nResult != kWolSent)
        ShowMessage(QStringLiteral("Cannot wake %1: %2.")
                        .arg(strName, QString::fromStdString(WakeFailureText(nResult, pMachine->m_strMac))));
}

void CMainDlg::OnShutdown() {
    if (CMachine* pMachine = SelectedMachine())
        RunShutdownCommand(this, *pMachine);
}

void CMainDlg::RegisterMainLayout() {
    m_pLayout->Register(m_pClient, nullptr, kMainDlgLayout.data(), static_cast<int>(kMainDlgLayout.size()));
}

void CMainDlg::changeEvent(QEvent* pEvent) {
    QDialog::changeEvent(pEvent);
    if (pEvent->type() == QEvent::FontChange && m_pList != nullptr) {
        FitListColumns();
        return;
    }
    // Minimised, the window leaves the screen and the task bar for the tray; where the desktop has no tray it
    // stays an ordinary minimised window, or it could never be brought back.
    if (pEvent->type() == QEvent::WindowStateChange && isMinimized() && HasTrayIcon()) {
        if (isVisible())
            m_ptBeforeTray = geometry().topLeft();
        setEnabled(false);
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (isMinimized())
                    hide();
            },
            Qt::QueuedConnection);
        return;
    }
    // The window has no sizing border: only a restore from the minimised state needs the controls re-arranged.
    if (pEvent->type() == QEvent::WindowStateChange && !isMinimized() && m_pLayout)
        m_pLayout->Arrange();
}

} // namespace lanwick
