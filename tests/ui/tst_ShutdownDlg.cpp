// The shutdown dialog on the offscreen platform: opening state, account choice, delay check, keys of the message
// box, and the command around it against a scripted provider (cancel sends nothing, refusals show one box).
#include "support/Controls.h"
#include "support/ModalDriver.h"
#include "ui/ShutdownDlg.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace lanwick;
using test::Control;
using test::RunModal;

namespace {

class CScriptedProvider final : public IShutdownProvider {
public:
    platform::ShutdownCall m_answer{true, ""};
    std::vector<platform::ShutdownRequest> m_requests;
    std::vector<std::string> EnablePrivilege() override { return {}; }
    platform::ShutdownCall Request(const platform::ShutdownRequest& request) override {
        m_requests.push_back(request);
        return m_answer;
    }
};

CMachine Named(const std::string& name) {
    return CMachine({192, 168, 1, 10}, "00A0C9123456", "Lab", name, 0);
}

} // namespace

class TestShutdownDlg : public QObject {
    Q_OBJECT
private slots:
    void Opening_CurrentUserTickedAccountBoxesDisabledDelayZero() {
        CShutdownDlg dlg;
        dlg.show();
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Shutdown..."));
        QVERIFY(Control<QRadioButton>(&dlg, 1047)->isChecked());
        QVERIFY(!Control<QRadioButton>(&dlg, 1048)->isChecked());
        QCOMPARE(Control<QRadioButton>(&dlg, 1047)->text(), QStringLiteral("Use current user credentials"));
        QCOMPARE(Control<QRadioButton>(&dlg, 1048)->text(), QStringLiteral("Use following account"));
        QVERIFY(!Control<QLineEdit>(&dlg, 1049)->isEnabled());
        QVERIFY(!Control<QLineEdit>(&dlg, 1050)->isEnabled());
        QCOMPARE(Control<QLineEdit>(&dlg, 1050)->echoMode(), QLineEdit::Password);
        QCOMPARE(Control<QPlainTextEdit>(&dlg, 1051)->toPlainText(), QString());
        QCOMPARE(Control<QLineEdit>(&dlg, 1052)->text(), QStringLiteral("0"));
        QVERIFY(Control<QPushButton>(&dlg, 1)->isDefault());
        QCOMPARE(Control<QPushButton>(&dlg, 2)->text(), QStringLiteral("Cancel"));
    }

    void AccountChoice_EnablesAndDisablesTheAccountBoxes() {
        CShutdownDlg dlg;
        dlg.show();
        QTest::mouseClick(Control<QRadioButton>(&dlg, 1048), Qt::LeftButton);
        QVERIFY(Control<QLineEdit>(&dlg, 1049)->isEnabled());
        QVERIFY(Control<QLineEdit>(&dlg, 1050)->isEnabled());
        QTest::mouseClick(Control<QRadioButton>(&dlg, 1047), Qt::LeftButton);
        QVERIFY(!Control<QLineEdit>(&dlg, 1049)->isEnabled());
        QVERIFY(!Control<QLineEdit>(&dlg, 1050)->isEnabled());
        // The arrow keys move the choice too.
        dlg.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        Control<QRadioButton>(&dlg, 1047)->setFocus();
        QTest::keyClick(Control<QRadioButton>(&dlg, 1047), Qt::Key_Down);
        QVERIFY(Control<QRadioButton>(&dlg, 1048)->isChecked());
        QVERIFY(Control<QLineEdit>(&dlg, 1049)->isEnabled());
    }

    void Delay_NotAnUnsignedNumberShowsAMessageAndKeepsTheDialogOpen() {
        for (const QString& bad : {QString(), QStringLiteral("4294967296"), QStringLiteral("99999999999")}) {
            CShutdownDlg dlg;
            dlg.show();
            QLineEdit* delay = Control<QLineEdit>(&dlg, 1052);
            delay->setText(bad);
            Control<QPushButton>(&dlg, 1)->setFocus();
            const QStringList boxes = RunModal([&] { Control<QPushButton>(&dlg, 1)->click(); });
            QCOMPARE(boxes.size(), 1);
            QVERIFY2(boxes[0].contains(QStringLiteral("whole number")), qPrintable(boxes[0]));
            QVERIFY(dlg.isVisible());
            QCOMPARE(dlg.result(), 0);
            QCOMPARE(dlg.focusWidget(), delay);
            QCOMPARE(delay->selectedText(), bad);
        }
    }

    void Delay_BoxTakesDigitsOnly() {
        CShutdownDlg dlg;
        dlg.show();
        QLineEdit* delay = Control<QLineEdit>(&dlg, 1052);
        delay->clear();
        QTest::keyClicks(delay, QStringLiteral("3-x0 "));
        QCOMPARE(delay->text(), QStringLiteral("30"));
    }

