// The main window as a person meets it: commands reached only through what is drawn and clickable (menu titles,
// menu items, header sections, rows), and checks on what the screen shows (text that fits its column, the
// selection and scroll position after a pass, counts that match the rows).
#include "controls/DialogFont.h"
#include "controls/DialogUnits.h"
#include "controls/XHeaderCtrl.h"
#include "ui/MainDlgWindow.h"

#include <QFontInfo>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>

using namespace lanwick;
using lanwick::test::kTwoGroups;
using lanwick::test::Window;

namespace {

// A machine file of one group "Lab" with n machines named m00, m01, ... in reverse order of their addresses,
// so that sorting by name visibly reorders them.
QByteArray LabFile(int n, const char* mac = "00000C12000A") {
    QByteArray text = "<?xml version=\"1.0\"?>\r\n <Machines>\r\n  <Count mach=\"" + QByteArray::number(n) +
                      "\">\r\n  </Count>\r\n  <Group name=\"Lab\">\r\n";
    for (int i = 0; i < n; ++i) {
        text += "   <MAC Address=\"" + QByteArray(mac) + "\">\r\n    <IPAddress>198.18.0." +
                QByteArray::number(10 + i) + "</IPAddress>\r\n    <Name>m" +
                QByteArray::number(n - 1 - i).rightJustified(2, '0') +
                "</Name>\r\n    <Notify>No</Notify>\r\n    <NotifyOffline>No</NotifyOffline>\r\n"
                "    <Excluded>No</Excluded>\r\n   </MAC>\r\n";
    }
    return text + "  </Group>\r\n </Machines>\r\n";
}

QString Plain(QString strTitle) {
    return strTitle.remove(QLatin1Char('&'));
}

// A click a person could make: the point lies in the part of the widget that is on screen.
void ClickVisible(QWidget* pWidget, const QPoint& pt, Qt::MouseButton button = Qt::LeftButton) {
    QVERIFY2(pWidget->isVisible(), qPrintable(pWidget->metaObject()->className()));
    QVERIFY2(pWidget->visibleRegion().contains(pt),
             qPrintable(QStringLiteral("(%1,%2) is not on screen").arg(pt.x()).arg(pt.y())));
    QTest::mouseClick(pWidget, button, {}, pt);
}

// Opens a menu of the bar by a click on its drawn title.
QMenu* OpenMenu(QMenuBar* pBar, const QString& strTitle) {
    for (QAction* pAction : pBar->actions()) {
        if (Plain(pAction->text()) != strTitle)
            continue;
        const QRect rc = pBar->actionGeometry(pAction);
        if (rc.isEmpty() || !pBar->visibleRegion().contains(rc.center()))
            return nullptr;
        QTest::mouseClick(pBar, Qt::LeftButton, {}, rc.center());
        return QTest::qWaitFor([&] { return pAction->menu()->isVisible(); }, 2000) ? pAction->menu() : nullptr;
    }
    return nullptr;
}

// Chooses an item of an open menu by a click on its drawn line.
bool ClickItem(QMenu* pMenu, const QString& strText) {
    for (QAction* pAction : pMenu->actions()) {
        if (pAction->text() != strText)
            continue;
        const QRect rc = pMenu->actionGeometry(pAction);
        if (rc.isEmpty() || !pMenu->rect().contains(rc) || !pAction->isEnabled())
            return false;
        QTest::mouseMove(pMenu, rc.center());
        QTest::mouseClick(pMenu, Qt::LeftButton, {}, rc.center());
        return true;
    }
    return false;
}

QStringList ItemTexts(const QMenu* pMenu) {
    QStringList texts;
    for (const QAction* pAction : pMenu->actions())
        texts << (pAction->isSeparator() ? QStringLiteral("-") : pAction->text());
    return texts;
}

// The counts in the status bar say what the window holds: machines, rows, rows shown online.
QString CountsOfWhatIsShown(Window& w) {
    int nOnline = 0;
    for (int i = 0; i < w.List()->GetItemCount(); ++i) {
        const QString strState = w.List()->GetItemText(i, 3);
        nOnline += strState != QStringLiteral("No") && strState != QStringLiteral("Exc") ? 1 : 0;
    }
    return QStringLiteral("%1/%2/%3").arg(w.dlg->Machines().GetCount()).arg(w.List()->GetItemCount()).arg(nOnline);
}

QPoint RowCentre(CXListCtrl* pList, int nItem) {
    return pList->visualRect(pList->model()->index(nItem, 1)).center();
}

} // namespace

