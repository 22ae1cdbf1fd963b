// The "Shutdown..." dialog (template 153): the account to ask with, a message for the machine's users and the
// delay; and the shutdown command that runs it for one machine and reports the outcome in message boxes.
#pragma once

#include "actions/RemoteShutdown.h"

#include <QDialog>

#include <cstdint>
#include <string>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace lanwick {

class CShutdownDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 153;
    // Control ids of the template.
    static constexpr int IDOK = 1;
    static constexpr int IDCANCEL = 2;
    static constexpr int IDC_CURRENT_USER = 1047;
    static constexpr int IDC_OTHER_ACCOUNT = 1048;
    static constexpr int IDC_USER = 1049;
    static constexpr int IDC_PASSWORD = 1050;
    static constexpr int IDC_MESSAGE = 1051;
    static constexpr int IDC_DELAY = 1052;

    explicit CShutdownDlg(QWidget* pParent = nullptr);

    void SetTarget(const std::string& strName) { m_strTarget = strName; }
    const std::string& Target() const { return m_strTarget; }

    // Taken over from the boxes when the dialog closes with OK.
    const std::string& Message() const { return m_strMessage; }
    std::uint32_t Delay() const { return m_nDelay; }
    bool UseAccount() const { return m_bUseAccount; }
    const std::string& User() const { return m_strUser; }
    const std::string& Password() const { return m_strPassword; }
    ShutdownOptions Options() const;

    // OK: takes the boxes over; a delay that is not an unsigned whole number keeps the dialog open.
    void accept() override;

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void CreateControls();
    void OnAccountChoice();

    std::string m_strTarget;
    std::string m_strPassword;
    std::string m_strUser;
    std::string m_strMessage;
    std::uint32_t m_nDelay = 0;
    bool m_bUseAccount = false;

    QPushButton* m_pOk = nullptr;
    QRadioButton* m_pCurrentUser = nullptr;
    QRadioButton* m_pOtherAccount = nullptr;
    QLineEdit* m_pUser = nullptr;
    QLineEdit* m_pPassword = nullptr;
    QPlainTextEdit* m_pMessage = nullptr;
    QLineEdit* m_pDelay = nullptr;
};

// The operator texts of a finished request, one message box each (exclamation icon, OK only): the warnings,
// then the failure text with the tool's own words under it.
void ShowShutdownResult(QWidget* pParent, const ShutdownResult& result);

// The shutdown command for one machine: the dialog (no parent, as the command makes it), and on OK the request
// and its message boxes. True when a request went out and was accepted.
bool RunShutdownCommand(QWidget* pParent, const CMachine& machine,
                        IShutdownProvider& provider = SystemShutdownProvider());

} // namespace lanwick
