// Column header of the report lists: flat button-face painting with etched separators, a 3-D frame over the
// used width and centred black titles, drawn off-screen so that it does not flicker.
#pragma once

#include "platform/ColorRef.h"

#include <QHeaderView>

namespace lanwick {

class CXHeaderCtrl : public QHeaderView {
    Q_OBJECT
public:
    explicit CXHeaderCtrl(QWidget* pParent = nullptr);

    // Margin at both sides of a column's content; the list reads it for cell images.
    int GetSpacing() const { return m_nSpacing; }
    void SetDoubleBuffer(bool bDoubleBuffer) { m_bDoubleBuffer = bDoubleBuffer; }

    // Titles cut to fit with a trailing "..." (never wrapped).
    static QString EndEllipsis(const QFontMetrics& fm, const QString& strText, int nWidth);

    QSize sizeHint() const override;

protected:
    // One column's content; rc is already inset by the spacing.
    virtual void DrawItem(QPainter& dc, const QRect& rc, int nLogicalIndex);

    void paintEvent(QPaintEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;

private:
    void Draw(QPainter& dc, const QRect& rcClip);
    void ReadSysColors();

    bool m_bDoubleBuffer = true;
    int m_nSpacing = 6;
    COLORREF m_crBtnHighlight = 0;
    COLORREF m_crBtnShadow = 0;
    COLORREF m_crBtnFace = 0;
    COLORREF m_crBtnText = 0;
};

} // namespace lanwick
