// Points, sizes and rectangles in doubles, shared by the window rules.
// Every rectangle here is in top-left coordinates (y grows downwards), as Qt
// draws; the few formulas that were worked out for a bottom-left origin are
// translated once, in view_coordinates.h and window_geometry.h.
#pragma once

#include <algorithm>

namespace dvk {

struct PointD {
    double x = 0, y = 0;
    friend bool operator==(const PointD&, const PointD&) = default;
};

struct SizeD {
    double width = 0, height = 0;
    friend bool operator==(const SizeD&, const SizeD&) = default;
};

struct RectD {
    double x = 0, y = 0, width = 0, height = 0;

    double right() const { return x + width; }
    double bottom() const { return y + height; }
    bool isEmpty() const { return !(width > 0) || !(height > 0); }
    SizeD size() const { return {width, height}; }
    // True when `r` lies wholly inside this rectangle.
    bool contains(const RectD& r) const {
        return r.x >= x && r.y >= y && r.right() <= right() && r.bottom() <= bottom();
    }
    bool contains(const PointD& p) const { return p.x >= x && p.y >= y && p.x < right() && p.y < bottom(); }
    // The common part; the zero rectangle when there is none.
    RectD intersected(const RectD& r) const {
        const double l = std::max(x, r.x), t = std::max(y, r.y);
        const double rr = std::min(right(), r.right()), b = std::min(bottom(), r.bottom());
        if (rr <= l || b <= t) return {};
        return {l, t, rr - l, b - t};
    }
    friend bool operator==(const RectD&, const RectD&) = default;
};

}  // namespace dvk
