// "Mass add machines": the operator scans an address range with worker threads, sees the machines that answer
// with MAC, vendor and name, and adds them all to a group.
#pragma once

#include <QDialog>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "discovery/NameResolver.h"
#include "discovery/ScanSession.h"
#include "discovery/ScanWorker.h"

class CIPAddressCtrl;
class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSlider;

namespace lanwick {

class CMachineList;
class CScanBridge;
class CXListCtrl;

class CMassAddDlg : public QDialog {
    Q_OBJECT
public:
    // Ids of the dialog template and its controls (1 and 2 are OK and Cancel).
    enum : int {
        IDD = 136,
        IDC_START_IP = 1010,
        IDC_END_IP = 1011,
        IDC_GROUP = 1012,
        IDC_TOTAL = 1013,
        IDC_RESULTS = 1014,
        IDC_GO = 1015,
        IDC_PROGRESS = 1041,
        IDC_WORKERS = 1042,
        IDC_STATUS = 1044,
        IDC_RETRIEVE_NAMES = 1045,
        IDC_OK = 1,
        IDC_CANCEL = 2,
    };
    static constexpr int kMinWorkers = 10;
    static constexpr int kMaxWorkers = 80;

    // What the dialog asks the network; the program uses the real probes, widget tests fakes.
    struct Probes {
        ScanProbes scan;
        CNameResolver::Resolve resolve;
    };
    static Probes RealProbes();

    // pVendorTable may be null (size 0): the vendor column then stays empty.
    CMassAddDlg(CMachineList& machines, const char* pVendorTable, std::size_t nVendorTableSize,
                QWidget* pParent = nullptr, Probes probes = RealProbes());
    // Stops a scan still running and waits for its threads, so that no report outlives the dialog.
    ~CMassAddDlg() override;

    // The main window's mass-add command: shows the dialog modally; true when it closed with OK, that is when
    // the found machines were added to the list (the caller then refreshes its group boxes and saves).
    static bool Run(QWidget* pParent, CMachineList& machines, const char* pVendorTable, std::size_t nVendorTableSize);

    // From Go until the workers have ended and every name asked for has come back.
    bool IsScanning() const { return m_bScanning; }

public slots:
    void OnGo();
    void OnOK();
    // Cancel, Escape and the close box. During a scan the workers are stopped first; the dialog closes when
    // they have ended.
    void reject() override;

private slots:
    void OnScanFound(const QString& strAddress, const QString& strMac);
    void OnScanStep();
    void OnScanDone();
    void OnNameResolved(quint64 key, const QString& strName);

private:
    void OnInitDialog();
    void CreateControls();
    void FillGroupCombo();
    void SetScanning(bool bScanning);
    void EndScanWhenComplete();

    // Dialog data.
    QString m_strStatus;
    bool m_bRetrieveNames = false;
    QString m_strTotal;
    CMachineList* m_pMachines;
    const char* m_pVendorTable;
    std::size_t m_nVendorTableSize;

    CIPAddressCtrl* m_pStartIp = nullptr;
    CIPAddressCtrl* m_pEndIp = nullptr;
    QComboBox* m_pGroup = nullptr;
    QCheckBox* m_pRetrieveNames = nullptr;
    QSlider* m_pWorkers = nullptr;
    QPushButton* m_pGo = nullptr;
    QLabel* m_pTotal = nullptr;
    CXListCtrl* m_pResults = nullptr;
    QProgressBar* m_pProgress = nullptr;
    QLabel* m_pStatus = nullptr;
    QPushButton* m_pOk = nullptr;
    QPushButton* m_pCancel = nullptr;

    const Probes m_probes;
    bool m_bScanning = false;
    bool m_bCloseRequested = false;
    // The rows found; the list shows them. A name request's key carries the scan's number and the row.
    CScanSession m_session;
    std::uint32_t m_nScan = 0;

    // Declared in this order so that the threads end before the bridge they report to goes.
    std::unique_ptr<CScanBridge> m_pBridge;
    CScanWorkers m_workers;
    std::unique_ptr<CNameResolver> m_pResolver;
};

} // namespace lanwick
