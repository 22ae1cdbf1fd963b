// The notifier popup as a window on the offscreen platform: window kind, skin shape, fonts, caption painting,
// the show cycle in real time and the click message to the owner.
#include "controls/NotifierCaption.h"
#include "controls/TaskbarNotifier.h"

#include <QApplication>
#include <QPainter>
#include <QScreen>
#include <QTest>

#include <memory>

using lanwick::CNotifierAnimation;
using lanwick::CTaskbarNotifier;
using lanwick::LayoutNotifierCaption;
using lanwick::RGB;

namespace {

QImage Skin135() {
    return QImage(qEnvironmentVariable("LANWICK_SOURCE_DIR") + QStringLiteral("/resources/bitmaps/135.bmp"));
}

// Stands in for the main window: counts the events the popup posts to it.
class COwner final : public QObject {
public:
    QList<int> types;
    bool event(QEvent* pEvent) override {
        types << pEvent->type();
        return QObject::event(pEvent);
    }
};

void Configure(CTaskbarNotifier& popup, QObject* pOwner) {
    QVERIFY(popup.Create(pOwner));
    QCOMPARE(popup.SetSkin(Skin135(), 255, 0, 255), 1);
    popup.SetTextFont(QStringLiteral("Verdana"), 70, 0, CTaskbarNotifier::TextUnderline);
    popup.SetTextColor(RGB(0, 0, 0), RGB(0, 0, 200));
    popup.SetTextRect(10, 40, popup.GetSkinSize().width() - 10, popup.GetSkinSize().height() - 25);
}

// Pixels of a grab of the popup that differ from the bare skin, counted inside and outside rc.
std::pair<int, int> DiffFromSkin(const QImage& shot, const QRect& rc) {
    const QImage skin = Skin135().convertToFormat(QImage::Format_RGB32);
    const QImage img = shot.convertToFormat(QImage::Format_RGB32);
    int nIn = 0, nOut = 0;
    for (int y = 0; y < skin.height(); ++y)
        for (int x = 0; x < skin.width(); ++x)
            if (img.pixel(x, y) != skin.pixel(x, y))
                ++(rc.contains(x, y) ? nIn : nOut);
    return {nIn, nOut};
}

} // namespace

class TestTaskbarNotifier : public QObject {
    Q_OBJECT
private slots:
    void Create_MakesHiddenFramelessOnTopNonActivatingPopupWithHandCursor();
    void SetSkin_CutsMagentaOfSkin135IntoA200PixelShape();
    void SetSkin_ComponentMinusOneKeepsWindowRectangular();
    void SetSkin_WidthMultipleOf4IsUsedWhole();
    void SetSkin_UnloadableBitmapReturns0AndKeepsSizeAndShape();
    void SetTextFont_StyleBitsGiveBoldItalicUnderline();
    void SetTextRect_TakesEdgesWithExclusiveRightAndBottom();
    void Show_FadesInFivePixelsFromWorkAreaCornerAndHidesAfterCycle();
    void Click_PostsNotifierClickedToOwnerAndKeepsPopup();
    void Paint_DrawsCaptionOnSkinOnlyInsideTextRect();
    void Hover_DrawsCaptionInSelectedColour();
    void Caption_BreaksBetweenWordsAndCutsWithEllipsis();
    void Screenshot_SavedWhenAsked();
};

