// Points, sizes, rectangles and colours of the window framework, and the
// one rule that turns a 100 % length into device pixels at a DPI.
#pragma once

#include <algorithm>
#include <cstdint>

namespace vekui {

constexpr int kBaseDpi = 96;

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point& o) const { return x == o.x && y == o.y; }
};

struct Size {
    int cx = 0;
    int cy = 0;
    bool operator==(const Size& o) const { return cx == o.cx && cy == o.cy; }
};

// Half-open like a Win32 RECT: right and bottom are outside.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    Rect Offset(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
    Rect Intersect(const Rect& o) const {
        Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right), std::min(bottom, o.bottom)};
        return r.IsEmpty() ? Rect{} : r;
    }
    Rect Union(const Rect& o) const {
        if (IsEmpty()) return o;
        if (o.IsEmpty()) return *this;
        return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right), std::max(bottom, o.bottom)};
    }
    bool operator==(const Rect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool operator!=(const Rect& o) const { return !(*this == o); }
};

// 0xAARRGGBB with straight (not premultiplied) alpha.
using Color = uint32_t;
constexpr uint8_t ColorAlpha(Color c) { return static_cast<uint8_t>(c >> 24); }
constexpr uint8_t ColorRed(Color c) { return static_cast<uint8_t>(c >> 16); }
constexpr uint8_t ColorGreen(Color c) { return static_cast<uint8_t>(c >> 8); }
constexpr uint8_t ColorBlue(Color c) { return static_cast<uint8_t>(c); }

// A length of the 100 % layout in device pixels at dpi, rounded to nearest
// (600 -> 900 at 144 dpi, 14 -> 18 at 120 dpi).
constexpr int ScaleLength(int value, int dpi) {
    const long long scaled = static_cast<long long>(value) * dpi;
    return static_cast<int>(scaled >= 0 ? (scaled + kBaseDpi / 2) / kBaseDpi : -((-scaled + kBaseDpi / 2) / kBaseDpi));
}
inline Rect ScaleRect(const Rect& r, int dpi) {
    return {ScaleLength(r.left, dpi), ScaleLength(r.top, dpi), ScaleLength(r.right, dpi), ScaleLength(r.bottom, dpi)};
}
// The scale in percent that picks image variants: 100, 125, 150, 175, 200.
constexpr int ScalePercent(int dpi) { return (dpi * 100 + kBaseDpi / 2) / kBaseDpi; }

}  // namespace vekui
