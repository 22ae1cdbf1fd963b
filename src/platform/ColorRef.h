// Colours as the program writes them: RGB(red, green, blue) packed as 0x00BBGGRR; all bits set means
// "the system default" wherever a colour argument allows it. Free of Qt so that row logic can use it too.
#pragma once

#include <cstdint>

namespace lanwick {

using COLORREF = std::uint32_t;

// The -1 of colour arguments: take the system's default colour instead.
inline constexpr COLORREF kDefaultColor = 0xFFFFFFFFu;

constexpr COLORREF RGB(int r, int g, int b) {
    return static_cast<COLORREF>(r & 0xFF) | (static_cast<COLORREF>(g & 0xFF) << 8) |
           (static_cast<COLORREF>(b & 0xFF) << 16);
}

constexpr int GetRValue(COLORREF c) {
    return static_cast<int>(c & 0xFF);
}
constexpr int GetGValue(COLORREF c) {
    return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int GetBValue(COLORREF c) {
    return static_cast<int>((c >> 16) & 0xFF);
}

} // namespace lanwick
