// The main window's geometry: the size it may take for the image on show, the
// place of its top-right corner on the screen, and where the scroll view sits
// in it. Screen rectangles are top-left (y downwards); the anchor points keep
// their stored meaning (the distance of the window's top-right corner from
// the top-right corner of the screen's visible area, x leftwards, y
// downwards).
#pragma once

#include <string>

#include "app/geometry.h"

namespace dvk {

// Content width beside the image (the side panel) and the least content height.
inline constexpr double kSidePanelWidth = 256;
inline constexpr double kMinContentHeight = 680;

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
};

// The frame size the main window may take (windowWillResize:toSize:).
SizeD windowWillResize(const WindowResizeInput& in);

// A window frame counts as portrait when it is wider than the side panel and
// at least as high as it is wide less the panel.
bool isPortraitFrame(SizeD frame);

struct AnchorInput {
    SizeD size;            // the frame to place
    RectD visible;         // the visible area of the window's screen
    PointD topRightPointP, topRightPointL;
    bool fullScreen = false;
    SizeD screen;          // the whole screen (full screen only)
    SizeD currentFrame;    // the window's size now (full screen only)
};

// The frame of `in.size` placed at the anchor for its shape, moved into the
// visible area when it would stick out (anchorFrameRect:).
RectD anchorFrameRect(const AnchorInput& in);

// The anchor of a frame on a screen's visible area (what windowDidMove: stores).
PointD cornerDistance(const RectD& visible, const RectD& frame);

// The scroll view's rectangle in a content area of `content`: the image's
// width at most (the side panel keeps its 256), and the image's height at the
// top when the content is taller than the image.
RectD scrollViewPlacement(SizeD content, unsigned width, unsigned height);

// Points as the defaults keep them: "{x, y}".
std::string stringFromPoint(PointD p);
// (0, 0) for a text that is not a point.
PointD pointFromString(const std::string& text);

}  // namespace dvk
