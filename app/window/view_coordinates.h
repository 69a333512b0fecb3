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
// Top of a zone's distance button (26 x 10) in a box `boxHeight` high: even
// zones sit 6 above the box's bottom, odd zones on it.
int zoneButtonTop(int zone, int boxHeight);
// Top of a zone's name label (30 high): zone "V" sits 4 above the bottom.
int zoneLabelTop(int zone, int boxHeight);
inline constexpr int kZoneButtonWidth = 26, kZoneButtonHeight = 10, kZoneLabelHeight = 30;

}  // namespace dvk
