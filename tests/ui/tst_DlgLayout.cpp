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

// Control A hidden over most of a 400 x 300 window; B a thin bar inside it whose top follows A's height.
const std::vector<LayoutRule> kExampleRules = {
    {kA, {1, 0, 1}, {1, 0, 2}, {1, 0, 3}, {1, 0, 4}},
    {kB, {1, 0, 1}, {2, kA, 2}, {1, 0, 3}, {4, 0, 2}},
};
const std::vector<LayoutRect> kExampleRects = {R(10, 20, 390, 290), R(10, 155, 390, 157)};

// The main window's controls in pixels, and its client area, as the templates give them.
const std::vector<LayoutRect> kMainRects = {
    FromDlu(0, 5, 250, 195),   // 1009 hidden frame
    FromDlu(7, 113, 252, 1),   // 1008 separator
    FromDlu(7, 22, 252, 90),   // 1000 list
    FromDlu(52, 122, 100, 15), // 1002 address
    R(224, 8, 389, 29),        // 1001 group filter, at its closed height
};
const LayoutRect kMainClient = R(0, 0, DluX(266), DluY(210));

std::vector<LayoutRect> Rects(const std::vector<LayoutPlacement>& placements) {
    std::vector<LayoutRect> rects;
    for (const LayoutPlacement& p : placements) {
        rects.push_back(p.rcNew);
    }
    return rects;
}

