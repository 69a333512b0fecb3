// Border fill: the outer rows and columns get the mean of their 3 x 3
// neighbours of each missing colour.
#include "pipeline/demosaic/cfa_map.h"
#include "pipeline/demosaic/demosaic.h"

namespace dvk {

void border_interpolate(DVKLib* d, unsigned border, float* image, unsigned width, unsigned height) {
    if (!image || width == 0 || height == 0) return;
    const CfaMap cfa(d);
    const int colors = cfa.colors();
    const long w = width, h = height, b = border;
    for (long row = 0; row < h; ++row) {
        const bool inner_row = row >= b && row < h - b;
        for (long col = 0; col < w; ++col) {
            // Inner rows visit only the outer columns. The jump never goes
            // backwards, so bands narrower than twice the border are simply
            // visited in full.
            if (col == b && inner_row && w - b > col) col = w - b;
            if (col >= w) break;
            float sum[4] = {0, 0, 0, 0};
            unsigned count[4] = {0, 0, 0, 0};
            for (long y = row - 1; y <= row + 1; ++y) {
                if (y < 0 || y >= h) continue;
                for (long x = col - 1; x <= col + 1; ++x) {
                    if (x < 0 || x >= w) continue;
                    const int f = cfa(unsigned(y), unsigned(x));
                    sum[f] += image[(y * w + x) * 4 + f];
                    ++count[f];
                }
            }
            const int own = cfa(unsigned(row), unsigned(col));
            float* pix = image + (row * w + col) * 4;
            for (int c = 0; c < colors && c < 4; ++c)
                if (c != own && count[c]) pix[c] = sum[c] / float(count[c]);
        }
    }
}

}  // namespace dvk
