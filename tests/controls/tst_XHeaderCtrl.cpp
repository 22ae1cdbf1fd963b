// The list header's painting (separators, frame, titles) and the off-screen drawing context it paints through.
#include "controls/MemDC.h"
#include "controls/XHeaderCtrl.h"

#include <QBuffer>
#include <QPdfWriter>
#include <QStandardItemModel>
#include <QtTest>

using namespace lanwick;

namespace {

const QColor kHighlight(255, 255, 255);
const QColor kShadow(128, 128, 128);
const QColor kFace(212, 208, 200);
const QColor kButtonText(0, 0, 255);

struct HeaderFixture {
    QStandardItemModel model;
    CXHeaderCtrl header;

    explicit HeaderFixture(const QStringList& titles, const QList<int>& widths) : model(1, int(titles.size())) {
        QPalette pal = header.palette();
        pal.setColor(QPalette::Light, kHighlight);
        pal.setColor(QPalette::Dark, kShadow);
        pal.setColor(QPalette::Button, kFace);
        pal.setColor(QPalette::ButtonText, kButtonText);
        header.setPalette(pal);
        model.setHorizontalHeaderLabels(titles);
        header.setModel(&model);
        for (int i = 0; i < widths.size(); ++i) {
            header.resizeSection(i, widths[i]);
        }
        header.resize(300, header.sizeHint().height());
    }

    bool Show() {
        header.show();
        return QTest::qWaitForWindowExposed(&header);
    }

