// The shutdown dialog on the offscreen platform: opening state, account choice, keys, the delay check, and the
// command around it against a scripted provider (cancel sends nothing, refusals show one box).
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

} // namespace

class TestShutdownDlg : public QObject {
    Q_OBJECT
private slots:
    // One session: the opening state, the account choice by mouse and arrow key, the digits-only delay box,
    // Ctrl+Enter for a new line and Enter for OK, and what OK takes over.
    void Dialog_OpensChoosesAndTakesOverOnEnter() {
        CShutdownDlg dlg;
        dlg.show();
        auto* current = Control<QRadioButton>(&dlg, 1047);
        auto* other = Control<QRadioButton>(&dlg, 1048);
        auto* user = Control<QLineEdit>(&dlg, 1049);
        auto* password = Control<QLineEdit>(&dlg, 1050);
        auto* message = Control<QPlainTextEdit>(&dlg, 1051);
        auto* delay = Control<QLineEdit>(&dlg, 1052);
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Shutdown..."));
        QCOMPARE(current->text(), QStringLiteral("Use current user credentials"));
        QCOMPARE(other->text(), QStringLiteral("Use following account"));
        QCOMPARE(Control<QPushButton>(&dlg, 2)->text(), QStringLiteral("Cancel"));
        QVERIFY(current->isChecked() && !other->isChecked());
        QVERIFY(!user->isEnabled() && !password->isEnabled());
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        QCOMPARE(message->toPlainText(), QString());
        QCOMPARE(delay->text(), QStringLiteral("0"));
        QVERIFY(Control<QPushButton>(&dlg, 1)->isDefault());

        QTest::mouseClick(other, Qt::LeftButton);
        QVERIFY(user->isEnabled() && password->isEnabled());
        QTest::mouseClick(current, Qt::LeftButton);
        QVERIFY(!user->isEnabled() && !password->isEnabled());
        dlg.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        current->setFocus();
        QTest::keyClick(current, Qt::Key_Down);
        QVERIFY(other->isChecked() && user->isEnabled());
        QTest::keyClicks(user, QStringLiteral("LAB\\admin"));
        QTest::keyClicks(password, QStringLiteral("s3cret"));

        delay->clear();
        QTest::keyClicks(delay, QStringLiteral("3-x0 "));
        QCOMPARE(delay->text(), QStringLiteral("30"));
        delay->setText(QStringLiteral("4294967295"));

        message->setFocus();
        QTest::keyClicks(message, QStringLiteral("first"));
        QTest::keyClick(message, Qt::Key_Return, Qt::ControlModifier);
        QTest::keyClicks(message, QStringLiteral("second"));
        QVERIFY(dlg.isVisible());
        QTest::keyClick(message, Qt::Key_Return);
        QCOMPARE(dlg.result(), static_cast<int>(QDialog::Accepted));
        QVERIFY(!dlg.isVisible());
        const ShutdownOptions o = dlg.Options();
        QCOMPARE(o.strMessage, std::string("first\nsecond"));
        QCOMPARE(o.nDelay, 4294967295u);
        QVERIFY(o.bUseAccount);
        QCOMPARE(o.strUser, std::string("LAB\\admin"));
        QCOMPARE(o.strPassword, std::string("s3cret"));
    }

    void Delay_NotAnUnsignedNumberShowsAMessageAndKeepsTheDialogOpen() {
        // Typed keys are filtered to digits; a pasted or set text is checked again on OK.
        for (const QString& bad :
             {QString(), QStringLiteral("4294967296"), QStringLiteral("99999999999"), QStringLiteral("3x")}) {
            CShutdownDlg dlg;
            dlg.show();
            QLineEdit* delay = Control<QLineEdit>(&dlg, 1052);
            delay->setText(bad);
            Control<QPushButton>(&dlg, 1)->setFocus();
            const QStringList boxes = RunModal([&] { Control<QPushButton>(&dlg, 1)->click(); });
            QCOMPARE(boxes, QStringList{"Please enter a whole number of seconds from 0 to 4294967295."});
            QVERIFY(dlg.isVisible());
            QCOMPARE(dlg.result(), 0);
            QCOMPARE(dlg.focusWidget(), delay);
            QCOMPARE(delay->selectedText(), bad);
        }
    }

    // Each row: the machine's name, the provider's answer, the button pressed, the boxes shown, the requests sent.
    void Command_SendsOnlyOnOkToANamedMachineAndShowsOneBoxOnRefusal() {
        const QString kRefused = QStringLiteral(" computer name or priviliges might be wrong");
        const std::string kFailure = "Connection failed: NT_STATUS_LOGON_FAILURE";
        const QString kSent = QStringLiteral("SERVER1 'Going down' 30 force");
        const struct {
            std::string name;
            platform::ShutdownCall answer;
            int button;
            QString boxes;
            QString requests;
        } cases[] = {
            {"SERVER1", {true, ""}, 2, "", ""},
            {"SERVER1", {true, ""}, 1, "", kSent},
            {"SERVER1",
             {false, kFailure},
             1,
             "Could not shutdown SERVER1\n" + kRefused + "|" + kFailure.c_str(),
             kSent},
            {"",
             {true, ""},
             1,
             "Could not shutdown \n" + kRefused +
                 "|The machine has no name; an empty name would mean this computer, so nothing was sent.",
             ""},
        };
        for (const auto& c : cases) {
            CScriptedProvider provider;
            provider.m_answer = c.answer;
            bool sent = false;
            const CMachine machine({192, 168, 1, 10}, "00A0C9123456", "Lab", c.name, 0);
            const QStringList boxes = RunModal([&] { sent = RunShutdownCommand(nullptr, machine, provider); },
                                               [&c](QWidget* dlg) {
                                                   QCOMPARE(static_cast<CShutdownDlg*>(dlg)->Target(), c.name);
                                                   Control<QPlainTextEdit>(dlg, 1051)->setPlainText("Going down");
                                                   Control<QLineEdit>(dlg, 1052)->setText("30");
                                                   Control<QPushButton>(dlg, c.button)->click();
                                               });
            QStringList requests;
            for (const platform::ShutdownRequest& r : provider.m_requests)
                requests << QStringLiteral("%1 '%2' %3%4%5")
                                .arg(QString::fromStdString(r.strMachine), QString::fromStdString(r.strMessage))
                                .arg(r.nDelay)
                                .arg(r.bForce ? " force" : "", r.bReboot ? " reboot" : "");
            QCOMPARE(boxes.join('/'), c.boxes);
            QCOMPARE(requests.join('/'), c.requests);
            QCOMPARE(sent, c.button == 1 && c.answer.bOk && !c.name.empty());
        }
    }
};

QTEST_MAIN(TestShutdownDlg)
#include "tst_ShutdownDlg.moc"
