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

bool overlaps(const PlacementRect& a, const PlacementRect& b) {
    return a.width > 0 && a.height > 0 && b.width > 0 && b.height > 0 && a.x < b.x + b.width &&
           b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

bool coversMenuBandOrPanel(const PlacementRect& r, const MainWindowParts& main) {
    const PlacementRect& m = main.frame;
    return overlaps(r, {m.x, m.y, m.width, std::max(main.menuBand, 0.0)}) || overlaps(r, main.panel);
}

PlacementRect besideFrame(const SecondarySize& size, const MainWindowParts& main, const PlacementRect& v,
                          const std::vector<PlacementRect>& others) {
    const bool screen = v.width > 0 && v.height > 0;
    double width = size.width, height = size.height;
    if (screen) {
        width = std::min(width, v.width);
        height = std::min(height, v.height);
    }
    const PlacementRect& m = main.frame;
    const PlacementRect sides[] = {
        {m.x - width, m.y, width, height},      // left, tops aligned
        {m.x + m.width, m.y, width, height},    // right
        {m.x, m.y + m.height, width, height},   // below, left edges aligned
        {m.x, m.y - height, width, height},     // above
    };
    // Beside means clear of the main window along one axis: along the other
    // the window may slide to stay on the screen, or to keep clear of the
    // other secondary windows.
    const auto beside = [&](std::size_t side, const PlacementRect& r) {
        return side < 2 ? (r.x + r.width <= m.x || r.x >= m.x + m.width)
                        : (r.y + r.height <= m.y || r.y >= m.y + m.height);
    };
    const auto clearOfOthers = [&](const PlacementRect& r) {
        return std::none_of(others.begin(), others.end(), [&](const PlacementRect& o) { return overlaps(r, o); });
    };
    for (std::size_t side = 0; side < std::size(sides); ++side) {
        std::vector<PlacementRect> tries{sides[side]};
        for (const PlacementRect& o : others) {
            PlacementRect after = sides[side], before = sides[side];
            if (side < 2) {
                after.y = o.y + o.height;
                before.y = o.y - height;
            } else {
                after.x = o.x + o.width;
                before.x = o.x - width;
            }
            tries.push_back(after);
            tries.push_back(before);
        }
        for (const PlacementRect& t : tries) {
            const PlacementRect r = keptInside(t, v);
            if (beside(side, r) && clearOfOthers(r)) return r;
        }
    }
    for (std::size_t side = 0; side < std::size(sides); ++side) {
        const PlacementRect r = keptInside(sides[side], v);
        if (beside(side, r)) return r;
    }

    // No room beside it: on the image's side of the panel, below the menu
    // band, down to the bottom of the free area (so over the image's lower
    // part and the free area around it, the panel and the menus clear).
    const double top = std::max(m.y + std::max(main.menuBand, 0.0), screen ? v.y : m.y);
    const double left = screen ? v.x : m.x, right = screen ? v.x + v.width : m.x + m.width;
    const double floor = screen ? v.y + v.height : m.y + m.height;
    bool imageLeftOfPanel = true;
    PlacementRect room{left, top, right - left, floor - top};
    if (main.panel.width > 0) {
        const double panelRight = main.panel.x + main.panel.width;
        imageLeftOfPanel = main.panel.x - m.x >= m.x + m.width - panelRight;
        room = imageLeftOfPanel ? PlacementRect{left, top, main.panel.x - left, floor - top}
                                : PlacementRect{panelRight, top, right - panelRight, floor - top};
    }
    const auto at_bottom = [&](double w, double h) {
        return PlacementRect{imageLeftOfPanel ? room.x : room.x + room.width - w, floor - h, w, h};
    };
    if (room.width > 0 && room.height > 0 && room.width >= std::min(size.leastWidth, width) &&
        room.height >= std::min(size.leastHeight, height)) {
        const PlacementRect r = at_bottom(std::min(width, room.width), std::min(height, room.height));
        // Along the bottom past the other secondary windows there, where the
        // room reaches.
        if (!clearOfOthers(r))
            for (const PlacementRect& o : others) {
                PlacementRect next = r;
                next.x = imageLeftOfPanel ? o.x + o.width : o.x - r.width;
                if (next.x >= room.x && next.x + next.width <= room.x + room.width && clearOfOthers(next))
                    return keptInside(next, v);
            }
        return keptInside(r, v);
    }
    // Not even there: over the panel's lower part, as high as the room below
    // the menu band allows.
    if (room.height > 0) height = std::min(height, std::max(room.height, std::min(size.leastHeight, height)));
    return keptInside(at_bottom(width, height), v);
}

bool placedAgainAfterMainWindowChange(const PlacementRect& frame, const PlacementRect& before,
                                      const MainWindowParts& main) {
    return coversMenuBandOrPanel(frame, main) || (overlaps(frame, main.frame) && !overlaps(frame, before));
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
