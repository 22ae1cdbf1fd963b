// The popup's caption as it is drawn: lines broken between words and centred in the text rectangle, a line
// wider than the rectangle and the last line that fits (when more text follows) cut with "...".
#pragma once

#include <QStringList>

class QFont;
class QPainter;
class QRect;

namespace lanwick {

// The lines drawn for strCaption in a rectangle of nWidth x nHeight pixels; always at least one line.
QStringList LayoutNotifierCaption(const QString& strCaption, const QFont& font, int nWidth, int nHeight);

// Draws strCaption with the painter's font and pen into rcText, centred both ways while it fits (top-aligned
// when it does not, so that the first lines stay readable); the background is left as it is.
void DrawNotifierCaption(QPainter& dc, const QString& strCaption, const QRect& rcText);

} // namespace lanwick
