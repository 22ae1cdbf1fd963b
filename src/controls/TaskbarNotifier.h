// The notifier popup: a skinned, borderless, always-on-top window that fades in above the task bar with a
// caption, stays a while and fades out again, without ever taking the focus.
#pragma once

#include "controls/NotifierAnimation.h"
#include "platform/ColorRef.h"

#include <QBasicTimer>
#include <QFont>
#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QWidget>

namespace lanwick {

// Type of the event posted to the owner when the popup is clicked (WM_USER+123); it carries no parameters.
inline constexpr int WM_NOTIFIER_CLICKED = 1024 + 123;

class CTaskbarNotifier final : public QWidget, private INotifierWindow {
    Q_OBJECT
public:
    // Style bits of SetTextFont.
    enum TextStyle { TextNormal = 0x0, TextBold = 0x1, TextItalic = 0x2, TextUnderline = 0x4 };

    CTaskbarNotifier();
    ~CTaskbarNotifier() override;

    // Makes the popup window (hidden); clicks are posted to pOwner. Always succeeds here.
    bool Create(QObject* pOwner);

    // Skin from the program's bitmap resource ":/bitmaps/<id>.bmp", or from an image. Pixels of the colour
    // (nRed, nGreen, nBlue) are cut out of the window's shape; a component of -1 keeps it rectangular.
    // Returns 1, or 0 when the bitmap cannot be loaded (the old skin is dropped, size and shape stay).
    int SetSkin(int nBitmapId, int nRed, int nGreen, int nBlue);
    int SetSkin(const QImage& imageSkin, int nRed, int nGreen, int nBlue);

    // Face and size in tenths of a point; the style bits (TextStyle) of the normal and the highlighted caption.
    void SetTextFont(const QString& strFace, int nPointSize, int nNormalStyle, int nSelectedStyle);
    void SetTextColor(COLORREF crNormal, COLORREF crSelected);
    // Where the caption goes, in window pixels: edges with right and bottom exclusive, as (10, 40, W - 10, H - 25).
    void SetTextRect(int nLeft, int nTop, int nRight, int nBottom);
    void SetTextRect(const QRect& rcText);

    // Times in milliseconds; nStep is ignored (the animation always steps by 2).
    void Show(const QString& strCaption, unsigned nTimeToShow, unsigned nTimeToStay, unsigned nTimeToHide, int nStep);
    void Hide();

    QSize GetSkinSize() const { return QSize(m_nSkinWidth, m_nSkinHeight); }
    QRect GetTextRect() const { return m_rcText; }
    QString GetCaption() const { return m_strCaption; }
    QRegion GetSkinRegion() const { return m_rgnSkin; }
    const QFont& GetTextFont(bool bSelected) const { return bSelected ? m_fontSelected : m_fontNormal; }
    COLORREF GetTextColor(bool bSelected) const { return bSelected ? m_crSelectedTextColor : m_crNormalTextColor; }
    const CNotifierAnimation& GetAnimation() const { return m_animation; }

    // The shape of a skin: the rectangle of its width cut down to a multiple of 4, less every pixel of the
    // transparent colour (low byte of each component).
    static QRegion MakeSkinRegion(const QImage& imageSkin, int nRed, int nGreen, int nBlue);

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void enterEvent(QEnterEvent* pEvent) override;
    void leaveEvent(QEvent* pEvent) override;
    void timerEvent(QTimerEvent* pEvent) override;

private:
    NotifierRect GetWorkArea() const override;
    int GetScreenWidth() const override;
    int GetScreenHeight() const override;
    void StartTimer(int nId, unsigned nPeriodMs) override;
    void StopTimer(int nId) override;
    void ShowPopup() override;
    void HidePopup() override;
    void MovePopup(int x, int y, int nWidth, int nHeight) override;
    void SetPopupAlpha(int nAlpha) override;
    void RedrawPopup() override;

    QPointer<QObject> m_pOwner;
    QFont m_fontNormal;
    QFont m_fontSelected;
    COLORREF m_crNormalTextColor = RGB(133, 146, 181);
    COLORREF m_crSelectedTextColor = RGB(10, 36, 106);
    QImage m_imageSkin;
    QRegion m_rgnSkin;
    QRect m_rcText;
    int m_nSkinWidth = 0;
    int m_nSkinHeight = 0;
    QString m_strCaption;
    bool m_bMouseOver = false;
    bool m_bShowPending = false;
    QBasicTimer m_timers[3];
    CNotifierAnimation m_animation;
};

} // namespace lanwick
