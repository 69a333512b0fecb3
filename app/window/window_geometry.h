// The main window's geometry: the size it may take for the image on show, its
// frame anchored at the top-right corner (full screen included; the corner
// rule itself is window_placement.h's), and where the scroll view sits in
// it. Screen rectangles are top-left (y downwards).
#pragma once

#include <string>

#include "app/window/geometry.h"
#include "app/window/window_placement.h"  // kSidePanelWidth, the corner rule

namespace dvk {

// The least content height (beside the image: kSidePanelWidth).
inline constexpr double kMinContentHeight = 680;

// The least content height for a side panel `panelHeight` high: the panel
// whole (680 at least), but no more than the screen's `screenHeight` (the
// content height it has room for; 0: unknown, no limit).
double leastContentHeight(double panelHeight, double screenHeight);

struct WindowResizeInput {
    bool isMainWindow = true;
    unsigned width = 0, height = 0;  // the preview's size in pixels
    bool hasWorkingImage = false;
    bool fullScreen = false;
    bool zoomToFit = true;
    SizeD currentFrame;    // the window's frame now
    SizeD proposedFrame;   // the frame size asked for
    SizeD screenVisible;   // the main screen's visible area
    SizeD frameExtra;      // frame size less content size (decorations)
    double panelHeight = 0;  // the side panel with every row shown
};

// The frame size the main window may take (windowWillResize:toSize:): the
// image's shape within the screen, the content no lower than the least
// content height; never larger than the screen.
SizeD windowWillResize(const WindowResizeInput& in);

struct AnchorInput {
    SizeD size;            // the frame to place
    RectD visible;         // the visible area of the window's screen
    CornerDistance topRightPointP, topRightPointL;
    bool fullScreen = false;
    SizeD screen;          // the whole screen (full screen only)
    SizeD currentFrame;    // the window's size now (full screen only)
    SizeD least;           // the least frame the window takes
};

// The frame of `in.size` placed at the anchor for its shape, moved into the
// visible area when it would stick out (anchorFrameRect:). The size is the
// one the window really gets: at least `in.least`, and no larger than the
// visible area, which holds the whole frame.
RectD anchorFrameRect(const AnchorInput& in);

// The scroll view's rectangle in a content area of `content`: the image's
// width at most (the side panel keeps its 256), and the image's height at the
// top when the content is taller than the image.
RectD scrollViewPlacement(SizeD content, unsigned width, unsigned height);

}  // namespace dvk
