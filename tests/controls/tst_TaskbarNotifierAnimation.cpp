// The popup's show cycle without a screen: placement, steps and intervals, every Show-in-state reaction and
// the alpha over two cycles, driven by a fake window whose clock and timers the test advances.
#include "controls/NotifierAnimation.h"

#include <QTest>

#include <map>
#include <vector>

using lanwick::CNotifierAnimation;
using lanwick::INotifierWindow;
using lanwick::NotifierRect;

namespace {

struct Move {
    int x, y, w, h;
    bool operator==(const Move& o) const { return x == o.x && y == o.y && w == o.w && h == o.h; }
};

// Window timers on a virtual millisecond clock: a timer fires every period after its (re)start.
class CFakeWindow final : public INotifierWindow {
public:
    NotifierRect rcWork{0, 0, 1024, 738};
    int nScreenWidth = 1024;
    int nScreenHeight = 768;
    CNotifierAnimation* pAnimation = nullptr;

    unsigned nNow = 0;
    std::map<int, std::pair<unsigned, unsigned>> timers; // id -> (period, next due)
    std::vector<Move> moves;
    std::vector<int> alphas;
    bool bVisible = false;
    int nShows = 0, nHides = 0, nRedraws = 0;

    NotifierRect GetWorkArea() const override { return rcWork; }
    int GetScreenWidth() const override { return nScreenWidth; }
    int GetScreenHeight() const override { return nScreenHeight; }
    void StartTimer(int nId, unsigned nPeriodMs) override { timers[nId] = {nPeriodMs, nNow + nPeriodMs}; }
    void StopTimer(int nId) override { timers.erase(nId); }
    void ShowPopup() override {
        bVisible = true;
        ++nShows;
    }
    void HidePopup() override {
        bVisible = false;
        ++nHides;
    }
    void MovePopup(int x, int y, int w, int h) override { moves.push_back({x, y, w, h}); }
    void SetPopupAlpha(int nAlpha) override { alphas.push_back(nAlpha); }
    void RedrawPopup() override { ++nRedraws; }

    bool Running(int nId) const { return timers.count(nId) != 0; }
    unsigned Period(int nId) const { return timers.at(nId).first; }

    // Fires due timers in time order (lower id first on a tie) up to nNow + nMs.
    void Advance(unsigned nMs) {
        const unsigned nEnd = nNow + nMs;
        for (;;) {
            int nId = 0;
            unsigned nDue = nEnd + 1;
            for (const auto& [id, t] : timers) {
                if (t.second < nDue) {
                    nId = id;
                    nDue = t.second;
                }
            }
            if (nId == 0)
                break;
            nNow = nDue;
            timers[nId].second = nDue + std::max(1u, timers[nId].first);
            pAnimation->OnTimer(nId);
        }
        nNow = nEnd;
    }
    // Advances until the state changes to nState, at most nLimitMs; returns false when it never does.
    bool RunUntil(CNotifierAnimation::State nState, unsigned nLimitMs = 60000) {
        for (unsigned t = 0; t < nLimitMs; ++t) {
            if (pAnimation->GetState() == nState)
                return true;
            Advance(1);
        }
        return pAnimation->GetState() == nState;
    }
};

struct Rig {
    CFakeWindow window;
    CNotifierAnimation animation{window};
    Rig(int w = 201, int h = 111) {
        window.pAnimation = &animation;
        animation.SetSkinSize(w, h);
    }
    void ShowDefault() { animation.Show(500, 9500, 200, 10); }
};

std::vector<int> Range(int nFrom, int nTo, int nStep) {
    std::vector<int> v;
    for (int i = nFrom; nStep > 0 ? i <= nTo : i >= nTo; i += nStep)
        v.push_back(i);
    return v;
}

} // namespace

class TestTaskbarNotifierAnimation : public QObject {
    Q_OBJECT
private slots:
    void Placement_FollowsWorkAreaAgainstScreen_data();
    void Placement_FollowsWorkAreaAgainstScreen();
    void StartOfCycle_StepsIntervalsAndStartByPlacement_data();
    void StartOfCycle_StepsIntervalsAndStartByPlacement();
    void Bottom_FadesInFivePixelsFromCornerThenStaysThenFadesOut();
    void Alpha_FirstCycleRuns0To200ThenLaterCycles1To201();
    void Step10_AnimatesWithStep2();
    void ShowWhileHidden_BeforeFirstTickRestartsCycle();
    void ShowWhileAppearing_OnlyRedrawsAndNewStayAppliesAtEnd();
    void ShowWhileShowing_RestartsStayWithNewTime();
    void ShowWhileDisappearing_ReturnsToRestForFullStayThenResumesFade();
    void LeftTaskbar_SlidesOutFromEdgeAndBackAtSlideOpacity();
    void RightTaskbar_SlidesInToCornerAndBack();
    void TopTaskbar_FadesFivePixelsBelowTopRightCorner();
    void Hide_StopsEveryTimerSoNextShowStartsAfresh();
    void SkinThinnerThanStep_DoesNotDivideByZero();
};

