// The "Machine properties..." sheet: page "General" (address, MAC, name, vendor, and "Refresh" to read name and
// MAC from the network again), page "Scanning" (the three flags) and, where the window keeps a history, "History". The
// main window fills it from a machine and copies the values back on OK; the add command shows the General page alone
// for an unnamed address.
#pragma once

#include "registry/Machine.h"
#include "ui/HistoryPage.h"
#include "ui/PropertySheet.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "probes/Lookups.h"

class CIPAddressCtrl;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace lanwick {

// What "Refresh" asks the network; the program uses the real lookups, tests fakes. Both run off the window
// thread and may block.
struct MachineLookups {
    std::function<std::optional<std::string>(const std::string& address)> ResolveName = &lanwick::ResolveName;
    std::function<std::string(const std::string& address)> GetMacAddress = &lanwick::GetMacAddress;
};

// The values to copy back into the machine on OK.
struct MachineValues {
    std::array<std::uint8_t, 4> ip{};
    std::string strMac; // without any ":"
    std::string strName;
    int bExcluded = 0;
    int bNotify = 0;
    int bNotifyOffline = 0;
};

// The vendor line of a MAC text (digits first, as the record stores it), from the first six characters.
// Twelve zeros are the mark of a MAC that did not answer: it has no vendor, whatever owns the prefix 000000.
std::string VendorText(const char* pVendorTable, std::size_t nVendorSize, const std::string& strMac);

class CGenPp final : public CPropertyPage {
    Q_OBJECT
public:
    enum : int {
        IDD = 137,
        IDC_NAME = 1003,
        IDC_MAC = 1018,
        IDC_ADDRESS = 1024,
        IDC_VENDOR = 1040,
        IDC_REFRESH = 1046,
    };
    static constexpr int kMacLimit = 17; // a MAC written with colons

    CGenPp(const char* pVendorTable, std::size_t nVendorSize, MachineLookups lookups);
    ~CGenPp() override;

    void SetAddress(const IpAddress& ip);

    IpAddress m_ip{};
    std::string m_strMac; // display form, with colons
    std::string m_strName;
    std::string m_strVendor;

    // Reads the address back from the control; the sheet calls it on OK whichever page is in front.
    void OnOK() override;
    // Looks name and MAC of the address now in the control up off the window thread.
    void OnRefresh();
    bool IsRefreshing() const { return m_bRefreshing; }
    // Returns once no lookup of any sheet is running; their answers arrive with the next events.
    static void WaitForLookups();

protected:
    bool DoDataExchange(bool bSave) override;
    void OnInitDialog() override;

private:
    struct RefreshAnswer {
        std::optional<std::string> strName;
        std::string strMac;
    };
    void OnRefreshDone(const RefreshAnswer& answer);
    void EndWait();

    const char* m_pVendorTable;
    std::size_t m_nVendorSize;
    MachineLookups m_lookups;
    bool m_bAddressSet = false;
    bool m_bRefreshing = false;

    QLineEdit* m_pName;
    QLineEdit* m_pMac;
    CIPAddressCtrl* m_pAddress;
    QLabel* m_pVendor;
    QPushButton* m_pRefresh;
};

class CScanPp final : public CPropertyPage {
    Q_OBJECT
public:
    enum : int { IDD = 106, IDC_EXCLUDED = 1020, IDC_NOTIFY_OFFLINE = 1021, IDC_NOTIFY = 1022 };

    CScanPp();

    int m_bExcluded = 0;
    int m_bNotify = 0;
    int m_bNotifyOffline = 0;

protected:
    bool DoDataExchange(bool bSave) override;

private:
    QCheckBox* m_pExcluded;
    QCheckBox* m_pNotifyOffline;
    QCheckBox* m_pNotify;
};

class CMachineSheet final : public CPropertySheet {
    Q_OBJECT
public:
    // Both pages, filled from the machine. The group is neither shown nor changed.
    CMachineSheet(const CMachine& machine, const char* pVendorTable, std::size_t nVendorSize,
                  MachineLookups lookups = {}, QWidget* pParent = nullptr);
    // The General page alone, its address preset, with the greyed Apply button of that sheet.
    CMachineSheet(const IpAddress& presetAddress, const char* pVendorTable, std::size_t nVendorSize,
                  MachineLookups lookups = {}, QWidget* pParent = nullptr);

    // The History page after the two others, for the machine the sheet was made from.
    void AddHistoryPage(HistorySource source);

    MachineValues Values() const;
    CGenPp* GeneralPage() const { return m_pGeneral; }
    CScanPp* ScanningPage() const { return m_pScanning; } // null when the General page is alone
    CHistPp* HistoryPage() const { return m_pHistory; }   // null unless added

private:
    CGenPp* m_pGeneral;
    CScanPp* m_pScanning = nullptr;
    CHistPp* m_pHistory = nullptr;
    history::MachineKey m_key;
};

// Opens the sheet for `machine` modally, with the History page when a source is given; the values to copy back on
// OK, nothing on any other close.
std::optional<MachineValues> RunMachineSheet(QWidget* pParent, const CMachine& machine, const char* pVendorTable,
                                             std::size_t nVendorSize, MachineLookups lookups = {},
                                             std::optional<HistorySource> history = std::nullopt);

// The add-anyway path: the General page alone with presetAddress; the page's address and name on OK.
std::optional<std::pair<std::array<std::uint8_t, 4>, std::string>>
RunGeneralPageAlone(QWidget* pParent, const std::array<std::uint8_t, 4>& presetAddress, const char* pVendorTable,
                    std::size_t nVendorSize, MachineLookups lookups = {});

} // namespace lanwick
