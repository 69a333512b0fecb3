// The clamp and the black-point shift of the tone stages.
#include <cmath>
#include <limits>

#include "pipeline/stages/stage_support.h"
#include "pipeline/stages/tone_stages.h"
#include "core/vector_math.h"

namespace dvk {

namespace {

DVK_SIMD_CLONES void clamp_samples(float* v, std::size_t n) {
    constexpr float kMin = std::numeric_limits<float>::min();
    for (std::size_t i = 0; i < n; ++i) {
        const float x = v[i];
        float r = x > 0.0f ? x : kMin;  // NaN and values <= 0 take the minimum here...
        r = x <= 1.0f ? r : 1.0f;       // ...and NaN and values > 1 become 1 here
        v[i] = r;
    }
}

DVK_SIMD_CLONES void black_shift_samples(float* v, std::size_t n, float p, float t, float k) {
    for (std::size_t i = 0; i < n; ++i) {
        const float x = v[i];
        const float lx = vm::log(x);
        const float curved = vm::exp(lx * ((t - lx) * k));
        float r = vm::select(x >= t, x - p, vm::select((x > 0.0f) & (x < 1.0f), curved, x));
        r = vm::select((r < 0.0f) | (r != r), 0.0f, r);
        v[i] = r;
    }
}

}  // namespace

void clamp_float_samples(float* v, std::size_t n) { clamp_samples(v, n); }

namespace {

__attribute__((always_inline)) inline float clamp_sample(float x) {
    constexpr float kMin = std::numeric_limits<float>::min();
    float r = x > 0.0f ? x : kMin;
    r = x <= 1.0f ? r : 1.0f;
    return r;
}

DVK_SIMD_CLONES void scale_clamp_samples(float* __restrict v, std::size_t pixels, float f0, float f1, float f2,
                                         float f3) {
    for (std::size_t i = 0; i < pixels; ++i) {
        float* p = v + 4 * i;
        p[0] = clamp_sample(p[0] * f0);
        p[1] = clamp_sample(p[1] * f1);
        p[2] = clamp_sample(p[2] * f2);
        p[3] = clamp_sample(p[3] * f3);
    }
}

}  // namespace

void scale_and_clamp_rgbg(float* image, std::size_t pixels, const double factors[4]) {
    if (!image || pixels == 0) return;
    scale_clamp_samples(image, pixels, static_cast<float>(factors[0]), static_cast<float>(factors[1]),
                        static_cast<float>(factors[2]), static_cast<float>(factors[3]));
}

void clamp_rgbg_float(DVKLib* d, float* image, unsigned width, int height) {
    if (!image || width == 0 || height <= 0) return;
    clamp_samples(image, static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
}

void black_shift(DVKLib* d, float* image, unsigned width, unsigned height, float shift) {
    if (shift == 0) return;
    const float p = shift / 100.0f;
    const float x1 = (0.9f - p) * p;
    const float t = p + x1;
    const float k = x1 > 0 ? std::log(x1) / ((t - std::log(t)) * std::log(t)) : 1000.0f;
    map_samples(d, image, width, height,
                [=](float* v, std::size_t n) { black_shift_samples(v, n, p, t, k); });
}

}  // namespace dvk
