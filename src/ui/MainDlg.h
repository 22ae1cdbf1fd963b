// The main window: the machine list of the shown group with its state, the monitoring switch and timer, the
// add-machine controls, the menus and the status bar. Pings and lookups run off the window thread; their results
// are applied here, on the window thread, in machine-list order.
#pragma once

#include "history/History.h"
#include "monitor/MonitorPass.h"
#include "monitor/Settings.h"
#include "platform/FileStore.h"
#include "platform/Resolver.h"
#include "probes/PingProvider.h"
#include "registry/MachineList.h"
#include "ui/MachineSheet.h"
#include "ui/SettingsSheet.h"

#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QStatusBar;
class QSystemTrayIcon;
class CIPAddressCtrl;

namespace lanwick {

class CXListCtrl;
class CTaskbarNotifier;
class CDlgLayout;
class CSound;
class CBackgroundJobs;

// Window messages and ids of the program that Qt code still speaks of.
inline constexpr int IDT_MONITOR = 23;

// Shown when the sockets cannot be started; "intializing" is the program's text as users know it: keep it so.
inline constexpr char kSocketsFailedText[] = "Failed intializing sockets. Are you sure your system works fine?";

// What the window asks of the network and the desktop; tests replace any of them.
struct MainDlgServices {
    IPingProvider* pPinger = nullptr; // null: the window's own engine
    std::function<bool()> canProbe;   // may ICMP sockets be opened?
    std::function<std::optional<platform::HostEntry>(const std::string&)> forwardLookup;
    std::function<std::optional<std::string>(const platform::Ipv4&)> reverseLookup;
    std::function<std::string(const std::string&)> getMacAddress;          // twelve digits
    std::function<void(const QString&)> notify;                            // null: the popup's Show and sound
    std::function<std::optional<bool>(QWidget*, const QString&)> askYesNo; // null: a message box
    // The machine file changed on disk behind the window: true reloads it, false overwrites it, nothing saves
    // nothing. Null: a message box.
    std::function<std::optional<bool>(QWidget*, const QString&)> askReload;
    std::function<void(QWidget*, const QString&)> message; // null: a message box
    // The General page alone for "add anyway": the page's address and name on OK.
    std::function<std::optional<std::pair<platform::Ipv4, std::string>>(QWidget*, const platform::Ipv4&)>
        generalPageAlone;
    // The settings and machine sheets; null: the real modal sheets.
    std::function<std::optional<SettingsValues>(QWidget*, const SettingsValues&)> settingsSheet;
    std::function<std::optional<MachineValues>(QWidget*, const CMachine&)> machineSheet;
    // The range scan dialog: true when it ended with OK (its machines are then in the list); null: the real one.
    std::function<bool(QWidget*, CMachineList&)> massAdd;
    // Where the passes are recorded and whether at all (the program passes its settings file's [History] section);
    // null: no history, and the machine sheet has no History page.
    std::optional<history::HistoryOptions> history;
};

class CMainDlg : public QDialog {
    Q_OBJECT
public:
    CMainDlg(const SettingsLocation& location, MainDlgServices services = {}, QWidget* pParent = nullptr);
    ~CMainDlg() override;

    // When the start's work that the first frame does not show runs (the ICMP check, the first list fill, the
    // tray icon and the popup): at once, or queued after the window's first paint so that the window appears
    // sooner (the program).
    enum class StartWork { Now, AfterFirstPaint };
    // Start-up in its order of steps; false when the program must end (exit code 1).
    bool OnInitDialog(StartWork eWork = StartWork::Now);

    // Monitoring cycle.
    void OnTimer();
    void FillList(std::function<void()> after = {});
    void OnSelchangeGroup();
    void UpdateCounts();
    void OnMonitorToggle();

    // Commands.
    void OnAddMachine();
    void OnMachineProperties();
    void OnListKeyDown(int nKey);
    void OnDeleteMachine();
    void OnListRightClick(const QPoint& ptScreen);
    void OnColumnClick(int nColumn);
    void OnLoadFile();
    void OnSaveFile();
    void OnSaveFileAs();
    void OnMassAdd();
    void OnSettings();
    void OnAbout();
    void OnExit();
    void OnWebPage();
    void OnWakeOnLan();
    void OnShutdown();
    void OnNotifierTest();
    // Tray icon: acts only on a left press (0x201) on icon 110.
    void OnTrayNotify(int nIconId, int nMouseMessage);
    bool HasTrayIcon() const;
    // How often the notification sound was started (tests check that a pass plays it once).
    int SoundsPlayed() const { return m_nSoundsPlayed; }

    // Group combos and tooltips.
    void FillGroupCombos();
    void SetupToolTips();
    void CreateContextMenu();

    // Orders rows a and b by the column's text of their machines; rows without a machine go last.
    int CompareRows(const CMachine* pA, const CMachine* pB, int nColumn) const;

    // Loads a machine file in place of the list, as the load command does after its file dialog.
    void LoadMachineFile(const QString& strPath);

    // True while pings of a pass, a list fill or a command are in flight, or the start's work is still to come.
    bool IsBusy() const;
    // Runs the event loop until no background work is left or msTimeout has passed; for tests and shutdown.
    bool WaitIdle(int msTimeout);

    CMachineList& Machines() { return m_machines; }
    CSettings& Settings() { return m_settings; }
    const std::string& CurrentFile() const { return m_strCurrentFile; }
    CXListCtrl* ListCtrl() const { return m_pList; }
    QMenu* ContextMenu() const { return m_pContextMenu; }
    CTaskbarNotifier* Notifier() const { return m_pNotifier; }
    history::CHistoryWriter* HistoryWriter() const { return m_pHistory.get(); } // null: no history kept
    QString CountsText() const;
    int SortDirection() const { return m_nSortDirection; }

