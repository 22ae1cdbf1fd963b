// The report list on the offscreen platform: cell colours, selection colours, the empty-list text, item data,
// sorting and the notifications its owner acts on.
#include "controls/DialogFont.h"
#include "controls/XHeaderCtrl.h"
#include "controls/XListCtrl.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QLineEdit>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

using namespace lanwick;

namespace {

constexpr COLORREF kGreen = RGB(10, 150, 10);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kYellow = RGB(255, 255, 0);

QColor Qc(COLORREF c) {
    return ColorFromRef(c);
}

// A window with the list (as the main window configures it) and an edit to take the focus away.
struct Fixture {
    QWidget window;
    CXListCtrl* pList;
    QLineEdit* pEdit;

    Fixture() {
        // The program's own font, so that measured text comes out the same on every machine.
        window.setFont(DialogFont());
        auto* layout = new QVBoxLayout(&window);
        pList = new CXListCtrl(&window);
        pEdit = new QLineEdit(&window);
        layout->addWidget(pList);
        layout->addWidget(pEdit);
        window.resize(420, 300);
        pList->SetSingleSelection(true);
        pList->SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
        pList->InsertColumn(0, QStringLiteral("Name"), LVCFMT_LEFT, 130);
        pList->InsertColumn(1, QStringLiteral("IP"), LVCFMT_LEFT, 85);
        pList->InsertColumn(2, QStringLiteral("MAC"), LVCFMT_LEFT, 95);
        pList->InsertColumn(3, QStringLiteral("Online"), LVCFMT_CENTER, 45);
    }

    bool Show() {
        window.show();
        return QTest::qWaitForWindowExposed(&window);
    }

    QImage Grab() const { return pList->viewport()->grab().toImage(); }

    // A pixel of the cell away from its text: near its right edge.
    QColor CellPixel(const QImage& image, int nItem, int nSubItem) const {
        QRect rc;
        pList->GetSubItemRect(nItem, nSubItem, LVIR_BOUNDS, rc);
        return image.pixelColor(rc.right() - 1, rc.center().y());
    }

    void FocusList() {
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        pList->setFocus();
        QTRY_VERIFY(pList->hasFocus());
    }