void TestTaskbarNotifierAnimation::Placement_FollowsWorkAreaAgainstScreen_data() {
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("right");
    QTest::addColumn<int>("bottom");
    QTest::addColumn<int>("expected");
    QTest::newRow("bottom bar") << 0 << 0 << 1024 << 738 << int(CNotifierAnimation::TaskbarOnBottom);
    QTest::newRow("hidden bar") << 0 << 0 << 1024 << 768 << int(CNotifierAnimation::TaskbarOnBottom);
    QTest::newRow("right bar") << 0 << 0 << 964 << 768 << int(CNotifierAnimation::TaskbarOnRight);
    QTest::newRow("left bar") << 60 << 0 << 1024 << 768 << int(CNotifierAnimation::TaskbarOnLeft);
    QTest::newRow("top bar") << 0 << 30 << 1024 << 768 << int(CNotifierAnimation::TaskbarOnTop);
    // A narrower work area wins over a lower one; the width test needs no left edge to be 0.
    QTest::newRow("left and top") << 60 << 30 << 1024 << 768 << int(CNotifierAnimation::TaskbarOnLeft);
    // A work area wider than the screen (compared unsigned) never counts as narrower.
    QTest::newRow("wider than screen") << 0 << 0 << 2048 << 738 << int(CNotifierAnimation::TaskbarOnBottom);
    QTest::newRow("inverted") << 10 << 0 << 0 << 738 << int(CNotifierAnimation::TaskbarOnBottom);
}

void TestTaskbarNotifierAnimation::Placement_FollowsWorkAreaAgainstScreen() {
    QFETCH(int, left);
    QFETCH(int, top);
    QFETCH(int, right);
    QFETCH(int, bottom);
    QFETCH(int, expected);
    QCOMPARE(int(CNotifierAnimation::GetPlacement(NotifierRect{left, top, right, bottom}, 1024, 768)), expected);
}

void TestTaskbarNotifierAnimation::StartOfCycle_StepsIntervalsAndStartByPlacement_data() {
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("right");
    QTest::addColumn<int>("bottom");
    QTest::addColumn<int>("placement");
    QTest::addColumn<unsigned>("appear");
    QTest::addColumn<unsigned>("disappear");
    QTest::addColumn<int>("startX");
    QTest::addColumn<int>("startY");
    // 111 / 2 = 55 steps: 500 / 55 = 9 ms and 200 / 55 = 3 ms; 201 / 2 = 100 steps: 5 ms and 2 ms.
    QTest::newRow("bottom") << 0 << 0 << 1024 << 738 << int(CNotifierAnimation::TaskbarOnBottom) << 9u << 3u << 823
                            << 738;
    QTest::newRow("top") << 0 << 30 << 1024 << 768 << int(CNotifierAnimation::TaskbarOnTop) << 9u << 3u << 823 << -81;
    QTest::newRow("left") << 60 << 0 << 1024 << 768 << int(CNotifierAnimation::TaskbarOnLeft) << 5u << 2u << -141
                          << 657;
    QTest::newRow("right") << 0 << 0 << 964 << 768 << int(CNotifierAnimation::TaskbarOnRight) << 5u << 2u << 964 << 657;
}

void TestTaskbarNotifierAnimation::StartOfCycle_StepsIntervalsAndStartByPlacement() {
    QFETCH(int, left);
    QFETCH(int, top);
    QFETCH(int, right);
    QFETCH(int, bottom);
    QFETCH(int, placement);
    QFETCH(unsigned, appear);
    QFETCH(unsigned, disappear);
    QFETCH(int, startX);
    QFETCH(int, startY);
    Rig rig;
    rig.window.rcWork = NotifierRect{left, top, right, bottom};
    rig.ShowDefault();

    QCOMPARE(int(rig.animation.GetTaskbarPlacement()), placement);
    QCOMPARE(rig.animation.GetAppearInterval(), appear);
    QCOMPARE(rig.animation.GetDisappearInterval(), disappear);
    QCOMPARE(rig.animation.GetStartX(), startX);
    QCOMPARE(rig.animation.GetStartY(), startY);
    QCOMPARE(rig.animation.GetCurrentX(), startX);
    QCOMPARE(rig.animation.GetCurrentY(), startY);
    QVERIFY(rig.window.Running(CNotifierAnimation::TimerAppear));
    QCOMPARE(rig.window.Period(CNotifierAnimation::TimerAppear), appear);
    // Shown at once, but the state changes only with the first tick.
    QCOMPARE(rig.window.nShows, 1);
    QCOMPARE(rig.animation.GetState(), CNotifierAnimation::Hidden);
}

