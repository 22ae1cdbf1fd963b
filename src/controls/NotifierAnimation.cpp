// The notifier popup's show cycle: placement, fade or slide steps and the reaction of Show in each state.
#include "controls/NotifierAnimation.h"

#include <algorithm>

namespace lanwick {

CNotifierAnimation::CNotifierAnimation(INotifierWindow& window) : m_window(window) {}

void CNotifierAnimation::SetSkinSize(int nWidth, int nHeight) {
    m_nSkinWidth = nWidth;
    m_nSkinHeight = nHeight;
}

CNotifierAnimation::Placement CNotifierAnimation::GetPlacement(const NotifierRect& rcWork, int nScreenWidth,
                                                               int nScreenHeight) {
    // Compared unsigned on purpose: a work area reported wider than the screen never counts as narrower.
    const auto nWorkWidth = static_cast<unsigned>(rcWork.right - rcWork.left);
    const auto nWorkHeight = static_cast<unsigned>(rcWork.bottom - rcWork.top);
    if (nWorkWidth < static_cast<unsigned>(nScreenWidth))
        return rcWork.left == 0 ? TaskbarOnRight : TaskbarOnLeft;
    if (nWorkHeight < static_cast<unsigned>(nScreenHeight) && rcWork.top != 0)
        return TaskbarOnTop;
    return TaskbarOnBottom; // also a hidden task bar
}

void CNotifierAnimation::Show(unsigned nTimeToShow, unsigned nTimeToStay, unsigned nTimeToHide, int /*nStep*/) {
    m_nTimeToShow = nTimeToShow;
    m_nTimeToStay = nTimeToStay;
    m_nTimeToHide = nTimeToHide;
    m_rcWork = m_window.GetWorkArea();
    m_nTaskbarPlacement = GetPlacement(m_rcWork, m_window.GetScreenWidth(), m_window.GetScreenHeight());

    switch (m_nAnimStatus) {
    case Hidden:
        m_window.ShowPopup();
        StartCycle();
        break;
    case Appearing:
        m_window.RedrawPopup();
        break;
    case Showing:
        m_window.RedrawPopup();
        m_window.StopTimer(TimerStay);
        m_window.StartTimer(TimerStay, m_nTimeToStay);
        break;
    case Disappearing:
        // Back for a full stay at the alpha reached so far; the fade or slide resumes from there afterwards.
        m_window.StopTimer(TimerDisappear);
        m_window.StartTimer(TimerStay, m_nTimeToStay);
        ReturnToRest();
        m_window.RedrawPopup();
        break;
    }
}

void CNotifierAnimation::StartCycle() {
    const bool bSide = IsSliding();
    int nSteps = (bSide ? m_nSkinWidth : m_nSkinHeight) / m_nStep;
    // A skin thinner than one step (or none yet) would divide by zero below; one step keeps the cycle finite.
    nSteps = std::max(nSteps, 1);
    m_nAppearInterval = m_nTimeToShow / static_cast<unsigned>(nSteps);
    m_nDisappearInterval = m_nTimeToHide / static_cast<unsigned>(nSteps);

    switch (m_nTaskbarPlacement) {
    case TaskbarOnRight:
        m_nStartPosX = m_rcWork.right;
        m_nStartPosY = m_rcWork.bottom - m_nSkinHeight;
        break;
    case TaskbarOnLeft:
        m_nStartPosX = m_rcWork.left - m_nSkinWidth;
        m_nStartPosY = m_rcWork.bottom - m_nSkinHeight;
        break;
    case TaskbarOnTop:
        m_nStartPosX = m_rcWork.right - m_nSkinWidth;
        m_nStartPosY = m_rcWork.top - m_nSkinHeight;
        break;
    default:
        m_nStartPosX = m_rcWork.right - m_nSkinWidth;
        m_nStartPosY = m_rcWork.bottom;
        break;
    }
    m_nCurrentPosX = m_nStartPosX;
    m_nCurrentPosY = m_nStartPosY;
    m_window.StartTimer(TimerAppear, m_nAppearInterval);
}

void CNotifierAnimation::ReturnToRest() {
    switch (m_nTaskbarPlacement) {
    case TaskbarOnRight:
        m_nCurrentPosX = m_rcWork.right - m_nSkinWidth;
        PlacePopup();
        return;
    case TaskbarOnLeft:
        m_nCurrentPosX = m_rcWork.left;
        PlacePopup();
        return;
    case TaskbarOnTop:
        m_nCurrentPosY = m_rcWork.top;
        break;
    default:
        m_nCurrentPosY = m_rcWork.bottom - m_nSkinHeight;
        break;
    }
    // Deliberately flush with the corner, without the margin of the appear ticks.
    m_window.MovePopup(m_nCurrentPosX, m_nCurrentPosY, m_nSkinWidth, m_nSkinHeight);
}

void CNotifierAnimation::OnTimer(int nId) {
    switch (nId) {
    case TimerAppear:
        AppearTick();
        break;
    case TimerStay:
        m_window.StopTimer(TimerStay);
        m_window.StartTimer(TimerDisappear, m_nDisappearInterval);
        break;
    case TimerDisappear:
        DisappearTick();
        break;
    default:
        break;
    }
}

void CNotifierAnimation::EndAppearing() {
    m_window.StopTimer(TimerAppear);
    m_window.StartTimer(TimerStay, m_nTimeToStay);
    m_nAnimStatus = Showing;
}

void CNotifierAnimation::AppearTick() {
    m_nAnimStatus = Appearing;
    switch (m_nTaskbarPlacement) {
    case TaskbarOnTop:
    case TaskbarOnBottom:
        if (m_nAlpha < kFadeTarget)
            m_nAlpha += m_nStep;
        else
            EndAppearing();
        break;
    case TaskbarOnLeft:
        if (m_nCurrentPosX - m_nStartPosX < m_nSkinWidth)
            m_nCurrentPosX += m_nStep;
        else
            EndAppearing();
        break;
    case TaskbarOnRight:
        if (m_nCurrentPosX > m_nStartPosX - m_nSkinWidth)
            m_nCurrentPosX -= m_nStep;
        else
            EndAppearing();
        break;
    default:
        return;
    }
    PlacePopup();
    ApplyAlpha();
}

void CNotifierAnimation::DisappearTick() {
    m_nAnimStatus = Disappearing;
    switch (m_nTaskbarPlacement) {
    case TaskbarOnTop:
    case TaskbarOnBottom:
        // One unit per tick, not the step: the fade-out always ends at 1, so later fade-ins run odd values.
        if (m_nAlpha > 1)
            m_nAlpha -= 1;
        else
            Hide();
        break;
    case TaskbarOnLeft:
        if (m_nCurrentPosX > m_nStartPosX) {
            m_nCurrentPosX -= m_nStep;
            PlacePopup();
        } else {
            Hide();
        }
        break;
    case TaskbarOnRight:
        if (m_nCurrentPosX < m_nStartPosX) {
            m_nCurrentPosX += m_nStep;
            PlacePopup();
        } else {
            Hide();
        }
        break;
    default:
        return;
    }
    ApplyAlpha();
}

void CNotifierAnimation::Hide() {
    // Every timer, not only the current state's: one left running would animate a hidden popup and make
    // the next Show look like a refresh of a cycle nobody can see.
    m_window.StopTimer(TimerAppear);
    m_window.StopTimer(TimerStay);
    m_window.StopTimer(TimerDisappear);
    m_window.HidePopup();
    m_nAnimStatus = Hidden;
}

void CNotifierAnimation::PlacePopup() {
    const int w = m_nSkinWidth;
    const int h = m_nSkinHeight;
    switch (m_nTaskbarPlacement) {
    case TaskbarOnTop:
        // Fades in below a top task bar, kMargin in from the work area's top-right corner.
        m_window.MovePopup(m_nCurrentPosX - kMargin, m_nCurrentPosY + h + kMargin, w, h);
        break;
    case TaskbarOnLeft:
        // Slides out from behind the task bar and rests kMargin in from the bottom-left corner.
        m_window.MovePopup(std::min(m_nCurrentPosX, m_rcWork.left) + kMargin, m_nCurrentPosY - kMargin, w, h);
        break;
    case TaskbarOnRight:
        m_window.MovePopup(std::max(m_nCurrentPosX, m_rcWork.right - w) - kMargin, m_nCurrentPosY - kMargin, w, h);
        break;
    default:
        m_window.MovePopup(m_nCurrentPosX - kMargin, m_nCurrentPosY - h - kMargin, w, h);
        break;
    }
}

void CNotifierAnimation::ApplyAlpha() {
    m_window.SetPopupAlpha(IsSliding() ? kSlideAlpha : m_nAlpha);
}

} // namespace lanwick
