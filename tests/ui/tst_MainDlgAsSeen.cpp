// The main window as a person meets it: commands reached only through what is drawn and clickable (menu titles,
// menu items, header sections, rows), and checks on what the screen shows (text that fits its column, the
// selection and scroll position after a pass, counts that match the rows).
#include "controls/DialogFont.h"
#include "controls/XHeaderCtrl.h"
#include "ui/MainDlgWindow.h"

#include <QFontInfo>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>

using namespace lanwick;
using namespace lanwick::test;

namespace {

// Group "Lab": m00 to m39 in reverse order of their addresses, so that sorting by name visibly reorders them, and
// "wide" with the widest address and MAC the columns must show.
void FortyOne(CMachineList& list) {
    for (int i = 0; i < 40; ++i)
        list.AddMachine({198, 18, 0, static_cast<std::uint8_t>(10 + i)}, "00000C12000A", "Lab",
                        QStringLiteral("m%1").arg(39 - i, 2, 10, QLatin1Char('0')).toStdString(), 0);
    list.AddMachine({198, 188, 188, 188}, "DDDDDDDDDDDD", "Lab", "wide", 0);
}

// A click a person could make: the point lies in the part of the widget that is on screen.
void ClickVisible(QWidget* pWidget, const QPoint& pt, Qt::MouseButton button = Qt::LeftButton) {
    QVERIFY2(pWidget->isVisible() && pWidget->visibleRegion().contains(pt),
             qPrintable(QStringLiteral("(%1,%2) is not on screen").arg(pt.x()).arg(pt.y())));
    QTest::mouseClick(pWidget, button, {}, pt);
}

// Opens a menu of the bar by a click on its drawn title.
QMenu* OpenMenu(QMenuBar* pBar, const QString& strTitle) {
    for (QAction* pAction : pBar->actions()) {
        const QRect rc = pBar->actionGeometry(pAction);
        if (pAction->text().remove(QLatin1Char('&')) != strTitle || !pBar->visibleRegion().contains(rc.center()))
            continue;
        QTest::mouseClick(pBar, Qt::LeftButton, {}, rc.center());
        return QTest::qWaitFor([&] { return pAction->menu()->isVisible(); }, 2000) ? pAction->menu() : nullptr;
    }
    return nullptr;
}

// Chooses an enabled item of an open menu by a click on its drawn line.
bool ClickItem(QMenu* pMenu, const QString& strText) {
    for (QAction* pAction : pMenu->actions()) {
        const QRect rc = pMenu->actionGeometry(pAction);
        if (pAction->text() != strText || !pMenu->rect().contains(rc) || !pAction->isEnabled())
            continue;
        QTest::mouseMove(pMenu, rc.center());
        QTest::mouseClick(pMenu, Qt::LeftButton, {}, rc.center());
        return true;
    }
    return false;
}

QStringList ItemTexts(const QMenu* pMenu, bool bEnabledOnly = false) {
    QStringList texts;
    for (const QAction* pAction : pMenu->actions())
        if (!bEnabledOnly || (pAction->isEnabled() && !pAction->isSeparator()))
            texts << (pAction->isSeparator() ? QStringLiteral("-") : pAction->text());
    return texts;
}

QPoint RowCentre(CXListCtrl* pList, int nItem) {
    return pList->visualRect(pList->model()->index(nItem, 1)).center();
}

} // namespace

class TestMainDlgAsSeen : public QObject {
    Q_OBJECT
private slots:
    void Menus_OpenByClicks_MassAddAndContextMenuAct();
    void Pass_KeepsSelectionTopRowAndSort_ColumnsShowTheirTextsWhole();
};

