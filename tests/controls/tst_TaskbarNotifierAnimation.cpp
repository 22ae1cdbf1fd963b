// The popup's show cycle without a screen: placement, steps and intervals, every Show-in-state reaction and
// the alpha over two cycles, driven by a fake window whose clock and timers the test advances.
#include "controls/NotifierAnimation.h"

#include <QRect>
#include <QTest>

#include <map>
#include <vector>

using lanwick::CNotifierAnimation;
using lanwick::INotifierWindow;
using lanwick::NotifierRect;

namespace {

// Window timers on a virtual millisecond clock: a timer fires every period after its (re)start.
class CFakeWindow final : public INotifierWindow {
public:
    NotifierRect rcWork{0, 0, 1024, 738};
    CNotifierAnimation animation{*this};
    unsigned nNow = 0;
    std::map<int, std::pair<unsigned, unsigned>> timers; // id -> (period, next due)
    std::vector<QRect> moves;
    std::vector<int> alphas;
    int nShows = 0;
    int nHides = 0;
    int nRedraws = 0;

    CFakeWindow() { animation.SetSkinSize(201, 111); }
    NotifierRect GetWorkArea() const override { return rcWork; }
    int GetScreenWidth() const override { return 1024; }
    int GetScreenHeight() const override { return 768; }
    void StartTimer(int nId, unsigned nPeriodMs) override { timers[nId] = {nPeriodMs, nNow + nPeriodMs}; }
    void StopTimer(int nId) override { timers.erase(nId); }
    void ShowPopup() override { ++nShows; }
    void HidePopup() override { ++nHides; }
    void MovePopup(int x, int y, int w, int h) override { moves.push_back(QRect(x, y, w, h)); }
    void SetPopupAlpha(int nAlpha) override { alphas.push_back(nAlpha); }
    void RedrawPopup() override { ++nRedraws; }

    void Show() { animation.Show(500, 9500, 200, 10); }
    bool Running(int nId) const { return timers.count(nId) != 0; }
    unsigned Period(int nId) const { return timers.at(nId).first; }

    // Fires due timers in time order (lower id first on a tie) up to nNow + nMs.
    void Advance(unsigned nMs) {
        const unsigned nEnd = nNow + nMs;
        for (;;) {
            auto due = timers.end();
            for (auto it = timers.begin(); it != timers.end(); ++it) {
                if (it->second.second <= nEnd && (due == timers.end() || it->second.second < due->second.second))
                    due = it;
            }
            if (due == timers.end())
                break;
            nNow = due->second.second;
            due->second.second = nNow + std::max(1u, due->second.first);
            animation.OnTimer(due->first);
        }
        nNow = nEnd;
    }
    // Advances until the state changes to nState, at most nLimitMs; returns false when it never does.
    bool RunUntil(CNotifierAnimation::State nState, unsigned nLimitMs = 60000) {
        for (unsigned t = 0; t < nLimitMs && animation.GetState() != nState; ++t)
            Advance(1);
        return animation.GetState() == nState;
    }
};

std::vector<int> Range(int nFrom, int nTo, int nStep) {
    std::vector<int> v;
    for (int i = nFrom; nStep > 0 ? i <= nTo : i >= nTo; i += nStep)
        v.push_back(i);
    v.push_back(nTo); // the tick that finds the end repeats the last value
    return v;
}

// One cycle per task bar place for a 201 x 111 skin on a 1024 x 768 screen: 111 / 2 = 55 steps give 500 / 55 =
// 9 ms and 200 / 55 = 3 ms; 201 / 2 = 100 steps give 5 ms and 2 ms. Fades show 5 pixels in from the corner;
// slides come from behind the task bar, rest 5 pixels in and go back. A recalled popup rests flush with the corner.
struct Cycle {
    const char* name;
    NotifierRect rcWork;
    CNotifierAnimation::Placement placement;
    unsigned nAppear, nDisappear;
    QPoint first, rest, last, recall; // the first and the resting appear move, the last move, a recall's move
};
const Cycle kCycles[] = {
    {"bottom",
     {0, 0, 1024, 738},
     CNotifierAnimation::TaskbarOnBottom,
     9,
     3,
     {818, 622},
     {818, 622},
     {818, 622},
     {823, 627}},
    {"top", {0, 30, 1024, 768}, CNotifierAnimation::TaskbarOnTop, 9, 3, {818, 35}, {818, 35}, {818, 35}, {823, 30}},
    {"left",
     {60, 0, 1024, 768},
     CNotifierAnimation::TaskbarOnLeft,
     5,
     2,
     {-134, 652},
     {65, 652},
     {-136, 652},
     {65, 652}},
    {"right",
     {0, 0, 964, 768},
     CNotifierAnimation::TaskbarOnRight,
     5,
     2,
     {957, 652},
     {758, 652},
     {959, 652},
     {758, 652}},
};

} // namespace

