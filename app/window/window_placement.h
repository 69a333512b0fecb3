// Where the main window sits: the distance of its top-right corner from the
// top-right corner of its screen's free area, one for portrait-shaped and one
// for landscape-shaped windows, recorded when the user moves the window and
// used to place it again.
//
// Rectangles are Qt's: origin at the top left, y growing downward. The frame
// is the window's frameGeometry(), the free area the screen's
// availableGeometry(). The distance's y is measured downward from the free
// area's top, so a window under a top panel keeps its place.
#pragma once

#include <optional>
#include <string>

namespace dvk {

class UserDefaults;

struct PlacementRect {
    double x = 0, y = 0, width = 0, height = 0;
};
struct CornerDistance {
    double dx = 0, dy = 0;
};

// Width of the panel beside the image, which the shape rule leaves out.
inline constexpr double kSidePanelWidth = 256;

// A frame is portrait-shaped when it is wider than the side panel and at
// least as high as it is wide without it.
bool isPortraitFrame(double width, double height);

// The corner distance of `frame` within `available` (a zero rectangle when
// the window has no screen).
CornerDistance cornerDistance(const PlacementRect& frame, const PlacementRect& available);

// The origin that puts a frame of `width` x `height` at `corner` within
// `available`; when that leaves the free area, first the right edge, then the
// top edge, then both are pinned to the free area's. A frame larger than the
// free area is first cut to it, so the whole window stays on the screen.
PlacementRect placeAtCorner(double width, double height, const CornerDistance& corner, const PlacementRect& available);

// `frame` cut to the size of `available` and moved into it by the least
// distance (unchanged when it lies inside already, or without a free area).
PlacementRect keptInside(PlacementRect frame, const PlacementRect& available);

// Where a secondary window's frame of `width` x `height` opens: beside the
// main window's frame `main`, on its left, else on its right, else below it,
// else above it; where none of these has room, at the free area's left edge
// just below the main window's menu bar (over the image, clear of the panel
// on the main window's right as far as it can be), cut to the height below
// it. `menuBand` is the height of the frame's top that holds the title bar
// and the menu bar: a secondary window never covers it. Always wholly inside
// `available`.
PlacementRect besideFrame(double width, double height, const PlacementRect& main, double menuBand,
                          const PlacementRect& available);

// The defaults key a frame of this shape records under: "topRightPointP" or
// "topRightPointL".
const char* cornerKeyForFrame(double width, double height);

// What a window move records, or nothing: only moves the user made, outside
// full screen, and where the window system tells windows their place (not on
// Wayland).
struct WindowMove {
    PlacementRect frame, available;
    bool byUser = false, fullScreen = false, wayland = false;
};
struct CornerRecord {
    const char* key;  // "topRightPointP" or "topRightPointL"
    CornerDistance distance;
};
std::optional<CornerRecord> cornerRecordForMove(const WindowMove& move);

// windowDidMove: stores the record of `move` (when there is one) in
// `defaults` as a point string and synchronises; returns it.
std::optional<CornerRecord> recordWindowMove(const WindowMove& move, UserDefaults& defaults);

// The point-string form of the defaults, "{dx, dy}", and back (nullopt for
// text of another form).
std::string cornerDistanceString(const CornerDistance& d);
std::optional<CornerDistance> parseCornerDistance(const std::string& text);

}  // namespace dvk
