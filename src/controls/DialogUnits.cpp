// Fixed dialog-unit conversion: 4 horizontal units per base width, 8 vertical units per base height.
#include "controls/DialogUnits.h"

#include <cstdint>
#include <limits>

namespace lanwick {

int MulDiv(int a, int b, int c) {
    if (c == 0) {
        return -1;
    }
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    const std::int64_t divisor = c;
    const bool negative = (product < 0) != (divisor < 0);
    const std::int64_t num = product < 0 ? -product : product;
    const std::int64_t den = divisor < 0 ? -divisor : divisor;
    std::int64_t q = (num + den / 2) / den;
    if (negative) {
        q = -q;
    }
    if (q > std::numeric_limits<int>::max() || q < std::numeric_limits<int>::min()) {
        return -1;
    }
    return static_cast<int>(q);
}

int DluX(int x) {
    return MulDiv(x, kDluBaseX, 4);
}

int DluY(int y) {
    return MulDiv(y, kDluBaseY, 8);
}

QRect DluRect(int x, int y, int w, int h) {
    return QRect(DluX(x), DluY(y), DluX(w), DluY(h));
}

} // namespace lanwick
