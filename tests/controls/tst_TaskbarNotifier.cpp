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
    void Create_MakesHiddenFramelessOnTopNonActivatingPopupWithHandCursor() {
        COwner owner;
        CTaskbarNotifier popup;
        QVERIFY(popup.Create(&owner));
        QVERIFY(!popup.isVisible());
        QCOMPARE(popup.windowType(), Qt::ToolTip);
        QCOMPARE(popup.windowFlags() & ~Qt::WindowType_Mask,
                 Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
        QVERIFY(popup.testAttribute(Qt::WA_ShowWithoutActivating));
        QCOMPARE(popup.cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(popup.GetTextColor(false), RGB(133, 146, 181));
        QCOMPARE(popup.GetTextColor(true), RGB(10, 36, 106));
    }

    void SetSkin_CutsTheTransparentColourOutOfTheShape() {
        CTaskbarNotifier popup;
        popup.Create(nullptr);
        popup.SetTextRect(1, 2, 3, 4);
        QCOMPARE(popup.SetSkin(Skin135(), 255, 0, 255), 1);
        QCOMPARE(popup.GetSkinSize(), QSize(201, 111));
        QCOMPARE(popup.GetTextRect(), QRect(0, 0, 201, 111)); // reset by every skin
        const QRegion rgn = popup.mask();
        QCOMPARE(rgn, popup.GetSkinRegion());
        // Skin 135 is magenta exactly outside its shape: 3 pixels at each end of row 0, 1 of row 1, the 3 outer
        // columns from row 12. Whole groups of 4 columns are scanned, so column 200 lies outside the region.
        const QImage skin = Skin135();
        QCOMPARE(skin.depth(), 32);
        for (int y = 0; y < skin.height(); ++y) {
            for (int x = 0; x < skin.width(); ++x) {
                const int nEdge = y == 0 || y >= 12 ? 3 : (y == 1 ? 1 : 0);
                const bool bOutside = x < nEdge || x >= skin.width() - nEdge;
                const bool bMagenta = (skin.pixel(x, y) | 0xFF000000u) == qRgb(255, 0, 255);
                QVERIFY2(bMagenta == bOutside && rgn.contains(QPoint(x, y)) == (x < 200 && !bOutside),
                         qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
            }
        }
        // A blue title band over a light body.
        for (int y = 2; y < 12; ++y)
            QVERIFY(skin.pixelColor(150, y).blue() > 120 &&
                    skin.pixelColor(150, y).blue() > skin.pixelColor(150, y).red() + 60);
        for (int y : {20, 60, 100})
            QVERIFY(qGray(skin.pixel(150, y)) > 200);

        // An unloadable bitmap drops nothing but the picture; edges are taken with right and bottom exclusive.
        popup.SetTextRect(10, 40, 191, 86);
        QCOMPARE(popup.SetSkin(9999, 255, 0, 255), 0);
        QCOMPARE(popup.GetSkinSize(), QSize(201, 111));
        QCOMPARE(popup.GetTextRect(), QRect(10, 40, 181, 46));
        QCOMPARE(popup.mask(), rgn);
        // A component of -1 (any 0xFFFF) keeps the window rectangular.
        QCOMPARE(popup.SetSkin(Skin135(), 255, -1, 255), 1);
        QVERIFY(popup.mask().isEmpty());
        QVERIFY(popup.GetSkinRegion().isEmpty());
        QCOMPARE(popup.SetSkin(Skin135(), 0xFFFF, 0, 255), 1);
        QVERIFY(popup.mask().isEmpty());

        // A width that is a multiple of 4 is used whole; only the low byte of each component counts.
        QImage img(8, 3, QImage::Format_RGB32);
        img.fill(Qt::white);
        img.setPixel(0, 0, qRgb(255, 0, 255));
        img.setPixel(7, 2, qRgb(255, 0, 255));
        img.setPixel(5, 1, qRgb(255, 0, 254)); // near the colour is not the colour
        QCOMPARE(CTaskbarNotifier::MakeSkinRegion(img, 0x1FF, 0x100, 0x2FF),
                 QRegion(0, 0, 8, 3) - QRegion(0, 0, 1, 1) - QRegion(7, 2, 1, 1));
    }

    void SetTextFont_StyleBitsGiveBoldItalicUnderline() {
        CTaskbarNotifier popup;
        popup.SetTextFont(QStringLiteral("Verdana"), 70, 0, 4);
        const QFont& normal = popup.GetTextFont(false);
        const QFont& selected = popup.GetTextFont(true);
        QCOMPARE(normal.family(), QStringLiteral("Verdana"));
        QCOMPARE(selected.pointSizeF(), 7.0);
        QVERIFY(normal.weight() == QFont::Normal && !normal.italic() && !normal.underline());
        QVERIFY(selected.weight() == QFont::Normal && !selected.italic() && selected.underline());
        popup.SetTextFont(QStringLiteral("Arial"), 95, 1 | 2, 7);
        QCOMPARE(normal.pointSizeF(), 9.5);
        QVERIFY(normal.weight() == QFont::Bold && normal.italic() && !normal.underline());
        QVERIFY(selected.bold() && selected.italic() && selected.underline());
    }

    void Show_FadesInFivePixelsFromWorkAreaCornerTakesClicksAndHidesAfterCycle() {
        COwner owner;
        CTaskbarNotifier popup;
        Configure(popup, &owner);
        // Short times so that the whole cycle runs in a few seconds at most.
        popup.Show(QStringLiteral("Just testing"), 100, 1500, 100, 10);
        QTRY_VERIFY(popup.isVisible());
        const QRect rcWork = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(popup.geometry(),
                 QRect(rcWork.x() + rcWork.width() - 201 - 5, rcWork.y() + rcWork.height() - 111 - 5, 201, 111));
        QTRY_COMPARE_WITH_TIMEOUT(popup.GetAnimation().GetState(), CNotifierAnimation::Showing, 5000);
        QCOMPARE(popup.GetAnimation().GetAlpha(), 200);
        QCOMPARE(popup.windowOpacity(), 1.0); // this platform has no see-through windows: opaque, and no complaint
        // A left click is posted to the owner, not sent; the popup goes on with its cycle.
        QTest::mouseClick(&popup, Qt::RightButton, {}, QPoint(100, 60));
        QTest::mouseClick(&popup, Qt::LeftButton, {}, QPoint(100, 60));
        QVERIFY(owner.types.isEmpty());
        QTRY_COMPARE(owner.types, QList<int>{lanwick::WM_NOTIFIER_CLICKED});
        QCOMPARE(lanwick::WM_NOTIFIER_CLICKED, 1147);
        QVERIFY(popup.isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(popup.GetAnimation().GetState(), CNotifierAnimation::Hidden, 5000);
        QVERIFY(!popup.isVisible());
        QCOMPARE(popup.GetAnimation().GetAlpha(), 1);

        // The owner gone, a click goes nowhere and harms nothing.
        auto pOwner = std::make_unique<COwner>();
        CTaskbarNotifier orphan;
        Configure(orphan, pOwner.get());
        pOwner.reset();
        QTest::mouseClick(&orphan, Qt::LeftButton, {}, QPoint(100, 60));
        QCoreApplication::processEvents();
    }

    void Paint_DrawsCaptionOnSkinInsideTextRectInHoverColour() {
        CTaskbarNotifier popup;
        Configure(popup, nullptr);
        popup.Show(QStringLiteral("        online\nalpha\nbeta\n"), 500, 9500, 200, 10);
        const QImage shot = popup.grab().toImage();
        const auto [nIn, nOut] = DiffFromSkin(shot, popup.GetTextRect());
        QVERIFY2(nIn > 50, qPrintable(QString::number(nIn)));
        QCOMPARE(nOut, 0); // transparent background: the skin shows everywhere else
        // The caption is black on the light body, and blue while the pointer is over the popup.
        auto count = [&](auto wanted) {
            const QImage image = popup.grab().toImage();
            int n = 0;
            for (int y = 40; y < 86; ++y)
                for (int x = 10; x < 191; ++x)
                    n += wanted(image.pixelColor(x, y)) ? 1 : 0;
            return n;
        };
        auto dark = [](const QColor& c) { return qGray(c.rgb()) < 80; };
        auto blue = [](const QColor& c) { return c.blue() > 150 && c.red() < 60 && c.green() < 60; };
        QVERIFY(count(dark) > 0);
        QCOMPARE(count(blue), 0);
        QEnterEvent enter(QPointF(50, 50), QPointF(50, 50), QPointF(50, 50));
        QCoreApplication::sendEvent(&popup, &enter);
        QVERIFY(count(blue) > 0);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&popup, &leave);
        QCOMPARE(count(blue), 0);
        popup.Hide();
    }

    void Caption_BreaksBetweenWordsAndCutsWithEllipsis() {
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
        const QStringList cut = LayoutNotifierCaption(QStringLiteral("averyveryverylongmachinename"), font, 60, 46);
        QCOMPARE(cut.size(), 1);
        QVERIFY(cut.front().endsWith(QStringLiteral("...")));
        QVERIFY(fm.horizontalAdvance(cut.front()) <= 60);
        // More lines than fit: the last one that fits ends with "..." even when it is short.
        QCOMPARE(LayoutNotifierCaption(QStringLiteral("a\nb\nc\nd\ne\nf"), font, 181, 3 * nLine),
                 (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c...")}));
        QCOMPARE(LayoutNotifierCaption(QStringLiteral("a\nb"), font, 181, 1).size(), 1);
    }

    // Not a check: scripts/screenshot-popup.sh runs this on a virtual display for the README's pictures.
    void Screenshot_SavedWhenAsked() {
        const QString strDir = qEnvironmentVariable("LANWICK_SCREENSHOT_DIR");
        if (strDir.isEmpty())
            QSKIP("set LANWICK_SCREENSHOT_DIR to save pictures of the popup");
        CTaskbarNotifier popup;
        Configure(popup, nullptr);
        popup.Show(QStringLiteral("        online\nfileserver\nprinter-2\n       offline\nbackup\n"), 500, 9500, 200,
                   10);
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
};

QTEST_MAIN(TestTaskbarNotifier)
#include "tst_TaskbarNotifier.moc"
