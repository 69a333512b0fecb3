// Blur of the a and b channels of a Lab image.
#include <cstdio>
#include <vector>

#include "pipeline/stages/box_blur.h"
#include "pipeline/stages/detail_stages.h"

namespace dvk {

void blur_ab_channels(DVKLib* d, float* const* rows, unsigned width, unsigned height, int blurAB) {
    if (!blurAB || !rows || width == 0 || height == 0) return;
    // a and b blur independently with the same window: one pass does both.
    const bool ok = box_blur_rows(rows, 3, 1, 2, width, height, 1, 3.0, [&](unsigned row, const float* blurred) {
        float* p = rows[row];
        for (unsigned x = 0; x < width; ++x) {
            p[3 * x + 1] = blurred[2 * x];
            p[3 * x + 2] = blurred[2 * x + 1];
        }
    });
    if (!ok)
        std::fprintf(stderr, "Can't allocate %lu bytes in blur\n", static_cast<unsigned long>(width) * height * 4);
}

bool blur_ab_channels(DVKLib* d, float* const* rows, unsigned width, unsigned height, int blurAB,
                      const std::function<void(unsigned first, unsigned end)>& ready,
                      const std::function<void(unsigned row)>& done) {
    if (!rows || width == 0 || height == 0) return true;
    if (!blurAB) {
        for (unsigned y = 0; y < height; ++y) {
            ready(y, y + 1);
            done(y);
        }
        return true;
    }
    return box_blur_rows(
        rows, 3, 1, 2, width, height, 1, 3.0,
        [&](unsigned row, const float* blurred) {
            float* p = rows[row];
            for (unsigned x = 0; x < width; ++x) {
                p[3 * x + 1] = blurred[2 * x];
                p[3 * x + 2] = blurred[2 * x + 1];
            }
            done(row);
        },
        ready);
}

void blur_ab_channels(DVKLib* d, float* lab, unsigned width, unsigned height, int blurAB) {
    if (!blurAB || !lab || width == 0 || height == 0) return;
    const std::vector<float*> rows = contiguous_rows(lab, width, height, 3);
    blur_ab_channels(d, rows.data(), width, height, blurAB);
}

}  // namespace dvk
