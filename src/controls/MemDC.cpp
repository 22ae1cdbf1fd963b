// Off-screen drawing into a pixmap the size of the target's clip box, copied back in one step.
#include "controls/MemDC.h"

#include <QPagedPaintDevice>
#include <cmath>

namespace lanwick {

namespace {

QRect TargetArea(QPainter* pTarget) {
    const QPaintDevice* device = pTarget->device();
    const QRect whole(0, 0, device->width(), device->height());
    if (!pTarget->hasClipping()) {
        return pTarget->transform().inverted().mapRect(whole);
    }
    return pTarget->clipBoundingRect().toAlignedRect();
}

} // namespace

CMemDC::CMemDC(QPainter* pTarget) : m_pTarget(pTarget), m_pPainter(pTarget), m_bOffScreen(false) {
    const QPaintDevice* device = pTarget->device();
    // Printers and other paged devices take the drawing directly: there is nothing on them to flicker.
    m_bOffScreen = device->devType() != QInternal::Printer && dynamic_cast<const QPagedPaintDevice*>(device) == nullptr;
    if (!m_bOffScreen) {
        return;
    }
    m_rcArea = TargetArea(pTarget);
    // An empty area still gets a one-pixel bitmap so that the handler always has a context to draw into.
    const qreal ratio = device->devicePixelRatioF();
    const QSize pixels(std::max(1, static_cast<int>(std::ceil(m_rcArea.width() * ratio))),
                       std::max(1, static_cast<int>(std::ceil(m_rcArea.height() * ratio))));
    m_bitmap = QPixmap(pixels);
    m_bitmap.setDevicePixelRatio(ratio);
    m_bitmap.fill(Qt::transparent);
    m_memory.begin(&m_bitmap);
    // Same coordinates as on the target: the bitmap's origin is the area's top-left corner.
    m_memory.translate(-m_rcArea.topLeft());
    m_memory.setClipRect(m_rcArea);
    m_memory.setFont(pTarget->font());
    m_memory.setPen(pTarget->pen());
    m_memory.setBrush(pTarget->brush());
    m_pPainter = &m_memory;
}

CMemDC::~CMemDC() {
    if (!m_bOffScreen) {
        return;
    }
    m_memory.end();
    if (!m_rcArea.isEmpty()) {
        m_pTarget->drawPixmap(m_rcArea.topLeft(), m_bitmap);
    }
}

} // namespace lanwick
