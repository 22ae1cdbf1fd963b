// The main window's own message boxes and its About box, as the commands really open them: each is wide enough
// for a window manager to show its whole title beside the title bar's buttons, and shows every text whole.
#include "controls/IpAddressCtrl.h"
#include "support/ModalDriver.h"
#include "ui/MainDlgWindow.h"

#include <QLabel>

using namespace lanwick;
using namespace lanwick::test;

class TestMainDlgBoxes : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Q_INIT_RESOURCE(lanwick); }
    void Boxes_WideEnoughForTheirTitleAndTexts_data();
    void Boxes_WideEnoughForTheirTitleAndTexts();
};

void TestMainDlgBoxes::Boxes_WideEnoughForTheirTitleAndTexts_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::newRow("add nothing") << "Lanwick v0.5"
                                 << "Nothing to add...";
    QTest::newRow("add an address without a name") << "Lanwick v0.5"
                                                   << "IP is not resolved, would you like to add it anyway?";
    QTest::newRow("about") << "About Lanwick"
                           << "Lanwick ver 0.5";
}

void TestMainDlgBoxes::Boxes_WideEnoughForTheirTitleAndTexts() {
    QFETCH(QString, title);
    QFETCH(QString, text);
    Window w;
    w.services.message = nullptr; // the real boxes
    w.services.askYesNo = nullptr;
    w.Start();
    w.dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.dlg.get()));

    // What the first modal window showed while it was up, before it was closed with No or its first button.
    QString strTitle;
    int nWidth = 0;
    QStringList texts;
    QStringList clipped; // labels narrower or lower than their text
    const test::CModalDriver driver(
        [&](QWidget* pModal) {
            strTitle = pModal->windowTitle();
            nWidth = pModal->width();
            for (QLabel* pLabel : pModal->findChildren<QLabel*>()) {
                const QFontMetrics fm(pLabel->font());
                const QRect rc = pLabel->contentsRect();
                const bool bFits = pLabel->wordWrap()
                                       ? fm.boundingRect(rc, Qt::TextWordWrap, pLabel->text()).height() <= rc.height()
                                       : fm.horizontalAdvance(pLabel->text()) <= rc.width();
                texts << pLabel->text();
                if (!bFits && pLabel->isVisible())
                    clipped << pLabel->text();
            }
            auto* pBox = qobject_cast<QMessageBox*>(pModal);
            auto* pButton = pBox && pBox->button(QMessageBox::No) ? pBox->button(QMessageBox::No)
                                                                  : pModal->findChild<QAbstractButton*>();
            pButton->click();
        },
        QMessageBox::NoButton);
    if (QString::fromLatin1(QTest::currentDataTag()) == QLatin1String("about")) {
        w.dlg->OnAbout();
    } else {
        if (QString::fromLatin1(QTest::currentDataTag()) != QLatin1String("add nothing"))
            FindControl<CIPAddressCtrl>(w.dlg.get(), 1002)->SetAddress({10, 2, 0, 50});
        w.dlg->OnAddMachine();
        QVERIFY(w.dlg->WaitIdle(5000));
    }
    QTRY_VERIFY_WITH_TIMEOUT(nWidth > 0 && !QApplication::activeModalWidget(), 5000);
    QCOMPARE(strTitle, title);
    QVERIFY2(texts.contains(text), qPrintable(texts.join(QLatin1String(" | "))));
    // The window manager's font is not Qt's to know: the application font made bold stands for it. The title is
    // centred with three buttons on its right, each at least as wide as the font is high plus a little padding, so
    // as much room again is kept on its left.
    QFont font = QApplication::font();
    font.setBold(true);
    const int nLeast = QFontMetrics(font).horizontalAdvance(title) + 2 * 3 * (QFontMetrics(font).height() + 4);
    QVERIFY2(nWidth >= nLeast, qPrintable(QStringLiteral("%1 px wide, the title needs %2").arg(nWidth).arg(nLeast)));
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QLatin1String(" | "))));
    QCOMPARE(w.dlg->Machines().GetCount(), std::size_t{0}); // the question was answered No
}

QTEST_MAIN(TestMainDlgBoxes)
#include "tst_MainDlgBoxes.moc"
