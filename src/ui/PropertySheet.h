// Tabbed property sheets and their pages: a page fills its boxes when first shown, takes them back (and checks
// them) when left or confirmed, and a page the operator never opened keeps the values it was given.
#pragma once

#include "controls/ControlId.h"

#include <QDialog>
#include <QRect>
#include <QSize>

#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTabBar;

namespace lanwick {

class CPropertyPage : public QWidget {
    Q_OBJECT
public:
    // nTemplateId becomes the page's control id; the size is the template's, in dialog units.
    CPropertyPage(int nTemplateId, const QString& strCaption, int nWidthDlu, int nHeightDlu);

    const QString& Caption() const { return m_strCaption; }
    // True once the page has been shown and has filled its boxes.
    bool IsCreated() const { return m_bCreated; }

    // The sheet calls these: on every activation (the first one fills the boxes), on leaving the page or
    // confirming while it is current (false keeps it current), and on OK for every page that was shown.
    void OnSetActive();
    bool OnKillActive();
    virtual void OnOK() {}

    // A page that keeps its own size: the sheet takes that size only while the page is current, so that adding it
    // leaves the sheet as the other pages made it. The sheet calls Fit on every change of page.
    void KeepOwnSize();
    void Fit(bool bCurrent);

protected:
    // Boxes from values (bSave false) or values from boxes with their checks (true; false after a message).
    virtual bool DoDataExchange(bool bSave) = 0;
    // First showing; the default fills the boxes.
    virtual void OnInitDialog();
    // The refusal of a value: the rule as a message, then the focus in the offending box with its text selected.
    bool Refuse(QWidget* pBox, const QString& strRule);

    // A control of the page at its template position.
    template <class T>
    T* Place(int nId, QRect rect, T* pControl) {
        pControl->setParent(this);
        pControl->setGeometry(rect);
        if (nId != 0)
            SetControlId(pControl, nId);
        return pControl;
    }
    QLabel* Label(const char* text, QRect rect);
    // A check box at its template position, widened when its text needs more room (check marks of this
    // platform's styles are wider than the template assumed; nothing sits to the right of the pages' boxes).
    QCheckBox* CheckBox(int nId, const char* text, QRect rect);

private:
    QString m_strCaption;
    bool m_bCreated = false;
    QSize m_ownSize; // valid for a page that keeps its own size
};

class CPropertySheet : public QDialog {
    Q_OBJECT
public:
    // Ids of the sheet's own controls.
    enum : int { IDC_OK = 1, IDC_CANCEL = 2, IDC_APPLY_NOW = 0x3021, IDC_TAB_CONTROL = 0x3020 };

    explicit CPropertySheet(const QString& strTitle, QWidget* pParent = nullptr);

    // The sheet owns its pages; they show in the order added, the first one when the sheet opens.
    void AddPage(CPropertyPage* pPage);
    // A sheet made with an Apply button keeps it, greyed: the pages never mark themselves changed.
    void ShowApplyButton();

    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CPropertyPage* GetPage(int nIndex) const;
    int GetActiveIndex() const { return m_nActive; }
    // Leaves the current page (which may refuse) and shows another. False when the current page refused.
    bool SetActivePage(int nIndex);

    // OK: the current page takes its values back; if it refuses, the sheet stays open.
    void accept() override;

protected:
    void showEvent(QShowEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    void OnTabChosen(int nIndex);
    void ShowTab(int nIndex);

    QTabBar* m_pTabs = nullptr;
    QStackedWidget* m_pStack = nullptr;
    QPushButton* m_pApply = nullptr;
    std::vector<CPropertyPage*> m_pages;
    int m_nActive = -1;
};

} // namespace lanwick