    std::string m_strAppDir;
    std::string m_strEditName;
    std::string m_strCurrentFile;
    std::string m_strDefFile;
    int m_nTimerId = 0;
    std::int32_t m_nOnline = 0;

signals:
    // A pass or list fill has applied its rows (tests and the benchmark wait on it).
    void PassApplied();

protected:
    void reject() override;
    void closeEvent(QCloseEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;

private:
    void FinishStart();
    void BuildControls();
    void BuildMenu();
    void PlaceMenuBar();
    void BuildStatusBar();
    void FitListColumns();
    void AddTrayIcon();
    void RegisterMainLayout();
    void ApplySettingsToMonitor();
    void SetMonitorIcon(bool bOn);
    void StartMonitorTimer(int nRefreshSeconds);
    void StopMonitorTimer();
    void ApplyOutcome(const PassOutcome& outcome);
    // Rows are rebuilt by every pass and fill; the operator's selection, scroll position and sort survive it.
    void CaptureRowsView();
    void RestoreRowsView();
    // Deletes every row ahead of a fill, keeping the view for it; pGone is a machine just removed.
    void ClearRows(const CMachine* pGone = nullptr);
    void SortRows();
    void RunPass(PassKind kind, std::function<void(const PassOutcome&)> done);
    void EndCycle();
    void WarnIfProbesCannotRun();
    void StartHistory();
    void RecordHistory(const PassOutcome& outcome);
    void OnHistoryPaused(const QString& strReason);
    std::optional<HistorySource> HistorySourceForSheet() const;
    void SaveMachines();
    CMachine* SelectedMachine() const;
    void ShowMessage(const QString& strText);
    void ShowLater(const QString& strText);
    void LoadMachines();
    void ShowNotification(const QString& strText);
    std::string FilterText() const;
    bool ComboHas(QComboBox* pCombo, const QString& strText) const;
    void AddToGroupCombos(const QString& strGroup);
    void AddMachineCommon(const std::string& strAddress, const platform::Ipv4& ip, const std::string& strGroup);
    // The Add command in steps: what was typed, looked up off the window thread, then decided and shown.
    struct AddRequest;
    struct AddLookup;
    static AddLookup LookUp(const AddRequest& request, const MainDlgServices& services, IPingProvider& pinger,
                            unsigned nPause);
    void OnAddLookedUp(const AddRequest& request, const AddLookup& found);
    void AddFoundRow(const AddLookup& found);
    void FinishAdd();
    void AddAnyway(const platform::Ipv4& ipTyped);
    bool IsInList(const CMachine* pMachine);

    SettingsLocation m_location;
    MainDlgServices m_services;
    std::unique_ptr<IPingProvider> m_pOwnPinger;
    IPingProvider* m_pPinger = nullptr;

    CMachineList m_machines;
    CSettings m_settings;
    // The current file holds machines the load could not read: its first save keeps the original as NAME.bak.
    bool m_bBackupDue = false;
    // The current file as this window last read or wrote it: a save over a file that another writer has changed
    // since would silently drop that writer's machines.
    platform::FileStamp m_fileStamp;

    QPushButton* m_pMonitorButton = nullptr;
    QComboBox* m_pGroupFilter = nullptr;
    QComboBox* m_pNewGroup = nullptr;
    CIPAddressCtrl* m_pAddress = nullptr;
    QLineEdit* m_pEditName = nullptr;
    QPushButton* m_pAddButton = nullptr;
    CXListCtrl* m_pList = nullptr;
    QWidget* m_pClient = nullptr;
    QMenuBar* m_pMenuBar = nullptr;
    QStatusBar* m_pStatusBar = nullptr;
    QLabel* m_pStatusText = nullptr;
    QLabel* m_pStatusCounts = nullptr;
    QMenu* m_pContextMenu = nullptr;
    CTaskbarNotifier* m_pNotifier = nullptr;
    CSound* m_pSound = nullptr;
    QSystemTrayIcon* m_pTray = nullptr;
    int m_nSoundsPlayed = 0;
    std::unique_ptr<CDlgLayout> m_pLayout;
    QTimer m_monitorTimer;
    std::unique_ptr<CBackgroundJobs> m_pJobs;
    std::unique_ptr<history::CHistoryWriter> m_pHistory;
    bool m_bHistoryPauseShown = false;

    // The monitoring cycle: a pass or a list fill pings on a worker; a pass that saw a machine come or go then
    // announces it (popup and sound), and the next pass waits for both. One list fill may wait its turn: the
    // newest, which sees the list as it is when it runs. A timer tick in a running cycle is skipped.
    enum class Cycle { Idle, Pinging, Announcing };
    Cycle m_cycle = Cycle::Idle;
    std::function<void()> m_queuedFill;
    bool m_bWarnedProbes = false;
    bool m_bStartPending = false; // FinishStart has yet to run
    int m_nSortDirection = 1;
    int m_nSortColumn = -1; // -1: rows in machine-list order

    // The view before the rows were deleted. Machines are only compared by address here, never read.
    struct RowsView {
        bool bCaptured = false;
        const CMachine* pSelected = nullptr;
        const CMachine* pTop = nullptr;
        int nTopRow = -1;
    };
    RowsView m_view;
    // Where the client area stood when the window went to the tray; a left press on the icon puts it back there.
    std::optional<QPoint> m_ptBeforeTray;
};

} // namespace lanwick