void TestTaskbarNotifierAnimation::Bottom_FadesInFivePixelsFromCornerThenStaysThenFadesOut() {
    Rig rig;
    CFakeWindow& w = rig.window;
    rig.ShowDefault();
    w.Advance(8);
    QVERIFY(w.moves.empty());
    w.Advance(1);
    QCOMPARE(rig.animation.GetState(), CNotifierAnimation::Appearing);
    QCOMPARE(w.moves.front(), (Move{1024 - 201 - 5, 738 - 111 - 5, 201, 111}));
    QCOMPARE(w.alphas.front(), 2);

    QVERIFY(w.RunUntil(CNotifierAnimation::Showing));
    QCOMPARE(w.nNow, 101u * 9u); // 100 ticks raise the alpha, the 101st finds 200
    QVERIFY(!w.Running(CNotifierAnimation::TimerAppear));
    QCOMPARE(w.Period(CNotifierAnimation::TimerStay), 9500u);
    for (const Move& m : w.moves)
        QCOMPARE(m, w.moves.front());

    const std::size_t nMoves = w.moves.size();
    w.Advance(9499);
    QVERIFY(!w.Running(CNotifierAnimation::TimerDisappear));
    w.Advance(1);
    QVERIFY(!w.Running(CNotifierAnimation::TimerStay));
    QCOMPARE(w.Period(CNotifierAnimation::TimerDisappear), 3u);
    QCOMPARE(rig.animation.GetState(), CNotifierAnimation::Showing);

    QVERIFY(w.RunUntil(CNotifierAnimation::Hidden));
    QCOMPARE(w.moves.size(), nMoves); // fading out does not move the popup
    QCOMPARE(w.nHides, 1);
    QVERIFY(!w.bVisible);
    QVERIFY(w.timers.empty());
}

void TestTaskbarNotifierAnimation::Alpha_FirstCycleRuns0To200ThenLaterCycles1To201() {
    Rig rig;
    CFakeWindow& w = rig.window;
    auto expect = [](std::vector<int> v, int nLast) {
        v.push_back(nLast);
        return v;
    };

    rig.ShowDefault();
    QVERIFY(w.RunUntil(CNotifierAnimation::Showing));
    QCOMPARE(w.alphas, expect(Range(2, 200, 2), 200));
    w.alphas.clear();
    QVERIFY(w.RunUntil(CNotifierAnimation::Hidden));
    QCOMPARE(w.alphas, expect(Range(199, 1, -1), 1)); // one unit per tick, down to 1
    QCOMPARE(rig.animation.GetAlpha(), 1);

    w.alphas.clear();
    rig.ShowDefault();
    QVERIFY(w.RunUntil(CNotifierAnimation::Showing));
    QCOMPARE(w.alphas, expect(Range(3, 201, 2), 201));
    w.alphas.clear();
    QVERIFY(w.RunUntil(CNotifierAnimation::Hidden));
    QCOMPARE(w.alphas, expect(Range(200, 1, -1), 1));
}

void TestTaskbarNotifierAnimation::Step10_AnimatesWithStep2() {
    Rig rig;
    rig.animation.Show(500, 9500, 200, 10);
    QCOMPARE(rig.animation.GetStep(), 2);
    rig.window.Advance(3 * 9);
    QCOMPARE(rig.window.alphas, (std::vector<int>{2, 4, 6}));

    Rig side;
    side.window.rcWork = NotifierRect{0, 0, 964, 768};
    side.animation.Show(500, 9500, 200, 10);
    side.window.Advance(2 * 5);
    QCOMPARE(side.animation.GetCurrentX(), 964 - 4);
}

void TestTaskbarNotifierAnimation::ShowWhileHidden_BeforeFirstTickRestartsCycle() {
    Rig rig;
    CFakeWindow& w = rig.window;
    rig.ShowDefault();
    w.Advance(5);
    rig.animation.Show(1000, 9500, 200, 10);
    QCOMPARE(w.nShows, 2);
    QCOMPARE(rig.animation.GetState(), CNotifierAnimation::Hidden);
    QCOMPARE(w.Period(CNotifierAnimation::TimerAppear), 1000u / 55u);
    w.Advance(17);
    QVERIFY(w.alphas.empty()); // the first timer was replaced, not added to
    w.Advance(1);
    QCOMPARE(w.alphas, std::vector<int>{2});
}

