// The sheet: a tab bar over the pages, OK and Cancel (and a greyed Apply where asked) below; leaving a page
// goes through its checks first, so a refused value keeps its tab in front.
#include "ui/PropertySheet.h"

#include "controls/DialogFont.h"
#include "controls/DialogUnits.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

#include <algorithm>

namespace lanwick {

CPropertyPage::CPropertyPage(int nTemplateId, const QString& strCaption, int nWidthDlu, int nHeightDlu)
    : m_strCaption(strCaption) {
    SetControlId(this, nTemplateId);
    setFont(DialogFont()); // before any control measures its text
    // The sheet is as large as its largest page; smaller pages keep their controls at the top left.
    setMinimumSize(DluX(nWidthDlu), DluY(nHeightDlu));
}

void CPropertyPage::KeepOwnSize() {
    m_ownSize = minimumSize();
    Fit(false);
}

void CPropertyPage::Fit(bool bCurrent) {
    if (!m_ownSize.isValid())
        return;
    // Out of view the page claims no room: the stack is then as large as the largest other page.
    setMinimumSize(bCurrent ? m_ownSize : QSize(0, 0));
    const auto policy = bCurrent ? QSizePolicy::Preferred : QSizePolicy::Ignored;
    setSizePolicy(policy, policy);
}

void CPropertyPage::OnSetActive() {
    if (!m_bCreated) {
        m_bCreated = true;
        OnInitDialog();
    }
}

bool CPropertyPage::OnKillActive() {
    return !m_bCreated || DoDataExchange(true);
}

void CPropertyPage::OnInitDialog() {
    DoDataExchange(false);
}

bool CPropertyPage::Refuse(QWidget* pBox, const QString& strRule) {
    QMessageBox box(QMessageBox::Warning, QGuiApplication::applicationDisplayName(), strRule, QMessageBox::Ok, this);
    box.exec();
    pBox->setFocus();
    if (auto* pEdit = qobject_cast<QLineEdit*>(pBox))
        pEdit->selectAll();
    return false;
}

QLabel* CPropertyPage::Label(const char* text, QRect rect) {
    return Place(0, rect, new QLabel(QString::fromLatin1(text)));
}

QCheckBox* CPropertyPage::CheckBox(int nId, const char* text, QRect rect) {
    auto* box = Place(nId, rect, new QCheckBox(QString::fromLatin1(text)));
    box->resize(std::max(rect.width(), box->sizeHint().width()), rect.height());
    return box;
}

CPropertySheet::CPropertySheet(const QString& strTitle, QWidget* pParent) : QDialog(pParent) {
    setWindowTitle(strTitle);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFont(DialogFont());

    m_pTabs = new QTabBar(this);
    m_pTabs->setDrawBase(false);
    m_pTabs->setExpanding(false);
    SetControlId(m_pTabs, IDC_TAB_CONTROL);
    m_pStack = new QStackedWidget(this);
    m_pStack->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    SetControlId(ok, IDC_OK);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    SetControlId(cancel, IDC_CANCEL);
    m_pApply = new QPushButton(QStringLiteral("&Apply"), this);
    SetControlId(m_pApply, IDC_APPLY_NOW);
    m_pApply->setEnabled(false);
    m_pApply->hide();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : {ok, cancel, m_pApply}) {
        b->setMinimumSize(DluX(50), DluY(14));
        buttons->addWidget(b);
    }
    auto* column = new QVBoxLayout(this);
    column->setSizeConstraint(QLayout::SetFixedSize);
    column->setSpacing(0);
    column->addWidget(m_pTabs);
    column->addWidget(m_pStack);
    column->addSpacing(DluY(7));
    column->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, &CPropertySheet::accept);
    connect(cancel, &QPushButton::clicked, this, &CPropertySheet::reject);
    connect(m_pTabs, &QTabBar::currentChanged, this, &CPropertySheet::OnTabChosen);
}

void CPropertySheet::AddPage(CPropertyPage* pPage) {
    m_pages.push_back(pPage);
    m_pStack->addWidget(pPage);
    const QSignalBlocker block(m_pTabs);
    m_pTabs->addTab(pPage->Caption());
    m_pTabs->setCurrentIndex(m_nActive < 0 ? 0 : m_nActive);
}

void CPropertySheet::ShowApplyButton() {
    m_pApply->show();
}

CPropertyPage* CPropertySheet::GetPage(int nIndex) const {
    if (nIndex < 0 || nIndex >= GetPageCount())
        return nullptr;
    return m_pages[static_cast<std::size_t>(nIndex)];
}

bool CPropertySheet::SetActivePage(int nIndex) {
    CPropertyPage* pNext = GetPage(nIndex);
    if (!pNext || nIndex == m_nActive)
        return pNext != nullptr;
    if (CPropertyPage* pCurrent = GetPage(m_nActive); pCurrent && !pCurrent->OnKillActive())
        return false;
    m_nActive = nIndex;
    ShowTab(nIndex);
    pNext->OnSetActive();
    return true;
}

void CPropertySheet::ShowTab(int nIndex) {
    const QSignalBlocker block(m_pTabs);
    m_pTabs->setCurrentIndex(nIndex);
    for (int i = 0; i < GetPageCount(); ++i)
        m_pages[static_cast<std::size_t>(i)]->Fit(i == nIndex);
    m_pStack->setCurrentIndex(nIndex);
}

void CPropertySheet::OnTabChosen(int nIndex) {
    // The tab bar has already moved; it goes back until the page being left has accepted its values.
    ShowTab(m_nActive < 0 ? 0 : m_nActive);
    SetActivePage(nIndex);
}

void CPropertySheet::accept() {
    CPropertyPage* pCurrent = GetPage(m_nActive);
    if (pCurrent && !pCurrent->OnKillActive())
        return;
    for (CPropertyPage* pPage : m_pages)
        if (pPage->IsCreated())
            pPage->OnOK();
    QDialog::accept();
}

void CPropertySheet::showEvent(QShowEvent* pEvent) {
    QDialog::showEvent(pEvent);
    if (m_nActive < 0 && !m_pages.empty())
        SetActivePage(0);
}

void CPropertySheet::keyPressEvent(QKeyEvent* pEvent) {
    // Ctrl+Tab and Ctrl+Page Down step through the tabs, as in any tabbed dialog.
    const int nCount = GetPageCount();
    if (nCount > 0 && (pEvent->modifiers() & Qt::ControlModifier)) {
        const int nKey = pEvent->key();
        int nStep = 0;
        if (nKey == Qt::Key_Tab || nKey == Qt::Key_PageDown)
            nStep = 1;
        else if (nKey == Qt::Key_Backtab || nKey == Qt::Key_PageUp)
            nStep = nCount - 1;
        if (nStep != 0) {
            SetActivePage((std::max(m_nActive, 0) + nStep) % nCount);
            return;
        }
    }
    QDialog::keyPressEvent(pEvent);
}

} // namespace lanwick
