// The machine properties pages built from their templates' positions, "Refresh" off the window thread, and the
// two sheets the main window opens with them.
#include "ui/MachineSheet.h"

#include "controls/DialogUnits.h"
#include "controls/IpAddressCtrl.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include "ui/BackgroundJobs.h"

#include <algorithm>
#include <memory>

namespace lanwick {
namespace {

// A lookup may outlive the sheet that asked for it: a closed sheet must not wait on a slow name server. The
// application owns the lookup threads and waits for them when it ends.
class CLookupThreads final : public QObject {
public:
    explicit CLookupThreads(QObject* pParent) : QObject(pParent) {}
    CBackgroundJobs m_jobs{2};
};

CBackgroundJobs& LookupJobs() {
    static QPointer<CLookupThreads> s_pThreads;
    if (!s_pThreads)
        s_pThreads = new CLookupThreads(QCoreApplication::instance());
    return s_pThreads->m_jobs;
}

std::string WithoutColons(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), ':'), text.end());
    return text;
}

} // namespace

std::string VendorText(const char* pVendorTable, std::size_t nVendorSize, const std::string& strMac) {
    if (strMac == std::string(12, '0'))
        return CapitalizeWords("Unknown vendor");
    return CapitalizeWords(LookupVendor(pVendorTable, nVendorSize, strMac.substr(0, 6)));
}

CGenPp::CGenPp(const char* pVendorTable, std::size_t nVendorSize, MachineLookups lookups)
    : CPropertyPage(IDD, QStringLiteral("General"), 182, 103), m_pVendorTable(pVendorTable), m_nVendorSize(nVendorSize),
      m_lookups(std::move(lookups)) {
    // In the template's order, which is also the tab order.
    m_pName = Place(IDC_NAME, DluRect(50, 30, 130, 14), new QLineEdit);
    m_pMac = Place(IDC_MAC, DluRect(50, 50, 72, 14), new QLineEdit);
    m_pMac->setMaxLength(kMacLimit);
    Label("Name:", DluRect(7, 32, 35, 8));
    Label("IP Address:", DluRect(7, 12, 37, 8));
    Label("MAC:", DluRect(7, 52, 18, 8));
    m_pAddress = Place(IDC_ADDRESS, DluRect(50, 10, 100, 15), new CIPAddressCtrl);
    Label("Vendor:", DluRect(7, 70, 26, 8));
    m_pVendor = Place(IDC_VENDOR, DluRect(50, 70, 115, 25), new QLabel);
    m_pVendor->setWordWrap(true);
    m_pVendor->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_pRefresh = Place(IDC_REFRESH, DluRect(130, 50, 50, 14), new QPushButton(QStringLiteral("Refresh")));
    m_pRefresh->setAutoDefault(false);
    connect(m_pRefresh, &QPushButton::clicked, this, &CGenPp::OnRefresh);
}

CGenPp::~CGenPp() {
    // A lookup still running answers nobody; the cursor it set must not outlive the page.
    EndWait();
}

void CGenPp::SetAddress(const IpAddress& ip) {
    m_ip = ip;
    m_bAddressSet = true;
}

void CGenPp::OnInitDialog() {
    DoDataExchange(false);
    if (m_bAddressSet)
        m_pAddress->SetAddress(m_ip);
}

bool CGenPp::DoDataExchange(bool bSave) {
    if (!bSave) {
        // Typing stops at 17 characters, but a longer stored text is shown whole: confirming the sheet
        // unchanged must not cut the record's MAC.
        const QString mac = QString::fromStdString(m_strMac);
        m_pMac->setMaxLength(std::max(static_cast<int>(mac.size()), int{kMacLimit}));
        m_pMac->setText(mac);
        m_pName->setText(QString::fromStdString(m_strName));
        m_pVendor->setText(QString::fromStdString(m_strVendor));
        return true;
    }
    m_strMac = m_pMac->text().toStdString();
    m_strName = m_pName->text().toStdString();
    m_strVendor = m_pVendor->text().toStdString();
    return true;
}

void CGenPp::OnOK() {
    m_pAddress->GetAddress(m_ip); // an empty field reads as 0
}

void CGenPp::OnRefresh() {
    if (m_bRefreshing)
        return;
    m_bRefreshing = true;
    m_pRefresh->setEnabled(false);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);

    // The address as it is now in the control, typed changes included.
    const std::string strAddress = m_pAddress->Text().toStdString();
    // The page pointer is read on the window thread only, so a closed sheet simply gets nothing.
    QPointer<CGenPp> pPage(this);
    LookupJobs().Run<RefreshAnswer>(
        [lookups = m_lookups, strAddress] {
            return RefreshAnswer{lookups.ResolveName(strAddress), lookups.GetMacAddress(strAddress)};
        },
        [pPage](RefreshAnswer answer) {
            if (pPage)
                pPage->OnRefreshDone(answer);
        });
}

void CGenPp::WaitForLookups() {
    LookupJobs().WaitForWorkers();
}

