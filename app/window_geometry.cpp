#include "app/window_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace dvk {

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
        if (h < kMinContentHeight) {
            h = kMinContentHeight;
            // As an unsigned 32-bit division: the width in whole pixels.
            const std::uint32_t scaled = static_cast<std::uint32_t>(in.width) * 680u / in.height;
            w = static_cast<double>(scaled) + kSidePanelWidth;
        }
        if (w - kSidePanelWidth > W) w = W + kSidePanelWidth;
    } else {
        w = std::min(sw, cw);
        h = std::max(kMinContentHeight, std::min(sh, ch));
    }
    return {w + in.frameExtra.width, h + in.frameExtra.height};
}

bool isPortraitFrame(SizeD frame) {
    return frame.width > kSidePanelWidth && frame.height >= frame.width - kSidePanelWidth;
}

RectD anchorFrameRect(const AnchorInput& in) {
    RectD r{0, 0, in.size.width, in.size.height};
    if (in.fullScreen) {
        r.x = in.screen.width / 2 - in.currentFrame.width / 2;
        r.y = in.screen.height / 2 - in.currentFrame.height / 2;
        return r;
    }
    const PointD a = isPortraitFrame(in.size) ? in.topRightPointP : in.topRightPointL;
    const RectD& v = in.visible;
    // Bottom-left form: y = V.y + V.h - a.y - R.h, the top a.y below V's top.
    r.x = v.right() - a.x - r.width;
    r.y = v.y + a.y;
    if (v.contains(r)) return r;
    const double firstX = r.x;
    r.x = v.right() - r.width;
    if (v.contains(r)) return r;
    r.x = firstX;
    r.y = v.y;
    if (v.contains(r)) return r;
    r.x = v.right() - r.width;
    return r;
}

PointD cornerDistance(const RectD& visible, const RectD& frame) {
    return {visible.right() - frame.right(), frame.y - visible.y};
}

RectD scrollViewPlacement(SizeD content, unsigned width, unsigned height) {
    const double w = std::min(static_cast<double>(width), content.width - kSidePanelWidth);
    // Bottom-left form: at (0, content height - height) when the content is
    // taller than the image, i.e. at the top.
    const double h = content.height > height ? static_cast<double>(height) : content.height;
    return {0, 0, std::max(w, 0.0), h};
}

std::string stringFromPoint(PointD p) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "{%.17g, %.17g}", p.x, p.y);
    return buf;
}

PointD pointFromString(const std::string& text) {
    const char* s = text.c_str();
    while (*s == ' ') ++s;
    if (*s != '{') return {};
    ++s;
    char* end = nullptr;
    const double x = std::strtod(s, &end);
    if (end == s) return {};
    s = end;
    while (*s == ' ') ++s;
    if (*s != ',') return {};
    ++s;
    const double y = std::strtod(s, &end);
    if (end == s) return {};
    s = end;
    while (*s == ' ') ++s;
    if (*s != '}' || !std::isfinite(x) || !std::isfinite(y)) return {};
    return {x, y};
}

}  // namespace dvk
