// Dialog units of the window templates turned into pixels, with the one fixed geometry of "MS Sans Serif" 8
// (base units 6 x 13 pixels), so that windows keep their designed proportions whatever font Qt picks.
#pragma once

#include <QRect>

namespace lanwick {

inline constexpr int kDluBaseX = 6;
inline constexpr int kDluBaseY = 13;

// a * b / c rounded to the nearest integer, halves away from zero; -1 when c is 0 or the result overflows,
// as the Windows call of the same name does.
int MulDiv(int a, int b, int c);

int DluX(int x);
int DluY(int y);

// Each of x, y, w and h is converted on its own, as the dialog manager converts a template item.
QRect DluRect(int x, int y, int w, int h);

} // namespace lanwick