class TestTaskbarNotifierAnimation : public QObject {
    Q_OBJECT
private slots:
    void Placement_NarrowerWorkAreaWinsAndWiderOrInvertedCountsAsBottom() {
        const auto placement = [](NotifierRect rc) { return CNotifierAnimation::GetPlacement(rc, 1024, 768); };
        QCOMPARE(placement({0, 0, 1024, 768}), CNotifierAnimation::TaskbarOnBottom); // a hidden task bar
        QCOMPARE(placement({60, 30, 1024, 768}), CNotifierAnimation::TaskbarOnLeft);
        // Compared unsigned: a work area wider than the screen never counts as narrower.
        QCOMPARE(placement({0, 0, 2048, 738}), CNotifierAnimation::TaskbarOnBottom);
        QCOMPARE(placement({10, 0, 0, 738}), CNotifierAnimation::TaskbarOnBottom);
    }

    void Cycle_StartsMovesAndEndsByPlacement_data() {
        QTest::addColumn<int>("row");
        for (int i = 0; i < 4; ++i)
            QTest::newRow(kCycles[i].name) << i;
    }

    void Cycle_StartsMovesAndEndsByPlacement() {
        QFETCH(int, row);
        const Cycle& c = kCycles[row];
        CFakeWindow w;
        w.rcWork = c.rcWork;
        w.Show();
        QCOMPARE(w.animation.GetTaskbarPlacement(), c.placement);
        QCOMPARE(w.Period(CNotifierAnimation::TimerAppear), c.nAppear);
        QCOMPARE(w.animation.GetDisappearInterval(), c.nDisappear);
        QCOMPARE(w.nShows, 1); // shown at once, but the state changes only with the first tick
        QCOMPARE(w.animation.GetState(), CNotifierAnimation::Hidden);
        QVERIFY(w.RunUntil(CNotifierAnimation::Showing));
        QCOMPARE(w.moves.front(), QRect(c.first, QSize(201, 111)));
        QCOMPARE(w.moves.back().topLeft(), c.rest);
        const bool bSlide = c.first != c.rest;
        for (std::size_t i = 1; i < w.moves.size(); ++i) {
            const int nTowardsRest = (w.moves[i].x() - w.moves[i - 1].x()) * (c.rest.x() - c.first.x());
            QVERIFY2(nTowardsRest >= 0 && w.moves[i].y() == c.first.y(), "moves only towards the resting place");
        }
        QCOMPARE(w.alphas.back(), bSlide ? CNotifierAnimation::kSlideAlpha : 200);
        QVERIFY(w.RunUntil(CNotifierAnimation::Hidden));
        QCOMPARE(w.moves.back().topLeft(), c.last);
        QCOMPARE(w.animation.GetAlpha(), bSlide ? 0 : 1); // sliding leaves the fade's alpha alone

        w.Show();
        QVERIFY(w.RunUntil(CNotifierAnimation::Disappearing));
        w.Advance(20);
        w.moves.clear();
        w.Show();
        QCOMPARE(w.moves, std::vector<QRect>{QRect(c.recall, QSize(201, 111))});
    }

