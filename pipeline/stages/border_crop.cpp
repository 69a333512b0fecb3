#include "pipeline/stages/border_crop.h"

#include <cstring>

#include "core/dvklib.h"

namespace dvk {

bool crop_rgbg_border(DVKLib* d, unsigned border) {
    auto& sizes = d->libraw->imgdata.sizes;
    const unsigned w = sizes.iwidth, h = sizes.iheight;
    float* img = d->image_data();
    if (!img || w <= 2 * border || h <= 2 * border) return false;
    const unsigned nw = w - 2 * border, nh = h - 2 * border;
    // Rows move to lower addresses in increasing order; memmove covers the
    // overlap of a row with its own destination.
    for (unsigned r = border; r < h - border; ++r)
        std::memmove(img + static_cast<std::size_t>(r - border) * nw * 4,
                     img + (static_cast<std::size_t>(r) * w + border) * 4, static_cast<std::size_t>(nw) * 16);
    sizes.iwidth = static_cast<unsigned short>(nw);
    sizes.iheight = static_cast<unsigned short>(nh);
    return true;
}

}  // namespace dvk
