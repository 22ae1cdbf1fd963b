// The layout rules: edge arithmetic and overlap collapse on plain rectangles, then the same on real widgets.
#include "controls/ControlId.h"
#include "controls/DialogUnits.h"
#include "ui/DlgLayout.h"

#include <QFrame>
#include <QtTest>

using namespace lanwick;

namespace {

LayoutRect R(int l, int t, int r, int b) {
    return LayoutRect{l, t, r, b};
}

LayoutRect FromDlu(int x, int y, int w, int h) {
    const QRect rc = DluRect(x, y, w, h);
    return R(rc.x(), rc.y(), rc.x() + rc.width(), rc.y() + rc.height());
}

constexpr int kA = 100;
constexpr int kB = 200;
const LayoutRule kFollowAll = {kA, {1, 0, 1}, {1, 0, 2}, {1, 0, 3}, {1, 0, 4}};

// Control A hidden over most of a 400 x 300 window; B a thin bar inside it whose top follows A's height.
const std::vector<LayoutRule> kExampleRules = {kFollowAll, {kB, {1, 0, 1}, {2, kA, 2}, {1, 0, 3}, {4, 0, 2}}};
const std::vector<LayoutRect> kExampleRects = {R(10, 20, 390, 290), R(10, 155, 390, 157)};

// The main window's controls in pixels, and its client area, as the templates give them.
const std::vector<LayoutRule> kMainRules(kMainDlgLayout.begin(), kMainDlgLayout.end());
const std::vector<LayoutRect> kMainRects = {
    FromDlu(0, 5, 250, 195),   // 1009 hidden frame
    FromDlu(7, 113, 252, 1),   // 1008 separator
    FromDlu(7, 22, 252, 90),   // 1000 list
    FromDlu(52, 122, 100, 15), // 1002 address
    R(224, 8, 389, 29),        // 1001 group filter, at its closed height
};
const LayoutRect kMainClient = R(0, 0, DluX(266), DluY(210));

QString Show(const LayoutRect& rc) {
    return QStringLiteral("(%1,%2,%3,%4)").arg(rc.left).arg(rc.top).arg(rc.right).arg(rc.bottom);
}

// Every placement as "(l,t,r,b)", a collapsed one marked with a star.
QString Show(const std::vector<LayoutPlacement>& placements) {
    QStringList parts;
    for (const LayoutPlacement& p : placements)
        parts << Show(p.rcNew) + (p.bCollapsed ? "*" : "");
    return parts.join(' ');
}

QString Layout(const std::vector<LayoutRule>& rules, const std::vector<LayoutRect>& rects, const LayoutRect& reference,
               const LayoutRect& client, const std::vector<bool>& visible) {
    return Show(ComputeLayout(rules, rects, reference, client, visible));
}

QRect ToQRect(const LayoutRect& rc) {
    return QRect(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
}

} // namespace

class TestDlgLayout : public QObject {
    Q_OBJECT
private slots:
    void SideCodes_GiveCoordinatesAndExtents() {
        const LayoutRect rc = R(-5, 10, 20, 41);
        // Left, top, right, bottom, the centres (halving truncates toward zero: -7 / 2 is -3), an unknown code.
        const QList<int> coordinates = {SideCoordinate(rc, kSideLeft),
                                        SideCoordinate(rc, kSideTop),
                                        SideCoordinate(rc, kSideRight),
                                        SideCoordinate(rc, kSideBottom),
                                        SideCoordinate(rc, kSideHCentre),
                                        SideCoordinate(rc, kSideVCentre),
                                        SideCoordinate(R(-7, 0, 0, 0), kSideHCentre),
                                        SideCoordinate(rc, 7)};
        QCOMPARE(coordinates, QList<int>({-5, 10, 20, 41, 7, 25, -3, 0}));
        const QList<int> extents = {SideExtent(rc, kSideLeft), SideExtent(rc, kSideHCentre),
                                    SideExtent(rc, kSideBottom), SideExtent(rc, 0)};
        QCOMPARE(extents, QList<int>({25, 25, 31, 0}));
    }

