// The main window's construction, start-up, group combos, tooltips and the window's own events.
#include "ui/MainDlg.h"

#include "controls/ControlId.h"
#include "controls/DialogFont.h"
#include "controls/DialogUnits.h"
#include "controls/IpAddressCtrl.h"
#include "controls/TaskbarNotifier.h"
#include "controls/XListCtrl.h"
#include "platform/Icmp.h"
#include "platform/Sockets.h"
#include "probes/Lookups.h"
#include "probes/PingEngine.h"
#include "registry/Groups.h"
#include "ui/BackgroundJobs.h"
#include "ui/DlgLayout.h"
#include "ui/MessageBox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

namespace lanwick {

namespace {

// The start's remaining work runs after the first paint, or after this long without one.
constexpr int kStartWorkFallbackMs = 1000;

QLabel* MakeLabel(QWidget* pParent, const QString& strText, const QRect& rc) {
    auto* pLabel = new QLabel(strText, pParent);
    pLabel->setGeometry(rc);
    return pLabel;
}

MainDlgServices WithDefaults(MainDlgServices s) {
    if (!s.canProbe)
        s.canProbe = [] { return platform::CanOpenIcmp(); };
    if (!s.forwardLookup)
        s.forwardLookup = [](const std::string& host) { return platform::LookupHost(host); };
    if (!s.reverseLookup)
        s.reverseLookup = [](const platform::Ipv4& ip) { return platform::ReverseLookup(ip); };
    if (!s.getMacAddress)
        s.getMacAddress = [](const std::string& address) { return GetMacAddress(address); };
    return s;
}

} // namespace

CMainDlg::CMainDlg(const SettingsLocation& location, MainDlgServices services, QWidget* pParent)
    : QDialog(pParent), m_location(location), m_services(WithDefaults(std::move(services))),
      m_pJobs(std::make_unique<CBackgroundJobs>()) {
    m_strAppDir = location.strAppDir;
    if (m_services.pPinger) {
        m_pPinger = m_services.pPinger;
    } else {
        m_pOwnPinger = std::make_unique<CPingEngine>();
        m_pPinger = m_pOwnPinger.get();
    }
    setWindowTitle(QStringLiteral("Lanwick v0.5"));
    setFont(DialogFont());
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setWindowIcon(QIcon(QStringLiteral(":/icons/143.png")));
    BuildControls();
    BuildMenu();
    PlaceMenuBar();
    m_monitorTimer.setTimerType(Qt::CoarseTimer);
    connect(&m_monitorTimer, &QTimer::timeout, this, &CMainDlg::OnTimer);
}

CMainDlg::~CMainDlg() {
    // The destroy handler's order: tray icon, timer, sockets; pings in flight are cut short and awaited.
    if (m_pTray)
        m_pTray->hide();
    StopMonitorTimer();
    if (m_pOwnPinger)
        m_pOwnPinger->Cancel();
    m_pJobs->WaitForWorkers();
    m_pJobs.reset();
    // After the last pass: the writer stores what it was handed, then ends its thread.
    m_pHistory.reset();
    delete m_pNotifier;
    platform::SocketsCleanup();
}

void CMainDlg::BuildControls() {
    // Dialog template 102 at its designed size; the menu bar sits above it, as a menu does above a client area.
    m_pMenuBar = new QMenuBar(this);
    m_pClient = new QWidget(this);
    const QRect rcClient = DluRect(0, 0, 266, 210);
    m_pClient->resize(rcClient.size());

    m_pMonitorButton = new QPushButton(m_pClient);
    SetControlId(m_pMonitorButton, 1043);
    m_pMonitorButton->setGeometry(DluRect(7, 7, 15, 15));
    m_pMonitorButton->setIconSize(QSize(16, 16));
    m_pMonitorButton->setAutoDefault(false);
    connect(m_pMonitorButton, &QPushButton::clicked, this, &CMainDlg::OnMonitorToggle);

    MakeLabel(m_pClient, QStringLiteral("Select group:"), DluRect(100, 10, 45, 8));
    m_pGroupFilter = new QComboBox(m_pClient);
    SetControlId(m_pGroupFilter, 1001);
    m_pGroupFilter->setGeometry(DluRect(149, 5, 110, 12));
    connect(m_pGroupFilter, &QComboBox::activated, this, [this](int) { OnSelchangeGroup(); });

    m_pList = new CXListCtrl(m_pClient);
    SetControlId(m_pList, 1000);
    m_pList->setGeometry(DluRect(7, 22, 252, 90));
    m_pList->SetSingleSelection(true);
    connect(m_pList, &CXListCtrl::ColumnClick, this, &CMainDlg::OnColumnClick);
    connect(m_pList, &CXListCtrl::ItemDoubleClick, this, [this](int nItem, int) {
        if (nItem >= 0)
            OnMachineProperties();
    });
    connect(m_pList, &CXListCtrl::KeyDown, this, &CMainDlg::OnListKeyDown);
    connect(m_pList, &CXListCtrl::RightClick, this,
            [this](int, int, const QPoint& ptScreen) { OnListRightClick(ptScreen); });

    auto* pSeparator = new QFrame(m_pClient);
    SetControlId(pSeparator, 1008);
    pSeparator->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    pSeparator->setGeometry(DluRect(7, 113, 252, 1).adjusted(0, 0, 0, 1));

    MakeLabel(m_pClient, QStringLiteral("IP Address:"), DluRect(7, 127, 40, 8));
    m_pAddress = new CIPAddressCtrl(m_pClient);
    SetControlId(m_pAddress, 1002);
    m_pAddress->setGeometry(DluRect(52, 122, 100, 15));

    MakeLabel(m_pClient, QStringLiteral("Name:"), DluRect(12, 147, 30, 8));
    m_pEditName = new QLineEdit(m_pClient);
    SetControlId(m_pEditName, 1003);
    m_pEditName->setGeometry(DluRect(52, 142, 100, 14));

    MakeLabel(m_pClient, QStringLiteral("Group:"), DluRect(12, 167, 22, 8));
    m_pNewGroup = new QComboBox(m_pClient);
    SetControlId(m_pNewGroup, 1005);
    m_pNewGroup->setEditable(true);
    m_pNewGroup->setInsertPolicy(QComboBox::NoInsert);
    m_pNewGroup->setGeometry(DluRect(52, 162, 100, 12));

    m_pAddButton = new QPushButton(QStringLiteral("Add"), m_pClient);
    SetControlId(m_pAddButton, 1004);
    m_pAddButton->setGeometry(DluRect(52, 182, 50, 14));
    m_pAddButton->setDefault(true);
    connect(m_pAddButton, &QPushButton::clicked, this, &CMainDlg::OnAddMachine);

    auto* pFrame = new QFrame(m_pClient);
    SetControlId(pFrame, 1009);
    pFrame->setGeometry(DluRect(0, 5, 250, 195));
    pFrame->hide();
}

void CMainDlg::PlaceMenuBar() {
    // Measured once the bar holds its menus: an empty bar asks for no height at all. The window grows by the
    // bar's height, as a window menu adds to a window, so the client area keeps the template's layout.
    const QSize szClient = m_pClient->size();
    const int nMenuHeight = m_pMenuBar->heightForWidth(szClient.width()) > 0
                                ? m_pMenuBar->heightForWidth(szClient.width())
                                : m_pMenuBar->sizeHint().height();
    m_pMenuBar->setGeometry(0, 0, szClient.width(), nMenuHeight);
    m_pClient->move(0, nMenuHeight);
    setFixedSize(szClient.width(), szClient.height() + nMenuHeight);
}

void CMainDlg::BuildStatusBar() {
    m_pStatusBar = new QStatusBar(m_pClient);
    SetControlId(m_pStatusBar, 1102);
    m_pStatusBar->setSizeGripEnabled(false);
    // Parts end at (width - 730), (width - 80) and the end: on a window this narrow the first part has no room,
    // the fixed text takes the rest right-aligned, and the counts the last 80 pixels, centred.
    m_pStatusText = new QLabel(QStringLiteral("Total machines/CurrentGroup/Online:"), m_pStatusBar);
    m_pStatusText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_pStatusCounts = new QLabel(m_pStatusBar);
    m_pStatusCounts->setAlignment(Qt::AlignCenter);
    m_pStatusCounts->setFixedWidth(80);
    m_pStatusBar->addWidget(m_pStatusText, 1);
    m_pStatusBar->addPermanentWidget(m_pStatusCounts);
    const int nHeight = m_pStatusBar->sizeHint().height();
    m_pStatusBar->setGeometry(0, m_pClient->height() - nHeight, m_pClient->width(), nHeight);
    m_pStatusBar->show();
}

bool CMainDlg::OnInitDialog(StartWork eWork) {
    // The system menu's About item is the Help menu's About here: window managers own the system menu.
    setWindowIcon(QIcon(QStringLiteral(":/icons/143.png")));
    if (!platform::SocketsStartup()) {
        ShowMessage(QString::fromLatin1(kSocketsFailedText));
        return false;
    }
    std::string strSettingsError;
    if (!m_settings.LoadSettings(m_location.strIniFile, m_location.strAppDir, &strSettingsError))
        ShowLater(QStringLiteral("The settings file %1 was not read: %2.\nLanwick runs with the default settings.")
                      .arg(QString::fromStdString(m_location.strIniFile), QString::fromStdString(strSettingsError)));
    m_strDefFile = m_settings.m_strDefFile;
    m_strCurrentFile = m_strDefFile;
    StartHistory();

    m_pList->InsertColumn(0, QStringLiteral("Name"), LVCFMT_LEFT, 130);
    m_pList->InsertColumn(1, QStringLiteral("IP"), LVCFMT_LEFT, 85);
    m_pList->InsertColumn(2, QStringLiteral("MAC"), LVCFMT_LEFT, 95);
    m_pList->InsertColumn(3, QStringLiteral("Online"), LVCFMT_CENTER, 45);
    m_pList->SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    FitListColumns();

    LoadMachines();
    FillGroupCombos();
    m_nSortDirection = 1;
    m_bStartPending = true;
    if (eWork == StartWork::Now) {
        FinishStart();
    } else {
        // The first paint normally starts it; should none come (a display that never exposes the window), this.
        QTimer::singleShot(kStartWorkFallbackMs, this, &CMainDlg::FinishStart);
    }

    BuildStatusBar();

    m_pLayout = std::make_unique<CDlgLayout>();
    RegisterMainLayout();

    if (m_settings.m_bMonitor)
        StartMonitorTimer(m_settings.m_nRefresh);
    SetMonitorIcon(m_settings.m_bMonitor != 0);
    UpdateCounts();
    SetupToolTips();
    CreateContextMenu();
    return true;
}

void CMainDlg::FinishStart() {
    if (!m_bStartPending)
        return;
    m_bStartPending = false;
    WarnIfProbesCannotRun();
    FillList([this] { UpdateCounts(); });

    AddTrayIcon();
    m_pNotifier = new CTaskbarNotifier();
    m_pNotifier->Create(this);
    m_pNotifier->SetSkin(135, 255, 0, 255);
    m_pNotifier->SetTextFont(QStringLiteral("Verdana"), 70, CTaskbarNotifier::TextNormal,
                             CTaskbarNotifier::TextUnderline);
    m_pNotifier->SetTextColor(RGB(0, 0, 0), RGB(0, 0, 200));
    const QSize skin = m_pNotifier->GetSkinSize();
    m_pNotifier->SetTextRect(10, 40, skin.width() - 10, skin.height() - 25);
}

void CMainDlg::paintEvent(QPaintEvent* pEvent) {
    QDialog::paintEvent(pEvent);
    // Queued, so that the frame reaches the screen before the start's remaining work runs.
    if (m_bStartPending)
        QTimer::singleShot(0, this, &CMainDlg::FinishStart);
}

void CMainDlg::FitListColumns() {
    // The designed widths belong to the program's own font and grow in proportion with a larger one. A column
    // whose longest normal text would still be cut widens, and the name column gives way, so the list keeps its
    // total width and its column order.
    static constexpr std::array<int, 4> kWidths{130, 85, 95, 45};
    if (m_pList->GetColumns() != static_cast<int>(kWidths.size()))
        return;
    const double dScale = std::max(1.0, static_cast<double>(QFontInfo(m_pList->font()).pixelSize()) /
                                            QFontInfo(DialogFont()).pixelSize());
    std::array<int, 4> widths{};
    std::transform(kWidths.begin(), kWidths.end(), widths.begin(),
                   [dScale](int nWidth) { return static_cast<int>(std::lround(nWidth * dScale)); });
    QStringList addresses;
    QStringList macs;
    QStringList states{QStringLiteral("Yes"), QStringLiteral("No"), QStringLiteral("Exc"), QStringLiteral("<1")};
    for (const QChar c : QStringLiteral("0123456789ABCDEF")) {
        const QString strPair = QString(2, c);
        macs << QLatin1Char(' ') + QStringList(6, strPair).join(QLatin1Char(':'));
        if (c.isDigit()) {
            addresses << QLatin1Char(' ') + QStringList(4, QString(3, c)).join(QLatin1Char('.'));
            states << QString(3, c) + QLatin1Char('.') + strPair; // a round trip under the one-second wait
        }
    }
    const std::array<QStringList, 4> widest{QStringList{}, addresses, macs, states};
    const int nTotal = std::accumulate(widths.begin(), widths.end(), 0);
    int nOthers = 0;
    for (std::size_t nCol = 1; nCol < widths.size(); ++nCol) {
        const int nWidth = std::max(widths[nCol], m_pList->GetColumnWidthFor(static_cast<int>(nCol), widest[nCol]));
        m_pList->SetColumnWidth(static_cast<int>(nCol), nWidth);
        nOthers += nWidth;
    }
    m_pList->SetColumnWidth(0, std::max(m_pList->GetColumnWidthFor(0, {}), nTotal - nOthers));
}

void CMainDlg::FillGroupCombos() {
    std::vector<std::string> filterEntries;
    for (int i = 0; i < m_pGroupFilter->count(); ++i)
        filterEntries.push_back(m_pGroupFilter->itemText(i).toStdString());
    std::vector<std::string> newEntries;
    for (int i = 0; i < m_pNewGroup->count(); ++i)
        newEntries.push_back(m_pNewGroup->itemText(i).toStdString());

    for (const auto& strGroup : GroupsForCombo(m_machines, filterEntries))
        filterEntries.push_back(strGroup);
    for (const auto& strGroup : GroupsForCombo(m_machines, newEntries))
        newEntries.push_back(strGroup);
    if (!ComboHasPrefix(filterEntries, kAllMachines))
        filterEntries.push_back(kAllMachines);

    // Both combos keep their entries sorted, as the sorted combo boxes do (by the case-insensitive order).
    auto fill = [](QComboBox* pCombo, std::vector<std::string> entries) {
        std::stable_sort(entries.begin(), entries.end(),
                         [](const std::string& a, const std::string& b) { return CompareNoCase(a, b) < 0; });
        const QString strEdit = pCombo->isEditable() ? pCombo->currentText() : QString();
        pCombo->clear();
        for (const auto& e : entries)
            pCombo->addItem(QString::fromStdString(e));
        if (pCombo->isEditable())
            pCombo->setEditText(strEdit);
    };
    fill(m_pGroupFilter, filterEntries);
    fill(m_pNewGroup, newEntries);
    m_pGroupFilter->setCurrentIndex(m_pGroupFilter->count() > 1 ? 1 : -1);
}

void CMainDlg::SetupToolTips() {
    m_pMonitorButton->setToolTip(m_settings.m_bMonitor ? QStringLiteral("Monitoring is on...")
                                                       : QStringLiteral("Monitoring is off"));
    m_pEditName->setToolTip(QStringLiteral("Enter computer name here..."));
}

void CMainDlg::LoadMachines() {
    m_bBackupDue = false;
    // Taken before the read: a change in between then shows as a change, never the other way round.
    m_fileStamp = platform::StampOf(m_strCurrentFile);
    // A file that is there but cannot be read (or is far too large) would otherwise look like an empty list,
    // and the next save would replace it: the operator hears of it first.
    if (m_machines.LoadFile(m_strCurrentFile) == 1) {
        ShowLater(QStringLiteral("The machine file %1 could not be read, or is larger than %2 MB: the list starts "
                                 "empty.\nSaving will replace that file.")
                      .arg(QString::fromStdString(m_strCurrentFile))
                      .arg(kMaxMachineFileBytes >> 20));
        return;
    }
    // A save writes only what was read: the operator hears what would go, and the original is kept.
    const LoadReport& report = m_machines.LastLoad();
    if (report.Lossless())
        return;
    m_bBackupDue = true;
    // Only what happened is named: "1 machine beyond its count", not "0 damaged entries and 1 beyond its count".
    auto machines = [](std::size_t n) {
        return n == 1 ? QStringLiteral("1 machine") : QStringLiteral("%1 machines").arg(n);
    };
    QStringList lost;
    if (report.nSkipped != 0)
        lost << machines(report.nSkipped) + QStringLiteral(" too damaged to read");
    if (report.nBeyondCount != 0)
        lost << machines(report.nBeyondCount) + QStringLiteral(" beyond its count");
    ShowLater(QStringLiteral("The machine file %1 holds %2, not read.\nThe first save keeps the original file as "
                             "%1.bak.")
                  .arg(QString::fromStdString(m_strCurrentFile), lost.join(QStringLiteral(" and "))));
}

void CMainDlg::ShowLater(const QString& strText) {
    // Said once the window is up, not from inside start-up or a command half done.
    QTimer::singleShot(0, this, [this, strText] { ShowMessage(strText); });
}

QString CMainDlg::CountsText() const {
    return m_pStatusCounts ? m_pStatusCounts->text() : QString();
}

std::string CMainDlg::FilterText() const {
    return m_pGroupFilter->currentText().toStdString();
}

void CMainDlg::reject() {
    // Escape does not close the main window; only Close and Exit do.
}

void CMainDlg::closeEvent(QCloseEvent* pEvent) {
    // The caption's Close ends the program (it does not go to the tray).
    pEvent->accept();
    done(0);
}

void CMainDlg::keyPressEvent(QKeyEvent* pEvent) {
    if (pEvent->key() == Qt::Key_Escape) {
        pEvent->accept();
        return;
    }
    QDialog::keyPressEvent(pEvent);
}

void CMainDlg::ShowMessage(const QString& strText) {
    if (m_services.message) {
        m_services.message(this, strText);
        return;
    }
    ShowInformation(this, windowTitle(), strText);
}

} // namespace lanwick