void TestMainDlgAsSeen::Menus_OpenByClicks_MassAddAndContextMenuAct() {
    Window w;
    w.WriteMachines(TwoGroups);
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
    auto* pBar = w.dlg->findChild<QMenuBar*>();
    const std::vector<std::pair<QString, QStringList>> menus{
        {QStringLiteral("File"), {"Load machine file", "Save machine file", "Save machine file as...", "-", "E&xit"}},
        {QStringLiteral("Edit"), {"Mass add...", "-", "Settings...", "Groups..."}},
        {QStringLiteral("Help"), {"About", "-", "Marrowfield on web"}},
    };
    for (const auto& [strTitle, items] : menus) {
        QMenu* pMenu = OpenMenu(pBar, strTitle);
        QVERIFY2(pMenu != nullptr, qPrintable(strTitle + QStringLiteral(" cannot be clicked")));
        QCOMPARE(ItemTexts(pMenu), items);
        QTest::keyClick(pMenu, Qt::Key_Escape);
        QTRY_VERIFY(!pMenu->isVisible());
    }

    // Commands chosen by mouse alone; greyed items cannot be chosen.
    QMenu* pEdit = OpenMenu(pBar, QStringLiteral("Edit"));
    QVERIFY(ClickItem(pEdit, QStringLiteral("Settings...")));
    QTRY_VERIFY(w.settingsShown.has_value());
    pEdit = OpenMenu(pBar, QStringLiteral("Edit"));
    QVERIFY(!ClickItem(pEdit, QStringLiteral("Groups...")));
    QVERIFY(ClickItem(pEdit, QStringLiteral("Mass add...")));
    QMenu* pMassAdd = pEdit->actions().front()->menu();
    QTRY_VERIFY(pMassAdd->isVisible());
    QVERIFY(!ClickItem(pMassAdd, QStringLiteral("Import...")));
    QVERIFY(ClickItem(pMassAdd, QStringLiteral("by scanning")));
    QVERIFY(w.dlg->WaitIdle(5000));
    QCOMPARE(w.Combo(1001)->currentText(), QStringLiteral("Attic"));
    QCOMPARE(w.Column(0), QStringList({" loft-1", " loft-2"}));
    QCOMPARE(w.dlg->CountsText(), QStringLiteral("6/2/2"));
    QVERIFY(w.FileText().contains(QStringLiteral("loft-2")));

    // One machine at a time: a click with Ctrl on another row moves the selection there.
    CXListCtrl* pList = w.List();
    ClickVisible(pList->viewport(), RowCentre(pList, 0));
    QTest::mouseClick(pList->viewport(), Qt::LeftButton, Qt::ControlModifier, RowCentre(pList, 1));
    QCOMPARE(pList->GetSelectedCount(), 1);
    // A right click in the empty part under the rows leaves nothing selected and nothing to choose.
    QMenu* pMenu = w.dlg->ContextMenu();
    const QPoint ptEmpty(pList->viewport()->width() / 2, pList->viewport()->height() - 5);
    QVERIFY(!pList->indexAt(ptEmpty).isValid());
    ClickVisible(pList->viewport(), ptEmpty, Qt::RightButton);
    QTRY_VERIFY(pMenu->isVisible());
    QCOMPARE(pList->GetSelectedCount(), 0);
    QCOMPARE(ItemTexts(pMenu, true), QStringList());
    QTest::keyClick(pMenu, Qt::Key_Escape);
    QTRY_VERIFY(!pMenu->isVisible());
    // On a row: that machine's commands, but not the ones that have none.
    ClickVisible(pList->viewport(), RowCentre(pList, 1), Qt::RightButton);
    QTRY_VERIFY(pMenu->isVisible());
    QCOMPARE(pList->GetFirstSelectedItem(), 1);
    QCOMPARE(ItemTexts(pMenu, true), QStringList({"Delete", "Exclude", "Shutdown", "WakeOnLan", "Properties..."}));
    QTest::keyClick(pMenu, Qt::Key_Escape);
}

