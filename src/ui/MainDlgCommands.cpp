// The operator's commands of the main window: the menus, the context menu, adding, deleting, sorting, loading and
// saving machines. Lookups and pings of a command run off the window thread under the wait cursor.
#include "ui/MainDlg.h"

#include "controls/IpAddressCtrl.h"
#include "controls/XListCtrl.h"
#include "registry/Groups.h"
#include "ui/BackgroundJobs.h"
#include "ui/MessageBox.h"

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace lanwick {

namespace {

constexpr const char* kXmlFilter = "XML Files (*.xml)";

// The open and save dialogs add ".xml" to a name typed without an extension.
QString WithDefaultExtension(const QString& strPath) {
    return QFileInfo(strPath).suffix().isEmpty() ? strPath + QStringLiteral(".xml") : strPath;
}

} // namespace

void CMainDlg::BuildMenu() {
    QMenu* pFile = m_pMenuBar->addMenu(QStringLiteral("&File"));
    pFile->addAction(QStringLiteral("Load machine file"), this, &CMainDlg::OnLoadFile)->setData(57601);
    pFile->addAction(QStringLiteral("Save machine file"), this, &CMainDlg::OnSaveFile)->setData(57603);
    pFile->addAction(QStringLiteral("Save machine file as..."), this, &CMainDlg::OnSaveFileAs)->setData(57604);
    pFile->addSeparator();
    pFile->addAction(QStringLiteral("E&xit"), this, &CMainDlg::OnExit)->setData(32778);

    QMenu* pEdit = m_pMenuBar->addMenu(QStringLiteral("Edit"));
    QMenu* pMassAdd = pEdit->addMenu(QStringLiteral("Mass add..."));
    pMassAdd->addAction(QStringLiteral("by scanning"), this, &CMainDlg::OnMassAdd)->setData(32782);
    QAction* pImport = pMassAdd->addAction(QStringLiteral("Import..."));
    pImport->setData(32783);
    pImport->setEnabled(false);
    pEdit->addSeparator();
    pEdit->addAction(QStringLiteral("Settings..."), this, &CMainDlg::OnSettings)->setData(32779);
    QAction* pGroups = pEdit->addAction(QStringLiteral("Groups..."));
    pGroups->setData(32780);
    pGroups->setEnabled(false);

    QMenu* pHelp = m_pMenuBar->addMenu(QStringLiteral("Help"));
    pHelp->addAction(QStringLiteral("About"), this, &CMainDlg::OnAbout)->setData(16);
    pHelp->addSeparator();
    pHelp->addAction(QStringLiteral("Marrowfield on web"), this, &CMainDlg::OnWebPage)->setData(32784);
}

void CMainDlg::CreateContextMenu() {
    m_pContextMenu = new QMenu(this);
    m_pContextMenu->addAction(QStringLiteral("Delete"), this, &CMainDlg::OnDeleteMachine)->setData(302);
    QAction* pExclude = m_pContextMenu->addAction(QStringLiteral("Exclude"));
    pExclude->setData(303);
    pExclude->setEnabled(false);
    m_pContextMenu->addSeparator();
    m_pContextMenu->addAction(QStringLiteral("Shutdown"), this, &CMainDlg::OnShutdown)->setData(311);
    m_pContextMenu->addAction(QStringLiteral("WakeOnLan"), this, &CMainDlg::OnWakeOnLan)->setData(312);
    m_pContextMenu->addSeparator();
    for (auto [text, id] : {std::pair{"Traceroute", 321}, std::pair{"Scan ports", 322}}) {
        QAction* pAction = m_pContextMenu->addAction(QString::fromLatin1(text));
        pAction->setData(id);
        pAction->setEnabled(false);
    }
    m_pContextMenu->addSeparator();
    m_pContextMenu->addAction(QStringLiteral("Properties..."), this, &CMainDlg::OnMachineProperties)->setData(301);
}

void CMainDlg::OnListRightClick(const QPoint& ptScreen) {
    if (!m_pContextMenu)
        return;
    const bool bSelected = m_pList->GetFirstSelectedItem() >= 0;
    for (QAction* pAction : m_pContextMenu->actions()) {
        const int nId = pAction->data().toInt();
        if (nId < 300)
            continue;
        pAction->setEnabled(bSelected && nId != 321 && nId != 322);
    }
    m_pContextMenu->popup(ptScreen);
}

CMachine* CMainDlg::SelectedMachine() const {
    const int nItem = m_pList->GetFirstSelectedItem();
    return nItem < 0 ? nullptr : m_pList->GetItemData<CMachine>(nItem);
}

void CMainDlg::SaveMachines() {
    // Under the writers' lock, so that a command line adding to the file cannot save between the check and ours.
    platform::CWriteLock lock;
    if (std::string strReason; !lock.Lock(m_strCurrentFile, &strReason)) {
        ShowMessage(QStringLiteral("Could not save the machine file %1: %2")
                        .arg(QString::fromStdString(m_strCurrentFile), QString::fromStdString(strReason)));
        return;
    }
    if (platform::StampOf(m_strCurrentFile) != m_fileStamp) {
        const QString strAsk =
            QStringLiteral("The machine file %1 was changed by another program since this window read it.\n"
                           "Reload: show the file as it is now (this change is not saved; make it again).\n"
                           "Overwrite: save this window's list (what the other program saved is lost).")
                .arg(QString::fromStdString(m_strCurrentFile));
        const std::optional<bool> answer = m_services.askReload ? m_services.askReload(this, strAsk)
                                                                : AskReloadOrOverwrite(this, windowTitle(), strAsk);
        if (!answer)
            return;
        if (*answer) {
            // After the command that asked has finished with the list it changed.
            const QString strFile = QString::fromStdString(m_strCurrentFile);
            QTimer::singleShot(0, this, [this, strFile] { LoadMachineFile(strFile); });
            return;
        }
    }
    if (m_bBackupDue) {
        std::string strReason;
        if (!KeepBackup(m_strCurrentFile, &strReason)) {
            // Without the copy the save would drop what the load could not read: nothing is written.
            ShowMessage(QStringLiteral("Could not keep a copy of the machine file %1 (%2), so it was not saved.")
                            .arg(QString::fromStdString(m_strCurrentFile), QString::fromStdString(strReason)));
            return;
        }
        m_bBackupDue = false;
    }
    if (m_machines.SaveFile(m_strCurrentFile)) {
        m_fileStamp = platform::StampOf(m_strCurrentFile);
        return;
    }
    if (m_machines.LastSaveError() == CMachineList::SaveError::OutOfMemory) {
        ShowMessage(QStringLiteral("Insuficient memory while formating the file"));
        return;
    }
    // A save that silently fails would lose the operator's change at the next start: say so.
    ShowMessage(QStringLiteral("Could not save the machine file %1.\nThe file on disk was left as it was.")
                    .arg(QString::fromStdString(m_strCurrentFile)));
}

void CMainDlg::OnListKeyDown(int nKey) {
    if (nKey != Qt::Key_Delete)
        return;
    CMachine* pMachine = SelectedMachine();
    if (!pMachine || !m_machines.RemoveMachine(pMachine))
        return;
    ShowMessage(QStringLiteral("Item removed"));
    SaveMachines();
    ClearRows(pMachine);
    FillList();
}

void CMainDlg::OnDeleteMachine() {
    CMachine* pMachine = SelectedMachine();
    if (!pMachine || !m_machines.RemoveMachine(pMachine))
        return;
    // Saved like the Delete key: otherwise the machine would come back at the next start.
    SaveMachines();
    ClearRows(pMachine);
    FillList();
}

int CMainDlg::CompareRows(const CMachine* pA, const CMachine* pB, int nColumn) const {
    if (!pA || !pB)
        return (pA ? 0 : 1) - (pB ? 0 : 1); // a row without a machine goes after every row with one
    auto text = [nColumn](const CMachine* p) -> std::string {
        switch (nColumn) {
        case 0:
            return p->m_strName;
        case 1:
            return FormatAddress(p->m_ip);
        case 2:
            return p->m_strMac;
        default:
            return {};
        }
    };
    return m_nSortDirection == 0 ? CompareNoCase(text(pA), text(pB)) : CompareNoCase(text(pB), text(pA));
}

void CMainDlg::OnColumnClick(int nColumn) {
    m_nSortDirection = m_nSortDirection ? 0 : 1;
    m_nSortColumn = nColumn;
    SortRows();
}

void CMainDlg::LoadMachineFile(const QString& strPath) {
    m_machines.RemoveAllMachines();
    m_strCurrentFile = strPath.toStdString();
    LoadMachines();
    m_pGroupFilter->clear();
    m_pNewGroup->clear();
    // Another file's machines: nothing of the old rows' selection or scroll position applies to them.
    m_pList->DeleteAllItems();
    m_view = RowsView{};
    FillGroupCombos();
    FillList();
}

void CMainDlg::OnLoadFile() {
    const QString strPath = QFileDialog::getOpenFileName(this, QString(), QString(), QString::fromLatin1(kXmlFilter));
    if (!strPath.isEmpty())
        LoadMachineFile(WithDefaultExtension(strPath));
}

void CMainDlg::OnSaveFile() {
    SaveMachines();
}

void CMainDlg::OnSaveFileAs() {
    const QString strPath = QFileDialog::getSaveFileName(this, QString(), QString(), QString::fromLatin1(kXmlFilter),
                                                         nullptr, QFileDialog::DontConfirmOverwrite);
    if (strPath.isEmpty())
        return;
    const std::string strTarget = WithDefaultExtension(strPath).toStdString();
    if (!m_machines.SaveFile(strTarget))
        ShowMessage(QStringLiteral("Could not save the machine file %1.").arg(QString::fromStdString(strTarget)));
}

void CMainDlg::OnAbout() {
    QDialog about(this);
    about.setWindowTitle(QStringLiteral("About Lanwick"));
    auto* pLayout = new QVBoxLayout(&about);
    auto* pRow = new QHBoxLayout;
    auto* pIcon = new QLabel(&about);
    pIcon->setPixmap(windowIcon().pixmap(32, 32));
    pRow->addWidget(pIcon);
    pRow->addWidget(new QLabel(QStringLiteral("Lanwick ver 0.5"), &about), 1);
    pLayout->addLayout(pRow);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok, &about);
    connect(pButtons, &QDialogButtonBox::accepted, &about, &QDialog::accept);
    pLayout->addWidget(pButtons);
    FitTitle(&about);
    about.exec();
}

void CMainDlg::OnExit() {
    done(0);
}

void CMainDlg::OnWebPage() {
    QDesktopServices::openUrl(QUrl(QStringLiteral("https://lanwick.org/")));
}

bool CMainDlg::ComboHas(QComboBox* pCombo, const QString& strText) const {
    std::vector<std::string> entries;
    for (int i = 0; i < pCombo->count(); ++i)
        entries.push_back(pCombo->itemText(i).toStdString());
    return ComboHasPrefix(entries, strText.toStdString());
}

void CMainDlg::AddToGroupCombos(const QString& strGroup) {
    const QString strEdit = m_pNewGroup->currentText();
    const QString strFilter = m_pGroupFilter->currentText();
    for (QComboBox* pCombo : {m_pNewGroup, m_pGroupFilter}) {
        int nAt = 0;
        while (nAt < pCombo->count() && CompareNoCase(pCombo->itemText(nAt).toStdString(), strGroup.toStdString()) < 0)
            ++nAt;
        pCombo->insertItem(nAt, strGroup);
    }
    m_pNewGroup->setEditText(strEdit);
    m_pGroupFilter->setCurrentIndex(m_pGroupFilter->findText(strFilter));
}

} // namespace lanwick