class TestMainDlgAsSeen : public QObject {
    Q_OBJECT
private slots:
    void MenuBar_EveryMenuOpensByAClickOnItsTitle();
    void MassAddThroughTheMenu_RowsAndCountsFollowTheGroupOnShow();
    void Pass_KeepsSelectionTopRowAndSort_AndTheContextMenuStillActs();
    void Columns_ShowTheirLongestTextsWhole_AtAnyFontSize();
    void ContextMenu_BesideTheRowsAllGreyed_OnARowItsCommands();
};

void TestMainDlgAsSeen::MenuBar_EveryMenuOpensByAClickOnItsTitle() {
    Window w;
    w.WriteMachines(kTwoGroups);
    w.Start();
    w.dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.dlg.get()));
    auto* pBar = w.dlg->findChild<QMenuBar*>();
    QVERIFY(pBar != nullptr);
    QVERIFY(pBar->isVisible());
    QVERIFY2(pBar->height() >= pBar->fontMetrics().height(), qPrintable(QString::number(pBar->height())));
    // The bar sits above the client area, which keeps the designed size: the window grows by the bar.
    QWidget* pClient = w.List()->parentWidget();
    QCOMPARE(pClient->size(), DluRect(0, 0, 266, 210).size());
    QCOMPARE(pClient->y(), pBar->geometry().bottom() + 1);
    QCOMPARE(w.dlg->height(), pBar->height() + pClient->height());

    const std::vector<std::pair<QString, QStringList>> menus{
        {QStringLiteral("File"), {"Load machine file", "Save machine file", "Save machine file as...", "-", "E&xit"}},
        {QStringLiteral("Edit"), {"Mass add...", "-", "Settings...", "Groups..."}},
        {QStringLiteral("Help"), {"About", "-", "Marrowfield on web"}},
    };
    for (const auto& [strTitle, items] : menus) {
        QMenu* pMenu = OpenMenu(pBar, strTitle);
        QVERIFY2(pMenu != nullptr, qPrintable(strTitle + QStringLiteral(" cannot be clicked")));
        QCOMPARE(ItemTexts(pMenu), items);
        for (QAction* pAction : pMenu->actions()) {
            if (pAction->isSeparator())
                continue;
            const QRect rc = pMenu->actionGeometry(pAction);
            QVERIFY(!rc.isEmpty() && pMenu->rect().contains(rc));
            QVERIFY(rc.width() > pMenu->fontMetrics().horizontalAdvance(Plain(pAction->text())));
        }
        QTest::keyClick(pMenu, Qt::Key_Escape);
        QTRY_VERIFY(!pMenu->isVisible());
    }

    // A command chosen by mouse alone: Edit, then Settings... on its drawn line.
    QMenu* pEdit = OpenMenu(pBar, QStringLiteral("Edit"));
    QVERIFY(pEdit != nullptr);
    QVERIFY(ClickItem(pEdit, QStringLiteral("Settings...")));
    QTRY_VERIFY(w.settingsShown.has_value());
    // Greyed items cannot be chosen.
    pEdit = OpenMenu(pBar, QStringLiteral("Edit"));
    QVERIFY(!ClickItem(pEdit, QStringLiteral("Groups...")));
    QTest::keyClick(pEdit, Qt::Key_Escape);
}

void TestMainDlgAsSeen::MassAddThroughTheMenu_RowsAndCountsFollowTheGroupOnShow() {
    Window w;
    w.WriteMachines(kTwoGroups);
    w.pinger.SetDefault(700);
    // The scan finds two machines of a new group that sorts first, so filling the combos selects it.
    w.massAdd = [](CMachineList& list) {
        list.AddMachine({198, 18, 0, 20}, "00A0C9000020", "Attic", "loft-1", 0);
        list.AddMachine({198, 18, 0, 21}, "00A0C9000021", "Attic", "loft-2", 0);
        return true;
    };
    w.Start();
    w.dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.dlg.get()));
    QCOMPARE(w.dlg->CountsText(), CountsOfWhatIsShown(w));

    auto* pBar = w.dlg->findChild<QMenuBar*>();
    QMenu* pEdit = OpenMenu(pBar, QStringLiteral("Edit"));
    QVERIFY(pEdit != nullptr);
    QVERIFY(ClickItem(pEdit, QStringLiteral("Mass add...")));
    QMenu* pMassAdd = pEdit->actions().front()->menu();
    QTRY_VERIFY(pMassAdd->isVisible());
    QVERIFY(!ClickItem(pMassAdd, QStringLiteral("Import...")));
    QVERIFY(ClickItem(pMassAdd, QStringLiteral("by scanning")));
    QVERIFY(w.dlg->WaitIdle(5000));

    QCOMPARE(w.Combo(1001)->currentText(), QStringLiteral("Attic"));
    QCOMPARE(w.Column(0), QStringList({" loft-1", " loft-2"}));
    QCOMPARE(w.dlg->CountsText(), QStringLiteral("6/2/2"));
    QCOMPARE(w.dlg->CountsText(), CountsOfWhatIsShown(w));
    QVERIFY(w.FileText().contains(QStringLiteral("loft-2")));
}

