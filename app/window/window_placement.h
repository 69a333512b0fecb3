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
#include <vector>

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

// The main window as secondary windows (keyboard helper, history, profiling
// panel, gamut diagram) see it: its frame, the height of the frame's top
// that holds the title bar and the menu bar (the menu band), and its side
// panel (histogram, readouts, controls; zero width: none). A secondary
// window never covers the menu band or the panel where the screen leaves it
// any choice.
struct MainWindowParts {
    PlacementRect frame;
    double menuBand = 0;
    PlacementRect panel;
};

// A secondary window's frame size, and the least size it can take.
struct SecondarySize {
    double width = 0, height = 0;
    double leastWidth = 0, leastHeight = 0;
};

// Whether two rectangles share any area.
bool overlaps(const PlacementRect& a, const PlacementRect& b);
// Whether `frame` covers any of the main window's menu band or panel.
bool coversMenuBandOrPanel(const PlacementRect& frame, const MainWindowParts& main);

// Where a secondary window's frame goes: beside the main window's frame, on
// its left, else on its right, else below it, else above it (clear of the
// main window along that side, sliding along it to stay on the screen), each
// first where it is clear of the `others` (the other secondary windows on
// show: just below or beside one of them) and then regardless of them.
// Where none of the sides has room: at the bottom of the free area on the
// image's side of the panel (over the image's lower part, below the menu
// band, the panel clear), cut to that room but not below the window's least
// size; where even that has no room, there still, over the panel's lower
// part, the menu band clear as far as the screen allows. Always wholly
// inside `available` (when there is one).
PlacementRect besideFrame(const SecondarySize& size, const MainWindowParts& main, const PlacementRect& available,
                          const std::vector<PlacementRect>& others = {});

// After the main window's frame changed from `before` to `main.frame`:
// whether the secondary window's `frame` is placed again (by besideFrame).
// It is when it covers the menu band or the panel now, or when the main
// window has come over it (it lay clear of the frame before): a window the
// user put over the image stays there while the image's area stays under it.
bool placedAgainAfterMainWindowChange(const PlacementRect& frame, const PlacementRect& before,
                                      const MainWindowParts& main);

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