QByteArray Show(const LayoutRect& rc) {
    return QStringLiteral("(%1,%2,%3,%4)").arg(rc.left).arg(rc.top).arg(rc.right).arg(rc.bottom).toLatin1();
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
        QCOMPARE(SideCoordinate(rc, kSideLeft), -5);
        QCOMPARE(SideCoordinate(rc, kSideTop), 10);
        QCOMPARE(SideCoordinate(rc, kSideRight), 20);
        QCOMPARE(SideCoordinate(rc, kSideBottom), 41);
        QCOMPARE(SideCoordinate(rc, kSideHCentre), 7);              // 15 / 2 truncated
        QCOMPARE(SideCoordinate(rc, kSideVCentre), 25);             // 51 / 2 truncated
        QCOMPARE(SideCoordinate(R(-7, 0, 0, 0), kSideHCentre), -3); // toward zero, not down
        QCOMPARE(SideCoordinate(rc, 7), 0);
        QCOMPARE(SideExtent(rc, kSideLeft), 25);
        QCOMPARE(SideExtent(rc, kSideHCentre), 25);
        QCOMPARE(SideExtent(rc, kSideBottom), 31);
        QCOMPARE(SideExtent(rc, 0), 0);
    }

    void WorkedExample_GrowsAndLeavesHiddenControlOutOfOverlapTest() {
        const auto placements =
            ComputeLayout(kExampleRules, kExampleRects, R(0, 0, 400, 300), R(0, 0, 600, 450), {false, true});
        QCOMPARE(Show(placements[0].rcNew), Show(R(10, 20, 590, 440)));
        QCOMPARE(Show(placements[1].rcNew), Show(R(10, 230, 590, 232)));
        QVERIFY(!placements[1].bCollapsed);
        QCOMPARE(placements[1].nId, kB);
    }

    void WorkedExample_VisibleAOverlapsAndCollapsesB() {
        const auto placements =
            ComputeLayout(kExampleRules, kExampleRects, R(0, 0, 400, 300), R(0, 0, 600, 450), {true, true});
        QVERIFY(!placements[0].bCollapsed);
        QVERIFY(placements[1].bCollapsed);
        QCOMPARE(Show(placements[1].rcNew), Show(R(0, 0, 0, 0)));
    }

    void CollapsedControl_NeverCollapsesALaterOne() {
        std::vector<LayoutRule> rules = kExampleRules;
        rules.push_back({300, {1, 0, 1}, {1, 0, 2}, {1, 0, 3}, {1, 0, 4}});
        std::vector<LayoutRect> rects = kExampleRects;
        rects.push_back(R(0, 0, 5, 5)); // overlaps only where B collapses to
        const auto placements = ComputeLayout(rules, rects, R(0, 0, 400, 300), R(0, 0, 400, 300), {false, true, true});
        QVERIFY(!placements[1].bCollapsed);
        QVERIFY(!placements[2].bCollapsed);
        const auto collapsed = ComputeLayout(rules, rects, R(0, 0, 400, 300), R(0, 0, 400, 300), {true, true, true});
        QVERIFY(collapsed[1].bCollapsed);
        QVERIFY(!collapsed[2].bCollapsed); // B's empty rectangle at (0, 0) does not touch it
    }

    void ProportionalEdge_WithZeroHeightReferenceDividesByOne() {
        const std::vector<LayoutRule> rules = {
            {1, {1, 0, 1}, {1, 0, 2}, {1, 0, 3}, {1, 0, 4}}, // zero height at registration, grows with the window
            {2, {1, 0, 1}, {2, 1, 2}, {1, 0, 3}, {4, 0, 0}},
        };
        const std::vector<LayoutRect> rects = {R(0, 10, 50, 10), R(0, 13, 50, 20)};
        const auto placements = ComputeLayout(rules, rects, R(0, 0, 100, 100), R(0, 0, 100, 120), {});
        QCOMPARE(Show(placements[0].rcNew), Show(R(0, 10, 50, 30)));
        // c counts as 1: 10 + (13 - 10) * 20 / 1.
        QCOMPARE(placements[1].rcNew.top, 70);
        QCOMPARE(placements[1].rcNew.bottom, 77);
    }

    void UnknownKindGivesZeroAndKeepWidthUsesTheNewLeft() {
        const std::vector<LayoutRule> rules = {{1, {1, 0, 3}, {9, 0, 2}, {3, 0, 0}, {4, 0, 0}}};
        const auto placements = ComputeLayout(rules, {R(300, 10, 340, 30)}, R(0, 0, 400, 300), R(0, 0, 500, 300), {});
        QCOMPARE(Show(placements[0].rcNew), Show(R(400, 0, 440, 20)));
    }

    void TableValidity_RefusesLaterAndUnknownReferences() {
        QVERIFY(IsLayoutTableValid(kExampleRules));
        QVERIFY(IsLayoutTableValid(std::vector<LayoutRule>(kMainDlgLayout.begin(), kMainDlgLayout.end())));
        QVERIFY(!IsLayoutTableValid({{1, {1, 2, 1}, {}, {}, {}}, {2, {}, {}, {}, {}}})); // later rule
        QVERIFY(!IsLayoutTableValid({{1, {}, {1, 1, 2}, {}, {}}}));                      // itself
        QVERIFY(!IsLayoutTableValid({{1, {}, {}, {}, {1, 77, 4}}}));                     // unknown
    }

    void MainWindowTable_GrowsAsTheRulesSay() {
        const std::vector<LayoutRule> rules(kMainDlgLayout.begin(), kMainDlgLayout.end());
        const auto placements =
            ComputeLayout(rules, kMainRects, kMainClient, R(0, 0, kMainClient.right + 200, kMainClient.bottom + 100),
                          {false, true, true, true, true});
        QCOMPARE(Show(kMainClient), Show(R(0, 0, 399, 341)));
        QCOMPARE(Show(placements[0].rcNew), Show(R(0, 8, 575, 425)));
        // 8 + (184 - 8) * 417 / 317 = 239
        QCOMPARE(Show(placements[1].rcNew), Show(R(11, 239, 589, 241)));
        QCOMPARE(Show(placements[2].rcNew), Show(R(11, 36, 589, 237)));
        QCOMPARE(Show(placements[3].rcNew), Show(R(78, 253, 228, 277)));
        QCOMPARE(Show(placements[4].rcNew), Show(R(224, 8, 589, 29)));
        for (const LayoutPlacement& p : placements) {
            QVERIFY(!p.bCollapsed);
        }
    }

    void MainWindowTable_MinimiseAndRestoreGivesBackTheSamePlaces() {
        const std::vector<LayoutRule> rules(kMainDlgLayout.begin(), kMainDlgLayout.end());
        const std::vector<bool> visible = {false, true, true, true, true};
        const auto minimised = ComputeLayout(rules, kMainRects, kMainClient, R(0, 0, 0, 0), visible);
        QCOMPARE(Show(minimised[1].rcNew), Show(R(11, -5, -10, -3)));
        QCOMPARE(Show(minimised[3].rcNew), Show(R(78, 9, 228, 33)));
        const auto restored = ComputeLayout(rules, kMainRects, kMainClient, kMainClient, visible);
        QCOMPARE(Rects(restored), kMainRects);
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
        QCOMPARE(pB->geometry(), QRect(0, 0, 0, 0));

        // Every arrangement starts from the registered rectangles, so B comes back.
        pA->hide();
        window.resize(400, 300);
        QTRY_COMPARE(window.size(), QSize(400, 300));
        layout.Arrange();
        QCOMPARE(pB->geometry(), QRect(10, 155, 380, 2));
        QCOMPARE(pA->geometry(), QRect(10, 20, 380, 270));
    }

    void Widgets_InNestedContainersAreMeasuredInWindowCoordinates() {
        QWidget window;
        window.resize(200, 100);
        auto* pPanel = new QWidget(&window);
        pPanel->setGeometry(20, 10, 150, 80);
        auto* pControl = new QFrame(pPanel);
        SetControlId(pControl, 5);
        pControl->setGeometry(5, 5, 40, 20); // (25, 15) in the window
        const LayoutRule rule = {5, {1, 0, 3}, {1, 0, 4}, {3, 0, 0}, {4, 0, 0}};
        CDlgLayout layout;
        QVERIFY(layout.Register(&window, nullptr, &rule, 1));
        window.resize(260, 130);
        layout.Arrange();
        QCOMPARE(Show(layout.Placements()[0].rcNew), Show(R(85, 45, 125, 65)));
        QCOMPARE(pControl->geometry(), QRect(65, 35, 40, 20));
    }

    void Register_UsesAGivenReferenceRectangle() {
        QWidget window;
        window.resize(400, 300);
        auto* pA = new QFrame(&window);
        SetControlId(pA, kA);
        pA->setGeometry(10, 20, 380, 270);
        const LayoutRect rcReference = R(0, 0, 300, 200);
        CDlgLayout layout;
        QVERIFY(layout.Register(&window, &rcReference, kExampleRules.data(), 1));
        layout.Arrange(); // client 400 x 300 against a 300 x 200 reference: right and bottom move out
        QCOMPARE(pA->geometry(), QRect(10, 20, 480, 370));
    }

    void Register_RefusesBadTablesAndReleaseStops() {
        QWidget window;
        window.resize(100, 100);
        auto* pA = new QFrame(&window);
        SetControlId(pA, kA);
        pA->setGeometry(10, 10, 20, 20);
        CDlgLayout layout;
        const LayoutRule missing = {kB, {1, 0, 1}, {1, 0, 2}, {1, 0, 3}, {1, 0, 4}};
        QVERIFY(!layout.Register(&window, nullptr, &missing, 1));
        const LayoutRule later[] = {{kA, {1, kB, 1}, {}, {}, {}}, {kB, {}, {}, {}, {}}};
        QVERIFY(!layout.Register(&window, nullptr, later, 2));
        QVERIFY(!layout.IsRegistered());
        QVERIFY(!layout.Register(nullptr, nullptr, kExampleRules.data(), 1));

        QVERIFY(layout.Register(&window, nullptr, kExampleRules.data(), 1));
        QVERIFY(layout.IsRegistered());
        layout.Release();
        QVERIFY(!layout.IsRegistered());
        window.resize(300, 300);
        layout.Arrange();
        QCOMPARE(pA->geometry(), QRect(10, 10, 20, 20));
    }

    void ClientAreaRule_MeasuresTheWindowAndMovesNothing() {
        QWidget window;
        window.resize(100, 80);
        const LayoutRule rule = {0, {1, 0, 1}, {1, 0, 2}, {1, 0, 3}, {1, 0, 4}};
        CDlgLayout layout;
        QVERIFY(layout.Register(&window, nullptr, &rule, 1));
        window.resize(120, 90);
        layout.Arrange();
        QCOMPARE(Show(layout.Placements()[0].rcNew), Show(R(0, 0, 120, 90)));
        QCOMPARE(window.size(), QSize(120, 90));
    }
};

QTEST_MAIN(TestDlgLayout)
#include "tst_DlgLayout.moc"
