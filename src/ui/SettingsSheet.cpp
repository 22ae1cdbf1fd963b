// The three settings pages built from their templates' positions, their checks, and the sheet around them.
#include "ui/SettingsSheet.h"

#include "controls/DialogUnits.h"
#include "ui/SpinButton.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include <cstdint>

namespace lanwick {
namespace {

// An unsigned 32-bit whole number, blanks around it allowed; nothing for any other text.
std::optional<std::uint32_t> ParseUnsigned(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 10)
        return std::nullopt;
    std::uint64_t value = 0;
    for (QChar c : t) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c.unicode() - '0');
    }
    if (value > UINT32_MAX)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

QString RangeRule(long long nMin, long long nMax) {
    return QStringLiteral("Please enter an integer between %1 and %2.").arg(nMin).arg(nMax);
}

const QString kUnsignedRule = QStringLiteral("Please enter an unsigned integer.");

// Narrower than the template's 11 units: the arrows take it from the box, and "255" must stay readable there.
const int kSpinWidth = DluX(9);

} // namespace

std::optional<std::string> PickXmlFile(QWidget* pParent) {
    QFileDialog dialog(pParent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Any name is taken, also one of a file still to be made: the default file need not exist yet.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("XML Files (*.xml)"));
    dialog.setDefaultSuffix(QStringLiteral("xml"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
}

CGenSetPp::CGenSetPp() : CPropertyPage(IDD, QStringLiteral("General"), 212, 61) {
    m_pShowPingTime = CheckBox(IDC_SHOW_PING_TIME, "Display ping time in ms instead of Yes/No", DluRect(5, 5, 146, 10));
    m_pHideExcluded = CheckBox(IDC_HIDE_EXCLUDED, "Hide excluded machines", DluRect(5, 20, 93, 10));
    Label("Default file:", DluRect(5, 40, 40, 8));
    m_pDefFile = Place(IDC_DEF_FILE, DluRect(46, 35, 109, 14), new QLineEdit);
    auto* browse = Place(IDC_BROWSE, DluRect(160, 35, 50, 14), new QPushButton(QStringLiteral("Browse...")));
    browse->setAutoDefault(false);
    connect(browse, &QPushButton::clicked, this, &CGenSetPp::OnBrowse);
}

bool CGenSetPp::DoDataExchange(bool bSave) {
    if (!bSave) {
        m_pShowPingTime->setChecked(m_bShowPingTime != 0);
        m_pHideExcluded->setChecked(m_bHideExcluded != 0);
        m_pDefFile->setText(QString::fromStdString(m_strDefFile));
        return true;
    }
    m_bShowPingTime = m_pShowPingTime->isChecked() ? 1 : 0;
    m_bHideExcluded = m_pHideExcluded->isChecked() ? 1 : 0;
    m_strDefFile = m_pDefFile->text().toStdString();
    return true;
}

void CGenSetPp::OnBrowse() {
    const std::optional<std::string> path = m_picker ? m_picker(this) : PickXmlFile(this);
    if (!path)
        return;
    // Only the file box changes: ticks set on the page meanwhile are the operator's and stay.
    m_strDefFile = *path;
    m_pDefFile->setText(QString::fromStdString(m_strDefFile));
}

CScanSetPp::CScanSetPp() : CPropertyPage(IDD, QStringLiteral("Scanning"), 147, 61) {
    Label("Retries:", DluRect(10, 15, 25, 8));
    m_pRetries = Place(IDC_RETRIES, DluRect(45, 10, 25, 14), new QLineEdit);
    m_pRetries->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_pRetries));
    m_pSpin = new CSpinButton(m_pRetries, kSpinWidth, this);
    SetControlId(m_pSpin, IDC_SPIN);
    m_pSpin->SetRange(0, kMaxRetries);
    Label("Pause for", DluRect(10, 35, 31, 8));
    m_pPause = Place(IDC_PAUSE, DluRect(45, 30, 30, 14), new QLineEdit);
    Label("ms between retries", DluRect(80, 35, 65, 8));
}

