// Off-screen drawing context: a paint handler draws through it as into its target painter, and the finished
// picture reaches the target in one copy when the context ends, so repaints do not flicker.
#pragma once

#include <QPainter>
#include <QPixmap>
#include <QRect>

namespace lanwick {

class CMemDC {
public:
    // Draws off-screen over the target's clip box (the whole device when the target does not clip); a printer or
    // other paged target is drawn into directly.
    explicit CMemDC(QPainter* pTarget);
    ~CMemDC();

    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    QPainter* operator->() { return m_pPainter; }
    QPainter& operator*() { return *m_pPainter; }
    QPainter* Painter() { return m_pPainter; }

    // The target's clip box in the target's coordinates; drawing outside it is discarded.
    QRect Area() const { return m_rcArea; }
    bool IsOffScreen() const { return m_bOffScreen; }

private:
    QPixmap m_bitmap;
    QPainter m_memory;
    QPainter* m_pTarget;
    QPainter* m_pPainter;
    QRect m_rcArea;
    bool m_bOffScreen;
};

} // namespace lanwick
