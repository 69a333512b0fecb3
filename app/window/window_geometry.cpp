#include "app/window/window_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace dvk {

double leastContentHeight(double panelHeight, double screenHeight) {
    const double least = std::max(kMinContentHeight, panelHeight);
    return screenHeight > 0 ? std::min(least, screenHeight) : least;
}

SizeD windowWillResize(const WindowResizeInput& in) {
    if (!in.isMainWindow || in.width == 0 || in.height == 0) return in.proposedFrame;
    if (!in.hasWorkingImage) return in.currentFrame;
    const double W = in.width, H = in.height;
    double cw, ch;
    if (in.fullScreen) {
        cw = W + kSidePanelWidth;
        ch = H;
    } else {
        cw = std::min(in.proposedFrame.width - in.frameExtra.width, W + kSidePanelWidth);
        ch = std::min(in.proposedFrame.height - in.frameExtra.height, H);
    }
    const double sw = in.screenVisible.width - in.frameExtra.width;
    const double sh = in.screenVisible.height - in.frameExtra.height;
    const double least = leastContentHeight(in.panelHeight, sh);
    double w, h;
    if (in.zoomToFit) {
        h = ch;
        w = h * W / H + kSidePanelWidth;
        if (w > sw) {
            w = sw;
            h = (sw - kSidePanelWidth) * H / W;
        }
        if (h > sh) {
            h = sh;
            w = sh * W / H + kSidePanelWidth;
        }
        if (h < least) {
            h = least;
            // As an unsigned 32-bit division: the width in whole pixels.
            const std::uint32_t scaled =
                static_cast<std::uint32_t>(in.width) * static_cast<std::uint32_t>(least) / in.height;
            w = static_cast<double>(scaled) + kSidePanelWidth;
        }
        if (w - kSidePanelWidth > W) w = W + kSidePanelWidth;
        // The least height may have widened it beyond the screen.
        if (sw > 0) w = std::min(w, sw);
    } else {
        w = std::min(sw, cw);
        h = std::max(least, std::min(sh, ch));
    }
    return {w + in.frameExtra.width, h + in.frameExtra.height};
}

RectD anchorFrameRect(const AnchorInput& in) {
    if (in.fullScreen)
        return {in.screen.width / 2 - in.currentFrame.width / 2, in.screen.height / 2 - in.currentFrame.height / 2,
                in.size.width, in.size.height};
    // Bottom-left form: y = V.y + V.h - a.y - R.h, the top a.y below V's top.
    const PlacementRect v{in.visible.x, in.visible.y, in.visible.width, in.visible.height};
    const double width = std::max(in.size.width, in.least.width), height = std::max(in.size.height, in.least.height);
    const CornerDistance& a = isPortraitFrame(width, height) ? in.topRightPointP : in.topRightPointL;
    const PlacementRect r = placeAtCorner(width, height, a, v);
    return {r.x, r.y, r.width, r.height};
}

RectD scrollViewPlacement(SizeD content, unsigned width, unsigned height) {
    const double w = std::min(static_cast<double>(width), content.width - kSidePanelWidth);
    // Bottom-left form: at (0, content height - height) when the content is
    // taller than the image, i.e. at the top.
    const double h = content.height > height ? static_cast<double>(height) : content.height;
    return {0, 0, std::max(w, 0.0), h};
}

}  // namespace dvk