    void Fade_TakesItsTimesAndRuns0To200ThenLaterCycles1To201() {
        CFakeWindow w;
        w.Show();
        w.Advance(8);
        QVERIFY(w.alphas.empty());
        QVERIFY(w.RunUntil(CNotifierAnimation::Showing));
        QCOMPARE(w.nNow, 101u * 9u); // 100 ticks raise the alpha, the 101st finds 200
        QCOMPARE(w.alphas, Range(2, 200, 2));
        QVERIFY(!w.Running(CNotifierAnimation::TimerAppear));
        w.Advance(9499);
        QVERIFY(!w.Running(CNotifierAnimation::TimerDisappear));
        w.Advance(1);
        QCOMPARE(w.timers.size(), std::size_t(1));
        QCOMPARE(w.Period(CNotifierAnimation::TimerDisappear), 3u);
        w.alphas.clear();
        QVERIFY(w.RunUntil(CNotifierAnimation::Hidden));
        QCOMPARE(w.alphas, Range(199, 1, -1)); // one unit per tick down to 1, so later fade-ins run odd values
        QCOMPARE(w.nHides, 1);
        QVERIFY(w.timers.empty());
        w.alphas.clear();
        w.Show();
        QVERIFY(w.RunUntil(CNotifierAnimation::Showing));
        QCOMPARE(w.alphas, Range(3, 201, 2));
    }

    void Show_InEachStateRestartsRedrawsOrRecalls() {
        CFakeWindow w;
        w.Show();
        w.Advance(5);
        // Hidden before the first tick: the cycle starts again, its timer replaced rather than added to.
        w.animation.Show(1000, 9500, 200, 10);
        QCOMPARE(w.nShows, 2);
        QCOMPARE(w.Period(CNotifierAnimation::TimerAppear), 1000u / 55u);
        w.Advance(17);
        QVERIFY(w.alphas.empty());
        w.Advance(1 + 9 * 18);
        QCOMPARE(w.animation.GetAlpha(), 20);
        // Appearing: only a redraw; the new stay applies at the end, the disappear interval stays.
        w.animation.Show(2000, 3000, 1000, 10);
        QCOMPARE(w.nRedraws, 1);
        QCOMPARE(w.nShows, 2);
        w.Advance(18);
        QCOMPARE(w.animation.GetAlpha(), 22);
        QVERIFY(w.RunUntil(CNotifierAnimation::Showing));
        QCOMPARE(w.Period(CNotifierAnimation::TimerStay), 3000u);
        w.Advance(1000);
        // Showing: the stay starts again with the new time.
        w.animation.Show(500, 2000, 200, 10);
        QCOMPARE(w.nRedraws, 2);
        w.Advance(1999);
        QVERIFY(!w.Running(CNotifierAnimation::TimerDisappear));
        w.Advance(1);
        QCOMPARE(w.Period(CNotifierAnimation::TimerDisappear), 3u);
        // Disappearing: back at rest for a full stay at the alpha reached, then the fade resumes from there.
        w.Advance(30);
        const int nAlpha = w.animation.GetAlpha();
        QVERIFY(nAlpha < 200 && nAlpha > 1);
        w.alphas.clear();
        w.Show();
        QCOMPARE(w.nRedraws, 3);
        QCOMPARE(w.animation.GetState(), CNotifierAnimation::Disappearing);
        QVERIFY(!w.Running(CNotifierAnimation::TimerDisappear));
        w.Advance(9500);
        QVERIFY(w.alphas.empty());
        w.Advance(3);
        QCOMPARE(w.alphas, std::vector<int>{nAlpha - 1});
        // Hidden during such a stay: every timer stops, and the next Show starts afresh.
        w.Advance(3);
        w.Show();
        QVERIFY(w.Running(CNotifierAnimation::TimerStay));
        w.animation.Hide();
        QVERIFY(w.timers.empty());
        QCOMPARE(w.animation.GetState(), CNotifierAnimation::Hidden);
        w.Show();
        QCOMPARE(w.nShows, 3);
        QVERIFY(w.RunUntil(CNotifierAnimation::Appearing));
        QVERIFY(w.RunUntil(CNotifierAnimation::Hidden));
    }

    void SkinThinnerThanStep_DoesNotDivideByZero() {
        for (int nSize : {0, 1}) {
            CFakeWindow w;
            w.animation.SetSkinSize(nSize, nSize);
            w.animation.Show(500, 100, 200, 10);
            QCOMPARE(w.animation.GetAppearInterval(), 500u);
            QCOMPARE(w.animation.GetDisappearInterval(), 200u);
            QVERIFY(w.RunUntil(CNotifierAnimation::Showing, 200000));
            QVERIFY(w.RunUntil(CNotifierAnimation::Hidden, 200000));
        }
    }
};

QTEST_GUILESS_MAIN(TestTaskbarNotifierAnimation)
#include "tst_TaskbarNotifierAnimation.moc"
