// Where the preview sits in its view, and what a point or rectangle of the
// view means in preview pixels. The view works top-left (y downwards); these
// are the one place where the bottom-left click, selection and box-row
// formulas are turned into that form.
#pragma once

#include "app/window/geometry.h"

namespace dvk {

// The rectangle an image of imageWidth x imageHeight pixels covers in a view
// of `view`: scaled proportionally down (never up) and centred when
// `scaleDown`, else drawn one to one at the view's top-left corner.
RectD drawnImageRect(SizeD view, double imageWidth, double imageHeight, bool scaleDown);

// The selected rectangle of the view in preview pixels (origin at the image's
// top-left): the selection is first cut to the drawn image, so a selection
// reaching into the margin around a scaled-down image stays on the image. The
// zero rectangle when nothing of the selection lies on the image.
RectD selectedImageRect(const RectD& selection, const RectD& drawn, double imageWidth, double imageHeight);

// The preview pixel under a click at `p` (view coordinates): the point mapped
// through the drawn image, less one in each direction, and kept inside the
// image (0 .. size - 1), so a click on the margin picks the nearest edge.
PointD clickedImagePoint(PointD p, const RectD& drawn, double imageWidth, double imageHeight);

// The zone box (eight zones of the lightness scale, 2.55 pixels per L*):
// the left edge of zone i, 0 <= i <= 8 (8 is the right end, 255).
int zoneBoxX(int zone);
// A zone's distance button in the box under the zone names: two rows of
// `rowHeight` (the height of the button's text), even zones on the upper row
// and odd zones on the lower one, so neighbours never overlap; each button
// starts at its zone and reaches to the next button of its row, 26 wide at
// least, so that a distance such as "-10.3" shows whole.
struct ZoneButtonRect {
    int x = 0, y = 0, width = 0, height = 0;
};
ZoneButtonRect zoneButtonRect(int zone, int rowHeight);
// Top of a zone's name label (30 high): zone "V" sits 4 above the bottom.
int zoneLabelTop(int zone, int boxHeight);
inline constexpr int kZoneButtonWidth = 26, kZoneLabelHeight = 30;

}  // namespace dvk