void TestTaskbarNotifierAnimation::ShowWhileAppearing_OnlyRedrawsAndNewStayAppliesAtEnd() {
    Rig rig;
    CFakeWindow& w = rig.window;
    rig.ShowDefault();
    w.Advance(10 * 9);
    QCOMPARE(rig.animation.GetState(), CNotifierAnimation::Appearing);
    QCOMPARE(rig.animation.GetAlpha(), 20);

    rig.animation.Show(2000, 3000, 1000, 10);
    QCOMPARE(w.nRedraws, 1);
    QCOMPARE(w.nShows, 1);
    QCOMPARE(rig.animation.GetAlpha(), 20);
    QCOMPARE(w.Period(CNotifierAnimation::TimerAppear), 9u);
    QCOMPARE(rig.animation.GetTimeToStay(), 3000u);
    w.Advance(9);
    QCOMPARE(rig.animation.GetAlpha(), 22);

    QVERIFY(w.RunUntil(CNotifierAnimation::Showing));
    QCOMPARE(w.Period(CNotifierAnimation::TimerStay), 3000u);
    // The disappear interval was fixed when the cycle started.
    w.Advance(3000);
    QCOMPARE(w.Period(CNotifierAnimation::TimerDisappear), 3u);
}

void TestTaskbarNotifierAnimation::ShowWhileShowing_RestartsStayWithNewTime() {
    Rig rig;
    CFakeWindow& w = rig.window;
    rig.ShowDefault();
    QVERIFY(w.RunUntil(CNotifierAnimation::Showing));
    w.Advance(4000);

    rig.animation.Show(500, 2000, 200, 10);
    QCOMPARE(w.nRedraws, 1);
    QCOMPARE(w.Period(CNotifierAnimation::TimerStay), 2000u);
    w.Advance(1999);
    QVERIFY(!w.Running(CNotifierAnimation::TimerDisappear));
    w.Advance(1);
    QVERIFY(w.Running(CNotifierAnimation::TimerDisappear));
    QCOMPARE(rig.animation.GetAlpha(), 200);
}

void TestTaskbarNotifierAnimation::ShowWhileDisappearing_ReturnsToRestForFullStayThenResumesFade() {
    Rig rig;
    CFakeWindow& w = rig.window;
    rig.ShowDefault();
    QVERIFY(w.RunUntil(CNotifierAnimation::Disappearing));
    w.Advance(30);
    const int nAlpha = rig.animation.GetAlpha();
    QVERIFY(nAlpha < 200 && nAlpha > 1);
    w.moves.clear();
    w.alphas.clear();

    rig.animation.Show(500, 9500, 200, 10);
    QVERIFY(!w.Running(CNotifierAnimation::TimerDisappear));
    QCOMPARE(w.Period(CNotifierAnimation::TimerStay), 9500u);
    // The resting place flush with the corner, without the 5-pixel margins of the appear ticks.
    QCOMPARE(w.moves, (std::vector<Move>{{1024 - 201, 738 - 111, 201, 111}}));
    QCOMPARE(rig.animation.GetCurrentY(), 738 - 111);
    QCOMPARE(w.nRedraws, 1);
    QCOMPARE(rig.animation.GetState(), CNotifierAnimation::Disappearing);
    QVERIFY(w.alphas.empty());
    QCOMPARE(rig.animation.GetAlpha(), nAlpha); // not restored

    w.Advance(9500);
    QVERIFY(w.alphas.empty());
    w.Advance(3);
    QCOMPARE(w.alphas, std::vector<int>{nAlpha - 1});
    QVERIFY(w.RunUntil(CNotifierAnimation::Hidden));
    QCOMPARE(w.alphas.back(), 1);
}