    void FocusEdit() {
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        pEdit->setFocus();
        QTRY_VERIFY(pEdit->hasFocus());
    }
};

// Bounding box of pixels darker than mid grey within rc.
QRect DarkBox(const QImage& image, const QRect& rcWanted) {
    const QRect rc = rcWanted & image.rect();
    QRect box;
    for (int y = rc.top(); y <= rc.bottom(); ++y) {
        for (int x = rc.left(); x <= rc.right(); ++x) {
            if (qGray(image.pixel(x, y)) < 100) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

} // namespace

class TestXListCtrl : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // Measured text needs a real face. Where fontconfig sees none (it happened on a minimal root) glyphs have no
        // ink and every width is off, so the face deps.sh installs is loaded from its file, whatever fontconfig knows.
        const QString strFace = QStringLiteral("/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf");
        QVERIFY2(QFontDatabase::addApplicationFont(strFace) >= 0,
                 qPrintable(strFace + QStringLiteral(" is missing: install fonts-liberation2 (scripts/deps.sh)")));
        QCOMPARE(QFontInfo(DialogFont()).family(), QStringLiteral("Liberation Sans"));
    }

    void EmptyList_ShowsTextCentredTenPixelsUnderHeader() {
        Fixture f;
        QVERIFY(f.Show());
        const QImage image = f.Grab();
        const QRect box = DarkBox(image, image.rect());
        QVERIFY(box.isValid());
        const QFontMetrics fm(f.pList->font());
        // The text's line starts 10 pixels under the header; its glyphs lie within that line.
        QVERIFY2(box.top() >= 10 && box.top() <= 10 + fm.ascent(), qPrintable(QString::number(box.top())));
        QVERIFY(box.bottom() < 10 + fm.height());
        const int nWidth = image.width();
        QVERIFY2(qAbs((box.left() + box.right() + 1) - nWidth) <= 4,
                 qPrintable(QStringLiteral("%1..%2 of %3").arg(box.left()).arg(box.right()).arg(nWidth)));
        QVERIFY(qAbs(box.width() - fm.horizontalAdvance(QString::fromLatin1(kEmptyListText))) <= 3);
    }

    void FirstRow_RemovesTheEmptyText() {
        Fixture f;
        QVERIFY(f.Show());
        QCOMPARE(f.pList->InsertItem(0, QString()), 0);
        const QImage image = f.Grab();
        QVERIFY(!DarkBox(image, image.rect()).isValid());
    }

    void InsertItem_ColoursOnlyTheFirstCell() {
        Fixture f;
        QVERIFY(f.Show());
        QCOMPARE(f.pList->InsertItem(0, QStringLiteral(" alpha"), kRed, kYellow), 0);
        const COLORREF crWindow = RefFromColor(f.pList->palette().color(QPalette::Base));
        const COLORREF crWindowText = RefFromColor(f.pList->palette().color(QPalette::Text));
        QCOMPARE(f.pList->GetItemTextColor(0, 0), kRed);
        QCOMPARE(f.pList->GetItemBkColor(0, 0), kYellow);
        QCOMPARE(f.pList->GetItemTextColor(0, 1), crWindowText);
        QCOMPARE(f.pList->GetItemBkColor(0, 1), crWindow);
        const QImage image = f.Grab();
        QCOMPARE(f.CellPixel(image, 0, 0), Qc(kYellow));
        QCOMPARE(f.CellPixel(image, 0, 1), Qc(crWindow));
        QCOMPARE(f.CellPixel(image, 0, 3), Qc(crWindow));
    }

    void SetItemText_ColoursTheCellAndMinusOneRestoresDefaults() {
        Fixture f;
        QVERIFY(f.Show());
        f.pList->InsertItem(0, QStringLiteral(" alpha"));
        QCOMPARE(f.pList->SetItemText(0, 3, QStringLiteral("Yes"), kGreen, kWhite), 1);
        QCOMPARE(f.pList->SetItemText(0, 2, QStringLiteral(" x"), kRed, RGB(0, 0, 255)), 1);
        QImage image = f.Grab();
        QCOMPARE(f.CellPixel(image, 0, 2), Qc(RGB(0, 0, 255)));
        QCOMPARE(f.pList->GetItemText(0, 3), QStringLiteral("Yes"));
        QCOMPARE(f.pList->GetItemTextColor(0, 3), kGreen);

        QCOMPARE(f.pList->SetItemText(0, 2, QStringLiteral(" y"), kDefaultColor, kDefaultColor), 1);
        QCOMPARE(f.pList->SetItemText(0, 3, QStringLiteral("No"), -1, -1), 1);
        const COLORREF crWindow = RefFromColor(f.pList->palette().color(QPalette::Base));
        QCOMPARE(f.pList->GetItemBkColor(0, 2), crWindow);
        QCOMPARE(f.pList->GetItemTextColor(0, 3), RefFromColor(f.pList->palette().color(QPalette::Text)));
        image = f.Grab();
        QCOMPARE(f.CellPixel(image, 0, 2), Qc(crWindow));
        QCOMPARE(f.pList->GetItemText(0, 2), QStringLiteral(" y"));
    }

    void CellText_IsDrawnInTheCellsTextColour() {
        Fixture f;
        QVERIFY(f.Show());
        f.pList->InsertItem(0, QStringLiteral(" alpha"));
        f.pList->SetItemText(0, 3, QStringLiteral("WWW"), RGB(255, 0, 0), kWhite);
        const QImage image = f.Grab();
        QRect rc;
        f.pList->GetSubItemRect(0, 3, LVIR_BOUNDS, rc);
        int nRed = 0;
        for (int y = rc.top(); y <= rc.bottom(); ++y) {
            for (int x = rc.left(); x <= rc.right(); ++x) {
                const QColor c = image.pixelColor(x, y);
                nRed += (c.red() > 200 && c.green() < 60 && c.blue() < 60) ? 1 : 0;
            }
        }
        QVERIFY(nRed > 5);
    }

    void InvalidRowsAndColumns_ChangeNothing() {
        Fixture f;
        QCOMPARE(f.pList->InsertItem(-1, QStringLiteral("x")), -1);
        QCOMPARE(f.pList->InsertItem(7, QStringLiteral("a")), 0); // beyond the end: appended
        QCOMPARE(f.pList->InsertItem(7, QStringLiteral("b")), 1);
        QCOMPARE(f.pList->SetItemText(2, 0, QStringLiteral("x")), 0);
        QCOMPARE(f.pList->SetItemText(0, 4, QStringLiteral("x")), 0);
        QCOMPARE(f.pList->SetItemText(0, -1, QStringLiteral("x"), kRed, kRed), 0);
        QCOMPARE(f.pList->SetItemData(2, &f), 0);
        QVERIFY(f.pList->GetItemData(-1) == nullptr);
        QRect rc(1, 2, 3, 4);
        QCOMPARE(f.pList->GetSubItemRect(0, 4, LVIR_BOUNDS, rc), 0);
        QCOMPARE(rc, QRect(1, 2, 3, 4));
        QCOMPARE(f.pList->GetItemText(5, 0), QString());
        QCOMPARE(f.pList->GetItemCount(), 2);
        QCOMPARE(f.pList->GetItemText(1, 0), QStringLiteral("b"));
    }

    void InsertItem_WithoutColumnsIsRefused() {
        CXListCtrl list;
        QCOMPARE(list.GetColumns(), 0);
        QCOMPARE(list.InsertItem(0, QStringLiteral("x")), -1);
        QCOMPARE(list.GetItemCount(), 0);
    }

    void ColumnAddedAfterRows_GivesEveryRowARecord() {
        CXListCtrl list;
        list.InsertColumn(0, QStringLiteral("A"));
        list.InsertItem(0, QStringLiteral("a"));
        int nValue = 5;
        QCOMPARE(list.InsertColumn(0, QStringLiteral("B"), LVCFMT_RIGHT, 50), 0);
        QCOMPARE(list.GetColumns(), 2);
        QCOMPARE(list.GetItemText(0, 1), QStringLiteral("a"));
        QCOMPARE(list.SetItemText(0, 0, QStringLiteral("b"), kRed, kWhite), 1);
        QCOMPARE(list.GetItemBkColor(0, 0), kWhite);
        QCOMPARE(list.SetItemData(0, &nValue), 1);
        QCOMPARE(list.GetItemData<int>(0), &nValue);
    }

    void ItemData_RoundTripsAndDeleteAllItemsEmpties() {
        Fixture f;
        int a = 1;
        double b = 2.0;
        f.pList->InsertItem(0, QStringLiteral("a"));
        f.pList->InsertItem(1, QStringLiteral("b"));
        QVERIFY(f.pList->GetItemData(0) == nullptr);
        QCOMPARE(f.pList->SetItemData(0, &a), 1);
        QCOMPARE(f.pList->SetItemData(1, &b), 1);
        QCOMPARE(f.pList->GetItemData<int>(0), &a);
        QCOMPARE(f.pList->GetItemData<double>(1), &b);
        QCOMPARE(f.pList->GetItemData(1), static_cast<void*>(&b));
        QCOMPARE(f.pList->DeleteAllItems(), 1);
        QCOMPARE(f.pList->GetItemCount(), 0);
        QVERIFY(f.pList->GetItemData(0) == nullptr);
    }

    void SelectedRow_WithFocusIsHighlightedAcrossTheRow() {
        Fixture f;
        QVERIFY(f.Show());
        f.pList->InsertItem(0, QStringLiteral(" a"), kRed, kYellow);
        f.pList->InsertItem(1, QStringLiteral(" b"), kRed, kYellow);
        f.pList->SetItemText(1, 3, QStringLiteral("No"), kRed, kWhite);
        f.pList->SetItemSelected(1, true);
        f.FocusList();
        const QPalette pal = f.pList->palette();
        const QImage image = f.Grab();
        for (int nCol = 0; nCol < 4; ++nCol) {
            QCOMPARE(f.CellPixel(image, 1, nCol), pal.color(QPalette::Active, QPalette::Highlight));
        }
        QCOMPARE(f.CellPixel(image, 0, 0), Qc(kYellow));
        COLORREF crText = 0;
        COLORREF crBk = 0;
        f.pList->GetCellDrawColors(1, 3, crText, crBk);
        QCOMPARE(crText, RefFromColor(pal.color(QPalette::Active, QPalette::HighlightedText)));
    }

    void SelectedRow_WithoutFocusKeepsOwnColours() {
        Fixture f;
        QVERIFY(f.Show());
        f.pList->InsertItem(0, QStringLiteral(" a"), kRed, kYellow);
        f.pList->SetItemText(0, 3, QStringLiteral("Yes"), kGreen, kWhite);
        f.pList->SetItemSelected(0, true);
        f.FocusEdit();
        QVERIFY(!f.pList->hasFocus());
        QImage image = f.Grab();
        QCOMPARE(f.CellPixel(image, 0, 0), Qc(kYellow));
        QCOMPARE(f.CellPixel(image, 0, 3), Qc(kWhite));

        // With "show selection always" an unfocused selection is window text on button face.
        f.pList->SetShowSelAlways(true);
        image = f.Grab();
        QCOMPARE(f.CellPixel(image, 0, 3), f.pList->palette().color(QPalette::Active, QPalette::Button));
    }

    void SelectedRow_WithoutFullRowSelectHighlightsOnlyTheFirstCell() {
        Fixture f;
        f.pList->SetExtendedStyle(0);
        QVERIFY(f.Show());
        f.pList->InsertItem(0, QStringLiteral(" a"), kRed, kYellow);
        f.pList->SetItemSelected(0, true);
        f.FocusList();
        const QImage image = f.Grab();
        QCOMPARE(f.CellPixel(image, 0, 0), f.pList->palette().color(QPalette::Active, QPalette::Highlight));
        QCOMPARE(f.CellPixel(image, 0, 1), f.pList->palette().color(QPalette::Active, QPalette::Base));
    }

    void ColumnFormat_AlignsCellTextAndNeverWraps() {
        Fixture f;
        f.pList->InsertColumn(4, QStringLiteral("Right"), LVCFMT_RIGHT, 80);
        f.window.resize(520, 300);
        QVERIFY(f.Show());
        f.pList->InsertItem(0, QStringLiteral("W"));
        f.pList->SetItemText(0, 3, QStringLiteral("W"));
        f.pList->SetItemText(0, 4, QStringLiteral("W"));
        f.pList->SetItemText(0, 1, QStringLiteral("WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW"));
        const QImage image = f.Grab();
        QRect rc0;
        QRect rc1;
        QRect rc2;
        QRect rc3;
        QRect rc4;
        f.pList->GetSubItemRect(0, 0, LVIR_BOUNDS, rc0);
        f.pList->GetSubItemRect(0, 1, LVIR_BOUNDS, rc1);
        f.pList->GetSubItemRect(0, 2, LVIR_BOUNDS, rc2);
        f.pList->GetSubItemRect(0, 3, LVIR_BOUNDS, rc3);
        f.pList->GetSubItemRect(0, 4, LVIR_BOUNDS, rc4);
        const QRect left = DarkBox(image, rc0);
        QVERIFY(left.left() - rc0.left() <= 2); // no margin
        const QRect centre = DarkBox(image, rc3);
        QVERIFY(qAbs((centre.left() - rc3.left()) - (rc3.right() - centre.right())) <= 2);
        const QRect right = DarkBox(image, rc4);
        QVERIFY(rc4.right() - right.right() <= 2);
        QVERIFY(right.left() - rc4.left() > 40);
        // The long text is cut at its cell: the next cell stays clean, and no second line appears.
        QVERIFY(!DarkBox(image, rc2).isValid());
        const QRect cut = DarkBox(image, rc1);
        QVERIFY(cut.right() <= rc1.right());
        QVERIFY(cut.height() < QFontMetrics(f.pList->font()).height());
    }

    void GridLines_FollowTheExtendedStyle() {
        Fixture f;
        QVERIFY(f.Show());
        f.pList->InsertItem(0, QString(), kYellow, kYellow);
        f.pList->SetItemColors(0, 1, kYellow, kYellow);
        QRect rc;
        f.pList->GetSubItemRect(0, 0, LVIR_BOUNDS, rc);
        QImage image = f.Grab();
        QVERIFY(image.pixelColor(rc.right() + 1, rc.center().y()) != Qc(kYellow));
        f.pList->SetExtendedStyle(LVS_EX_FULLROWSELECT);
        f.pList->GetSubItemRect(0, 0, LVIR_BOUNDS, rc);
        image = f.Grab();
        QCOMPARE(image.pixelColor(rc.right() + 1, rc.center().y()), Qc(kYellow));
    }

    void SortItems_KeepsEachRowTogetherAndTheSelection() {
        Fixture f;
        int values[] = {30, 10, 20};
        for (int i = 0; i < 3; ++i) {
            f.pList->InsertItem(i, QStringLiteral(" m%1").arg(values[i]));
            f.pList->SetItemText(i, 1, QStringLiteral(" 10.0.0.%1").arg(values[i]));
            f.pList->SetItemText(i, 3, QStringLiteral("No"), RGB(values[i], 0, 0), kWhite);
            f.pList->SetItemData(i, &values[i]);
        }
        f.pList->InsertItem(3, QStringLiteral(" unknown")); // a row without user data
        f.pList->SetItemSelected(0, true);
        f.pList->SortItems([](void* a, void* b) {
            if (a == nullptr || b == nullptr) {
                return (a == nullptr) - (b == nullptr);
            }
            return *static_cast<int*>(a) - *static_cast<int*>(b);
        });
        const int expected[] = {10, 20, 30};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(*f.pList->GetItemData<int>(i), expected[i]);
            QCOMPARE(f.pList->GetItemText(i, 0), QStringLiteral(" m%1").arg(expected[i]));
            QCOMPARE(f.pList->GetItemText(i, 1), QStringLiteral(" 10.0.0.%1").arg(expected[i]));
            QCOMPARE(f.pList->GetItemTextColor(i, 3), RGB(expected[i], 0, 0));
        }
        QCOMPARE(f.pList->GetItemText(3, 0), QStringLiteral(" unknown"));
        QCOMPARE(f.pList->GetFirstSelectedItem(), 2);
        QCOMPARE(f.pList->GetSelectedCount(), 1);
    }