    void Ok_TakesOverMessageDelayAndAccount() {
        CShutdownDlg dlg;
        dlg.show();
        Control<QPlainTextEdit>(&dlg, 1051)->setPlainText(QStringLiteral("Back soon"));
        Control<QLineEdit>(&dlg, 1052)->setText(QStringLiteral("4294967295"));
        QTest::mouseClick(Control<QRadioButton>(&dlg, 1048), Qt::LeftButton);
        QTest::keyClicks(Control<QLineEdit>(&dlg, 1049), QStringLiteral("LAB\\admin"));
        QTest::keyClicks(Control<QLineEdit>(&dlg, 1050), QStringLiteral("s3cret"));
        QVERIFY(RunModal([&] { Control<QPushButton>(&dlg, 1)->click(); }).isEmpty());
        QCOMPARE(dlg.result(), static_cast<int>(QDialog::Accepted));
        const ShutdownOptions o = dlg.Options();
        QCOMPARE(o.strMessage, std::string("Back soon"));
        QCOMPARE(o.nDelay, 4294967295u);
        QVERIFY(o.bUseAccount);
        QCOMPARE(o.strUser, std::string("LAB\\admin"));
        QCOMPARE(o.strPassword, std::string("s3cret"));
    }

    void MessageBox_EnterPressesOkAndCtrlEnterStartsANewLine() {
        CShutdownDlg dlg;
        dlg.show();
        auto* message = Control<QPlainTextEdit>(&dlg, 1051);
        message->setFocus();
        QTest::keyClicks(message, QStringLiteral("first"));
        QTest::keyClick(message, Qt::Key_Return, Qt::ControlModifier);
        QTest::keyClicks(message, QStringLiteral("second"));
        QVERIFY(dlg.isVisible());
        QCOMPARE(message->toPlainText(), QStringLiteral("first\nsecond"));
        QTest::keyClick(message, Qt::Key_Return);
        QCOMPARE(dlg.result(), static_cast<int>(QDialog::Accepted));
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.Message(), std::string("first\nsecond"));
    }

    void Command_CancelSendsNothing() {
        CScriptedProvider provider;
        bool sent = true;
        const QStringList boxes = RunModal([&] { sent = RunShutdownCommand(nullptr, Named("SERVER1"), provider); },
                                           [](QWidget* dlg) {
                                               Control<QPlainTextEdit>(dlg, 1051)->setPlainText("never sent");
                                               Control<QPushButton>(dlg, 2)->click();
                                           });
        QVERIFY(!sent);
        QVERIFY(boxes.isEmpty());
        QVERIFY(provider.m_requests.empty());
    }

    void Command_OkSendsToTheMachinesNameWithoutAnyBox() {
        CScriptedProvider provider;
        const QStringList boxes =
            RunModal([&] { RunShutdownCommand(nullptr, Named("SERVER1"), provider); },
                     [](QWidget* dlg) {
                         QCOMPARE(static_cast<CShutdownDlg*>(dlg)->Target(), std::string("SERVER1"));
                         Control<QPlainTextEdit>(dlg, 1051)->setPlainText("Going down");
                         Control<QLineEdit>(dlg, 1052)->setText("30");
                         Control<QPushButton>(dlg, 1)->click();
                     });
        QVERIFY(boxes.isEmpty());
        QCOMPARE(provider.m_requests.size(), std::size_t{1});
        QCOMPARE(provider.m_requests[0].strMachine, std::string("SERVER1"));
        QCOMPARE(provider.m_requests[0].strMessage, std::string("Going down"));
        QCOMPARE(provider.m_requests[0].nDelay, 30u);
        QVERIFY(provider.m_requests[0].bForce);
        QVERIFY(!provider.m_requests[0].bReboot);
    }

    void Command_RefusalShowsExactlyOneBoxWithTheToolsWords() {
        CScriptedProvider provider;
        provider.m_answer = {false, "Connection failed: NT_STATUS_LOGON_FAILURE"};
        const QStringList boxes = RunModal([&] { RunShutdownCommand(nullptr, Named("SERVER1"), provider); },
                                           [](QWidget* dlg) { Control<QPushButton>(dlg, 1)->click(); });
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0], QStringLiteral("Could not shutdown SERVER1\n computer name or priviliges might be wrong|"
                                          "Connection failed: NT_STATUS_LOGON_FAILURE"));
    }

    void Command_MachineWithoutNameIsRefusedAndNothingSent() {
        CScriptedProvider provider;
        const QStringList boxes = RunModal([&] { RunShutdownCommand(nullptr, Named(""), provider); },
                                           [](QWidget* dlg) { Control<QPushButton>(dlg, 1)->click(); });
        QCOMPARE(boxes.size(), 1);
        QVERIFY(boxes[0].startsWith(QStringLiteral("Could not shutdown \n")));
        QVERIFY(provider.m_requests.empty());
    }
};

QTEST_MAIN(TestShutdownDlg)
#include "tst_ShutdownDlg.moc"
