// The "Add" command: a machine from an address, a name or both, looked up and pinged off the window thread, then
// added to the list and saved.
#include "ui/MainDlg.h"

#include "controls/IpAddressCtrl.h"
#include "controls/XListCtrl.h"
#include "probes/VendorTable.h"
#include "registry/Groups.h"
#include "ui/BackgroundJobs.h"
#include "ui/MachineSheet.h"
#include "ui/MessageBox.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace lanwick {

// What the operator typed, and whether the new machine gets a row now: its group is the one on show (decided
// before the lookups, which may take seconds).
struct CMainDlg::AddRequest {
    bool bHaveAddress = false;
    platform::Ipv4 ip{};
    std::string strName;
    bool bRowNow = false;
    // An address alone is named by a reverse lookup; the row then shows at once, whatever the group.
    bool Reverse() const { return bHaveAddress && strName.empty(); }
};

// What the lookups of one add found.
struct CMainDlg::AddLookup {
    bool bResolved = false;
    platform::Ipv4 ip{};
    std::string strName;
    std::string strMac;
    std::int32_t nPing = -1;
    bool bPinged = false;
};

// Off the window thread: the address or the name the operator left out, the MAC, and a ping when a row will show
// the state.
CMainDlg::AddLookup CMainDlg::LookUp(const AddRequest& request, const MainDlgServices& services, IPingProvider& pinger,
                                     unsigned nPause) {
    AddLookup found;
    if (request.bHaveAddress && !request.strName.empty()) {
        found.bResolved = true;
        found.ip = request.ip;
        found.strName = request.strName;
    } else if (!request.bHaveAddress) {
        if (auto entry = services.forwardLookup(request.strName)) {
            found.bResolved = true;
            found.ip = entry->address;
            found.strName = entry->strOfficialName;
        }
    } else {
        found.ip = request.ip;
        if (auto name = services.reverseLookup(request.ip)) {
            found.bResolved = true;
            found.strName = *name;
        }
    }
    if (found.bResolved) {
        const std::string strAddress = platform::FormatIpv4(found.ip);
        found.strMac = services.getMacAddress(strAddress);
        if (request.bRowNow || request.Reverse()) {
            found.nPing = pinger.PingAll({strAddress}, 2, nPause).at(0);
            found.bPinged = true;
        }
    }
    return found;
}

void CMainDlg::OnAddMachine() {
    m_strEditName = m_pEditName->text().toStdString();
    if (m_pAddress->IsBlank() && m_strEditName.empty()) {
        ShowMessage(QStringLiteral("Nothing to add..."));
        return;
    }
    // Without the right to send ICMP nothing could be checked: the command ends silently.
    if (!m_services.canProbe()) {
        FinishAdd();
        return;
    }
    AddRequest request;
    request.bHaveAddress = !m_pAddress->IsBlank();
    m_pAddress->GetAddress(request.ip);
    request.strName = m_strEditName;
    const std::string strGroupNow = m_pNewGroup->currentText().toStdString();
    request.bRowNow =
        ComboHas(m_pNewGroup, QString::fromStdString(strGroupNow)) && GroupEquals(strGroupNow, FilterText());

    m_pAddButton->setEnabled(false);
    setCursor(Qt::WaitCursor);
    m_pJobs->Run<AddLookup>(
        [request, services = m_services, pPinger = m_pPinger, nPause = static_cast<unsigned>(m_settings.m_nPause)] {
            return LookUp(request, services, *pPinger, nPause);
        },
        [this, request](AddLookup found) { OnAddLookedUp(request, found); });
}

void CMainDlg::OnAddLookedUp(const AddRequest& request, const AddLookup& found) {
    if (!request.bHaveAddress && !found.bResolved) {
        ShowMessage(QStringLiteral("Name is not resolved"));
    } else if (request.Reverse() && !found.bResolved) {
        const QString strAsk = QStringLiteral("IP is not resolved, would you like to add it anyway?");
        const bool bYes = m_services.askYesNo ? m_services.askYesNo(this, strAsk).value_or(false)
                                              : AskYesNo(this, windowTitle(), strAsk);
        if (bYes) {
            AddAnyway(found.ip);
            return;
        }
    } else {
        if (!request.bHaveAddress)
            m_pAddress->SetAddress(found.ip);
        m_strEditName = found.strName;
        const QString strGroup = m_pNewGroup->currentText();
        if (request.Reverse())
            AddFoundRow(found);
        if (!ComboHas(m_pNewGroup, strGroup)) {
            AddToGroupCombos(strGroup);
        } else if (!request.Reverse() && GroupEquals(strGroup.toStdString(), FilterText()) && found.bPinged) {
            AddFoundRow(found);
        }
        m_machines.AddMachine(found.ip, found.strMac, strGroup.toStdString(), found.strName, 0);
        SaveMachines();
        if (request.Reverse())
            OnSelchangeGroup();
    }
    FinishAdd();
}

void CMainDlg::AddFoundRow(const AddLookup& found) {
    const int nItem = m_pList->InsertItem(m_pList->GetItemCount(), QString::fromStdString(" " + found.strName));
    m_pList->SetItemText(nItem, 1, QString::fromStdString(" " + platform::FormatIpv4(found.ip)));
    m_pList->SetItemText(nItem, 2, QString::fromStdString(" " + found.strMac));
    const bool bOnline = found.nPing >= 0;
    const ListCell state = StateCell(bOnline ? 0.0 : -1.0, false);
    m_pList->SetItemText(nItem, 3, QString::fromStdString(state.text), state.textColour, state.background);
    if (bOnline)
        ++m_nOnline;
    m_pEditName->setText(QString::fromStdString(m_strEditName));
}

void CMainDlg::AddAnyway(const platform::Ipv4& ipTyped) {
    auto page = m_services.generalPageAlone ? m_services.generalPageAlone(this, ipTyped)
                                            : RunGeneralPageAlone(this, ipTyped, VendorTableData(), VendorTableSize());
    if (!page) {
        FinishAdd();
        return;
    }
    const QString strGroup = m_pNewGroup->currentText();
    if (!ComboHas(m_pNewGroup, strGroup))
        AddToGroupCombos(strGroup);
    // The MAC is that of the address typed in the window, not one typed on the page; looked up off the thread.
    auto getMac = m_services.getMacAddress;
    const std::string strTyped = platform::FormatIpv4(ipTyped);
    m_pJobs->Run<std::string>([getMac, strTyped] { return getMac(strTyped); },
                              [this, page = *page, strGroup](std::string strMac) {
                                  m_machines.AddMachine(page.first, strMac, strGroup.toStdString(), page.second, 0);
                                  SaveMachines();
                                  FinishAdd();
                              });
}

void CMainDlg::FinishAdd() {
    // Both boxes are emptied together: a name left behind would be stored for the next address typed.
    m_pAddress->ClearAddress();
    m_pEditName->clear();
    m_strEditName.clear();
    UpdateCounts();
    m_pAddButton->setEnabled(true);
    if (m_cycle == Cycle::Idle)
        unsetCursor();
}

} // namespace lanwick
