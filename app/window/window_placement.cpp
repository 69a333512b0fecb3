#include "app/window/window_placement.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>

#include "platform/user_defaults.h"

namespace dvk {

namespace {

bool contains(const PlacementRect& outer, const PlacementRect& r) {
    return r.x >= outer.x && r.y >= outer.y && r.x + r.width <= outer.x + outer.width &&
           r.y + r.height <= outer.y + outer.height;
}

// Shortest text that reads back as the same double, whatever the locale.
std::string numberText(double v) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

// A number at p (after blanks); advances p past it.
bool readNumber(const char*& p, const char* end, double& v) {
    while (p < end && *p == ' ') ++p;
    auto r = std::from_chars(p, end, v);
    if (r.ec != std::errc()) return false;
    p = r.ptr;
    while (p < end && *p == ' ') ++p;
    return true;
}

}  // namespace

bool isPortraitFrame(double width, double height) {
    return width > kSidePanelWidth && height >= width - kSidePanelWidth;
}

const char* cornerKeyForFrame(double width, double height) {
    return isPortraitFrame(width, height) ? "topRightPointP" : "topRightPointL";
}

CornerDistance cornerDistance(const PlacementRect& f, const PlacementRect& v) {
    return {(v.x + v.width) - (f.x + f.width), f.y - v.y};
}

PlacementRect placeAtCorner(double width, double height, const CornerDistance& c, const PlacementRect& v) {
    if (v.width > 0) width = std::min(width, v.width);
    if (v.height > 0) height = std::min(height, v.height);
    PlacementRect r{v.x + v.width - c.dx - width, v.y + c.dy, width, height};
    if (contains(v, r)) return r;
    const double pinnedX = v.x + v.width - width;
    const double pinnedY = v.y;
    if (contains(v, {pinnedX, r.y, width, height})) return {pinnedX, r.y, width, height};
    if (contains(v, {r.x, pinnedY, width, height})) return {r.x, pinnedY, width, height};
    return {pinnedX, pinnedY, width, height};
}

PlacementRect keptInside(PlacementRect r, const PlacementRect& v) {
    if (!(v.width > 0) || !(v.height > 0)) return r;
    r.width = std::min(r.width, v.width);
    r.height = std::min(r.height, v.height);
    r.x = std::clamp(r.x, v.x, v.x + v.width - r.width);
    r.y = std::clamp(r.y, v.y, v.y + v.height - r.height);
    return r;
}

PlacementRect besideFrame(double width, double height, const PlacementRect& m, double menuBand,
                          const PlacementRect& v) {
    if (v.width > 0) width = std::min(width, v.width);
    if (v.height > 0) height = std::min(height, v.height);
    const PlacementRect candidates[] = {
        {m.x - width, m.y, width, height},      // left, tops aligned
        {m.x + m.width, m.y, width, height},    // right
        {m.x, m.y + m.height, width, height},   // below, left edges aligned
        {m.x, m.y - height, width, height},     // above
    };
    for (std::size_t i = 0; i < std::size(candidates); ++i) {
        // Beside means clear of the main window along one axis: along the
        // other the window may slide to stay on the screen.
        PlacementRect r = keptInside(candidates[i], v);
        const bool clear = i < 2 ? (r.x + r.width <= m.x || r.x >= m.x + m.width)
                                 : (r.y + r.height <= m.y || r.y >= m.y + m.height);
        if (clear) return r;
    }
    // Over the main window, from the free area's left edge (its panel, on
    // its right, stays in view as far as can be) and below its menu bar.
    const double top = std::max(v.y, m.y + std::max(menuBand, 0.0));
    if (v.height > 0 && top < v.y + v.height) {
        const PlacementRect r = keptInside({v.x, top, width, std::min(height, v.y + v.height - top)}, v);
        if (r.y >= top) return r;
    }
    return keptInside({v.x, m.y, width, height}, v);
}

std::optional<CornerRecord> cornerRecordForMove(const WindowMove& move) {
    if (!move.byUser || move.fullScreen || move.wayland) return std::nullopt;
    return CornerRecord{cornerKeyForFrame(move.frame.width, move.frame.height),
                        cornerDistance(move.frame, move.available)};
}

std::optional<CornerRecord> recordWindowMove(const WindowMove& move, UserDefaults& defaults) {
    auto record = cornerRecordForMove(move);
    if (!record) return record;
    defaults.setString(record->key, cornerDistanceString(record->distance));
    defaults.synchronize();
    return record;
}

std::string cornerDistanceString(const CornerDistance& d) {
    std::string text = "{";
    text += numberText(d.dx);
    text += ", ";
    text += numberText(d.dy);
    text += '}';
    return text;
}

std::optional<CornerDistance> parseCornerDistance(const std::string& text) {
    const char* p = text.data();
    const char* end = p + text.size();
    double dx = 0, dy = 0;
    while (p < end && *p == ' ') ++p;
    if (p == end || *p++ != '{' || !readNumber(p, end, dx)) return std::nullopt;
    if (p == end || *p++ != ',' || !readNumber(p, end, dy)) return std::nullopt;
    if (p == end || *p++ != '}') return std::nullopt;
    while (p < end && *p == ' ') ++p;
    if (p != end || !std::isfinite(dx) || !std::isfinite(dy)) return std::nullopt;
    return CornerDistance{dx, dy};
}

}  // namespace dvk