    // Each row: the placements as "(l,t,r,b)", a collapsed one starred.
    void ComputeLayout_PlacesAndCollapsesAsTheRulesSay() {
        const LayoutRect k400 = R(0, 0, 400, 300);
        const LayoutRect k600 = R(0, 0, 600, 450);
        QCOMPARE(Layout(kExampleRules, kExampleRects, k400, k600, {false, true}), "(10,20,590,440) (10,230,590,232)");
        QCOMPARE(Layout(kExampleRules, kExampleRects, k400, k600, {true, true}), "(10,20,590,440) (0,0,0,0)*");
        // C overlaps only where B collapses to: a collapsed control never collapses a later one.
        std::vector<LayoutRule> withC = kExampleRules;
        withC.push_back({300, {1, 0, 1}, {1, 0, 2}, {1, 0, 3}, {1, 0, 4}});
        std::vector<LayoutRect> withCRects = kExampleRects;
        withCRects.push_back(R(0, 0, 5, 5));
        QCOMPARE(Layout(withC, withCRects, k400, k400, {true, true, true}), "(10,20,390,290) (0,0,0,0)* (0,0,5,5)");
        // A zero-height reference counts as 1: 10 + (13 - 10) * 20 / 1.
        const std::vector<LayoutRule> zero = {{1, {1, 0, 1}, {1, 0, 2}, {1, 0, 3}, {1, 0, 4}},
                                              {2, {1, 0, 1}, {2, 1, 2}, {1, 0, 3}, {4, 0, 0}}};
        QCOMPARE(Layout(zero, {R(0, 10, 50, 10), R(0, 13, 50, 20)}, R(0, 0, 100, 100), R(0, 0, 100, 120), {}),
                 "(0,10,50,30) (0,70,50,77)");
        // An unknown kind gives 0; keep-width follows the new left.
        QCOMPARE(Layout({{1, {1, 0, 3}, {9, 0, 2}, {3, 0, 0}, {4, 0, 0}}}, {R(300, 10, 340, 30)}, k400,
                        R(0, 0, 500, 300), {}),
                 "(400,0,440,20)");

        // The main window: grown (separator top 8 + (184 - 8) * 417 / 317 = 239), minimised, and restored to the
        // registered rectangles.
        QCOMPARE(Show(kMainClient), "(0,0,399,341)");
        const std::vector<bool> visible = {false, true, true, true, true};
        QCOMPARE(Layout(kMainRules, kMainRects, kMainClient, R(0, 0, 599, 441), visible),
                 "(0,8,575,425) (11,239,589,241) (11,36,589,237) (78,253,228,277) (224,8,589,29)");
        QCOMPARE(Layout(kMainRules, kMainRects, kMainClient, R(0, 0, 0, 0), visible),
                 "(0,8,-24,-16) (11,-5,-10,-3) (11,36,-10,-7) (78,9,228,33) (224,8,-10,29)");
        QCOMPARE(Layout(kMainRules, kMainRects, kMainClient, kMainClient, visible),
                 "(0,8,375,325) (11,184,389,186) (11,36,389,182) (78,198,228,222) (224,8,389,29)");
    }

    void TableValidity_RefusesLaterAndUnknownReferences() {
        QVERIFY(IsLayoutTableValid(kExampleRules));
        QVERIFY(IsLayoutTableValid(kMainRules));
        QVERIFY(!IsLayoutTableValid({{1, {1, 2, 1}, {}, {}, {}}, {2, {}, {}, {}, {}}})); // later rule
        QVERIFY(!IsLayoutTableValid({{1, {}, {1, 1, 2}, {}, {}}}));                      // itself
        QVERIFY(!IsLayoutTableValid({{1, {}, {}, {}, {1, 77, 4}}}));                     // unknown
    }

