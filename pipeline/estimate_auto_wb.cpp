// estimate_auto_wb: grey-world white balance over small blocks that are
// neither nearly black nor nearly clipped.
#include <algorithm>

#include "pipeline/image_view.h"
#include "pipeline/raw_loader.h"

namespace dvk {

void estimate_auto_wb(DVKLib* d) {
    LibRaw_DVK& raw = *d->libraw;
    const unsigned iw = raw.imgdata.sizes.iwidth, ih = raw.imgdata.sizes.iheight;
    if (ih < 21 || iw < 21 || !d->image_data()) return;
    RgbgView img(d->image_data(), iw, ih);
    const bool mosaic = raw.imgdata.idata.filters && !raw.imgdata.rawdata.ioparams.shrink;
    const unsigned span = mosaic ? 16 : 8;

    double sum[4] = {0, 0, 0, 0}, count[4] = {0, 0, 0, 0};
    for (unsigned top = 10; top < ih - 10; top += 8) {
        for (unsigned left = 10; left < iw - 10; left += 8) {
            const unsigned bottom = std::min(top + span, ih), right = std::min(left + span, iw);
            double bsum[4] = {0, 0, 0, 0}, bcount[4] = {0, 0, 0, 0};
            bool usable = true;
            for (unsigned row = top; row < bottom && usable; ++row) {
                for (unsigned col = left; col < right; ++col) {
                    const float* px = img.at(col, row);
                    if (mosaic) {
                        const int c = raw.fcol(int(row), int(col));
                        const double v = double(px[c]) * 4000.0;
                        if (v > 3920.0 || v < 8.0) {
                            usable = false;
                            break;
                        }
                        bsum[c] += v;
                        bcount[c] += 1;
                    } else {
                        for (int c = 0; c < 4; ++c) {
                            const double v = double(px[c]) * 4000.0;
                            if (v > 3920.0 || v < 8.0) usable = false;
                            bsum[c] += v;
                            bcount[c] += 1;
                        }
                        if (!usable) break;
                    }
                }
            }
            if (!usable) continue;
            for (int c = 0; c < 4; ++c) {
                sum[c] += bsum[c];
                count[c] += bcount[c];
            }
        }
    }
    for (int c = 0; c < 4; ++c)
        if (sum[c] != 0) d->auto_wb[c] = count[c] / sum[c];
}

}  // namespace dvk
