// The mass add dialog with its real probes on the namespace LAN: the rows it shows after a sweep. What OK makes of
// the rows is the fake-network test's part.
#include "controls/ControlId.h"
#include "controls/IpAddressCtrl.h"
#include "controls/XListCtrl.h"
#include "lan/Lan.h"
#include "probes/VendorTable.h"
#include "registry/MachineList.h"
#include "ui/MassAddDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include <gtest/gtest.h>

#include <map>

namespace lanwick {
namespace {

TEST(LanMassAddDlg, SweepShowsEveryHostWithMacVendorAndName) {
    LANWICK_REQUIRE_LAN();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "lan_mass_add";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);

    CMachineList machines;
    CMassAddDlg dlg(machines, VendorTableData(), VendorTableSize());
    FindControl<CIPAddressCtrl>(&dlg, CMassAddDlg::IDC_START_IP)->SetAddress({198, 18, 0, 1});
    FindControl<CIPAddressCtrl>(&dlg, CMassAddDlg::IDC_END_IP)->SetAddress({198, 18, 0, 254});
    FindControl<QCheckBox>(&dlg, CMassAddDlg::IDC_RETRIEVE_NAMES)->setChecked(true);
    FindControl<QSlider>(&dlg, CMassAddDlg::IDC_WORKERS)->setValue(80);
    FindControl<QPushButton>(&dlg, CMassAddDlg::IDC_GO)->click();
    ASSERT_TRUE(dlg.IsScanning());
    QElapsedTimer timer;
    timer.start();
    while (dlg.IsScanning() && timer.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_FALSE(dlg.IsScanning()) << "the sweep did not end within a minute";

    const auto& hosts = test::CLan::Get().Hosts();
    auto* list = FindControl<CXListCtrl>(&dlg, CMassAddDlg::IDC_RESULTS);
    ASSERT_EQ(list->GetItemCount(), static_cast<int>(hosts.size()) + 1); // the monitor answers too
    EXPECT_EQ(FindControl<QLabel>(&dlg, CMassAddDlg::IDC_STATUS)->text().toStdString(),
              std::to_string(hosts.size() + 1) + " addresses found");
    std::map<std::string, int> rows;
    for (int row = 0; row < list->GetItemCount(); ++row)
        rows[list->GetItemText(row, 0).toStdString()] = row;
    const std::map<std::string, std::string> vendors = {{"00000C", "Cisco Systems, Inc"},
                                                        {"00A0C9", "Intel Corporation"},
                                                        {"080020", "Oracle Corporation"},
                                                        {"001B21", "Intel Corporate"}};
    for (const auto& host : hosts) {
        SCOPED_TRACE(host.address);
        ASSERT_EQ(rows.count(host.address), 1u);
        const int row = rows[host.address];
        EXPECT_EQ(list->GetItemText(row, 1).toStdString(), host.MacDigits());
        EXPECT_EQ(list->GetItemText(row, 2).toStdString(), vendors.at(host.MacDigits().substr(0, 6)));
        EXPECT_EQ(list->GetItemText(row, 3).toStdString(), host.name.empty() ? "n/a" : host.name);
    }
}

} // namespace
} // namespace lanwick