void TestMainDlgAsSeen::Pass_KeepsSelectionTopRowAndSort_AndTheContextMenuStillActs() {
    Window w;
    w.WriteMachines(LabFile(40).constData());
    w.pinger.SetDefault(700);
    w.Start();
    w.dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.dlg.get()));
    CXListCtrl* pList = w.List();
    QCOMPARE(w.Column(0).front(), QStringLiteral(" m39"));

    // Sort by name with a click on the drawn "Name" section of the header: ascending.
    QHeaderView* pHeader = pList->horizontalHeader();
    const QRect rcName(pHeader->sectionViewportPosition(0), 0, pHeader->sectionSize(0), pHeader->height());
    ClickVisible(pHeader->viewport(), rcName.center());
    QCOMPARE(w.Column(0).front(), QStringLiteral(" m00"));
    const QStringList sorted = w.Column(0);

    // Scroll down, then pick a machine by clicking its row where it is drawn.
    pList->verticalScrollBar()->setValue(pList->verticalScrollBar()->maximum() / 2);
    const int nTop = pList->GetTopIndex();
    QVERIFY(nTop > 0);
    const int nRow = nTop + 2;
    ClickVisible(pList->viewport(), RowCentre(pList, nRow));
    const CMachine* pChosen = pList->GetItemData<CMachine>(nRow);
    QVERIFY(pChosen != nullptr);
    const CMachine* pTop = pList->GetItemData<CMachine>(nTop);

    // A monitoring pass and a list fill both rebuild every row; what the operator set up stays.
    w.pinger.SetResult("198.18.0.30", -1);
    w.dlg->OnTimer();
    QVERIFY(w.dlg->WaitIdle(5000));
    w.dlg->OnSelchangeGroup();
    QVERIFY(w.dlg->WaitIdle(5000));
    QCOMPARE(w.Column(0), sorted);
    QCOMPARE(pList->GetTopIndex(), nTop);
    QCOMPARE(pList->GetItemData<CMachine>(nTop), pTop);
    QCOMPARE(pList->GetFirstSelectedItem(), nRow);
    QCOMPARE(pList->GetItemData<CMachine>(nRow), pChosen);
    QCOMPARE(w.dlg->CountsText(), CountsOfWhatIsShown(w));
    QCOMPARE(w.dlg->CountsText(), QStringLiteral("40/40/39"));

    // The first row is a row like any other.
    pList->SetTopIndex(0);
    ClickVisible(pList->viewport(), RowCentre(pList, 0));
    w.dlg->OnTimer();
    QVERIFY(w.dlg->WaitIdle(5000));
    QCOMPARE(pList->GetFirstSelectedItem(), 0);
    QCOMPARE(pList->GetTopIndex(), 0);
    pList->SetTopIndex(nTop);
    ClickVisible(pList->viewport(), RowCentre(pList, nRow));

    // The context menu at the selected row acts on that machine.
    ClickVisible(pList->viewport(), RowCentre(pList, nRow), Qt::RightButton);
    QMenu* pMenu = w.dlg->ContextMenu();
    QTRY_VERIFY(pMenu->isVisible());
    QVERIFY(ClickItem(pMenu, QStringLiteral("Properties...")));
    MachineValues edited{pChosen->m_ip, pChosen->m_strMac, "renamed", 0, 0, 0};
    // The sheet answered OK with a new name: the chosen machine, and no other, carries it.
    w.machineAnswer = edited;
    ClickVisible(pList->viewport(), RowCentre(pList, nRow), Qt::RightButton);
    QTRY_VERIFY(pMenu->isVisible());
    QVERIFY(ClickItem(pMenu, QStringLiteral("Properties...")));
    QVERIFY(w.dlg->WaitIdle(5000));
    QCOMPARE(pChosen->m_strName, std::string("renamed"));
    // Sorted again after the rebuild: the renamed machine moved to its place by name and is still the selection.
    QCOMPARE(w.Column(0).back(), QStringLiteral(" renamed"));
    QCOMPARE(pList->GetItemData<CMachine>(pList->GetFirstSelectedItem()), pChosen);
}