    void SortItems_SurvivesAnInconsistentComparison() {
        CXListCtrl list;
        list.InsertColumn(0, QStringLiteral("Name"));
        std::vector<int> values(200);
        for (int i = 0; i < 200; ++i) {
            values[static_cast<size_t>(i)] = i;
            list.InsertItem(i, QString::number(i));
            list.SetItemData(i, &values[static_cast<size_t>(i)]);
        }
        unsigned nState = 12345;
        list.SortItems([&nState](void*, void*) {
            nState = nState * 1103515245u + 12345u;
            return int((nState >> 16) % 3) - 1;
        });
        QCOMPARE(list.GetItemCount(), 200);
        std::vector<int> seen;
        for (int i = 0; i < 200; ++i) {
            QCOMPARE(list.GetItemText(i, 0), QString::number(*list.GetItemData<int>(i)));
            seen.push_back(*list.GetItemData<int>(i));
        }
        std::sort(seen.begin(), seen.end());
        QCOMPARE(seen, values);
    }

    void ContextMenuEvent_DoesNotReachTheOwner() {
        struct Owner : QWidget {
            int nMenus = 0;
            void contextMenuEvent(QContextMenuEvent*) override { ++nMenus; }
        } owner;
        auto* pList = new CXListCtrl(&owner);
        owner.resize(200, 100);
        pList->resize(200, 100);
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(5, 5),
                                pList->viewport()->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(pList->viewport(), &event);
        QCOMPARE(owner.nMenus, 0);
    }

