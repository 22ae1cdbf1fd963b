// The "Settings..." sheet: pages "General", "Scanning" and "Monitoring" that show and check the seven settings.
// The main window fills it, and on OK takes the values over, applies and saves them.
#pragma once

#include "ui/PropertySheet.h"

#include <functional>
#include <optional>
#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace lanwick {

class CSpinButton;

// The seven settings as the sheet shows and returns them.
struct SettingsValues {
    int bShowPingTime = 0;
    int bHideExcluded = 0;
    std::string strDefFile;
    unsigned nRetries = 0;
    int nPause = 100;
    int bMonitor = 0;
    int nRefresh = 10;
};

// Asks the operator for a machine file; nothing when the dialog is cancelled.
using FilePicker = std::function<std::optional<std::string>(QWidget* pParent)>;
// The file-open dialog for a machine file: "XML Files (*.xml)", default extension "xml", no initial name.
std::optional<std::string> PickXmlFile(QWidget* pParent);

class CGenSetPp final : public CPropertyPage {
    Q_OBJECT
public:
    enum : int {
        IDD = 138,
        IDC_SHOW_PING_TIME = 1030,
        IDC_HIDE_EXCLUDED = 1026,
        IDC_DEF_FILE = 1034,
        IDC_BROWSE = 1035
    };

    CGenSetPp();
    void SetFilePicker(FilePicker picker) { m_picker = std::move(picker); }

    int m_bShowPingTime = 0;
    int m_bHideExcluded = 0;
    std::string m_strDefFile;

protected:
    bool DoDataExchange(bool bSave) override;

private:
    void OnBrowse();

    FilePicker m_picker = PickXmlFile;
    QCheckBox* m_pShowPingTime;
    QCheckBox* m_pHideExcluded;
    QLineEdit* m_pDefFile;
};

class CScanSetPp final : public CPropertyPage {
    Q_OBJECT
public:
    enum : int { IDD = 139, IDC_RETRIES = 1028, IDC_SPIN = 1029, IDC_PAUSE = 1033 };
    static constexpr unsigned kMaxRetries = 255;
    static constexpr long long kMinPause = 1;
    static constexpr long long kMaxPause = 5000;

    CScanSetPp();

    unsigned m_nRetries = 0;
    int m_nPause = 100;

protected:
    bool DoDataExchange(bool bSave) override;

private:
    QLineEdit* m_pRetries;
    CSpinButton* m_pSpin;
    QLineEdit* m_pPause;
};

class CMonSetPp final : public CPropertyPage {
    Q_OBJECT
public:
    enum : int { IDD = 140, IDC_MONITOR = 1031, IDC_REFRESH = 1032, IDC_SPIN = 1029 };
    static constexpr long long kMinRefresh = 10;
    static constexpr long long kMaxRefresh = 86400;

    CMonSetPp();

    int m_bMonitor = 0;
    int m_nRefresh = 10;

protected:
    bool DoDataExchange(bool bSave) override;

private:
    QCheckBox* m_pMonitor;
    QLineEdit* m_pRefresh;
    CSpinButton* m_pSpin;
};

class CSettingsSheet final : public CPropertySheet {
    Q_OBJECT
public:
    explicit CSettingsSheet(const SettingsValues& current, QWidget* pParent = nullptr);

    // The pages' values: what the operator confirmed on the pages taken back, the given ones elsewhere.
    SettingsValues Values() const;
    void SetFilePicker(FilePicker picker) { m_pGeneral->SetFilePicker(std::move(picker)); }

    CGenSetPp* GeneralPage() const { return m_pGeneral; }
    CScanSetPp* ScanningPage() const { return m_pScanning; }
    CMonSetPp* MonitoringPage() const { return m_pMonitoring; }

private:
    CGenSetPp* m_pGeneral;
    CScanSetPp* m_pScanning;
    CMonSetPp* m_pMonitoring;
};

// Opens the sheet modally on `current`; the values on OK, nothing on any other close. A null picker means the
// real file dialog.
std::optional<SettingsValues> RunSettingsSheet(QWidget* pParent, const SettingsValues& current, FilePicker picker = {});

} // namespace lanwick
