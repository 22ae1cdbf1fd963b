// Rule-driven re-arrangement of a window's controls: edge arithmetic, overlap collapse, moving the widgets.
#include "ui/DlgLayout.h"

#include "controls/ControlId.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace lanwick {

namespace {

int Clamp(std::int64_t v) {
    if (v > std::numeric_limits<int>::max()) {
        return std::numeric_limits<int>::max();
    }
    if (v < std::numeric_limits<int>::min()) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(v);
}

int FirstRuleWithId(const std::vector<LayoutRule>& rules, int nId, size_t nLimit) {
    for (size_t j = 0; j < nLimit && j < rules.size(); ++j) {
        if (rules[j].nId == nId) {
            return static_cast<int>(j);
        }
    }
    return -1;
}

// Edge s (1 left, 2 top, 3 right, 4 bottom) of a control registered at O, with N its new rectangle so far.
int ComputeEdge(int s, const LayoutEdge& edge, const LayoutRect& O, const LayoutRect& N, const LayoutRect& R0,
                const LayoutRect& R1) {
    const std::int64_t own = SideCoordinate(O, s);
    switch (edge.nKind) {
    case kEdgeOffset:
        return Clamp(std::int64_t{SideCoordinate(R1, edge.nRefSide)} + (own - SideCoordinate(R0, edge.nRefSide)));
    case kEdgeProportional: {
        std::int64_t c = SideExtent(R0, s);
        if (c <= 0) {
            c = 1;
        }
        const std::int64_t d = SideCoordinate(R0, edge.nRefSide);
        const std::int64_t e = SideExtent(R1, s);
        const std::int64_t f = SideCoordinate(R1, edge.nRefSide);
        // Multiplied first, then divided; C++ division truncates toward zero as required.
        return Clamp(f + ((own - d) * e) / c);
    }
    case kEdgeKeepWidth:
        return Clamp(std::int64_t{N.left} + O.right - O.left);
    case kEdgeKeepHeight:
        return Clamp(std::int64_t{N.top} + O.bottom - O.top);
    default:
        return 0;
    }
}

LayoutRect ClientRect(const QWidget* pWnd) {
    return LayoutRect{0, 0, pWnd->width(), pWnd->height()};
}

} // namespace

int SideCoordinate(const LayoutRect& rc, int nSide) {
    switch (nSide) {
    case kSideLeft:
        return rc.left;
    case kSideTop:
        return rc.top;
    case kSideRight:
        return rc.right;
    case kSideBottom:
        return rc.bottom;
    case kSideHCentre:
        return Clamp((std::int64_t{rc.left} + rc.right) / 2);
    case kSideVCentre:
        return Clamp((std::int64_t{rc.top} + rc.bottom) / 2);
    default:
        return 0;
    }
}

int SideExtent(const LayoutRect& rc, int nSide) {
    switch (nSide) {
    case kSideLeft:
    case kSideRight:
    case kSideHCentre:
        return Clamp(std::int64_t{rc.right} - rc.left);
    case kSideTop:
    case kSideBottom:
    case kSideVCentre:
        return Clamp(std::int64_t{rc.bottom} - rc.top);
    default:
        return 0;
    }
}

bool RectsIntersect(const LayoutRect& a, const LayoutRect& b) {
    return std::max(a.left, b.left) < std::min(a.right, b.right) &&
           std::max(a.top, b.top) < std::min(a.bottom, b.bottom);
}

bool IsLayoutTableValid(const std::vector<LayoutRule>& rules) {
    for (size_t i = 0; i < rules.size(); ++i) {
        for (const LayoutEdge* edge : {&rules[i].left, &rules[i].top, &rules[i].right, &rules[i].bottom}) {
            if (edge->nRef != 0 && FirstRuleWithId(rules, edge->nRef, i) < 0) {
                return false;
            }
        }
    }
    return true;
}