    void HeaderClick_SendsColumnClick() {
        Fixture f;
        QVERIFY(f.Show());
        QSignalSpy spy(f.pList, &CXListCtrl::ColumnClick);
        QHeaderView* pHeader = f.pList->GetHeaderCtrl();
        QTest::mouseClick(pHeader->viewport(), Qt::LeftButton, {}, QPoint(130 + 85 + 10, pHeader->height() / 2));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), 2);
    }

    void Keys_AreSentBeforeTheListActs() {
        Fixture f;
        QVERIFY(f.Show());
        f.pList->InsertItem(0, QStringLiteral("a"));
        f.FocusList();
        QSignalSpy spy(f.pList, &CXListCtrl::KeyDown);
        QTest::keyClick(f.pList, Qt::Key_Delete);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), int(Qt::Key_Delete));
    }

    void Clicks_SelectRowsAndReachTheOwner() {
        Fixture f;
        QVERIFY(f.Show());
        f.pList->InsertItem(0, QStringLiteral("a"));
        f.pList->InsertItem(1, QStringLiteral("b"));
        QSignalSpy right(f.pList, &CXListCtrl::RightClick);
        QSignalSpy dbl(f.pList, &CXListCtrl::ItemDoubleClick);
        QSignalSpy click(f.pList, &CXListCtrl::ItemClick);
        QRect rc;
        f.pList->GetSubItemRect(1, 2, LVIR_BOUNDS, rc);
        QTest::mouseClick(f.pList->viewport(), Qt::RightButton, {}, rc.center());
        QCOMPARE(right.count(), 1);
        QCOMPARE(right.at(0).at(0).toInt(), 1);
        QCOMPARE(right.at(0).at(1).toInt(), 2);
        QCOMPARE(f.pList->GetFirstSelectedItem(), 1);

        f.pList->GetSubItemRect(0, 0, LVIR_BOUNDS, rc);
        QTest::mouseClick(f.pList->viewport(), Qt::LeftButton, {}, rc.center());
        QCOMPARE(click.count(), 1);
        QCOMPARE(f.pList->GetFirstSelectedItem(), 0);
        QTest::mouseDClick(f.pList->viewport(), Qt::LeftButton, {}, rc.center());
        QCOMPARE(dbl.count(), 1);
        QCOMPARE(dbl.at(0).at(0).toInt(), 0);

        // A click beside the rows clears the selection and reports no row.
        const QPoint below(5, f.pList->viewport()->height() - 5);
        QTest::mouseClick(f.pList->viewport(), Qt::RightButton, {}, below);
        QCOMPARE(right.count(), 2);
        QCOMPARE(right.at(1).at(0).toInt(), -1);
        QCOMPARE(f.pList->GetFirstSelectedItem(), -1);
    }

    void MultipleSelection_ListsEverySelectedRow() {
        CXListCtrl list;
        list.InsertColumn(0, QStringLiteral("IP"), LVCFMT_LEFT, 85);
        for (int i = 0; i < 4; ++i) {
            list.InsertItem(i, QString::number(i));
        }
        list.SetItemSelected(1, true);
        list.SetItemSelected(3, true);
        QCOMPARE(list.GetSelectedItems(), (QList<int>{1, 3}));
        QCOMPARE(list.GetFirstSelectedItem(), 1);
        list.SetItemSelected(1, false);
        QCOMPARE(list.GetFirstSelectedItem(), 3);
        list.SetSingleSelection(true);
        list.SetItemSelected(0, true);
        QCOMPARE(list.GetSelectedItems(), (QList<int>{0}));
    }
};

QTEST_MAIN(TestXListCtrl)
#include "tst_XListCtrl.moc"