void TestMainDlgAsSeen::Columns_ShowTheirLongestTextsWhole_AtAnyFontSize() {
    Window w;
    {
        QByteArray text = LabFile(1, "DDDDDDDDDDDD");
        text.replace("198.18.0.10", "198.188.188.188");
        w.WriteMachines(text.constData());
    }
    QFile ini(w.Path("Lanwick.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[General]\r\nShowPingTime=1\r\n");
    ini.close();
    w.pinger.SetDefault(999990); // 999.99 ms, the longest time under the one-second wait
    w.Start();
    w.dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.dlg.get()));
    CXListCtrl* pList = w.List();
    QCOMPARE(w.Column(2), QStringList({" DD:DD:DD:DD:DD:DD"}));
    QCOMPARE(w.Column(3), QStringList({"999.99"}));
    int nTotal = 0;
    for (int nCol = 0; nCol < 4; ++nCol)
        nTotal += pList->GetColumnWidth(nCol);

    for (const double dScale : {1.0, 1.5}) {
        QFont font = w.dlg->font();
        font.setPixelSize(qRound(DialogFont().pixelSize() * dScale));
        w.dlg->setFont(font);
        QTRY_COMPARE(pList->fontMetrics().height(), QFontMetrics(font).height());
        const QFontMetrics fm(pList->font());
        int nNow = 0;
        for (int nCol = 1; nCol < 4; ++nCol) {
            QRect rc;
            QVERIFY(pList->GetSubItemRect(0, nCol, LVIR_BOUNDS, rc));
            const QString strText = pList->GetItemText(0, nCol);
            // The grid line takes the cell's last pixel.
            QVERIFY2(fm.horizontalAdvance(strText) <= rc.width() - 1,
                     qPrintable(QStringLiteral("%1 at x%2: %3 px in %4")
                                    .arg(strText)
                                    .arg(dScale)
                                    .arg(fm.horizontalAdvance(strText))
                                    .arg(rc.width())));
        }
        for (int nCol = 0; nCol < 4; ++nCol) {
            const QString strHeading = pList->model()->headerData(nCol, Qt::Horizontal).toString();
            const int nRoom = pList->GetColumnWidth(nCol) - 2 * pList->GetHeaderCtrl()->GetSpacing();
            QVERIFY2(QFontMetrics(pList->GetHeaderCtrl()->font()).horizontalAdvance(strHeading) <= nRoom,
                     qPrintable(strHeading));
            nNow += pList->GetColumnWidth(nCol);
        }
        // The designed total, in proportion to the font (rounded per column).
        const double dRatio = static_cast<double>(QFontInfo(font).pixelSize()) / DialogFont().pixelSize();
        QVERIFY2(qAbs(nNow - qRound(nTotal * dRatio)) <= 2, qPrintable(QString::number(nNow)));
    }
}

void TestMainDlgAsSeen::ContextMenu_BesideTheRowsAllGreyed_OnARowItsCommands() {
    Window w;
    w.WriteMachines(kTwoGroups);
    w.Start();
    w.dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.dlg.get()));
    CXListCtrl* pList = w.List();
    QCOMPARE(pList->GetItemCount(), 3);
    QMenu* pMenu = w.dlg->ContextMenu();
    auto enabledItems = [pMenu] {
        QStringList texts;
        for (const QAction* pAction : pMenu->actions())
            if (!pAction->isSeparator() && pAction->isEnabled())
                texts << pAction->text();
        return texts;
    };

    // One machine at a time: a click with Ctrl on another row moves the selection there.
    ClickVisible(pList->viewport(), RowCentre(pList, 0));
    QTest::mouseClick(pList->viewport(), Qt::LeftButton, Qt::ControlModifier, RowCentre(pList, 1));
    QCOMPARE(pList->GetSelectedCount(), 1);

    // A right click in the empty part under the rows leaves nothing selected and nothing to choose.
    const QPoint ptEmpty(pList->viewport()->width() / 2, pList->viewport()->height() - 5);
    QVERIFY(!pList->indexAt(ptEmpty).isValid());
    ClickVisible(pList->viewport(), ptEmpty, Qt::RightButton);
    QTRY_VERIFY(pMenu->isVisible());
    QCOMPARE(pList->GetSelectedCount(), 0);
    QCOMPARE(enabledItems(), QStringList());
    QTest::keyClick(pMenu, Qt::Key_Escape);
    QTRY_VERIFY(!pMenu->isVisible());

    // On a row: that machine's commands, but not the ones that have none.
    ClickVisible(pList->viewport(), RowCentre(pList, 1), Qt::RightButton);
    QTRY_VERIFY(pMenu->isVisible());
    QCOMPARE(pList->GetFirstSelectedItem(), 1);
    QCOMPARE(enabledItems(), QStringList({"Delete", "Exclude", "Shutdown", "WakeOnLan", "Properties..."}));
    QTest::keyClick(pMenu, Qt::Key_Escape);
}

QTEST_MAIN(TestMainDlgAsSeen)
#include "tst_MainDlgAsSeen.moc"
