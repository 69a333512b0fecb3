// normalize_image: black-subtracted samples scaled so that the white level is 1.
#include "pipeline/raw_loader.h"

namespace dvk {

void normalize_image(DVKLib* d, float scale) {
    LibRaw_DVK& raw = *d->libraw;
    const float black = static_cast<float>(raw.imgdata.color.black);
    float range = static_cast<float>(raw.imgdata.color.maximum) - black;
    // A white level at or below the black level (a damaged file) would divide
    // by zero or flip the image; such files are left unscaled.
    if (!(range > 0)) range = 1.0f;
    const float factor = scale / range;

    float peak[4] = {0, 0, 0, 0};
    float* __restrict data = d->image_data();
    const std::size_t pixels = std::size_t(raw.imgdata.sizes.iwidth) * raw.imgdata.sizes.iheight;
    if (data) {
        // Clamp, track the peaks and scale in one pass; zeros (sites without
        // data) stay zero. Four lanes per pixel, so the loop vectorises.
        for (std::size_t i = 0; i < pixels; ++i) {
            float* px = data + 4 * i;
            for (int c = 0; c < 4; ++c) {
                const float v = px[c];
                float t = v - black;
                t = t > 0 ? t : 0;
                peak[c] = t > peak[c] ? t : peak[c];
                px[c] = t * factor;
            }
        }
    }
    for (int c = 0; c < 4; ++c) {
        d->norm_scale[c] = factor;
        const float m = peak[c] / range;
        d->chan_max[c] = m > 1.0f ? 1.0f : m;
    }
}

}  // namespace dvk
