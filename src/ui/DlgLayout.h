// Keeps chosen controls of a window in place when the window changes size: a table of rules, one per control,
// says how each edge follows the client area or an earlier control of the table. The rectangle arithmetic is
// free of windows so that it can be checked on its own.
#pragma once

#include <QPointer>
#include <QWidget>

#include <array>
#include <vector>

namespace lanwick {

// Edge kinds; any other kind gives the coordinate 0.
inline constexpr int kEdgeOffset = 1;       // keeps its distance from the reference side
inline constexpr int kEdgeProportional = 2; // keeps its relative place along the reference's extent
inline constexpr int kEdgeKeepWidth = 3;    // left + registered width; meant for the right edge
inline constexpr int kEdgeKeepHeight = 4;   // top + registered height; meant for the bottom edge

// Side codes of a reference rectangle.
inline constexpr int kSideLeft = 1;
inline constexpr int kSideTop = 2;
inline constexpr int kSideRight = 3;
inline constexpr int kSideBottom = 4;
inline constexpr int kSideHCentre = 5;
inline constexpr int kSideVCentre = 6;

// Left and top inside, right and bottom just outside, in the window's client coordinates.
struct LayoutRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const LayoutRect&) const = default;
};

struct LayoutEdge {
    int nKind = 0;
    int nRef = 0; // 0 for the client area, else the control id of an earlier rule
    int nRefSide = 0;
};

struct LayoutRule {
    int nId = 0; // the control to place; 0 measures the client area and moves nothing
    LayoutEdge left;
    LayoutEdge top;
    LayoutEdge right;
    LayoutEdge bottom;
};

struct LayoutPlacement {
    int nId = 0;
    LayoutRect rcNew;
    bool bTakesPart = false; // visible, so it takes part in the overlap test
    bool bCollapsed = false; // overlapped an earlier control and was made empty
};

// Coordinate and extent of a side code; 0 for an unknown code. Halving truncates toward zero.
int SideCoordinate(const LayoutRect& rc, int nSide);
int SideExtent(const LayoutRect& rc, int nSide);
bool RectsIntersect(const LayoutRect& a, const LayoutRect& b);

// Every reference names the client area or a control whose first rule stands before the referring rule.
bool IsLayoutTableValid(const std::vector<LayoutRule>& rules);

// New rectangles of a valid table from the rectangles measured at registration, the reference rectangle of
// that time and the client rectangle now; takesPart says which controls are visible.
std::vector<LayoutPlacement> ComputeLayout(const std::vector<LayoutRule>& rules,
                                           const std::vector<LayoutRect>& registered, const LayoutRect& rcReference,
                                           const LayoutRect& rcClient, const std::vector<bool>& takesPart);

// The main window's table: hidden frame 1009, separator 1008, machine list 1000, address 1002, group filter 1001.
inline constexpr std::array<LayoutRule, 5> kMainDlgLayout = {{
    {1009, {1, 0, 1}, {1, 0, 2}, {1, 0, 3}, {1, 0, 4}},
    {1008, {1, 0, 1}, {2, 1009, 2}, {1, 0, 3}, {4, 0, 2}},
    {1000, {1, 0, 1}, {1, 0, 2}, {1, 0, 3}, {1, 1008, 2}},
    {1002, {1, 0, 1}, {1, 1008, 4}, {3, 0, 3}, {4, 0, 4}},
    {1001, {1, 0, 1}, {1, 0, 2}, {1, 0, 3}, {1, 1000, 2}},
}};

class CDlgLayout {
public:
    CDlgLayout() = default;
    ~CDlgLayout();
    CDlgLayout(const CDlgLayout&) = delete;
    CDlgLayout& operator=(const CDlgLayout&) = delete;

    // Controls are found by their ids (SetControlId) among the window's descendants. With no reference
    // rectangle the window's client rectangle of this moment is taken. The table is copied. Refuses (false,
    // nothing registered) a table that refers to a later or unknown rule, or names a control the window lacks.
    bool Register(QWidget* pWnd, const LayoutRect* prcReference, const LayoutRule* pRules, int nRules);
    // Re-arranges from the registered rectangles and the window's size now; does nothing without registration.
    void Arrange();
    void Release();

    bool IsRegistered() const { return m_pWnd != nullptr; }
    // The results of the last Arrange, in table order.
    const std::vector<LayoutPlacement>& Placements() const { return m_placements; }

private:
    QPointer<QWidget> m_pWnd;
    LayoutRect m_rcReference;
    std::vector<LayoutRule> m_rules;
    std::vector<LayoutRect> m_registered;
    std::vector<QPointer<QWidget>> m_controls;
    std::vector<LayoutPlacement> m_placements;
};

} // namespace lanwick
