// convert_to_no_cfa: treat a mosaic image as if its sensor had no colour
// filter (for cameras whose filter was removed).
#include "core/colour_pattern.h"
#include "pipeline/load/raw_loader.h"

namespace dvk {

void convert_to_no_cfa(DVKLib* d) {
    LibRaw_DVK& raw = *d->libraw;
    const float mul[4] = {float(d->auto_wb[0] / d->auto_wb[1]), 1.0f, float(d->auto_wb[2] / d->auto_wb[1]),
                          float(d->auto_wb[3] / d->auto_wb[1])};
    const unsigned iw = raw.imgdata.sizes.iwidth, ih = raw.imgdata.sizes.iheight;
    float* data = d->image_data();
    const ColourPattern colour(raw);
    if (data) {
        for (unsigned row = 0; row < ih; ++row) {
            float* line = data + std::size_t(row) * iw * 4;
            for (unsigned col = 0; col < iw; ++col) {
                float* px = line + 4 * col;
                const int c = colour(row, col);
                const float v = px[c] * mul[c];
                px[0] = px[1] = px[2] = px[3] = v;
            }
        }
    }
    for (int c = 0; c < 3; ++c) {
        raw.imgdata.color.cam_mul[c] = 1.0f;
        d->auto_wb[c] = 1.0;
    }
    raw.imgdata.idata.filters = 0;
}

}  // namespace dvk