void TestMainDlgAsSeen::Pass_KeepsSelectionTopRowAndSort_ColumnsShowTheirTextsWhole() {
    Window w;
    w.WriteMachines(FortyOne);
    w.pinger.SetDefault(999990); // 999.99 ms, the longest time under the one-second wait
    w.Start();
    w.dlg->Settings().m_bShowPingTime = 1; // from the next pass on
    w.dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.dlg.get()));
    CXListCtrl* pList = w.List();
    QCOMPARE(w.Column(0).front(), QStringLiteral(" m39"));

    // Sort by name with a click on the drawn "Name" section of the header: ascending.
    QHeaderView* pHeader = pList->horizontalHeader();
    ClickVisible(pHeader->viewport(),
                 QPoint(pHeader->sectionViewportPosition(0) + pHeader->sectionSize(0) / 2, pHeader->height() / 2));
    QCOMPARE(w.Column(0).front(), QStringLiteral(" m00"));
    const QStringList sorted = w.Column(0);

    // Scroll down, then pick a machine by clicking its row where it is drawn.
    pList->verticalScrollBar()->setValue(pList->verticalScrollBar()->maximum() / 2);
    const int nTop = pList->GetTopIndex();
    QVERIFY(nTop > 0);
    const int nRow = nTop + 2;
    ClickVisible(pList->viewport(), RowCentre(pList, nRow));
    const CMachine* pChosen = pList->GetItemData<CMachine>(nRow);
    const CMachine* pTop = pList->GetItemData<CMachine>(nTop);
    QVERIFY(pChosen != nullptr);

    // A monitoring pass and a list fill both rebuild every row; what the operator set up stays.
    w.pinger.SetResult("198.18.0.30", -1);
    w.Pass();
    w.dlg->OnSelchangeGroup();
    QVERIFY(w.dlg->WaitIdle(5000));
    QCOMPARE(w.Column(0), sorted);
    QCOMPARE(pList->GetTopIndex(), nTop);
    QCOMPARE(pList->GetItemData<CMachine>(nTop), pTop);
    QCOMPARE(pList->GetFirstSelectedItem(), nRow);
    QCOMPARE(pList->GetItemData<CMachine>(nRow), pChosen);
    QCOMPARE(w.dlg->CountsText(), QStringLiteral("41/41/40"));

    // The first row is a row like any other.
    pList->SetTopIndex(0);
    ClickVisible(pList->viewport(), RowCentre(pList, 0));
    w.Pass();
    QCOMPARE(pList->GetFirstSelectedItem(), 0);
    QCOMPARE(pList->GetTopIndex(), 0);
    pList->SetTopIndex(nTop);

    // Properties from the context menu at a row act on that machine: Cancel changes nothing, OK is saved.
    QMenu* pMenu = w.dlg->ContextMenu();
    const auto properties = [&] {
        ClickVisible(pList->viewport(), RowCentre(pList, nRow), Qt::RightButton);
        QTRY_VERIFY(pMenu->isVisible());
        QVERIFY(ClickItem(pMenu, QStringLiteral("Properties...")));
        QVERIFY(w.dlg->WaitIdle(5000));
    };
    const QString strBefore = w.FileText();
    properties();
    QCOMPARE(w.FileText(), strBefore);
    w.machineAnswer = MachineValues{{198, 18, 0, 77}, "00A0C9ABCDEF", "renamed", 1, 0, 1};
    properties();
    QVERIFY(w.FileText().contains(QStringLiteral("<IPAddress>198.18.0.77</IPAddress>")));
    QVERIFY(w.FileText().contains(QStringLiteral("<MAC Address=\"00A0C9ABCDEF\">")));
    // Sorted again after the rebuild: the machine moved to its place by its new name, and is still the selection.
    const int nSelected = pList->GetFirstSelectedItem();
    QCOMPARE(pList->GetItemData<CMachine>(nSelected), pChosen);
    QCOMPARE(nSelected, 39);
    QCOMPARE(pList->GetItemText(nSelected, 0), QStringLiteral(" renamed"));
    QCOMPARE(pList->GetItemText(nSelected, 3), QStringLiteral("Exc"));

    // Every text shows whole in its column and every heading in its section, at the program's font and a larger
    // one; the columns keep their designed total in proportion to the font.
    int nTotal = 0;
    for (int nCol = 0; nCol < 4; ++nCol)
        nTotal += pList->GetColumnWidth(nCol);
    for (const double dScale : {1.0, 1.5}) {
        QFont font = w.dlg->font();
        font.setPixelSize(qRound(DialogFont().pixelSize() * dScale));
        w.dlg->setFont(font);
        QTRY_COMPARE(pList->fontMetrics().height(), QFontMetrics(font).height());
        for (int nCol = 1; nCol < 4; ++nCol) {
            QRect rc;
            QVERIFY(pList->GetSubItemRect(0, nCol, LVIR_BOUNDS, rc));
            // The grid line takes the cell's last pixel.
            for (const QString& strText : w.Column(nCol))
                QVERIFY2(pList->fontMetrics().horizontalAdvance(strText) <= rc.width() - 1,
                         qPrintable(QStringLiteral("%1 at x%2 in %3 px").arg(strText).arg(dScale).arg(rc.width())));
        }
        int nNow = 0;
        for (int nCol = 0; nCol < 4; ++nCol) {
            const QString strHeading = pList->model()->headerData(nCol, Qt::Horizontal).toString();
            const int nRoom = pList->GetColumnWidth(nCol) - 2 * pList->GetHeaderCtrl()->GetSpacing();
            QVERIFY2(QFontMetrics(pList->GetHeaderCtrl()->font()).horizontalAdvance(strHeading) <= nRoom,
                     qPrintable(strHeading));
            nNow += pList->GetColumnWidth(nCol);
        }
        const double dRatio = static_cast<double>(QFontInfo(font).pixelSize()) / DialogFont().pixelSize();
        QVERIFY2(qAbs(nNow - qRound(nTotal * dRatio)) <= 2, qPrintable(QString::number(nNow)));
    }
}

QTEST_MAIN(TestMainDlgAsSeen)
#include "tst_MainDlgAsSeen.moc"