bool CScanSetPp::DoDataExchange(bool bSave) {
    if (!bSave) {
        m_pRetries->setText(QString::number(m_nRetries));
        m_pPause->setText(QString::number(m_nPause));
        return true;
    }
    const std::optional<std::uint32_t> retries = ParseUnsigned(m_pRetries->text());
    if (!retries || *retries > kMaxRetries)
        return Refuse(m_pRetries, RangeRule(0, kMaxRetries));
    const std::optional<std::uint32_t> pause = ParseUnsigned(m_pPause->text());
    if (!pause)
        return Refuse(m_pPause, kUnsignedRule);
    if (*pause < kMinPause || *pause > kMaxPause)
        return Refuse(m_pPause, RangeRule(kMinPause, kMaxPause));
    m_nRetries = *retries;
    m_nPause = static_cast<int>(*pause);
    return true;
}

CMonSetPp::CMonSetPp() : CPropertyPage(IDD, QStringLiteral("Monitoring"), 167, 76) {
    m_pMonitor = CheckBox(IDC_MONITOR, "Monitoring on", DluRect(10, 15, 59, 10));
    Label("Refresh every", DluRect(25, 35, 45, 8));
    m_pRefresh = Place(IDC_REFRESH, DluRect(75, 30, 35, 14), new QLineEdit);
    m_pSpin = new CSpinButton(m_pRefresh, kSpinWidth, this);
    SetControlId(m_pSpin, IDC_SPIN);
    m_pSpin->SetRange(kMinRefresh, kMaxRefresh);
    Label("seconds", DluRect(115, 35, 28, 8));
}

bool CMonSetPp::DoDataExchange(bool bSave) {
    if (!bSave) {
        m_pMonitor->setChecked(m_bMonitor != 0);
        m_pRefresh->setText(QString::number(m_nRefresh));
        return true;
    }
    const std::optional<std::uint32_t> refresh = ParseUnsigned(m_pRefresh->text());
    if (!refresh)
        return Refuse(m_pRefresh, kUnsignedRule);
    if (*refresh < kMinRefresh || *refresh > kMaxRefresh)
        return Refuse(m_pRefresh, RangeRule(kMinRefresh, kMaxRefresh));
    m_bMonitor = m_pMonitor->isChecked() ? 1 : 0;
    m_nRefresh = static_cast<int>(*refresh);
    return true;
}

CSettingsSheet::CSettingsSheet(const SettingsValues& current, QWidget* pParent)
    : CPropertySheet(QStringLiteral("Settings..."), pParent), m_pGeneral(new CGenSetPp), m_pScanning(new CScanSetPp),
      m_pMonitoring(new CMonSetPp) {
    m_pGeneral->m_bShowPingTime = current.bShowPingTime;
    m_pGeneral->m_bHideExcluded = current.bHideExcluded;
    m_pGeneral->m_strDefFile = current.strDefFile;
    m_pScanning->m_nRetries = current.nRetries;
    m_pScanning->m_nPause = current.nPause;
    m_pMonitoring->m_bMonitor = current.bMonitor;
    m_pMonitoring->m_nRefresh = current.nRefresh;
    AddPage(m_pGeneral);
    AddPage(m_pScanning);
    AddPage(m_pMonitoring);
}

SettingsValues CSettingsSheet::Values() const {
    SettingsValues v;
    v.bShowPingTime = m_pGeneral->m_bShowPingTime;
    v.bHideExcluded = m_pGeneral->m_bHideExcluded;
    v.strDefFile = m_pGeneral->m_strDefFile;
    v.nRetries = m_pScanning->m_nRetries;
    v.nPause = m_pScanning->m_nPause;
    v.bMonitor = m_pMonitoring->m_bMonitor;
    v.nRefresh = m_pMonitoring->m_nRefresh;
    return v;
}

std::optional<SettingsValues> RunSettingsSheet(QWidget* pParent, const SettingsValues& current, FilePicker picker) {
    CSettingsSheet sheet(current, pParent);
    if (picker)
        sheet.SetFilePicker(std::move(picker));
    if (sheet.exec() != QDialog::Accepted)
        return std::nullopt;
    return sheet.Values();
}

} // namespace lanwick
