// Exposure with highlight compression.
#include <cmath>

#include "pipeline/stage_support.h"
#include "pipeline/tone_stages.h"
#include "pipeline/vector_math.h"

namespace dvk {

void compress_highlights(DVKLib* d, float* image, unsigned width, unsigned height, float c, float range) {
    if (c == 0 || !image || width == 0 || height == 0) return;
    const float R = c >= 0 ? range : 0.0f;
    const float A = std::exp2(c);
    const float T = std::exp2(-c - R);
    const float inv_rc = -1.0f / ((R + c) * 0.6931472f);  // -log2(v) / (R + c) = ln v * inv_rc
    const float q = c / R;
    const float scale = R / (R + c);
    // Without a range (c < 0) the upper branch has no meaning: every value
    // takes the linear branch, which is what values up to 1 get anyway.
    const bool linear_only = R == 0.0f;
    map_samples(d, image, width, height, true, [=](float v) {
        const float lv = vm::log(v);
        const float L = lv * inv_rc;
        const float e = vm::exp(vm::log(L) * q) * scale;
        const float upper = vm::exp(lv * e);
        return (v < T || linear_only) ? v * A : upper;
    });
}

}  // namespace dvk
