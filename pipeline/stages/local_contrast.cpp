// Local contrast: an unsharp mask of L with a wide radius.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "pipeline/stages/box_blur.h"
#include "pipeline/stages/detail_stages.h"

namespace dvk {

void local_contrast(float* const* rows, unsigned width, unsigned height, int enabled, float amount,
                    float radiusFactor) {
    if (!(amount > 0) || !enabled || !rows || width == 0 || height == 0) return;
    // The settings give radii up to a few hundred pixels; the radius stops
    // at kMaxLocalContrastRadius, so that no amount makes the blur's work
    // (which grows with the radius) run away.
    const float r = std::min(radiusFactor * amount, kMaxLocalContrastRadius);
    const unsigned radius = r > 0 ? static_cast<unsigned>(r) : 0u;
    const double gain = amount / 100.0 + 0.1;
    // Each row is rewritten from its own values and its blur as it comes.
    const bool ok = box_blur_rows(rows, 3, 0, 1, width, height, radius, 2.0 * radius + 1.0,
                                  [&](unsigned row, const float* blurred) {
                                      float* p = rows[row];
                                      for (unsigned x = 0; x < width; ++x) {
                                          const float original = p[3 * x];
                                          float d = original - blurred[x];
                                          if (d > 0) d *= 0.42857143f;
                                          p[3 * x] = static_cast<float>(original + d * gain);
                                      }
                                  });
    if (!ok)
        std::fprintf(stderr, "Can't allocate %lu bytes in blur\n", static_cast<unsigned long>(width) * height * 4);
}

void local_contrast(float* lab, unsigned width, unsigned height, int enabled, float amount, float radiusFactor) {
    if (!(amount > 0) || !enabled || !lab || width == 0 || height == 0) return;
    const std::vector<float*> rows = contiguous_rows(lab, width, height, 3);
    local_contrast(rows.data(), width, height, enabled, amount, radiusFactor);
}

}  // namespace dvk
