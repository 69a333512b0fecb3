// White balance measured on an area of the working image.
#include <cmath>

#include "core/dvklib.h"
#include "pipeline/stages/highlight_recovery.h"

namespace dvk {

namespace {

// Means of the non-zero samples of rows [r0, r1) and columns [c0, c1).
void measure(DVKLib* d, long r0, long r1, long c0, long c1) {
    if (!d || !d->image || !d->libraw) return;
    const long w = d->libraw->imgdata.sizes.iwidth, h = d->libraw->imgdata.sizes.iheight;
    if (r0 < 0) r0 = 0;
    if (c0 < 0) c0 = 0;
    if (r1 > h) r1 = h;
    if (c1 > w) c1 = w;
    const int fourth = d->libraw->imgdata.idata.filters != 0 ? 3 : 1;
    const int chan[4] = {0, 1, 2, fourth};
    double sum[4] = {0, 0, 0, 0};
    long count[4] = {0, 0, 0, 0};
    for (long r = r0; r < r1; ++r)
        for (long c = c0; c < c1; ++c) {
            const float* p = d->image.get() + (static_cast<std::size_t>(r) * static_cast<std::size_t>(w) + static_cast<std::size_t>(c)) * 4;
            for (int k = 0; k < 4; ++k) {
                const float v = p[chan[k]];
                if (v != 0) {
                    sum[k] += v;
                    ++count[k];
                }
            }
        }
    for (int k = 0; k < 4; ++k)
        if (count[k] == 0 || sum[k] == 0) return;
    const double mR = sum[0] / count[0], mG = sum[1] / count[1], mB = sum[2] / count[2], m4 = sum[3] / count[3];
    d->area_wb_ev[0] = static_cast<float>(std::log2(mG / mR));
    d->area_wb_ev[1] = 0;
    d->area_wb_ev[2] = static_cast<float>(std::log2(mG / mB));
    d->area_wb_ev[3] = static_cast<float>(std::log2(mG / m4));
}

}  // namespace

void balance_at_point(DVKLib* d, unsigned x, unsigned y, unsigned size) {
    const long half = static_cast<long>(size / 2);
    const long y0 = static_cast<long>(y) - half, x0 = static_cast<long>(x) - half;
    measure(d, y0, y0 + static_cast<long>(size), x0, x0 + static_cast<long>(size));
}

void balance_at_rect(DVKLib* d, unsigned x, unsigned y, unsigned width, unsigned height) {
    measure(d, static_cast<long>(y), static_cast<long>(y) + static_cast<long>(height), static_cast<long>(x),
            static_cast<long>(x) + static_cast<long>(width));
}

}  // namespace dvk
