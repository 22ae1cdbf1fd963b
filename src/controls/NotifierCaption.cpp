// Caption layout of the notifier popup: word breaks, end ellipsis and centring.
#include "controls/NotifierCaption.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>

namespace lanwick {
namespace {

const QString kEllipsis = QStringLiteral("...");

// Cuts strText until it fits nWidth with "..." after it; with bForce the "..." is added even when it fits.
QString CutWithEllipsis(const QFontMetrics& fm, QString strText, int nWidth, bool bForce) {
    if (!bForce && fm.horizontalAdvance(strText) <= nWidth)
        return strText;
    while (!strText.isEmpty() && fm.horizontalAdvance(strText + kEllipsis) > nWidth)
        strText.chop(1);
    return strText + kEllipsis;
}

void AppendParagraph(QStringList& lines, const QString& strParagraph, const QFont& font, int nWidth) {
    const auto nBefore = lines.size();
    QTextLayout layout(strParagraph, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(nWidth);
        QString strLine = strParagraph.mid(line.textStart(), line.textLength());
        while (strLine.endsWith(QLatin1Char(' ')))
            strLine.chop(1);
        lines << strLine;
    }
    layout.endLayout();
    if (lines.size() == nBefore)
        lines << QString(); // an empty paragraph is still a blank line
}

} // namespace

QStringList LayoutNotifierCaption(const QString& strCaption, const QFont& font, int nWidth, int nHeight) {
    const QFontMetrics fm(font);
    QStringList paragraphs = strCaption.split(QLatin1Char('\n'));
    // The notification texts end every line with "\n"; that closes the last line, it does not open another.
    if (paragraphs.size() > 1 && paragraphs.back().isEmpty())
        paragraphs.removeLast();

    QStringList lines;
    for (const QString& strParagraph : paragraphs)
        AppendParagraph(lines, strParagraph, font, nWidth);
    for (QString& strLine : lines)
        strLine = CutWithEllipsis(fm, strLine, nWidth, false);

    const int nFit = std::max(1, nHeight / std::max(1, fm.lineSpacing()));
    if (lines.size() > nFit) {
        lines = lines.mid(0, nFit);
        lines.back() = CutWithEllipsis(fm, lines.back(), nWidth, true);
    }
    return lines;
}

void DrawNotifierCaption(QPainter& dc, const QString& strCaption, const QRect& rcText) {
    const QStringList lines = LayoutNotifierCaption(strCaption, dc.font(), rcText.width(), rcText.height());
    const int nLine = QFontMetrics(dc.font()).lineSpacing();
    const int nBlock = nLine * static_cast<int>(lines.size());
    int y = rcText.top() + std::max(0, (rcText.height() - nBlock) / 2);

    dc.save();
    dc.setClipRect(rcText);
    dc.setBackgroundMode(Qt::TransparentMode);
    for (const QString& strLine : lines) {
        dc.drawText(QRect(rcText.left(), y, rcText.width(), nLine), Qt::AlignHCenter | Qt::AlignTop, strLine);
        y += nLine;
    }
    dc.restore();
}

} // namespace lanwick
