// The report list on the offscreen platform: cell colours, selection colours, the empty-list text, item data,
// sorting and the notifications its owner acts on.
#include "controls/DialogFont.h"
#include "controls/XHeaderCtrl.h"
#include "controls/XListCtrl.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QLineEdit>
#include <QPainter>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

#include <numeric>

using namespace lanwick;

namespace {

constexpr COLORREF kGreen = RGB(10, 150, 10);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kYellow = RGB(255, 255, 0);

// A window with the list (as the main window configures it) and an edit to take the focus away.
struct Fixture {
    QWidget window;
    CXListCtrl* pList = new CXListCtrl(&window);
    QLineEdit* pEdit = new QLineEdit(&window);
    COLORREF crWindow = RefFromColor(pList->palette().color(QPalette::Base));
    COLORREF crWindowText = RefFromColor(pList->palette().color(QPalette::Text));

    Fixture() {
        // The program's own font, so that measured text comes out the same on every machine.
        window.setFont(DialogFont());
        auto* layout = new QVBoxLayout(&window);
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

    QRect Cell(int nItem, int nSubItem) const {
        QRect rc;
        pList->GetSubItemRect(nItem, nSubItem, LVIR_BOUNDS, rc);
        return rc;
    }

    // A pixel of the cell away from its text: near its right edge.
    QColor CellPixel(int nItem, int nSubItem) const {
        const QRect rc = Cell(nItem, nSubItem);
        return Grab().pixelColor(rc.right() - 1, rc.center().y());
    }

    void Focus(QWidget* pWidget) {
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        pWidget->setFocus();
        QTRY_VERIFY(pWidget->hasFocus());
    }
};

bool IsDark(const QColor& c) {
    return qGray(c.rgb()) < 100;
}

// Bounding box of the pixels within rc that match.
QRect DarkBox(const QImage& image, const QRect& rcWanted, bool (*match)(const QColor&) = IsDark) {
    const QRect rc = rcWanted & image.rect();
    QRect box;
    for (int y = rc.top(); y <= rc.bottom(); ++y) {
        for (int x = rc.left(); x <= rc.right(); ++x) {
            if (match(image.pixelColor(x, y))) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

// Pixels within rc darker than mid grey.
int Ink(const QImage& image, const QRect& rc) {
    int n = 0;
    for (int y = rc.top(); y <= rc.bottom(); ++y) {
        for (int x = rc.left(); x <= rc.right(); ++x) {
            n += IsDark(image.pixelColor(x, y)) ? 1 : 0;
        }
    }
    return n;
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

    void EmptyList_ShowsTextCentredTenPixelsUnderHeaderUntilTheFirstRow() {
        Fixture f;
        QVERIFY(f.Show());
        QImage image = f.Grab();
        const QRect box = DarkBox(image, image.rect());
        const QFontMetrics fm(f.pList->font());
        // The text's line starts 10 pixels under the header; its glyphs lie within that line.
        QVERIFY2(box.top() >= 10 && box.top() <= 10 + fm.ascent(), qPrintable(QString::number(box.top())));
        QVERIFY(box.bottom() < 10 + fm.height());
        QVERIFY2(qAbs((box.left() + box.right() + 1) - image.width()) <= 4,
                 qPrintable(QStringLiteral("%1..%2 of %3").arg(box.left()).arg(box.right()).arg(image.width())));
        QVERIFY(qAbs(box.width() - fm.horizontalAdvance(QString::fromLatin1(kEmptyListText))) <= 3);
        QCOMPARE(f.pList->InsertItem(0, QString()), 0);
        image = f.Grab();
        QVERIFY(!DarkBox(image, image.rect()).isValid());
    }

    void CellColours_FollowInsertAndSetAndMinusOneRestoresDefaults() {
        Fixture f;
        QVERIFY(f.Show());
        QCOMPARE(f.pList->InsertItem(0, QStringLiteral(" alpha"), kRed, kYellow), 0);
        // Only the first cell takes the row's colours.
        QCOMPARE(f.pList->GetItemBkColor(0, 0), kYellow);
        QCOMPARE(f.pList->GetItemTextColor(0, 1), f.crWindowText);
        QCOMPARE(f.CellPixel(0, 0), ColorFromRef(kYellow));
        QCOMPARE(f.CellPixel(0, 1), ColorFromRef(f.crWindow));
        QCOMPARE(f.pList->SetItemText(0, 2, QStringLiteral(" x"), kRed, RGB(0, 0, 255)), 1);
        QCOMPARE(f.CellPixel(0, 2), ColorFromRef(RGB(0, 0, 255)));
        QCOMPARE(f.pList->SetItemText(0, 3, QStringLiteral("WWW"), kRed, kWhite), 1);
        const auto isRed = [](const QColor& c) { return c.red() > 200 && c.green() < 60 && c.blue() < 60; };
        QVERIFY2(DarkBox(f.Grab(), f.Cell(0, 3), isRed).width() > 5, "the cell's text is drawn in its text colour");

        QCOMPARE(f.pList->SetItemText(0, 2, QStringLiteral(" y"), kDefaultColor, kDefaultColor), 1);
        QCOMPARE(f.pList->SetItemText(0, 3, QStringLiteral("No"), -1, -1), 1);
        QCOMPARE(f.pList->GetItemTextColor(0, 3), f.crWindowText);
        QCOMPARE(f.CellPixel(0, 2), ColorFromRef(f.crWindow));
        QCOMPARE(f.pList->GetItemText(0, 2), QStringLiteral(" y"));

        // A new palette (the desktop's theme changed) gives the rows added after it their default colours.
        QPalette pal = f.pList->palette();
        pal.setColor(QPalette::Text, QColor(1, 2, 3));
        f.pList->setPalette(pal);
        QCOMPARE(f.pList->InsertItem(1, QStringLiteral("new")), 1);
        QCOMPARE(f.pList->GetItemTextColor(1, 3), RGB(1, 2, 3));
    }

    void ItemsAndData_InvalidRowsAndColumnsChangeNothing() {
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
        QCOMPARE(f.pList->GetSubItemRect(0, 0, LVIR_LABEL + 1, rc), 0);
        QCOMPARE(rc, QRect(1, 2, 3, 4));
        QCOMPARE(f.pList->GetItemText(5, 0), QString());
        QCOMPARE(f.pList->GetItemText(1, 0), QStringLiteral("b"));
        // Width 0 hides a column; a negative width is no width.
        f.pList->SetColumnWidth(1, 0);
        QCOMPARE(f.pList->GetColumnWidth(1), 0);
        f.pList->SetColumnWidth(1, -5);
        QCOMPARE(f.pList->GetColumnWidth(1), 0);

        // A row needs a column; a column added later gives every row a record.
        CXListCtrl list;
        QCOMPARE(list.InsertItem(0, QStringLiteral("x")), -1);
        QCOMPARE(list.GetItemCount(), 0);
        list.InsertColumn(0, QStringLiteral("A"));
        list.InsertItem(0, QStringLiteral("a"));
        QCOMPARE(list.InsertColumn(0, QStringLiteral("B"), LVCFMT_RIGHT, 50), 0);
        QCOMPARE(list.GetItemText(0, 1), QStringLiteral("a"));
        QCOMPARE(list.SetItemText(0, 0, QStringLiteral("b"), kRed, kWhite), 1);
        QCOMPARE(list.GetItemBkColor(0, 0), kWhite);
        QCOMPARE(list.SetItemData(0, &f), 1);
        QCOMPARE(list.GetItemData<Fixture>(0), &f);
        QVERIFY(f.pList->GetItemData(0) == nullptr);
        QCOMPARE(f.pList->SetItemData(1, &list), 1);
        QCOMPARE(f.pList->DeleteAllItems(), 1);
        QCOMPARE(f.pList->GetItemCount(), 0);
        QVERIFY(f.pList->GetItemData(1) == nullptr);
    }

    void SelectedRow_ColoursFollowFocusShowSelAlwaysFullRowSelectAndGridLines() {
        Fixture f;
        QVERIFY(f.Show());
        const QPalette pal = f.pList->palette();
        f.pList->InsertItem(0, QStringLiteral(" a"), kRed, kYellow);
        f.pList->InsertItem(1, QStringLiteral(" b"), kRed, kYellow);
        f.pList->SetItemText(1, 3, QStringLiteral("No"), kRed, kWhite);
        f.pList->SetItemColors(0, 1, kYellow, kYellow);
        f.pList->SetItemSelected(1, true);
        f.Focus(f.pList);
        for (int nCol = 0; nCol < 4; ++nCol) {
            QCOMPARE(f.CellPixel(1, nCol), pal.color(QPalette::Active, QPalette::Highlight));
        }
        QCOMPARE(f.CellPixel(0, 0), ColorFromRef(kYellow));
        COLORREF crText = 0;
        COLORREF crBk = 0;
        f.pList->GetCellDrawColors(1, 3, crText, crBk);
        QCOMPARE(crText, RefFromColor(pal.color(QPalette::Active, QPalette::HighlightedText)));

        // Without the focus the cells keep their own colours, or with "show selection always" button face.
        f.Focus(f.pEdit);
        QCOMPARE(f.CellPixel(1, 0), ColorFromRef(kYellow));
        QCOMPARE(f.CellPixel(1, 3), ColorFromRef(kWhite));
        f.pList->SetShowSelAlways(true);
        QCOMPARE(f.CellPixel(1, 3), pal.color(QPalette::Active, QPalette::Button));

        // Without full-row select only the first cell is highlighted; without grid lines the cells meet.
        const QRect rc = f.Cell(0, 0);
        QVERIFY(f.Grab().pixelColor(rc.right() + 1, rc.center().y()) != ColorFromRef(kYellow));
        f.pList->SetExtendedStyle(0);
        QCOMPARE(f.Grab().pixelColor(f.Cell(0, 0).right() + 1, rc.center().y()), ColorFromRef(kYellow));
        f.Focus(f.pList);
        QCOMPARE(f.CellPixel(1, 0), pal.color(QPalette::Active, QPalette::Highlight));
        QCOMPARE(f.CellPixel(1, 1), pal.color(QPalette::Active, QPalette::Base));
    }

    void ColumnFormat_AlignsCellTextInTheNormalWeightAndNeverWraps() {
        Fixture f;
        f.pList->InsertColumn(4, QStringLiteral("Right"), LVCFMT_RIGHT, 80);
        f.window.resize(520, 300);
        QVERIFY(f.Show());
        f.pList->InsertItem(0, QStringLiteral("nnnnnnnn"));
        f.pList->SetItemText(0, 3, QStringLiteral("W"));
        f.pList->SetItemText(0, 4, QStringLiteral("W"));
        f.pList->SetItemText(0, 1, QStringLiteral("WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW"));
        const QImage image = f.Grab();
        const QRect left = DarkBox(image, f.Cell(0, 0));
        QVERIFY(left.left() - f.Cell(0, 0).left() <= 2); // no margin
        // Normal weight: as much ink as the same text drawn in the list's font.
        QImage plain(f.Cell(0, 0).size(), QImage::Format_RGB32);
        plain.fill(Qt::white);
        QPainter dc(&plain);
        dc.setFont(f.pList->font());
        dc.drawText(plain.rect(), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("nnnnnnnn"));
        dc.end();
        const int nInk = Ink(image, f.Cell(0, 0));
        const int nPlain = Ink(plain, plain.rect());
        QVERIFY2(qAbs(nInk - nPlain) * 10 < nPlain, qPrintable(QStringLiteral("%1 of %2").arg(nInk).arg(nPlain)));
        const QRect rc3 = f.Cell(0, 3);
        const QRect centre = DarkBox(image, rc3);
        QVERIFY(qAbs((centre.left() - rc3.left()) - (rc3.right() - centre.right())) <= 2);
        const QRect rc4 = f.Cell(0, 4);
        const QRect right = DarkBox(image, rc4);
        QVERIFY(rc4.right() - right.right() <= 2);
        QVERIFY(right.left() - rc4.left() > 40);
        // The long text is cut at its cell: the next cell stays clean, and no second line appears.
        QVERIFY(!DarkBox(image, f.Cell(0, 2)).isValid());
        const QRect cut = DarkBox(image, f.Cell(0, 1));
        QVERIFY(cut.right() <= f.Cell(0, 1).right());
        QVERIFY(cut.height() < QFontMetrics(f.pList->font()).height());
    }

    void SortItems_KeepsEachRowTogetherAndTheSelection() {
        Fixture f;
        int values[] = {30, 10, 20};
        for (int i = 0; i < 3; ++i) {
            f.pList->InsertItem(i, QStringLiteral(" m%1").arg(values[i]));
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
            QCOMPARE(f.pList->GetItemTextColor(i, 3), RGB(expected[i], 0, 0));
        }
        QCOMPARE(f.pList->GetItemText(3, 0), QStringLiteral(" unknown"));
        QCOMPARE(f.pList->GetSelectedItems(), QList<int>{2});
    }

    void SortItems_SurvivesAnInconsistentComparison() {
        CXListCtrl list;
        list.InsertColumn(0, QStringLiteral("Name"));
        std::vector<int> values(200);
        std::iota(values.begin(), values.end(), 0);
        for (int& nValue : values) {
            list.SetItemData(list.InsertItem(nValue, QString::number(nValue)), &nValue);
        }
        unsigned nState = 12345;
        list.SortItems([&nState](void*, void*) {
            nState = nState * 1103515245u + 12345u;
            return int((nState >> 16) % 3) - 1;
        });
        std::vector<int> seen;
        for (int i = 0; i < list.GetItemCount(); ++i) {
            QCOMPARE(list.GetItemText(i, 0), QString::number(*list.GetItemData<int>(i)));
            seen.push_back(*list.GetItemData<int>(i));
        }
        std::sort(seen.begin(), seen.end());
        QCOMPARE(seen, values);
    }

    void MouseAndKeys_SelectRowsAndReachTheOwner() {
        Fixture f;
        QVERIFY(f.Show());
        f.pList->InsertItem(0, QStringLiteral("a"));
        f.pList->InsertItem(1, QStringLiteral("b"));
        QSignalSpy column(f.pList, &CXListCtrl::ColumnClick);
        QSignalSpy right(f.pList, &CXListCtrl::RightClick);
        QSignalSpy dbl(f.pList, &CXListCtrl::ItemDoubleClick);
        QSignalSpy click(f.pList, &CXListCtrl::ItemClick);
        QSignalSpy keys(f.pList, &CXListCtrl::KeyDown);
        QHeaderView* pHeader = f.pList->GetHeaderCtrl();
        QTest::mouseClick(pHeader->viewport(), Qt::LeftButton, {}, QPoint(130 + 85 + 10, pHeader->height() / 2));
        QCOMPARE(column, (QList<QVariantList>{{2}}));

        QTest::mouseClick(f.pList->viewport(), Qt::RightButton, {}, f.Cell(1, 2).center());
        QCOMPARE(right.count(), 1);
        QCOMPARE(right.last().mid(0, 2), (QVariantList{1, 2}));
        QCOMPARE(f.pList->GetFirstSelectedItem(), 1);
        QTest::mouseClick(f.pList->viewport(), Qt::LeftButton, {}, f.Cell(0, 0).center());
        QCOMPARE(click.count(), 1);
        QCOMPARE(f.pList->GetFirstSelectedItem(), 0);
        QTest::mouseDClick(f.pList->viewport(), Qt::LeftButton, {}, f.Cell(0, 0).center());
        QCOMPARE(dbl, (QList<QVariantList>{{0, 0}}));
        QTest::keyClick(f.pList, Qt::Key_Delete);
        QCOMPARE(keys, (QList<QVariantList>{{int(Qt::Key_Delete)}}));

        // A press beside the rows clears the selection and reports no row.
        QTest::mouseClick(f.pList->viewport(), Qt::RightButton, {}, QPoint(5, f.pList->viewport()->height() - 5));
        QCOMPARE(right.count(), 2);
        QCOMPARE(right.last().mid(0, 2), (QVariantList{-1, -1}));
        QCOMPARE(f.pList->GetFirstSelectedItem(), -1);

        // The owner opens its menu on RightClick: the context-menu event does not reach it a second time.
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(5, 5), QPoint(5, 5));
        QSignalSpy menus(&f.window, &QWidget::customContextMenuRequested);
        f.window.setContextMenuPolicy(Qt::CustomContextMenu);
        QApplication::sendEvent(f.pList->viewport(), &event);
        QCOMPARE(menus.count(), 0);
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
        QCOMPARE(list.GetSelectedCount(), 2);
        list.SetItemSelected(1, false);
        QCOMPARE(list.GetFirstSelectedItem(), 3);
        list.SetSingleSelection(true);
        list.SetItemSelected(0, true);
        QCOMPARE(list.GetSelectedItems(), (QList<int>{0}));
    }
};

QTEST_MAIN(TestXListCtrl)
#include "tst_XListCtrl.moc"
