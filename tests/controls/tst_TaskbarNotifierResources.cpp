// The program's own pictures and sound as the popup, the tray and the main window expect them: sizes,
// formats, the skin's cut-out pixels, and the resource file that embeds them under their ids.
#include <QFile>
#include <QImage>
#include <QTest>
#include <QXmlStreamReader>
#include <QtEndian>

#include <algorithm>

namespace {

QString Resources() {
    return qEnvironmentVariable("LANWICK_SOURCE_DIR") + QStringLiteral("/resources/");
}

// The cut-out of skin 135: 3 pixels at each end of row 0, 1 at each end of row 1, the 3 outer columns from row 12.
bool OutsideShape(int x, int y, int nWidth) {
    const int nEdge = y == 0 || y >= 12 ? 3 : (y == 1 ? 1 : 0);
    return x < nEdge || x >= nWidth - nEdge;
}

} // namespace

class TestTaskbarNotifierResources : public QObject {
    Q_OBJECT
private slots:
    void Skin135_Is201x111WithMagentaExactlyOutsideTheShapeAndABlueTitleBand() {
        const QImage skin(Resources() + QStringLiteral("bitmaps/135.bmp"));
        QCOMPARE(skin.size(), QSize(201, 111));
        QCOMPARE(skin.depth(), 32);
        for (int y = 0; y < skin.height(); ++y)
            for (int x = 0; x < skin.width(); ++x)
                QVERIFY2((qRgb(255, 0, 255) == (skin.pixel(x, y) | 0xFF000000u)) == OutsideShape(x, y, skin.width()),
                         qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
        for (int y = 2; y < 12; ++y)
            QVERIFY(skin.pixelColor(150, y).blue() > 120 &&
                    skin.pixelColor(150, y).blue() > skin.pixelColor(150, y).red() + 60);
        for (int y : {20, 60, 100})
            QVERIFY(qGray(skin.pixel(150, y)) > 200);
    }

    void Icons_WindowIconAndRoundSwitchIconsGreenForOnGreyForOff() {
        const QImage window(Resources() + QStringLiteral("icons/143.png"));
        QCOMPARE(window.size(), QSize(32, 32));
        QVERIFY(window.hasAlphaChannel());
        const QImage on(Resources() + QStringLiteral("icons/144.png"));
        const QImage off(Resources() + QStringLiteral("icons/145.png"));
        for (const QImage& icon : {on, off}) {
            QCOMPARE(icon.size(), QSize(16, 16));
            QCOMPARE(qAlpha(icon.pixel(0, 0)), 0); // round: the corners are see-through
            QCOMPARE(qAlpha(icon.pixel(8, 8)), 255);
        }
        QVERIFY(on.pixelColor(8, 4).green() > on.pixelColor(8, 4).red() + 50);
        QVERIFY(qAbs(off.pixelColor(8, 4).green() - off.pixelColor(8, 4).red()) < 20);
    }

    void Sound150_IsMonoPcm11025Hz8BitOfAbout1_7Seconds() {
        QFile file(Resources() + QStringLiteral("sounds/150.wav"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray wav = file.readAll();
        QCOMPARE(wav.left(4), QByteArray("RIFF"));
        QCOMPARE(qFromLittleEndian<quint32>(wav.constData() + 4), quint32(wav.size() - 8));
        QCOMPARE(wav.mid(8, 8), QByteArray("WAVEfmt "));
        // PCM, mono, samples and bytes per second, block align, bits per sample.
        const char* fmt = wav.constData() + 20;
        QCOMPARE(qFromLittleEndian<quint16>(fmt), quint16(1));
        QCOMPARE(qFromLittleEndian<quint16>(fmt + 2), quint16(1));
        QCOMPARE(qFromLittleEndian<quint32>(fmt + 4), 11025u);
        QCOMPARE(qFromLittleEndian<quint32>(fmt + 8), 11025u);
        QCOMPARE(qFromLittleEndian<quint16>(fmt + 12), quint16(1));
        QCOMPARE(qFromLittleEndian<quint16>(fmt + 14), quint16(8));
        QCOMPARE(wav.mid(36, 4), QByteArray("data"));
        const quint32 nSamples = qFromLittleEndian<quint32>(wav.constData() + 40);
        QCOMPARE(nSamples, 18679u);
        QVERIFY(44 + nSamples <= quint32(wav.size()));
        const auto* p = reinterpret_cast<const uchar*>(wav.constData() + 44);
        const auto [nMin, nMax] = std::minmax_element(p, p + nSamples);
        QVERIFY(*nMax - *nMin > 150); // a clearly audible chime, yet not clipped
        QVERIFY(*nMin > 0 && *nMax < 255);
        QVERIFY(qAbs(int(p[0]) - 128) <= 2); // starts and ends at rest: no click
        QVERIFY(qAbs(int(p[nSamples - 1]) - 128) <= 2);
    }

    void Qrc_EmbedsEveryResourceUnderItsId() {
        QFile file(Resources() + QStringLiteral("lanwick.qrc"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringList aliases;
        QXmlStreamReader xml(&file);
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("file"))
                continue;
            aliases << xml.attributes().value(QLatin1String("alias")).toString();
            const QString strPath = xml.readElementText();
            QVERIFY2(QFile::exists(Resources() + strPath), qPrintable(strPath));
        }
        QVERIFY(!xml.hasError());
        for (const char* alias :
             {"icons/143.png", "icons/144.png", "icons/145.png", "bitmaps/135.bmp", "sounds/150.wav"})
            QVERIFY2(aliases.contains(QLatin1String(alias)), alias);
    }
};

QTEST_GUILESS_MAIN(TestTaskbarNotifierResources)
#include "tst_TaskbarNotifierResources.moc"
