// The notifier popup's show cycle: where the task bar is, where the popup starts and rests, its fade or slide,
// and what a new Show does in each state. No widgets here, so tests drive it with their own clock and timers.
#pragma once

namespace lanwick {

// A rectangle by its edges, right and bottom exclusive, as the window system reports the work area.
struct NotifierRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// What the show cycle asks of the popup's window. Coordinates are relative to the screen's top-left corner.
class INotifierWindow {
public:
    virtual ~INotifierWindow() = default;

    virtual NotifierRect GetWorkArea() const = 0;
    virtual int GetScreenWidth() const = 0;
    virtual int GetScreenHeight() const = 0;

    // Starting a timer that runs already restarts it with the new period.
    virtual void StartTimer(int nId, unsigned nPeriodMs) = 0;
    virtual void StopTimer(int nId) = 0;

    virtual void ShowPopup() = 0;
    virtual void HidePopup() = 0;
    virtual void MovePopup(int x, int y, int nWidth, int nHeight) = 0;
    // Opacity 0..255; only the low byte of the argument counts.
    virtual void SetPopupAlpha(int nAlpha) = 0;
    virtual void RedrawPopup() = 0;
};

class CNotifierAnimation {
public:
    enum State { Hidden = 0, Appearing = 1, Showing = 2, Disappearing = 3 };
    enum Placement { TaskbarUnknown = 0, TaskbarOnTop = 1, TaskbarOnLeft = 2, TaskbarOnRight = 3, TaskbarOnBottom = 4 };
    enum Timer { TimerAppear = 1, TimerStay = 2, TimerDisappear = 3 };

    // Fade-in stops at the first tick that finds the alpha at or above this.
    static constexpr int kFadeTarget = 200;
    // A sliding popup (task bar at a side) is drawn at the opacity a fade ends with.
    static constexpr int kSlideAlpha = 200;
    // Distance of the resting popup from the work area's corner.
    static constexpr int kMargin = 5;

    explicit CNotifierAnimation(INotifierWindow& window);

    void SetSkinSize(int nWidth, int nHeight);

    // Starts or refreshes the cycle. nStep is accepted for the callers' sake and ignored: the step stays 2.
    void Show(unsigned nTimeToShow, unsigned nTimeToStay, unsigned nTimeToHide, int nStep);
    void Hide();
    void OnTimer(int nId);

    // Where the task bar stands, judged from the work area and the screen size.
    static Placement GetPlacement(const NotifierRect& rcWork, int nScreenWidth, int nScreenHeight);

    State GetState() const { return m_nAnimStatus; }
    int GetAlpha() const { return m_nAlpha; }
    int GetStep() const { return m_nStep; }
    Placement GetTaskbarPlacement() const { return m_nTaskbarPlacement; }
    unsigned GetAppearInterval() const { return m_nAppearInterval; }
    unsigned GetDisappearInterval() const { return m_nDisappearInterval; }
    unsigned GetTimeToShow() const { return m_nTimeToShow; }
    unsigned GetTimeToStay() const { return m_nTimeToStay; }
    unsigned GetTimeToHide() const { return m_nTimeToHide; }
    int GetStartX() const { return m_nStartPosX; }
    int GetStartY() const { return m_nStartPosY; }
    int GetCurrentX() const { return m_nCurrentPosX; }
    int GetCurrentY() const { return m_nCurrentPosY; }

private:
    bool IsSliding() const { return m_nTaskbarPlacement == TaskbarOnLeft || m_nTaskbarPlacement == TaskbarOnRight; }
    void StartCycle();
    void ReturnToRest();
    void AppearTick();
    void DisappearTick();
    void EndAppearing();
    void PlacePopup();
    void ApplyAlpha();

    INotifierWindow& m_window;
    NotifierRect m_rcWork;
    int m_nSkinWidth = 0;
    int m_nSkinHeight = 0;
    int m_nAlpha = 0;
    State m_nAnimStatus = Hidden;
    unsigned m_nTimeToShow = 0;
    unsigned m_nTimeToStay = 0;
    unsigned m_nTimeToHide = 0;
    unsigned m_nAppearInterval = 0;
    unsigned m_nDisappearInterval = 0;
    int m_nStartPosX = 0;
    int m_nStartPosY = 0;
    int m_nCurrentPosX = 0;
    int m_nCurrentPosY = 0;
    Placement m_nTaskbarPlacement = TaskbarUnknown;
    int m_nStep = 2;
};

} // namespace lanwick
