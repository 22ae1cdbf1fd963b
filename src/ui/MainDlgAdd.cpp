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

namespace {

// What the lookups of one add found.
struct AddLookup {
    bool bResolved = false;
    platform::Ipv4 ip{};
    std::string strName;
    std::string strMac;
    std::int32_t nPing = -1;
    bool bPinged = false;
};

} // namespace

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
    platform::Ipv4 ip{};
    const bool bHaveAddress = !m_pAddress->IsBlank();
    m_pAddress->GetAddress(ip);
    const std::string strName = m_strEditName;
    // Whether the new machine gets a row now: its group is the one on show (decided before the lookups).
    const std::string strGroupNow = m_pNewGroup->currentText().toStdString();
    const bool bRowNow =
        ComboHas(m_pNewGroup, QString::fromStdString(strGroupNow)) && GroupEquals(strGroupNow, FilterText());
    auto services = m_services;
    IPingProvider* pPinger = m_pPinger;
    const std::int32_t nPause = m_settings.m_nPause;

    m_pAddButton->setEnabled(false);
    setCursor(Qt::WaitCursor);
    m_pJobs->Run<AddLookup>(
        [=] {
            AddLookup r;
            if (bHaveAddress && !strName.empty()) {
                r.bResolved = true;
                r.ip = ip;
                r.strName = strName;
            } else if (!bHaveAddress) {
                if (auto entry = services.forwardLookup(strName)) {
                    r.bResolved = true;
                    r.ip = entry->address;
                    r.strName = entry->strOfficialName;
                }
            } else {
                r.ip = ip;
                if (auto name = services.reverseLookup(ip)) {
                    r.bResolved = true;
                    r.strName = *name;
                }
            }
            if (r.bResolved) {
                const std::string strAddress = platform::FormatIpv4(r.ip);
                r.strMac = services.getMacAddress(strAddress);
                if (bRowNow || (bHaveAddress && strName.empty())) {
                    r.nPing = pPinger->PingAll({strAddress}, 2, static_cast<unsigned>(nPause)).at(0);
                    r.bPinged = true;
                }
            }
            return r;
        },
        [this, bHaveAddress, strName](AddLookup r) {
            if (!bHaveAddress && !r.bResolved) {
                ShowMessage(QStringLiteral("Name is not resolved"));
            } else if (bHaveAddress && strName.empty() && !r.bResolved) {
                const QString strAsk = QStringLiteral("IP is not resolved, would you like to add it anyway?");
                const bool bYes = m_services.askYesNo ? m_services.askYesNo(this, strAsk).value_or(false)
                                                      : AskYesNo(this, windowTitle(), strAsk);
                if (bYes) {
                    AddAnyway(r.ip);
                    return;
                }
            } else {
                if (!bHaveAddress)
                    m_pAddress->SetAddress(r.ip);
                m_strEditName = r.strName;
                const std::string strAddress = platform::FormatIpv4(r.ip);
                const QString strGroup = m_pNewGroup->currentText();
                auto addRow = [&] {
                    const int nItem =
                        m_pList->InsertItem(m_pList->GetItemCount(), QString::fromStdString(" " + r.strName));
                    m_pList->SetItemText(nItem, 1, QString::fromStdString(" " + strAddress));
                    m_pList->SetItemText(nItem, 2, QString::fromStdString(" " + r.strMac));
                    const bool bOnline = r.nPing >= 0;
                    const ListCell state = StateCell(bOnline ? 0.0 : -1.0, false);
                    m_pList->SetItemText(nItem, 3, QString::fromStdString(state.text), state.textColour,
                                         state.background);
                    if (bOnline)
                        ++m_nOnline;
                    m_pEditName->setText(QString::fromStdString(m_strEditName));
                };
                const bool bReverse = bHaveAddress && strName.empty();
                if (bReverse)
                    addRow();
                if (!ComboHas(m_pNewGroup, strGroup)) {
                    AddToGroupCombos(strGroup);
                } else if (!bReverse && GroupEquals(strGroup.toStdString(), FilterText()) && r.bPinged) {
                    addRow();
                }
                m_machines.AddMachine(r.ip, r.strMac, strGroup.toStdString(), r.strName, 0);
                SaveMachines();
                if (bReverse)
                    OnSelchangeGroup();
            }
            FinishAdd();
        });
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
    if (!m_bPassRunning)
        unsetCursor();
}

} // namespace lanwick