void CGenPp::OnRefreshDone(const RefreshAnswer& answer) {
    // Only the boxes that were looked up change: a name typed meanwhile stays when the address has none.
    if (answer.strName && !answer.strName->empty())
        m_pName->setText(QString::fromStdString(*answer.strName));
    m_pMac->setText(QString::fromStdString(FormatMac(answer.strMac)));
    m_pVendor->setText(QString::fromStdString(VendorText(m_pVendorTable, m_nVendorSize, answer.strMac)));
    EndWait();
}

void CGenPp::EndWait() {
    if (!m_bRefreshing)
        return;
    m_bRefreshing = false;
    m_pRefresh->setEnabled(true);
    QGuiApplication::restoreOverrideCursor();
}

CScanPp::CScanPp() : CPropertyPage(IDD, QStringLiteral("Scanning"), 127, 55) {
    m_pExcluded = CheckBox(IDC_EXCLUDED, "Exclude machine from scan", DluRect(5, 5, 103, 10));
    m_pNotifyOffline = CheckBox(IDC_NOTIFY_OFFLINE, "Notify if machine goes offline", DluRect(5, 20, 106, 10));
    m_pNotify = CheckBox(IDC_NOTIFY, "Notify if machine change it's state", DluRect(5, 35, 121, 10));
}

bool CScanPp::DoDataExchange(bool bSave) {
    if (!bSave) {
        m_pExcluded->setChecked(m_bExcluded != 0);
        m_pNotify->setChecked(m_bNotify != 0);
        m_pNotifyOffline->setChecked(m_bNotifyOffline != 0);
        return true;
    }
    m_bExcluded = m_pExcluded->isChecked() ? 1 : 0;
    m_bNotify = m_pNotify->isChecked() ? 1 : 0;
    m_bNotifyOffline = m_pNotifyOffline->isChecked() ? 1 : 0;
    return true;
}

CMachineSheet::CMachineSheet(const CMachine& machine, const char* pVendorTable, std::size_t nVendorSize,
                             MachineLookups lookups, QWidget* pParent)
    : CPropertySheet(QStringLiteral("Machine properties..."), pParent),
      m_pGeneral(new CGenPp(pVendorTable, nVendorSize, std::move(lookups))), m_pScanning(new CScanPp) {
    m_pGeneral->SetAddress(machine.m_ip);
    m_pGeneral->m_strMac = FormatMac(machine.m_strMac);
    m_pGeneral->m_strName = machine.m_strName;
    m_pGeneral->m_strVendor = VendorText(pVendorTable, nVendorSize, machine.m_strMac);
    m_pScanning->m_bExcluded = machine.m_bExcluded;
    m_pScanning->m_bNotify = machine.m_bNotify;
    m_pScanning->m_bNotifyOffline = machine.m_bNotifyOffline;
    m_key = history::KeyOf(machine);
    AddPage(m_pGeneral);
    AddPage(m_pScanning);
}

void CMachineSheet::AddHistoryPage(HistorySource source) {
    if (m_pScanning == nullptr || m_pHistory != nullptr)
        return; // an address not yet in the list has no history
    m_pHistory = new CHistPp(m_key, std::move(source));
    AddPage(m_pHistory);
}

CMachineSheet::CMachineSheet(const IpAddress& presetAddress, const char* pVendorTable, std::size_t nVendorSize,
                             MachineLookups lookups, QWidget* pParent)
    : CPropertySheet(QStringLiteral("Machine properties..."), pParent),
      m_pGeneral(new CGenPp(pVendorTable, nVendorSize, std::move(lookups))) {
    m_pGeneral->SetAddress(presetAddress);
    AddPage(m_pGeneral);
    ShowApplyButton();
}

MachineValues CMachineSheet::Values() const {
    MachineValues v;
    v.ip = m_pGeneral->m_ip;
    v.strMac = WithoutColons(m_pGeneral->m_strMac);
    v.strName = m_pGeneral->m_strName;
    if (m_pScanning) {
        v.bExcluded = m_pScanning->m_bExcluded;
        v.bNotify = m_pScanning->m_bNotify;
        v.bNotifyOffline = m_pScanning->m_bNotifyOffline;
    }
    return v;
}

std::optional<MachineValues> RunMachineSheet(QWidget* pParent, const CMachine& machine, const char* pVendorTable,
                                             std::size_t nVendorSize, MachineLookups lookups,
                                             std::optional<HistorySource> history) {
    CMachineSheet sheet(machine, pVendorTable, nVendorSize, std::move(lookups), pParent);
    if (history)
        sheet.AddHistoryPage(std::move(*history));
    if (sheet.exec() != QDialog::Accepted)
        return std::nullopt;
    return sheet.Values();
}

std::optional<std::pair<std::array<std::uint8_t, 4>, std::string>>
RunGeneralPageAlone(QWidget* pParent, const std::array<std::uint8_t, 4>& presetAddress, const char* pVendorTable,
                    std::size_t nVendorSize, MachineLookups lookups) {
    CMachineSheet sheet(presetAddress, pVendorTable, nVendorSize, std::move(lookups), pParent);
    if (sheet.exec() != QDialog::Accepted)
        return std::nullopt;
    const MachineValues v = sheet.Values();
    return std::make_pair(v.ip, v.strName);
}

} // namespace lanwick
