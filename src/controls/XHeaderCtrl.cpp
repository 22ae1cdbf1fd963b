// Header painting: button face, etched separators between columns, a 3-D frame over the columns, black titles.
#include "controls/XHeaderCtrl.h"

#include "controls/MemDC.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>

namespace lanwick {

namespace {

QColor ToColor(COLORREF c) {
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

COLORREF FromColor(const QColor& c) {
    return RGB(c.red(), c.green(), c.blue());
}

// One-pixel fill, the primitive of the 3-D frame (rectangles here are left/top inclusive, right/bottom not).
void FillSolid(QPainter& dc, int x, int y, int cx, int cy, COLORREF cr) {
    if (cx > 0 && cy > 0) {
        dc.fillRect(QRect(x, y, cx, cy), ToColor(cr));
    }
}

// Highlight along the top and left, shadow along the right and bottom, one pixel wide.
void Draw3dRect(QPainter& dc, int x, int y, int cx, int cy, COLORREF crTopLeft, COLORREF crBottomRight) {
    FillSolid(dc, x, y, cx - 1, 1, crTopLeft);
    FillSolid(dc, x, y, 1, cy - 1, crTopLeft);
    FillSolid(dc, x + cx - 1, y, 1, cy, crBottomRight);
    FillSolid(dc, x, y + cy - 1, cx, 1, crBottomRight);
}

} // namespace

CXHeaderCtrl::CXHeaderCtrl(QWidget* pParent) : QHeaderView(Qt::Horizontal, pParent) {
    setSectionsClickable(true);
    setSectionsMovable(false);
    setHighlightSections(false);
    setStretchLastSection(false);
    setMinimumSectionSize(0);
    ReadSysColors();
}

QString CXHeaderCtrl::EndEllipsis(const QFontMetrics& fm, const QString& strText, int nWidth) {
    if (fm.horizontalAdvance(strText) <= nWidth) {
        return strText;
    }
    const QString strDots = QStringLiteral("...");
    const int nRoom = nWidth - fm.horizontalAdvance(strDots);
    qsizetype n = strText.size();
    while (n > 0 && fm.horizontalAdvance(strText.left(n)) > nRoom) {
        --n;
    }
    return strText.left(n) + strDots;
}

QSize CXHeaderCtrl::sizeHint() const {
    QSize size = QHeaderView::sizeHint();
    size.setHeight(fontMetrics().height() + 4);
    return size;
}

void CXHeaderCtrl::changeEvent(QEvent* pEvent) {
    QHeaderView::changeEvent(pEvent);
    if (pEvent->type() == QEvent::PaletteChange || pEvent->type() == QEvent::StyleChange) {
        ReadSysColors();
        viewport()->update();
    } else if (pEvent->type() == QEvent::FontChange) {
        updateGeometry();
    }
}

void CXHeaderCtrl::ReadSysColors() {
    const QPalette& pal = palette();
    m_crBtnHighlight = FromColor(pal.color(QPalette::Light));
    m_crBtnShadow = FromColor(pal.color(QPalette::Dark));
    m_crBtnFace = FromColor(pal.color(QPalette::Button));
    m_crBtnText = FromColor(pal.color(QPalette::ButtonText));
}

void CXHeaderCtrl::paintEvent(QPaintEvent* pEvent) {
    QPainter target(viewport());
    target.setClipRegion(pEvent->region());
    target.setFont(font());
    if (m_bDoubleBuffer) {
        CMemDC dc(&target);
        Draw(*dc, dc.Area());
    } else {
        Draw(target, pEvent->region().boundingRect());
    }
}

void CXHeaderCtrl::Draw(QPainter& dc, const QRect& rcClip) {
    if (rcClip.isEmpty()) {
        return;
    }
    const QRect rcClient = viewport()->rect();
    dc.fillRect(rcClip, ToColor(m_crBtnFace));
    dc.save();
    dc.setFont(font());
    dc.setBackground(ToColor(m_crBtnFace));
    dc.setPen(ToColor(m_crBtnText));

    const int nCount = count();
    int nTotal = 0;
    int nShown = 0;
    for (int i = 0; i < nCount; ++i) {
        nShown += isSectionHidden(logicalIndex(i)) ? 0 : 1;
    }
    int nDrawn = 0;
    for (int i = 0; i < nCount; ++i) {
        const int nIndex = logicalIndex(i);
        if (isSectionHidden(nIndex)) {
            continue;
        }
        const int nWidth = sectionSize(nIndex);
        const int nLeft = sectionViewportPosition(nIndex);
        const int nRight = nLeft + nWidth; // exclusive, as the separator positions count from it
        DrawItem(dc, QRect(nLeft + m_nSpacing, rcClient.top(), nWidth - 2 * m_nSpacing, rcClient.height()), nIndex);
        if (++nDrawn < nShown) {
            // Etched separator: shadow in the column's last pixel, highlight in the next column's first.
            const int nTop = rcClient.top() + 2;
            const int nBottom = rcClient.top() + rcClient.height() - 2;
            FillSolid(dc, nRight - 1, nTop, 1, nBottom - nTop, m_crBtnShadow);
            FillSolid(dc, nRight, nTop, 1, nBottom - nTop, m_crBtnHighlight);
        }
        nTotal += nWidth;
    }
    if (nTotal > 0) {
        // The frame covers exactly the columns; what lies right of them stays plain button face.
        Draw3dRect(dc, -offset(), rcClient.top(), nTotal, rcClient.height(), m_crBtnHighlight, m_crBtnShadow);
    }
    dc.restore();
}

void CXHeaderCtrl::DrawItem(QPainter& dc, const QRect& rc, int nLogicalIndex) {
    // Titles are black and centred whatever the column's own alignment: the header is the program's own look.
    if (rc.width() <= 0 || model() == nullptr) {
        return;
    }
    const QString strTitle = model()->headerData(nLogicalIndex, orientation(), Qt::DisplayRole).toString();
    if (strTitle.isEmpty()) {
        return;
    }
    dc.save();
    dc.setClipRect(rc, Qt::IntersectClip);
    dc.setPen(ToColor(RGB(0, 0, 0)));
    dc.drawText(rc, Qt::AlignCenter | Qt::TextSingleLine, EndEllipsis(dc.fontMetrics(), strTitle, rc.width()));
    dc.restore();
}

} // namespace lanwick