std::vector<LayoutPlacement> ComputeLayout(const std::vector<LayoutRule>& rules,
                                           const std::vector<LayoutRect>& registered, const LayoutRect& rcReference,
                                           const LayoutRect& rcClient, const std::vector<bool>& takesPart) {
    std::vector<LayoutPlacement> result(rules.size());
    for (size_t i = 0; i < rules.size() && i < registered.size(); ++i) {
        const LayoutRule& rule = rules[i];
        result[i].nId = rule.nId;
        LayoutRect& N = result[i].rcNew;
        const LayoutEdge* edges[] = {&rule.left, &rule.top, &rule.right, &rule.bottom};
        int* sides[] = {&N.left, &N.top, &N.right, &N.bottom};
        for (int s = 1; s <= 4; ++s) {
            const LayoutEdge& edge = *edges[s - 1];
            // A reference that is not an earlier rule is taken as the client area (tables are checked anyway).
            const int j = edge.nRef == 0 ? -1 : FirstRuleWithId(rules, edge.nRef, i);
            const LayoutRect& R0 = j < 0 ? rcReference : registered[static_cast<size_t>(j)];
            const LayoutRect& R1 = j < 0 ? rcClient : result[static_cast<size_t>(j)].rcNew;
            *sides[s - 1] = ComputeEdge(s, edge, registered[i], N, R0, R1);
        }
        result[i].bTakesPart = i < takesPart.size() && takesPart[i];
    }
    for (size_t i = 0; i < result.size(); ++i) {
        LayoutPlacement& p = result[i];
        if (p.bTakesPart) {
            for (size_t j = 0; j < i && !p.bCollapsed; ++j) {
                p.bCollapsed = result[j].bTakesPart && RectsIntersect(p.rcNew, result[j].rcNew);
            }
        }
        if (p.bCollapsed) {
            p.rcNew = LayoutRect{};
        }
    }
    return result;
}

CDlgLayout::~CDlgLayout() {
    Release();
}

bool CDlgLayout::Register(QWidget* pWnd, const LayoutRect* prcReference, const LayoutRule* pRules, int nRules) {
    Release();
    if (pWnd == nullptr || nRules < 0 || (nRules > 0 && pRules == nullptr)) {
        return false;
    }
    std::vector<LayoutRule> rules(pRules, pRules + nRules);
    if (!IsLayoutTableValid(rules)) {
        return false;
    }
    std::vector<LayoutRect> registered;
    std::vector<QPointer<QWidget>> controls;
    for (const LayoutRule& rule : rules) {
        QWidget* pControl = nullptr;
        LayoutRect rc = ClientRect(pWnd);
        if (rule.nId != 0) {
            pControl = FindControl(pWnd, rule.nId);
            if (pControl == nullptr) {
                return false;
            }
            const QPoint topLeft = pControl->parentWidget()->mapTo(pWnd, pControl->pos());
            rc =
                LayoutRect{topLeft.x(), topLeft.y(), topLeft.x() + pControl->width(), topLeft.y() + pControl->height()};
        }
        registered.push_back(rc);
        controls.emplace_back(pControl);
    }
    m_pWnd = pWnd;
    m_rcReference = prcReference != nullptr ? *prcReference : ClientRect(pWnd);
    m_rules = std::move(rules);
    m_registered = std::move(registered);
    m_controls = std::move(controls);
    return true;
}

void CDlgLayout::Arrange() {
    if (m_pWnd == nullptr) {
        return;
    }
    std::vector<bool> takesPart(m_rules.size());
    for (size_t i = 0; i < m_rules.size(); ++i) {
        takesPart[i] = m_controls[i] != nullptr && m_controls[i]->isVisible();
    }
    m_placements = ComputeLayout(m_rules, m_registered, m_rcReference, ClientRect(m_pWnd), takesPart);
    for (size_t i = 0; i < m_placements.size(); ++i) {
        QWidget* pControl = m_controls[i];
        if (pControl == nullptr) {
            continue; // the client-area rule, or a control that has gone
        }
        const LayoutRect& rc = m_placements[i].rcNew;
        const QPoint pos = pControl->parentWidget()->mapFrom(m_pWnd.data(), QPoint(rc.left, rc.top));
        pControl->setGeometry(pos.x(), pos.y(), std::max(0, rc.right - rc.left), std::max(0, rc.bottom - rc.top));
    }
}

void CDlgLayout::Release() {
    m_pWnd = nullptr;
    m_rcReference = LayoutRect{};
    m_rules.clear();
    m_registered.clear();
    m_controls.clear();
    m_placements.clear();
}

} // namespace lanwick
