// The notifier popup window: skin, shape, caption, click message, and the window side of the show cycle.
#include "controls/TaskbarNotifier.h"

#include "controls/NotifierCaption.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>

namespace lanwick {
namespace {

QFont StyledFont(const QFont& base, int nStyle) {
    QFont font(base);
    font.setWeight((nStyle & CTaskbarNotifier::TextBold) ? QFont::Bold : QFont::Normal);
    font.setItalic((nStyle & CTaskbarNotifier::TextItalic) != 0);
    font.setUnderline((nStyle & CTaskbarNotifier::TextUnderline) != 0);
    return font;
}

QColor ToQColor(COLORREF cr) {
    return QColor(GetRValue(cr), GetGValue(cr), GetBValue(cr));
}

QScreen* PopupScreen() {
    return QGuiApplication::primaryScreen();
}

// Platforms that can make a window see-through; elsewhere (offscreen, Wayland) the popup simply shows
// opaque instead of filling the log with a warning on every fade step.
bool HasWindowOpacity() {
    static const bool bHas =
        QStringList{QStringLiteral("xcb"), QStringLiteral("windows"), QStringLiteral("cocoa")}.contains(
            QGuiApplication::platformName());
    return bHas;
}

} // namespace

CTaskbarNotifier::CTaskbarNotifier() : m_animation(*this) {}

CTaskbarNotifier::~CTaskbarNotifier() = default;

bool CTaskbarNotifier::Create(QObject* pOwner) {
    // The owner only receives the click: the popup is no child window of it, so that it still shows and
    // takes clicks while the main window is hidden and disabled in the tray.
    m_pOwner = pOwner;
    setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    if (HasWindowOpacity())
        setWindowOpacity(0.0);
    return true;
}

QRegion CTaskbarNotifier::MakeSkinRegion(const QImage& imageSkin, int nRed, int nGreen, int nBlue) {
    // Only whole groups of 4 columns are scanned: a skin 201 pixels wide gives a shape 200 pixels wide.
    const auto nScanWidth = static_cast<quint16>(imageSkin.width() - imageSkin.width() % 4);
    const auto nScanHeight = static_cast<quint16>(imageSkin.height());
    const QImage pixels = imageSkin.convertToFormat(QImage::Format_RGB888);
    if (pixels.isNull() || nScanWidth == 0 || nScanHeight == 0)
        return QRegion();

    QRegion rgn(0, 0, nScanWidth, nScanHeight);
    for (int y = 0; y < nScanHeight; ++y) {
        const uchar* pRow = pixels.constScanLine(y);
        for (int x = 0; x < nScanWidth; ++x) {
            const uchar* p = pRow + 3 * x;
            if (p[0] == (nRed & 0xFF) && p[1] == (nGreen & 0xFF) && p[2] == (nBlue & 0xFF))
                rgn = rgn.xored(QRegion(x, y, 1, 1));
        }
    }
    return rgn;
}

int CTaskbarNotifier::SetSkin(int nBitmapId, int nRed, int nGreen, int nBlue) {
    return SetSkin(QImage(QStringLiteral(":/bitmaps/%1.bmp").arg(nBitmapId)), nRed, nGreen, nBlue);
}

int CTaskbarNotifier::SetSkin(const QImage& imageSkin, int nRed, int nGreen, int nBlue) {
    m_imageSkin = QImage();
    if (imageSkin.isNull())
        return 0;
    m_imageSkin = imageSkin;
    m_nSkinWidth = imageSkin.width();
    m_nSkinHeight = imageSkin.height();
    m_rcText = QRect(0, 0, m_nSkinWidth, m_nSkinHeight);
    m_animation.SetSkinSize(m_nSkinWidth, m_nSkinHeight);

    if ((nRed & 0xFFFF) == 0xFFFF || (nGreen & 0xFFFF) == 0xFFFF || (nBlue & 0xFFFF) == 0xFFFF) {
        // No transparent colour: rectangular, also when an earlier skin had cut a shape.
        m_rgnSkin = QRegion();
        clearMask();
        return 1;
    }
    m_rgnSkin = MakeSkinRegion(imageSkin, nRed, nGreen, nBlue);
    if (m_rgnSkin.isEmpty())
        clearMask();
    else
        setMask(m_rgnSkin);
    update();
    return 1;
}

void CTaskbarNotifier::SetTextFont(const QString& strFace, int nPointSize, int nNormalStyle, int nSelectedStyle) {
    QFont font(strFace);
    font.setPointSizeF(nPointSize / 10.0);
    m_fontNormal = StyledFont(font, nNormalStyle);
    m_fontSelected = StyledFont(font, nSelectedStyle);
}

void CTaskbarNotifier::SetTextColor(COLORREF crNormal, COLORREF crSelected) {
    m_crNormalTextColor = crNormal;
    m_crSelectedTextColor = crSelected;
    RedrawPopup();
}

void CTaskbarNotifier::SetTextRect(int nLeft, int nTop, int nRight, int nBottom) {
    m_rcText = QRect(nLeft, nTop, nRight - nLeft, nBottom - nTop);
}

void CTaskbarNotifier::SetTextRect(const QRect& rcText) {
    m_rcText = rcText;
}

void CTaskbarNotifier::Show(const QString& strCaption, unsigned nTimeToShow, unsigned nTimeToStay, unsigned nTimeToHide,
                            int nStep) {
    m_strCaption = strCaption;
    m_animation.Show(nTimeToShow, nTimeToStay, nTimeToHide, nStep);
}

void CTaskbarNotifier::Hide() {
    m_animation.Hide();
}

void CTaskbarNotifier::paintEvent(QPaintEvent* /*pEvent*/) {
    QPainter dc(this);
    dc.drawImage(0, 0, m_imageSkin);
    // The highlighted caption (selected font and colour) marks the pointer over the clickable popup.
    dc.setFont(m_bMouseOver ? m_fontSelected : m_fontNormal);
    dc.setPen(ToQColor(m_bMouseOver ? m_crSelectedTextColor : m_crNormalTextColor));
    DrawNotifierCaption(dc, m_strCaption, m_rcText);
}

void CTaskbarNotifier::mouseReleaseEvent(QMouseEvent* pEvent) {
    // The owner is told and decides; the popup itself goes on with its cycle.
    if (pEvent->button() == Qt::LeftButton && m_pOwner)
        QCoreApplication::postEvent(m_pOwner, new QEvent(static_cast<QEvent::Type>(WM_NOTIFIER_CLICKED)));
    QWidget::mouseReleaseEvent(pEvent);
}

void CTaskbarNotifier::enterEvent(QEnterEvent* pEvent) {
    m_bMouseOver = true;
    update();
    QWidget::enterEvent(pEvent);
}

void CTaskbarNotifier::leaveEvent(QEvent* pEvent) {
    m_bMouseOver = false;
    update();
    QWidget::leaveEvent(pEvent);
}

void CTaskbarNotifier::timerEvent(QTimerEvent* pEvent) {
    for (int i = 0; i < 3; ++i) {
        if (pEvent->timerId() == m_timers[i].timerId()) {
            m_animation.OnTimer(i + 1);
            return;
        }
    }
    QWidget::timerEvent(pEvent);
}

NotifierRect CTaskbarNotifier::GetWorkArea() const {
    const QScreen* pScreen = PopupScreen();
    if (!pScreen)
        return NotifierRect();
    const QRect rcScreen = pScreen->geometry();
    const QRect rcWork = pScreen->availableGeometry().translated(-rcScreen.topLeft());
    return NotifierRect{rcWork.left(), rcWork.top(), rcWork.left() + rcWork.width(), rcWork.top() + rcWork.height()};
}

int CTaskbarNotifier::GetScreenWidth() const {
    const QScreen* pScreen = PopupScreen();
    return pScreen ? pScreen->geometry().width() : 0;
}

int CTaskbarNotifier::GetScreenHeight() const {
    const QScreen* pScreen = PopupScreen();
    return pScreen ? pScreen->geometry().height() : 0;
}

void CTaskbarNotifier::StartTimer(int nId, unsigned nPeriodMs) {
    // At least 1 ms: a zero period would fire on every pass of the event loop.
    const int nMs = static_cast<int>(std::clamp(nPeriodMs, 1u, 0x7FFFFFFFu));
    m_timers[nId - 1].start(nMs, Qt::PreciseTimer, this);
}

void CTaskbarNotifier::StopTimer(int nId) {
    m_timers[nId - 1].stop();
}

void CTaskbarNotifier::ShowPopup() {
    // Shown by the first move of the cycle: until then there is no place or size to show it at.
    m_bShowPending = true;
}

void CTaskbarNotifier::HidePopup() {
    m_bShowPending = false;
    hide();
}

void CTaskbarNotifier::MovePopup(int x, int y, int nWidth, int nHeight) {
    const QScreen* pScreen = PopupScreen();
    const QPoint ptOrigin = pScreen ? pScreen->geometry().topLeft() : QPoint();
    setGeometry(QRect(ptOrigin + QPoint(x, y), QSize(nWidth, nHeight)));
    if (m_bShowPending) {
        m_bShowPending = false;
        show();
    }
}

void CTaskbarNotifier::SetPopupAlpha(int nAlpha) {
    // Without a compositor the window system ignores this and the popup simply shows opaque.
    if (HasWindowOpacity())
        setWindowOpacity((nAlpha & 0xFF) / 255.0);
}

void CTaskbarNotifier::RedrawPopup() {
    if (isVisible())
        repaint();
}

} // namespace lanwick