    QImage Grab() { return header.viewport()->grab().toImage(); }
};

bool IsBlackish(const QColor& c) {
    return c.red() < 80 && c.green() < 80 && c.blue() < 80;
}

QRect DarkBox(const QImage& image, int x0, int x1) {
    QRect box;
    for (int y = 2; y < image.height() - 2; ++y) {
        for (int x = x0; x <= x1; ++x) {
            if (IsBlackish(image.pixelColor(x, y))) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

} // namespace

class TestXHeaderCtrl : public QObject {
    Q_OBJECT
private slots:
    void FrameAndSeparators_CoverExactlyTheColumnsInDisplayOrderOrNothing() {
        HeaderFixture f({"Name", "IP", "MAC"}, {60, 80, 50});
        QVERIFY(f.Show());
        QImage image = f.Grab();
        const int h = image.height();
        // Etched between the columns, two rows short at each end, and not after the last column.
        for (int y = 2; y <= h - 3; ++y) {
            QCOMPARE(image.pixelColor(59, y), kShadow);
            QCOMPARE(image.pixelColor(60, y), kHighlight);
            QCOMPARE(image.pixelColor(139, y), kShadow);
            QCOMPARE(image.pixelColor(140, y), kHighlight);
        }
        QCOMPARE(image.pixelColor(59, 1), kFace);
        QCOMPARE(image.pixelColor(59, h - 2), kFace);
        QCOMPARE(image.pixelColor(190, h / 2), kFace);
        // The frame: light top and left, shadow bottom and right, plain face beyond the columns.
        for (int x = 0; x <= 189; ++x) {
            QCOMPARE(image.pixelColor(x, 0), x < 189 ? kHighlight : kShadow);
            QCOMPARE(image.pixelColor(x, h - 1), kShadow);
        }
        for (int y = 0; y < h; ++y) {
            QCOMPARE(image.pixelColor(0, y), y < h - 1 ? kHighlight : kShadow);
            QCOMPARE(image.pixelColor(189, y), kShadow);
            for (int x = 190; x < image.width(); ++x) {
                QCOMPARE(image.pixelColor(x, y), kFace);
            }
        }
        f.header.setSectionsMovable(true);
        f.header.moveSection(0, 2); // display order: IP, MAC, Name
        image = f.Grab();
        QCOMPARE(image.pixelColor(79, h / 2), kShadow);
        QCOMPARE(image.pixelColor(80, h / 2), kHighlight);
        QCOMPARE(image.pixelColor(129, h / 2), kShadow);
        QCOMPARE(image.pixelColor(130, h / 2), kHighlight);
        QVERIFY(image.pixelColor(59, h / 2) != kShadow);
        // Without columns only the button face shows, without a frame.
        f.model.setColumnCount(0);
        QImage face(image.size(), QImage::Format_RGB32);
        face.fill(kFace);
        QCOMPARE(f.Grab().convertToFormat(QImage::Format_RGB32), face);
    }

    void Titles_AreBlackCentredWhateverTheAlignmentAndCutWithEllipsis() {
        const QString strTitle = QStringLiteral("A very long column title");
        HeaderFixture f({strTitle, "IP", "Online"}, {50, 80, 100});
        f.model.setHeaderData(2, Qt::Horizontal, int(Qt::AlignRight | Qt::AlignVCenter), Qt::TextAlignmentRole);
        QVERIFY(f.Show());
        const QImage image = f.Grab();
        const QRect box = DarkBox(image, 131, 228);
        QVERIFY2(box.isValid() && qAbs((box.left() + box.right()) / 2 - 180) <= 2,
                 qPrintable(QString::number(box.left())));
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                QVERIFY2(c.blue() - c.red() < 40, "title drawn in the button text colour");
            }
        }
        const QFontMetrics fm(f.header.font());
        const int nRoom = 50 - 2 * f.header.GetSpacing();
        const QString strCut = CXHeaderCtrl::EndEllipsis(fm, strTitle, nRoom);
        QVERIFY(strCut.endsWith(QStringLiteral("...")));
        QVERIFY(fm.horizontalAdvance(strCut) <= nRoom);
        QCOMPARE(CXHeaderCtrl::EndEllipsis(fm, QStringLiteral("IP"), 68), QStringLiteral("IP"));
        const QRect cut = DarkBox(image, 1, 57);
        QVERIFY(cut.isValid());
        QVERIFY(cut.right() < 50 - f.header.GetSpacing() + 1);
    }

    void MemDC_CopiesOnlyTheClipBoxAtTheEndOrDrawsStraightIntoAPagedTarget() {
        QImage target(50, 50, QImage::Format_RGB32);
        target.fill(Qt::white);
        QPainter painter(&target);
        painter.setClipRect(QRect(10, 10, 20, 20));
        {
            CMemDC dc(&painter);
            QVERIFY(dc.IsOffScreen());
            QCOMPARE(dc.Area(), QRect(10, 10, 20, 20));
            dc->fillRect(QRect(0, 0, 50, 50), Qt::red);
            dc->fillRect(QRect(12, 12, 1, 1), Qt::blue);
            QCOMPARE(target.pixelColor(15, 15), QColor(Qt::white)); // nothing reaches the target yet
        }
        painter.setClipping(false);
        {
            CMemDC dc(&painter); // without a clip: the whole device
            QCOMPARE(dc.Area(), QRect(0, 0, 50, 50));
            dc->fillRect(QRect(49, 49, 1, 1), Qt::green);
        }
        painter.end();
        QCOMPARE(target.pixelColor(15, 15), QColor(Qt::red));
        QCOMPARE(target.pixelColor(12, 12), QColor(Qt::blue)); // same coordinates as the target
        QCOMPARE(target.pixelColor(29, 29), QColor(Qt::red));
        QCOMPARE(target.pixelColor(5, 5), QColor(Qt::white));
        QCOMPARE(target.pixelColor(30, 30), QColor(Qt::white));
        QCOMPARE(target.pixelColor(49, 49), QColor(Qt::green));

        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        QPainter pdf(&writer);
        CMemDC dc(&pdf);
        QVERIFY(!dc.IsOffScreen());
        QCOMPARE(dc.Painter(), &pdf);
    }
};

QTEST_MAIN(TestXHeaderCtrl)
#include "tst_XHeaderCtrl.moc"