void TestTaskbarNotifierAnimation::LeftTaskbar_SlidesOutFromEdgeAndBackAtSlideOpacity() {
    Rig rig;
    CFakeWindow& w = rig.window;
    w.rcWork = NotifierRect{60, 0, 1024, 768};
    rig.ShowDefault();
    QVERIFY(w.RunUntil(CNotifierAnimation::Showing));
    QCOMPARE(w.moves.front(), (Move{-141 + 2 + 5, 768 - 111 - 5, 201, 111}));
    QCOMPARE(w.moves.back(), (Move{60 + 5, 768 - 111 - 5, 201, 111})); // rests 5 pixels in from the corner
    for (std::size_t i = 1; i < w.moves.size(); ++i)
        QVERIFY(w.moves[i].x >= w.moves[i - 1].x);
    QCOMPARE(w.alphas, std::vector<int>(w.alphas.size(), CNotifierAnimation::kSlideAlpha));

    w.moves.clear();
    QVERIFY(w.RunUntil(CNotifierAnimation::Disappearing));
    QCOMPARE(w.Period(CNotifierAnimation::TimerDisappear), 2u);
    QVERIFY(w.RunUntil(CNotifierAnimation::Hidden));
    QVERIFY(w.moves.size() > 90);
    QCOMPARE(w.moves.back().x, -141 + 5);
    QCOMPARE(rig.animation.GetAlpha(), 0); // sliding leaves the fade's alpha alone
}

void TestTaskbarNotifierAnimation::RightTaskbar_SlidesInToCornerAndBack() {
    Rig rig;
    CFakeWindow& w = rig.window;
    w.rcWork = NotifierRect{0, 0, 964, 768};
    rig.ShowDefault();
    QVERIFY(w.RunUntil(CNotifierAnimation::Showing));
    QCOMPARE(w.moves.front(), (Move{964 - 2 - 5, 768 - 111 - 5, 201, 111}));
    QCOMPARE(w.moves.back(), (Move{964 - 201 - 5, 768 - 111 - 5, 201, 111})); // never past the corner's margin
    QCOMPARE(rig.animation.GetCurrentX(), 964 - 202);

    QVERIFY(w.RunUntil(CNotifierAnimation::Disappearing));
    w.Advance(20);
    w.moves.clear();
    rig.animation.Show(500, 9500, 200, 10);
    QCOMPARE(w.moves, (std::vector<Move>{{964 - 201 - 5, 768 - 111 - 5, 201, 111}}));
    QVERIFY(w.RunUntil(CNotifierAnimation::Hidden, 20000));
    QVERIFY(w.moves.back().x >= 964 - 5); // out behind the task bar again
}

void TestTaskbarNotifierAnimation::TopTaskbar_FadesFivePixelsBelowTopRightCorner() {
    Rig rig;
    CFakeWindow& w = rig.window;
    w.rcWork = NotifierRect{0, 30, 1024, 768};
    rig.ShowDefault();
    QVERIFY(w.RunUntil(CNotifierAnimation::Showing));
    QCOMPARE(w.moves.front(), (Move{1024 - 201 - 5, 30 + 5, 201, 111}));
    QCOMPARE(w.alphas.back(), 200);

    QVERIFY(w.RunUntil(CNotifierAnimation::Disappearing));
    w.moves.clear();
    rig.animation.Show(500, 9500, 200, 10);
    QCOMPARE(w.moves, (std::vector<Move>{{1024 - 201, 30, 201, 111}}));
}

void TestTaskbarNotifierAnimation::Hide_StopsEveryTimerSoNextShowStartsAfresh() {
    Rig rig;
    CFakeWindow& w = rig.window;
    rig.ShowDefault();
    rig.animation.Hide();
    QVERIFY(w.timers.empty());
    w.Advance(20000);
    QVERIFY(w.alphas.empty());

    // Hidden while the stay of a recalled popup runs (state Disappearing, timer 2 running).
    rig.ShowDefault();
    QVERIFY(w.RunUntil(CNotifierAnimation::Disappearing));
    rig.ShowDefault();
    QVERIFY(w.Running(CNotifierAnimation::TimerStay));
    rig.animation.Hide();
    QVERIFY(w.timers.empty());
    QCOMPARE(rig.animation.GetState(), CNotifierAnimation::Hidden);

    rig.ShowDefault();
    QCOMPARE(w.nShows, 3);
    QVERIFY(w.RunUntil(CNotifierAnimation::Appearing));
    QVERIFY(w.RunUntil(CNotifierAnimation::Hidden));
}

void TestTaskbarNotifierAnimation::SkinThinnerThanStep_DoesNotDivideByZero() {
    for (int nSize : {0, 1}) {
        Rig rig(nSize, nSize);
        rig.animation.Show(500, 100, 200, 10);
        QCOMPARE(rig.animation.GetAppearInterval(), 500u);
        QCOMPARE(rig.animation.GetDisappearInterval(), 200u);
        QVERIFY(rig.window.RunUntil(CNotifierAnimation::Showing, 200000));
        QVERIFY(rig.window.RunUntil(CNotifierAnimation::Hidden, 200000));
    }
}

QTEST_GUILESS_MAIN(TestTaskbarNotifierAnimation)
#include "tst_TaskbarNotifierAnimation.moc"