    void Widgets_FollowTheRulesAndCollapseOnlyVisibleOverlaps() {
        QWidget window;
        window.resize(400, 300);
        auto* pA = new QFrame(&window);
        auto* pB = new QFrame(&window);
        SetControlId(pA, kA);
        SetControlId(pB, kB);
        pA->setGeometry(ToQRect(kExampleRects[0]));
        pB->setGeometry(ToQRect(kExampleRects[1]));
        pA->hide();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        CDlgLayout layout;
        layout.Arrange(); // before registration: nothing
        QCOMPARE(pB->geometry(), QRect(10, 155, 380, 2));
        {
            const std::vector<LayoutRule> rules = kExampleRules; // the layout keeps its own copy
            QVERIFY(layout.Register(&window, nullptr, rules.data(), int(rules.size())));
        }
        window.resize(600, 450);
        QTRY_COMPARE(window.size(), QSize(600, 450));
        layout.Arrange();
        QCOMPARE(pA->geometry(), QRect(10, 20, 580, 420));
        QCOMPARE(pB->geometry(), QRect(10, 230, 580, 2));

        pA->show();
        layout.Arrange();
        QVERIFY(layout.Placements()[1].bCollapsed);
        QCOMPARE(layout.Placements()[1].nId, kB);
        QCOMPARE(pB->geometry(), QRect(0, 0, 0, 0));

        // Every arrangement starts from the registered rectangles, so B comes back.
        pA->hide();
        window.resize(400, 300);
        QTRY_COMPARE(window.size(), QSize(400, 300));
        layout.Arrange();
        QCOMPARE(pB->geometry(), QRect(10, 155, 380, 2));
        QCOMPARE(pA->geometry(), QRect(10, 20, 380, 270));
    }

    // Bad tables and windows are refused; nested controls are measured in window coordinates; the client-area
    // rule (id 0) moves nothing; a given reference rectangle stands for the client area; Release stops it all.
    void Register_RefusesBadTablesMeasuresNestedControlsAndReleaseStops() {
        QWidget window;
        window.resize(200, 100);
        auto* pPanel = new QWidget(&window);
        pPanel->setGeometry(20, 10, 150, 80);
        auto* pControl = new QFrame(pPanel);
        SetControlId(pControl, 5);
        pControl->setGeometry(5, 5, 40, 20); // (25, 15) in the window
        CDlgLayout layout;
        const LayoutRule later[] = {{5, {1, kB, 1}, {}, {}, {}}, {kB, {}, {}, {}, {}}};
        QVERIFY(!layout.Register(&window, nullptr, later, 2));
        const LayoutRule missing = {kB, {1, 0, 1}, {1, 0, 2}, {1, 0, 3}, {1, 0, 4}};
        QVERIFY(!layout.Register(&window, nullptr, &missing, 1));
        QVERIFY(!layout.Register(nullptr, nullptr, &kFollowAll, 1));
        QVERIFY(!layout.IsRegistered());

        const LayoutRule rules[] = {{0, {1, 0, 1}, {1, 0, 2}, {1, 0, 3}, {1, 0, 4}},
                                    {5, {1, 0, 3}, {1, 0, 4}, {3, 0, 0}, {4, 0, 0}}};
        QVERIFY(layout.Register(&window, nullptr, rules, 2));
        QVERIFY(layout.IsRegistered());
        window.resize(260, 130);
        layout.Arrange();
        QCOMPARE(Show(layout.Placements()), "(0,0,260,130) (85,45,125,65)");
        QCOMPARE(window.size(), QSize(260, 130));
        QCOMPARE(pControl->geometry(), QRect(65, 35, 40, 20));

        // Against a 160 x 80 reference the 260 x 130 client moves right and bottom out by 100 and 50.
        const LayoutRule follow = {5, {1, 0, 1}, {1, 0, 2}, {1, 0, 3}, {1, 0, 4}};
        const LayoutRect rcReference = R(0, 0, 160, 80);
        QVERIFY(layout.Register(&window, &rcReference, &follow, 1));
        layout.Arrange();
        QCOMPARE(pControl->geometry(), QRect(65, 35, 140, 70));
        layout.Release();
        QVERIFY(!layout.IsRegistered());
        window.resize(300, 300);
        layout.Arrange();
        QCOMPARE(pControl->geometry(), QRect(65, 35, 140, 70));
    }
};

QTEST_MAIN(TestDlgLayout)
#include "tst_DlgLayout.moc"
