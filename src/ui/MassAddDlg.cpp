// The range scan dialog: controls, the Go/scan/done cycle on the window thread, and OK adding the found rows.
#include "ui/MassAddDlg.h"

#include "controls/DialogFont.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

#include "controls/ControlId.h"
#include "controls/IpAddressCtrl.h"
#include "controls/XListCtrl.h"
#include "probes/Lookups.h"
#include "registry/Groups.h"
#include "registry/MachineList.h"
#include "ui/ScanBridge.h"

namespace lanwick {

namespace {

// The wait cursor for the duration of a handler.
class CWaitCursor {
public:
    CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

// The combo box keeps its entries sorted ignoring case, as a sorted window-system combo does.
void AddSorted(QComboBox* pCombo, const QString& strText) {
    const std::string text = strText.toStdString();
    int i = 0;
    while (i < pCombo->count() && CompareNoCase(pCombo->itemText(i).toStdString(), text) <= 0)
        ++i;
    pCombo->insertItem(i, strText);
}

template <class T>
T* WithId(T* pWidget, int id) {
    SetControlId(pWidget, id);
    return pWidget;
}

} // namespace

CMassAddDlg::Probes CMassAddDlg::RealProbes() {
    return {RealScanProbes(), ResolveName};
}

CMassAddDlg::CMassAddDlg(CMachineList& machines, const char* pVendorTable, std::size_t nVendorTableSize,
                         QWidget* pParent, Probes probes)
    : QDialog(pParent), m_pMachines(&machines), m_pVendorTable(pVendorTable), m_nVendorTableSize(nVendorTableSize),
      m_probes(std::move(probes)), m_session(pVendorTable, nVendorTableSize, false),
      m_pBridge(std::make_unique<CScanBridge>()) {
    CScanBridge* pBridge = m_pBridge.get();
    m_pResolver = std::make_unique<CNameResolver>(
        m_probes.resolve,
        [pBridge](std::uint64_t key, const std::optional<std::string>& name) { pBridge->OnNameAnswer(key, name); });
    connect(pBridge, &CScanBridge::ScanFound, this, &CMassAddDlg::OnScanFound, Qt::QueuedConnection);
    connect(pBridge, &CScanBridge::ScanStep, this, &CMassAddDlg::OnScanStep, Qt::QueuedConnection);
    connect(pBridge, &CScanBridge::ScanDone, this, &CMassAddDlg::OnScanDone, Qt::QueuedConnection);
    connect(pBridge, &CScanBridge::NameResolved, this, &CMassAddDlg::OnNameResolved, Qt::QueuedConnection);
    setWindowTitle(QStringLiteral("Mass add machines"));
    setFont(DialogFont());
    CreateControls();
    OnInitDialog();
}

CMassAddDlg::~CMassAddDlg() {
    m_workers.Cancel();
    m_workers.Join();
    m_pResolver.reset();
}

bool CMassAddDlg::Run(QWidget* pParent, CMachineList& machines, const char* pVendorTable,
                      std::size_t nVendorTableSize) {
    CMassAddDlg dlg(machines, pVendorTable, nVendorTableSize, pParent);
    return dlg.exec() == QDialog::Accepted;
}

void CMassAddDlg::CreateControls() {
    m_pStartIp = WithId(new CIPAddressCtrl(this), IDC_START_IP);
    m_pEndIp = WithId(new CIPAddressCtrl(this), IDC_END_IP);
    m_pGroup = WithId(new QComboBox(this), IDC_GROUP);
    m_pGroup->setEditable(true);
    m_pGroup->setInsertPolicy(QComboBox::NoInsert);
    m_pGroup->setCompleter(nullptr);
    // "Retreive" and "Agressive" below are the program's texts as users know them, misspelt: keep them so.
    m_pRetrieveNames = WithId(new QCheckBox(QStringLiteral("Retreive names"), this), IDC_RETRIEVE_NAMES);
    m_pWorkers = WithId(new QSlider(Qt::Horizontal, this), IDC_WORKERS);
    m_pGo = WithId(new QPushButton(QStringLiteral("Go"), this), IDC_GO);
    m_pTotal = WithId(new QLabel(this), IDC_TOTAL);
    m_pResults = WithId(new CXListCtrl(this), IDC_RESULTS);
    m_pProgress = WithId(new QProgressBar(this), IDC_PROGRESS);
    m_pProgress->setTextVisible(false);
    m_pProgress->setRange(0, 100);
    m_pProgress->setValue(0);
    m_pStatus = WithId(new QLabel(this), IDC_STATUS);
    m_pStatus->setAlignment(Qt::AlignCenter);
    m_pOk = WithId(new QPushButton(QStringLiteral("OK"), this), IDC_OK);
    m_pOk->setDefault(true);
    m_pCancel = WithId(new QPushButton(QStringLiteral("Cancel"), this), IDC_CANCEL);

    auto* pRange = new QGridLayout;
    pRange->addWidget(new QLabel(QStringLiteral("Start IP:"), this), 0, 0);
    pRange->addWidget(m_pStartIp, 0, 1);
    pRange->addWidget(new QLabel(QStringLiteral("End IP:"), this), 0, 2);
    pRange->addWidget(m_pEndIp, 0, 3);
    pRange->addWidget(new QLabel(QStringLiteral("Group"), this), 1, 0);
    pRange->addWidget(m_pGroup, 1, 1);
    pRange->addWidget(m_pRetrieveNames, 1, 2, 1, 2);

    auto* pScan = new QHBoxLayout;
    pScan->addWidget(new QLabel(QStringLiteral("Mild"), this));
    pScan->addWidget(m_pWorkers, 1);
    pScan->addWidget(new QLabel(QStringLiteral("Agressive"), this));
    pScan->addSpacing(12);
    pScan->addWidget(m_pGo);
    pScan->addSpacing(12);
    pScan->addWidget(new QLabel(QStringLiteral("Total:"), this));
    pScan->addWidget(m_pTotal);
    m_pTotal->setMinimumWidth(60);

    auto* pButtons = new QHBoxLayout;
    pButtons->addStretch(1);
    pButtons->addWidget(m_pOk);
    pButtons->addWidget(m_pCancel);

    auto* pMain = new QVBoxLayout(this);
    pMain->addLayout(pRange);
    pMain->addLayout(pScan);
    pMain->addWidget(m_pResults, 1);
    pMain->addWidget(m_pProgress);
    pMain->addWidget(m_pStatus);
    pMain->addLayout(pButtons);
    resize(500, 420);

    connect(m_pGo, &QPushButton::clicked, this, &CMassAddDlg::OnGo);
    connect(m_pOk, &QPushButton::clicked, this, &CMassAddDlg::OnOK);
    connect(m_pCancel, &QPushButton::clicked, this, &CMassAddDlg::reject);
}

void CMassAddDlg::OnInitDialog() {
    m_pResults->SetSingleSelection(false);
    m_pResults->SetExtendedStyle(LVS_EX_FULLROWSELECT);
    m_pResults->InsertColumn(0, QStringLiteral("IP"), LVCFMT_LEFT, 85);
    m_pResults->InsertColumn(1, QStringLiteral("MAC"), LVCFMT_LEFT, 95);
    m_pResults->InsertColumn(2, QStringLiteral("Vendor"), LVCFMT_LEFT, 165);
    m_pResults->InsertColumn(3, QStringLiteral("Name"), LVCFMT_LEFT, 100);
    m_pWorkers->setRange(kMinWorkers, kMaxWorkers);
    m_pWorkers->setValue(kMinWorkers);
    m_pRetrieveNames->setChecked(m_bRetrieveNames);
    FillGroupCombo();
}

void CMassAddDlg::FillGroupCombo() {
    for (const std::string& strGroup : GroupsForCombo(*m_pMachines))
        AddSorted(m_pGroup, QString::fromStdString(strGroup));
    // The edit field starts empty: the operator picks or types the group.
    m_pGroup->setCurrentIndex(-1);
    m_pGroup->clearEditText();
}

void CMassAddDlg::SetScanning(bool bScanning) {
    m_bScanning = bScanning;
    m_pGo->setEnabled(!bScanning);
    m_pOk->setEnabled(!bScanning);
    m_pCancel->setEnabled(!bScanning);
}

void CMassAddDlg::OnGo() {
    if (m_bScanning)
        return;
    const CWaitCursor wait;
    m_bRetrieveNames = m_pRetrieveNames->isChecked();
    m_strStatus.clear();
    m_pStatus->setText(m_strStatus);

    IpAddress start{};
    IpAddress end{};
    m_pStartIp->GetAddress(start);
    m_pEndIp->GetAddress(end);
    if (!IsValidScanRange(start, end))
        return;
    m_strTotal = QString::asprintf("%d", static_cast<int>(ScanTotal(start, end)));
    m_pTotal->setText(m_strTotal);

    const std::vector<ScanRange> blocks = DivideRange(start, end, m_pWorkers->value());
    // One step per combination the workers walk, so the bar is full exactly when the last address is done.
    std::uint64_t nSteps = 0;
    for (const ScanRange& block : blocks)
        nSteps += WalkLength(block);
    m_pProgress->setRange(0, static_cast<int>(std::clamp<std::uint64_t>(nSteps, 1, INT_MAX)));
    m_pProgress->setValue(0);

    SetScanning(true);
    m_pResults->DeleteAllItems();
    ++m_nScan;
    m_session = CScanSession(m_pVendorTable, m_nVendorTableSize, m_bRetrieveNames);
    m_workers.Start(blocks, m_probes.scan, *m_pBridge);
}

void CMassAddDlg::OnScanFound(const QString& strAddress, const QString& strMac) {
    if (!m_bScanning || m_bCloseRequested)
        return;
    const std::size_t nFound = m_session.Found(strAddress.toStdString(), strMac.toStdString());
    const int nRow = m_pResults->InsertItem(m_pResults->GetItemCount(), strAddress);
    m_pResults->SetItemText(nRow, 1, strMac);
    m_pResults->SetItemText(nRow, 2, QString::fromStdString(m_session.Rows()[nFound].strVendor));
    if (m_session.WantsNames())
        m_pResolver->Request((std::uint64_t{m_nScan} << 32) | nFound, strAddress.toStdString());
}

void CMassAddDlg::OnScanStep() {
    if (m_bScanning && m_pProgress->value() < m_pProgress->maximum())
        m_pProgress->setValue(m_pProgress->value() + 1);
}

void CMassAddDlg::OnScanDone() {
    // The last worker has reported; its thread and the others are about to return.
    m_workers.Join();
    m_session.WorkersDone();
    EndScanWhenComplete();
}

void CMassAddDlg::OnNameResolved(quint64 key, const QString& strName) {
    const std::size_t nRow = key & 0xFFFFFFFFu;
    if ((key >> 32) != m_nScan || nRow >= m_session.Rows().size())
        return;
    m_session.NameIn(nRow, strName.toStdString());
    m_pResults->SetItemText(static_cast<int>(nRow), 3, QString::fromStdString(m_session.Rows()[nRow].strName));
    EndScanWhenComplete();
}

void CMassAddDlg::EndScanWhenComplete() {
    if (!m_bScanning || !m_session.Complete())
        return;
    m_pProgress->setValue(0);
    m_strStatus = QString::fromStdString(m_session.StatusText());
    m_pStatus->setText(m_strStatus);
    SetScanning(false);
    if (m_bCloseRequested)
        QDialog::reject();
}

void CMassAddDlg::reject() {
    if (!m_bScanning) {
        QDialog::reject();
        return;
    }
    // Closing now would leave workers reporting to a dialog that is gone: stop them, close when they have ended.
    m_bCloseRequested = true;
    m_workers.Cancel();
    m_session.NamesDropped(m_pResolver->DropPending());
    EndScanWhenComplete();
}

void CMassAddDlg::OnOK() {
    if (m_bScanning)
        return;
    const std::string strGroup = m_pGroup->currentText().toStdString();
    if (strGroup.empty()) {
        QMessageBox::information(this, QStringLiteral("Lanwick"),
                                 QStringLiteral("No group entered, please select existing or enter new group"));
        return;
    }
    AddFoundMachines(*m_pMachines, m_session.Rows(), strGroup);
    QDialog::accept();
}

} // namespace lanwick
