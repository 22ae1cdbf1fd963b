// "Refresh" of the machine properties sheet with the real lookups, inside the namespace LAN: hosts with and
// without a name, an address nobody holds, and an address typed over the stored one.
#include "lan/Lan.h"
#include "probes/VendorTable.h"
#include "ui/MachineSheet.h"

#include "controls/IpAddressCtrl.h"
#include "support/Controls.h"
#include "support/ModalDriver.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <functional>

using namespace lanwick;
using test::CLan;
using test::Control;
using test::LanHost;
using test::Text;

namespace {

IpAddress Address(const std::string& dotted) {
    return ParseDottedAddress(dotted);
}

// A record whose name and MAC are out of date, as after a machine was replaced.
CMachine Stale(const std::string& address) {
    return CMachine(Address(address), "020000334455", "Lab", "old name", 0, 0, 1); // a local MAC: no vendor
}

const LanHost* Host(bool named) {
    for (const LanHost& h : CLan::Get().Hosts())
        if (h.name.empty() != named)
            return &h;
    return nullptr;
}

// The lookups of a silent address wait about a second for ARP; a generous bound keeps a loaded machine green.
constexpr int kRefreshTimeoutMs = 15000;

void Refresh(CMachineSheet& sheet) {
    QTest::mouseClick(Control<QPushButton>(&sheet, CGenPp::IDC_REFRESH), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!sheet.GeneralPage()->IsRefreshing(), kRefreshTimeoutMs);
}

} // namespace

class LanMachineSheet : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        if (!CLan::Get().IsUp())
            QSKIP("not inside the namespace LAN (run through tests/lan/with_lan.sh)");
        QVERIFY(Host(true));
        QVERIFY(Host(false));
    }

    void cleanup() {
        CGenPp::WaitForLookups();
        QCoreApplication::processEvents();
    }

    // The record's address is silent; the address typed over it is the host's, and that is what is looked up.
    void Refresh_TypedAddressOfANamedHost_ItsNameAndMacAndOkStoresTheDigits() {
        const LanHost& host = *Host(true);
        std::optional<MachineValues> got;
        test::RunModal(
            [&] {
                got =
                    RunMachineSheet(nullptr, Stale(CLan::Get().SilentAddress(1)), VendorTableData(), VendorTableSize());
            },
            [&host](QWidget* sheet) {
                Control<CIPAddressCtrl>(sheet, CGenPp::IDC_ADDRESS)->SetAddress(Address(host.address));
                Refresh(*static_cast<CMachineSheet*>(sheet));
                QCOMPARE(Text(sheet, CGenPp::IDC_MAC), QString::fromStdString(host.mac));
                Control<QPushButton>(sheet, CPropertySheet::IDC_OK)->click();
            });
        QVERIFY(got);
        QCOMPARE(got->strName, host.name);
        QCOMPARE(got->strMac, host.MacDigits());
        QVERIFY(got->ip == Address(host.address));
        QCOMPARE(got->bNotifyOffline, 1);
    }

    // An unnamed host keeps the stored name and shows the vendor of its MAC; a silent address gives the zero MAC.
    void Refresh_UnnamedHostAndSilentAddress_KeepTheName() {
        const LanHost& host = *Host(false);
        const std::string vendor =
            CapitalizeWords(LookupVendor(VendorTableData(), VendorTableSize(), host.MacDigits().substr(0, 6)));
        QVERIFY(vendor != "Unknown Vendor");
        const std::pair<std::string, QStringList> cases[] = {
            {host.address, {"old name", QString::fromStdString(host.mac), QString::fromStdString(vendor)}},
            {CLan::Get().SilentAddress(), {"old name", "00:00:00:00:00:00", "Unknown Vendor"}},
        };
        for (const auto& [address, expected] : cases) {
            CMachineSheet sheet(Stale(address), VendorTableData(), VendorTableSize());
            sheet.show();
            QCOMPARE(Text(&sheet, CGenPp::IDC_VENDOR), QStringLiteral("Unknown Vendor"));
            Refresh(sheet);
            QCOMPARE(QStringList({Text(&sheet, CGenPp::IDC_NAME), Text(&sheet, CGenPp::IDC_MAC),
                                  Text(&sheet, CGenPp::IDC_VENDOR)}),
                     expected);
        }
    }
};

QTEST_MAIN(LanMachineSheet)
#include "lan_MachineSheet.moc"
