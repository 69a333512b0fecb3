#include "app/window/view_coordinates.h"

#include <algorithm>

#include "app/window/info_readout.h"

namespace dvk {

RectD drawnImageRect(SizeD view, double imageWidth, double imageHeight, bool scaleDown) {
    if (!(imageWidth > 0) || !(imageHeight > 0)) return {};
    if (!scaleDown) return {0, 0, imageWidth, imageHeight};
    const double s = std::min({1.0, view.width / imageWidth, view.height / imageHeight});
    const double w = imageWidth * s, h = imageHeight * s;
    return {(view.width - w) / 2, (view.height - h) / 2, w, h};
}

RectD selectedImageRect(const RectD& selection, const RectD& drawn, double imageWidth, double imageHeight) {
    const RectD r = selection.intersected(drawn);
    if (r.isEmpty() || drawn.isEmpty()) return {};
    const double sx = imageWidth / drawn.width, sy = imageHeight / drawn.height;
    // Bottom-left form: y = H - ry * H / fh - height; measured from the top
    // of the drawn image this is simply its distance from that top, scaled.
    return {(r.x - drawn.x) * sx, (r.y - drawn.y) * sy, r.width * sx, r.height * sy};
}

PointD clickedImagePoint(PointD p, const RectD& drawn, double imageWidth, double imageHeight) {
    if (drawn.isEmpty() || !(imageWidth > 0) || !(imageHeight > 0)) return {};
    // Bottom-left form: (p.x W / bw - 1, H - p.y H / bh - 1).
    const double x = (p.x - drawn.x) * imageWidth / drawn.width - 1;
    const double y = (p.y - drawn.y) * imageHeight / drawn.height - 1;
    return {std::clamp(x, 0.0, imageWidth - 1), std::clamp(y, 0.0, imageHeight - 1)};
}

int zoneBoxX(int zone) {
    if (zone >= kZoneCount) return 255;
    return static_cast<int>(kZoneBounds[std::max(zone, 0)] * 2.55f);
}

ZoneButtonRect zoneButtonRect(int zone, int rowHeight) {
    const int x = zoneBoxX(zone);
    // The next button of the same row (or the box's right end, 256).
    const int next = zone + 2 < kZoneCount ? zoneBoxX(zone + 2) : 256;
    return {x, zone % 2 == 0 ? 0 : rowHeight, std::max(kZoneButtonWidth, next - x - 1), rowHeight};
}

int zoneLabelTop(int zone, int boxHeight) {
    const int bottom = zone == 5 ? 4 : 0;
    return boxHeight - bottom - kZoneLabelHeight;
}

}  // namespace dvk
