// The shutdown dialog built from its template's positions in dialog units, and the command around it.
#include "ui/ShutdownDlg.h"

#include "controls/ControlId.h"
#include "controls/DialogFont.h"
#include "controls/DialogUnits.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>

#include <limits>

namespace lanwick {

namespace {

const char* const kDelayMessage = "Please enter a whole number of seconds from 0 to 4294967295.";

template <class T>
T* Place(QWidget* parent, int id, QRect rect, T* w) {
    w->setParent(parent);
    w->setGeometry(rect);
    if (id != 0)
        SetControlId(w, id);
    return w;
}

QLabel* Label(QWidget* parent, const char* text, QRect rect) {
    return Place(parent, 0, rect, new QLabel(QString::fromLatin1(text)));
}

// Strict: digits only, at most 32 bits. An empty box is no number.
bool ParseDelay(const QString& text, std::uint32_t& value) {
    if (text.isEmpty() || text.size() > 10)
        return false;
    std::uint64_t v = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        v = v * 10 + static_cast<std::uint64_t>(c.unicode() - '0');
    }
    if (v > std::numeric_limits<std::uint32_t>::max())
        return false;
    value = static_cast<std::uint32_t>(v);
    return true;
}

void MessageBox(QWidget* parent, const std::string& text, const std::string& details = {}) {
    QMessageBox box(QMessageBox::Warning, QGuiApplication::applicationDisplayName(), QString::fromStdString(text),
                    QMessageBox::Ok, parent);
    if (!details.empty())
        box.setInformativeText(QString::fromStdString(details));
    box.exec();
}

} // namespace

CShutdownDlg::CShutdownDlg(QWidget* pParent) : QDialog(pParent) {
    setWindowTitle(QStringLiteral("Shutdown..."));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFont(DialogFont());
    setFixedSize(DluX(162), DluY(177));
    CreateControls();
    // Opening state: empty boxes, 0 seconds, the current user's credentials.
    m_pDelay->setText(QString::number(m_nDelay));
    m_pCurrentUser->setChecked(true);
    OnAccountChoice();
}

void CShutdownDlg::CreateControls() {
    // In the template's order, which is also the tab order.
    m_pOk = Place(this, IDOK, DluRect(7, 156, 50, 14), new QPushButton(QStringLiteral("OK")));
    m_pOk->setDefault(true);
    auto* cancel = Place(this, IDCANCEL, DluRect(107, 156, 50, 14), new QPushButton(QStringLiteral("Cancel")));
    m_pCurrentUser = Place(this, IDC_CURRENT_USER, DluRect(5, 5, 104, 10),
                           new QRadioButton(QStringLiteral("Use current user credentials")));
    m_pOtherAccount = Place(this, IDC_OTHER_ACCOUNT, DluRect(5, 19, 86, 10),
                            new QRadioButton(QStringLiteral("Use following account")));
    Label(this, "Username:", DluRect(17, 34, 35, 8));
    Label(this, "Password:", DluRect(17, 53, 34, 8));
    m_pUser = Place(this, IDC_USER, DluRect(53, 30, 101, 14), new QLineEdit);
    m_pPassword = Place(this, IDC_PASSWORD, DluRect(54, 50, 100, 14), new QLineEdit);
    m_pPassword->setEchoMode(QLineEdit::Password); // never shown to someone looking over the shoulder
    Label(this, "Message: ", DluRect(19, 78, 34, 8));
    m_pMessage = Place(this, IDC_MESSAGE, DluRect(54, 78, 101, 52), new QPlainTextEdit);
    m_pMessage->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_pMessage->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pMessage->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pMessage->setTabChangesFocus(true);
    m_pMessage->installEventFilter(this);
    Label(this, "After:", DluRect(19, 138, 21, 8));
    m_pDelay = Place(this, IDC_DELAY, DluRect(43, 135, 24, 14), new QLineEdit);
    m_pDelay->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_pDelay));
    Label(this, "secs", DluRect(70, 138, 16, 8));

    connect(m_pOk, &QPushButton::clicked, this, &CShutdownDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CShutdownDlg::reject);
    connect(m_pCurrentUser, &QRadioButton::toggled, this, &CShutdownDlg::OnAccountChoice);
    connect(m_pOtherAccount, &QRadioButton::toggled, this, &CShutdownDlg::OnAccountChoice);
}

void CShutdownDlg::OnAccountChoice() {
    const bool other = m_pOtherAccount->isChecked();
    m_pUser->setEnabled(other);
    m_pPassword->setEnabled(other);
}

bool CShutdownDlg::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (pWatched == m_pMessage && pEvent->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(pEvent);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            // As in a dialog's multi-line box without "want return": Enter is OK, Ctrl+Enter a new line.
            if (key->modifiers() & Qt::ControlModifier)
                m_pMessage->textCursor().insertText(QStringLiteral("\n"));
            else
                m_pOk->click();
            return true;
        }
    }
    return QDialog::eventFilter(pWatched, pEvent);
}

void CShutdownDlg::accept() {
    m_strPassword = m_pPassword->text().toStdString();
    m_strUser = m_pUser->text().toStdString();
    m_strMessage = m_pMessage->toPlainText().toStdString();
    std::uint32_t delay = 0;
    if (!ParseDelay(m_pDelay->text(), delay)) {
        MessageBox(this, kDelayMessage);
        m_pDelay->setFocus();
        m_pDelay->selectAll();
        return;
    }
    m_nDelay = delay;
    m_bUseAccount = m_pOtherAccount->isChecked();
    QDialog::accept();
}

ShutdownOptions CShutdownDlg::Options() const {
    ShutdownOptions options;
    options.strMessage = m_strMessage;
    options.nDelay = m_nDelay;
    options.bUseAccount = m_bUseAccount;
    options.strUser = m_strUser;
    options.strPassword = m_strPassword;
    return options;
}

void ShowShutdownResult(QWidget* pParent, const ShutdownResult& result) {
    for (const auto& warning : result.warnings)
        MessageBox(pParent, warning);
    if (!result.bOk)
        MessageBox(pParent, result.strMessage, result.strDetails);
}

bool RunShutdownCommand(QWidget* pParent, const CMachine& machine, IShutdownProvider& provider) {
    CShutdownDlg dlg;
    dlg.SetTarget(machine.m_strName);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor); // the request holds the window until the machine answers
    const ShutdownResult result = ShutdownMachine(machine, dlg.Options(), provider);
    QGuiApplication::restoreOverrideCursor();
    ShowShutdownResult(pParent, result);
    return result.bOk;
}

} // namespace lanwick
