// The window's geometry with the numbers the rules are written with: the
// bottom-left formulas are computed here as written and compared with the
// top-left results.
#include <gtest/gtest.h>

#include "app/window/view_coordinates.h"
#include "app/window/window_geometry.h"

namespace dvk {
namespace {

TEST(ViewCoordinates, SelectionMapsThroughTheDrawnImage) {
    // A 600 x 400 preview fitted into a 300 x 300 view: drawn 300 x 200, 50 below the top.
    const RectD drawn = drawnImageRect({300, 300}, 600, 400, true);
    EXPECT_EQ(drawn, (RectD{0, 50, 300, 200}));
    // The whole view selected: the whole image, origin (0, 0).
    EXPECT_EQ(selectedImageRect({0, 0, 300, 300}, drawn, 600, 400), (RectD{0, 0, 600, 400}));
    // On a view the image fills, the top-left result equals the bottom-left
    // formula y = H - ry H / fh - height, with ry measured from the bottom.
    const double fw = 300, fh = 200, W = 600, H = 400;
    const RectD sel{30, 40, 60, 50};  // top-left
    const double ry = fh - sel.y - sel.height;
    const double height = sel.height * H / fh;
    const RectD r = selectedImageRect(sel, {0, 0, fw, fh}, W, H);
    EXPECT_DOUBLE_EQ(r.x, sel.x * W / fw);
    EXPECT_DOUBLE_EQ(r.y, H - ry * H / fh - height);
    EXPECT_DOUBLE_EQ(r.width, sel.width * W / fw);
    EXPECT_DOUBLE_EQ(r.height, height);
    // A selection wholly in the margin selects nothing.
    EXPECT_EQ(selectedImageRect({0, 0, 300, 40}, drawn, 600, 400), RectD{});
    // Dragged one to one (no scaling): pixels as they are.
    EXPECT_EQ(selectedImageRect({10, 20, 5, 6}, drawnImageRect({900, 900}, 600, 400, false), 600, 400),
              (RectD{10, 20, 5, 6}));
}

TEST(ViewCoordinates, ClicksMapThroughTheDrawnImageAndStayOnIt) {
    const RectD drawn = drawnImageRect({300, 300}, 600, 400, true);
    // Bottom-left form (fit on): (p.x W / bw - 1, H - p.y H / bh - 1) on the drawn image.
    const PointD p{150, 150};  // top-left view point: 100 into the drawn image
    const double pyBottomLeft = drawn.height - (p.y - drawn.y);
    const PointD q = clickedImagePoint(p, drawn, 600, 400);
    EXPECT_DOUBLE_EQ(q.x, (p.x - drawn.x) * 600 / drawn.width - 1);
    EXPECT_DOUBLE_EQ(q.y, 400 - pyBottomLeft * 400 / drawn.height - 1);
    // Margins clamp to the nearest edge pixel.
    EXPECT_EQ(clickedImagePoint({150, 10}, drawn, 600, 400), (PointD{299, 0}));
    EXPECT_EQ(clickedImagePoint({299, 299}, drawn, 600, 400), (PointD{597, 399}));
    // One to one: (p.x - 1, p.y - 1).
    EXPECT_EQ(clickedImagePoint({41, 31}, {0, 0, 600, 400}, 600, 400), (PointD{40, 30}));
}

TEST(ViewCoordinates, ZoneBox) {
    const int expected[] = {0, 18, 33, 52, 77, 107, 146, 195, 255};
    for (int i = 0; i <= 8; ++i) EXPECT_EQ(zoneBoxX(i), expected[i]) << i;
    // Distances in two rows that never overlap: even zones above, odd below,
    // each reaching to the next of its row (26 at least).
    const ZoneButtonRect zero = zoneButtonRect(0, 12), one = zoneButtonRect(1, 12);
    EXPECT_EQ(zero.y, 0);
    EXPECT_EQ(one.y, 12);
    EXPECT_EQ(zero.x + zero.width, zoneBoxX(2) - 1);  // 0 .. 32: room for "-10.3"
    EXPECT_EQ(one.x + one.width, zoneBoxX(3) - 1);
    EXPECT_EQ(zoneButtonRect(6, 12).width, 256 - 146 - 1);
    const ZoneButtonRect last = zoneButtonRect(7, 12);
    EXPECT_EQ(last.x + last.width, 255);
    for (int i = 0; i + 2 < 8; ++i) {
        const ZoneButtonRect a = zoneButtonRect(i, 12), b = zoneButtonRect(i + 2, 12);
        EXPECT_LT(a.x + a.width, b.x) << i;
        EXPECT_GE(a.width, 26) << i;
    }
    // Labels 30 high at the bottom, zone V 4 above it (34 high box).
    EXPECT_EQ(zoneLabelTop(4, 34), 4);
    EXPECT_EQ(zoneLabelTop(5, 34), 0);
}

WindowResizeInput big(double proposedHeight) {
    WindowResizeInput in;
    in.width = 6000;
    in.height = 4000;
    in.hasWorkingImage = true;
    in.zoomToFit = true;
    in.currentFrame = {1000, 800};
    in.proposedFrame = {1000, proposedHeight};
    in.screenVisible = {3000, 2000};
    return in;
}

TEST(WindowGeometry, WillResizeKeepsTheImageShape) {
    EXPECT_EQ(windowWillResize(big(900)), (SizeD{1606, 900}));
    EXPECT_EQ(windowWillResize(big(500)), (SizeD{1276, 680}));
    // Window decorations are added back around the content.
    WindowResizeInput framed = big(930);
    framed.frameExtra = {0, 30};
    framed.screenVisible = {3000, 2030};
    EXPECT_EQ(windowWillResize(framed), (SizeD{1606, 930}));
    // Wider than the screen: the width is the screen's, the height follows.
    WindowResizeInput narrow = big(1500);
    narrow.screenVisible = {1456, 2000};
    EXPECT_EQ(windowWillResize(narrow), (SizeD{1456, 800}));
    // Zoom off: width up to the screen, height within 680 and the screen.
    WindowResizeInput off = big(300);
    off.zoomToFit = false;
    off.proposedFrame = {5000, 300};
    EXPECT_EQ(windowWillResize(off), (SizeD{3000, 680}));
    // No image: the current frame; another window or no size: as proposed.
    WindowResizeInput none = big(900);
    none.hasWorkingImage = false;
    EXPECT_EQ(windowWillResize(none), (SizeD{1000, 800}));
    none.width = 0;
    EXPECT_EQ(windowWillResize(none), (SizeD{1000, 900}));
}

// A 24-megapixel 3:2 raw (its preview 3000 x 2000) and the chart (867 x 578)
// with the panel's 829 of content height and 23 of menus, on a 1600 x 1000
// and a 1280 x 720 screen.
TEST(WindowGeometry, RealSizesOnABigAndASmallScreen) {
    const auto input = [](unsigned w, unsigned h, SizeD screen, SizeD proposed) {
        WindowResizeInput in;
        in.width = w, in.height = h;
        in.hasWorkingImage = true;
        in.currentFrame = proposed;
        in.proposedFrame = proposed;
        in.screenVisible = screen;
        in.frameExtra = {0, 23};
        in.panelHeight = 829;
        return in;
    };
    const SizeD big{1598, 975}, small{1280, 720};  // (the big one less a window manager's frame)
    // From the empty window (320 x 852): the panel's height, the image's shape.
    EXPECT_EQ(windowWillResize(input(3000, 2000, big, {320, 852})), (SizeD{1499.5, 852}));
    // Enlarged: as wide as the screen, the height follows; the panel still fits.
    EXPECT_EQ(windowWillResize(input(3000, 2000, big, {1598, 975})), (SizeD{1598, 1342.0 * 2 / 3 + 23}));
    // The chart is lower than the panel: the panel's height, the image's width.
    EXPECT_EQ(windowWillResize(input(867, 578, big, {320, 852})), (SizeD{1123, 852}));
    // The small screen: no higher than the screen (the panel scrolls), no wider.
    EXPECT_EQ(windowWillResize(input(3000, 2000, small, {320, 720})), (SizeD{1280, 720}));
    EXPECT_EQ(windowWillResize(input(867, 578, small, {320, 720})), (SizeD{1123, 720}));
    EXPECT_EQ(leastContentHeight(829, 697), 697);
    EXPECT_EQ(leastContentHeight(500, 697), 680);
    EXPECT_EQ(leastContentHeight(829, 0), 829);

    // The empty window asked 256 x 720 takes 320 and its panel's height: placed
    // with that size, wholly on the screen.
    AnchorInput empty;
    empty.size = {256, 720};
    empty.least = {320, 852};
    empty.visible = {0, 0, 1600, 1000};
    EXPECT_EQ(anchorFrameRect(empty), (RectD{1280, 0, 320, 852}));
    empty.topRightPointP = {200, 100};
    EXPECT_EQ(anchorFrameRect(empty), (RectD{1080, 100, 320, 852}));
    empty.visible = {0, 0, 1280, 720};
    empty.least = {320, 720};
    EXPECT_EQ(anchorFrameRect(empty), (RectD{760, 0, 320, 720}));
    empty.topRightPointP = {};
    EXPECT_EQ(anchorFrameRect(empty), (RectD{960, 0, 320, 720}));
}

TEST(WindowGeometry, AnchorPlacesTheTopRightCorner) {
    AnchorInput in;
    in.visible = {0, 25, 1920, 1055};  // below a 25 high top bar
    in.topRightPointL = {10, 20};
    in.topRightPointP = {100, 5};
    in.size = {1200, 700};  // landscape
    // Bottom-left form: x = V.x + V.w - a.x - R.w; the top a.y below V's top.
    EXPECT_EQ(anchorFrameRect(in), (RectD{710, 45, 1200, 700}));
    in.size = {900, 900};  // portrait
    EXPECT_EQ(anchorFrameRect(in), (RectD{920, 30, 900, 900}));
    // Sticking out on the left: moved to the right edge.
    in.topRightPointL = {1000, 20};
    in.size = {1200, 700};
    EXPECT_EQ(anchorFrameRect(in), (RectD{720, 45, 1200, 700}));
    // Sticking out at the bottom: moved to the top.
    in.topRightPointL = {10, 500};
    EXPECT_EQ(anchorFrameRect(in), (RectD{710, 25, 1200, 700}));
    // Larger than the visible area: cut to it, the whole window on the screen.
    in.size = {2000, 1200};
    in.topRightPointL = {10, 10};
    EXPECT_EQ(anchorFrameRect(in), (RectD{0, 25, 1920, 1055}));
    // Full screen: centred with the window's current size.
    in.fullScreen = true;
    in.screen = {1920, 1080};
    in.currentFrame = {1000, 600};
    EXPECT_EQ(anchorFrameRect(in), (RectD{460, 240, 2000, 1200}));
    // The anchor a moved window records gives its frame back.
    AnchorInput back;
    back.visible = {0, 25, 1920, 1055};
    back.size = {1200, 700};
    back.topRightPointL = cornerDistance({300, 100, 1200, 700}, {0, 25, 1920, 1055});
    EXPECT_EQ(anchorFrameRect(back), (RectD{300, 100, 1200, 700}));
}

TEST(WindowGeometry, ScrollViewPlacement) {
    // Content taller than the image: the image's height at the top.
    EXPECT_EQ(scrollViewPlacement({1000, 800}, 600, 400), (RectD{0, 0, 600, 400}));
    EXPECT_EQ(scrollViewPlacement({700, 300}, 600, 400), (RectD{0, 0, 444, 300}));
}

}  // namespace
}  // namespace dvk