void TestTaskbarNotifier::Create_MakesHiddenFramelessOnTopNonActivatingPopupWithHandCursor() {
    COwner owner;
    CTaskbarNotifier popup;
    QVERIFY(popup.Create(&owner));
    QVERIFY(!popup.isVisible());
    QCOMPARE(popup.windowType(), Qt::ToolTip);
    QVERIFY(popup.windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(popup.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(popup.windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    QVERIFY(popup.testAttribute(Qt::WA_ShowWithoutActivating));
    QCOMPARE(popup.cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(popup.GetTextColor(false), RGB(133, 146, 181));
    QCOMPARE(popup.GetTextColor(true), RGB(10, 36, 106));
}

void TestTaskbarNotifier::SetSkin_CutsMagentaOfSkin135IntoA200PixelShape() {
    CTaskbarNotifier popup;
    popup.Create(nullptr);
    popup.SetTextRect(10, 40, 191, 86);
    QCOMPARE(popup.SetSkin(Skin135(), 255, 0, 255), 1);
    QCOMPARE(popup.GetSkinSize(), QSize(201, 111));
    QCOMPARE(popup.GetTextRect(), QRect(0, 0, 201, 111)); // reset by every skin

    const QRegion rgn = popup.mask();
    QCOMPARE(rgn, popup.GetSkinRegion());
    QCOMPARE(rgn.boundingRect(), QRect(0, 0, 200, 111));
    // Row 0 loses 3 pixels at each end, row 1 one, rows 12 on the 3 outer columns; column 200 lies beyond the scan.
    QVERIFY(!rgn.contains(QPoint(2, 0)));
    QVERIFY(rgn.contains(QPoint(3, 0)));
    QVERIFY(rgn.contains(QPoint(197, 0)));
    QVERIFY(!rgn.contains(QPoint(198, 0)));
    QVERIFY(!rgn.contains(QPoint(0, 1)));
    QVERIFY(rgn.contains(QPoint(1, 1)));
    QVERIFY(rgn.contains(QPoint(0, 2)));
    QVERIFY(rgn.contains(QPoint(199, 11)));
    QVERIFY(!rgn.contains(QPoint(200, 11)));
    QVERIFY(!rgn.contains(QPoint(2, 12)));
    QVERIFY(rgn.contains(QPoint(3, 12)));
    QVERIFY(rgn.contains(QPoint(197, 110)));
    QVERIFY(!rgn.contains(QPoint(198, 110)));

    long nArea = 0;
    for (const QRect& rc : rgn)
        nArea += static_cast<long>(rc.width()) * rc.height();
    QCOMPARE(nArea, 200L * 111 - (3 + 2) - 1 - 99 * (3 + 2));
}

void TestTaskbarNotifier::SetSkin_ComponentMinusOneKeepsWindowRectangular() {
    CTaskbarNotifier popup;
    popup.Create(nullptr);
    QCOMPARE(popup.SetSkin(Skin135(), 255, 0, 255), 1);
    QVERIFY(!popup.mask().isEmpty());
    QCOMPARE(popup.SetSkin(Skin135(), 255, -1, 255), 1);
    QVERIFY(popup.mask().isEmpty());
    QVERIFY(popup.GetSkinRegion().isEmpty());
    QCOMPARE(popup.SetSkin(Skin135(), 0xFFFF, 0, 255), 1);
    QVERIFY(popup.mask().isEmpty());
}

void TestTaskbarNotifier::SetSkin_WidthMultipleOf4IsUsedWhole() {
    QImage img(8, 3, QImage::Format_RGB32);
    img.fill(Qt::white);
    img.setPixel(0, 0, qRgb(255, 0, 255));
    img.setPixel(7, 2, qRgb(255, 0, 255));
    img.setPixel(5, 1, qRgb(255, 0, 254)); // near the colour is not the colour
    // Only the low byte of each component counts.
    const QRegion rgn = CTaskbarNotifier::MakeSkinRegion(img, 0x1FF, 0x100, 0x2FF);
    QCOMPARE(rgn.boundingRect(), QRect(0, 0, 8, 3));
    QVERIFY(!rgn.contains(QPoint(0, 0)));
    QVERIFY(!rgn.contains(QPoint(7, 2)));
    QVERIFY(rgn.contains(QPoint(7, 1)));
    QVERIFY(rgn.contains(QPoint(5, 1)));
}

void TestTaskbarNotifier::SetSkin_UnloadableBitmapReturns0AndKeepsSizeAndShape() {
    CTaskbarNotifier popup;
    popup.Create(nullptr);
    QCOMPARE(popup.SetSkin(Skin135(), 255, 0, 255), 1);
    popup.SetTextRect(10, 40, 191, 86);
    const QRegion rgn = popup.mask();
    QCOMPARE(popup.SetSkin(9999, 255, 0, 255), 0);
    QCOMPARE(popup.GetSkinSize(), QSize(201, 111));
    QCOMPARE(popup.GetTextRect(), QRect(10, 40, 181, 46));
    QCOMPARE(popup.mask(), rgn);
}

void TestTaskbarNotifier::SetTextFont_StyleBitsGiveBoldItalicUnderline() {
    CTaskbarNotifier popup;
    popup.Create(nullptr);
    popup.SetTextFont(QStringLiteral("Verdana"), 70, 0, 4);
    const QFont& normal = popup.GetTextFont(false);
    const QFont& selected = popup.GetTextFont(true);
    QCOMPARE(normal.family(), QStringLiteral("Verdana"));
    QCOMPARE(normal.pointSizeF(), 7.0);
    QCOMPARE(normal.weight(), QFont::Normal);
    QVERIFY(!normal.italic() && !normal.underline());
    QCOMPARE(selected.pointSizeF(), 7.0);
    QCOMPARE(selected.weight(), QFont::Normal);
    QVERIFY(selected.underline() && !selected.italic());

    popup.SetTextFont(QStringLiteral("Arial"), 95, 1 | 2, 7);
    QCOMPARE(popup.GetTextFont(false).pointSizeF(), 9.5);
    QCOMPARE(popup.GetTextFont(false).weight(), QFont::Bold);
    QVERIFY(popup.GetTextFont(false).italic() && !popup.GetTextFont(false).underline());
    QVERIFY(popup.GetTextFont(true).bold() && popup.GetTextFont(true).italic() && popup.GetTextFont(true).underline());
}

void TestTaskbarNotifier::SetTextRect_TakesEdgesWithExclusiveRightAndBottom() {
    CTaskbarNotifier popup;
    popup.SetTextRect(10, 40, 191, 86);
    QCOMPARE(popup.GetTextRect(), QRect(QPoint(10, 40), QPoint(190, 85)));
    popup.SetTextRect(QRect(1, 2, 3, 4));
    QCOMPARE(popup.GetTextRect(), QRect(1, 2, 3, 4));
}

void TestTaskbarNotifier::Show_FadesInFivePixelsFromWorkAreaCornerAndHidesAfterCycle() {
    COwner owner;
    CTaskbarNotifier popup;
    Configure(popup, &owner);
    // Short times so that the whole cycle runs in well under a second.
    popup.Show(QStringLiteral("Just testing"), 100, 150, 100, 10);
    QCOMPARE(popup.GetCaption(), QStringLiteral("Just testing"));

    QTRY_VERIFY(popup.isVisible());
    const QRect rcWork = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(popup.geometry(),
             QRect(rcWork.x() + rcWork.width() - 201 - 5, rcWork.y() + rcWork.height() - 111 - 5, 201, 111));
    QTRY_COMPARE_WITH_TIMEOUT(popup.GetAnimation().GetState(), CNotifierAnimation::Showing, 5000);
    QCOMPARE(popup.GetAnimation().GetAlpha(), 200);
    QCOMPARE(popup.windowOpacity(), 1.0); // this platform has no see-through windows: opaque, and no complaint
    QTRY_COMPARE_WITH_TIMEOUT(popup.GetAnimation().GetState(), CNotifierAnimation::Hidden, 5000);
    QVERIFY(!popup.isVisible());
    QCOMPARE(popup.GetAnimation().GetAlpha(), 1);
    QVERIFY(owner.types.isEmpty());
}

void TestTaskbarNotifier::Click_PostsNotifierClickedToOwnerAndKeepsPopup() {
    COwner owner;
    CTaskbarNotifier popup;
    Configure(popup, &owner);
    popup.Show(QStringLiteral("Just testing"), 100, 10500, 200, 10);
    QTRY_COMPARE_WITH_TIMEOUT(popup.GetAnimation().GetState(), CNotifierAnimation::Showing, 5000);

    QTest::mouseClick(&popup, Qt::RightButton, {}, QPoint(100, 60));
    QTest::mouseClick(&popup, Qt::LeftButton, {}, QPoint(100, 60));
    QVERIFY(owner.types.isEmpty()); // posted, not sent
    QTRY_COMPARE(owner.types.size(), 1);
    QCOMPARE(owner.types.front(), lanwick::WM_NOTIFIER_CLICKED);
    QCOMPARE(lanwick::WM_NOTIFIER_CLICKED, 1147);
    QVERIFY(popup.isVisible());
    QCOMPARE(popup.GetAnimation().GetState(), CNotifierAnimation::Showing);

    // The owner gone, a click goes nowhere and harms nothing.
    auto pOwner = std::make_unique<COwner>();
    CTaskbarNotifier orphan;
    Configure(orphan, pOwner.get());
    pOwner.reset();
    QTest::mouseClick(&orphan, Qt::LeftButton, {}, QPoint(100, 60));
    QCoreApplication::processEvents();
}

void TestTaskbarNotifier::Paint_DrawsCaptionOnSkinOnlyInsideTextRect() {
    CTaskbarNotifier popup;
    Configure(popup, nullptr);
    popup.Show(QStringLiteral("        online\nalpha\nbeta\n"), 500, 9500, 200, 10);
    const QImage shot = popup.grab().toImage();
    const auto [nIn, nOut] = DiffFromSkin(shot, popup.GetTextRect());
    QVERIFY2(nIn > 50, qPrintable(QString::number(nIn)));
    QCOMPARE(nOut, 0); // transparent background: the skin shows everywhere else

    // The caption is black on the light body: some of it must be dark.
    bool bDark = false;
    for (int y = 40; y < 86 && !bDark; ++y)
        for (int x = 10; x < 191 && !bDark; ++x)
            bDark = qGray(shot.pixel(x, y)) < 80;
    QVERIFY(bDark);
    popup.Hide();
}

void TestTaskbarNotifier::Hover_DrawsCaptionInSelectedColour() {
    CTaskbarNotifier popup;
    Configure(popup, nullptr);
    popup.Show(QStringLiteral("alpha"), 500, 9500, 200, 10);
    auto bluish = [&] {
        const QImage shot = popup.grab().toImage();
        for (int y = 40; y < 86; ++y)
            for (int x = 10; x < 191; ++x) {
                const QColor c = shot.pixelColor(x, y);
                if (c.blue() > 150 && c.red() < 60 && c.green() < 60)
                    return true;
            }
        return false;
    };
    QVERIFY(!bluish());
    QEnterEvent enter(QPointF(50, 50), QPointF(50, 50), QPointF(50, 50));
    QCoreApplication::sendEvent(&popup, &enter);
    QVERIFY(bluish());
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&popup, &leave);
    QVERIFY(!bluish());
    popup.Hide();
}

void TestTaskbarNotifier::Caption_BreaksBetweenWordsAndCutsWithEllipsis() {
    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(7.0);
    const QFontMetrics fm(font);
    const int nLine = fm.lineSpacing();

    // The notification layout: one line per "\n", the final "\n" opens no extra line, leading spaces stay.
    QCOMPARE(LayoutNotifierCaption(QStringLiteral("        online\nalpha\n"), font, 181, 46),
             (QStringList{QStringLiteral("        online"), QStringLiteral("alpha")}));
    QCOMPARE(LayoutNotifierCaption(QStringLiteral("a\n\nb"), font, 181, 10 * nLine),
             (QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")}));

    const QString strWords = QStringLiteral("one two three four five six seven eight nine ten");
    const QStringList wrapped =
        LayoutNotifierCaption(strWords, font, fm.horizontalAdvance(QStringLiteral("three four")), 100 * nLine);
    QVERIFY(wrapped.size() >= 4);
    QCOMPARE(wrapped.join(QLatin1Char(' ')), strWords); // broken only between words

    const QString strLong = QStringLiteral("averyveryverylongmachinenamethatcannotbreak");
    const QStringList cut = LayoutNotifierCaption(strLong, font, 60, 46);
    QCOMPARE(cut.size(), 1);
    QVERIFY(cut.front().endsWith(QStringLiteral("...")));
    QVERIFY(fm.horizontalAdvance(cut.front()) <= 60);

    // More lines than fit: the last one that fits ends with "..." even when it is short.
    const QStringList lines = LayoutNotifierCaption(QStringLiteral("a\nb\nc\nd\ne\nf"), font, 181, 3 * nLine);
    QCOMPARE(lines, (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c...")}));
    QCOMPARE(LayoutNotifierCaption(QStringLiteral("a\nb"), font, 181, 1).size(), 1);
}

// Not a check: scripts/screenshot-popup.sh runs this on a virtual display for the README's pictures.
void TestTaskbarNotifier::Screenshot_SavedWhenAsked() {
    const QString strDir = qEnvironmentVariable("LANWICK_SCREENSHOT_DIR");
    if (strDir.isEmpty())
        QSKIP("set LANWICK_SCREENSHOT_DIR to save pictures of the popup");
    CTaskbarNotifier popup;
    Configure(popup, nullptr);
    popup.Show(QStringLiteral("        online\nfileserver\nprinter-2\n       offline\nbackup\n"), 500, 9500, 200, 10);
    QTRY_COMPARE_WITH_TIMEOUT(popup.GetAnimation().GetState(), CNotifierAnimation::Showing, 10000);
    QTest::qWait(300); // for the pictures only: the display's own drawing settles

    // The popup alone, with what lies outside its shape left transparent.
    QImage close(popup.size(), QImage::Format_ARGB32);
    close.fill(Qt::transparent);
    {
        QPainter dc(&close);
        dc.setClipRegion(popup.GetSkinRegion());
        dc.drawPixmap(0, 0, popup.grab());
    }
    QVERIFY(close.save(strDir + QStringLiteral("/popup.png")));

    // The corner of the screen where it stands.
    QScreen* pScreen = QGuiApplication::primaryScreen();
    const QRect rcScreen = pScreen->geometry();
    const QPixmap shot = pScreen->grabWindow(0, rcScreen.width() - 320, rcScreen.height() - 200, 320, 200);
    QVERIFY(shot.save(strDir + QStringLiteral("/popup-corner.png")));
}

QTEST_MAIN(TestTaskbarNotifier)
#include "tst_TaskbarNotifier.moc"
