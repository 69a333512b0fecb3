// RGB range compression, user saturation, the L stretch and the Lab
// optimisation (the profile saturation is in lab_adjust_stage1.cpp).
#include <cfloat>
#include <cmath>

#include "core/dvklib.h"
#include "pipeline/stages/lab_adjust.h"
#include "core/vector_math.h"

namespace dvk {

DVK_SIMD_CLONES void compress_rgb_triples(float* rgb, std::size_t pixels) {
    const std::size_t n = pixels * 3;
    for (std::size_t i = 0; i < n; ++i) {
        const float product = rgb[i] * 0.8f;  // rounded to float before the addition
        rgb[i] = static_cast<float>(static_cast<double>(product) + 0.1);
    }
}

void compress_rgb_range(DVKLib* d, float* rgb, unsigned width, unsigned height) {
    if (skip_rgb_compression || !rgb || width == 0 || height == 0) return;
    compress_rgb_triples(rgb, static_cast<std::size_t>(width) * height);
}

double user_saturation_factor(double u) {
    if (u == -1000) return 0.0;
    const double f = 255.0 / (255.0 - 2.0 * u);
    // At 127.5 the factor is infinite, above it negative: chroma cannot grow
    // further than the largest finite factor.
    if (!(f >= 0.0) || std::isinf(f)) return DBL_MAX;
    return f;
}

void scale_ab(float* lab, unsigned width, unsigned height, double f) {
    if (!lab) return;
    const std::size_t n = static_cast<std::size_t>(width) * height;
    for (std::size_t i = 0; i < n; ++i) {
        for (int c = 1; c <= 2; ++c) {
            double v = static_cast<double>(lab[3 * i + c]) * f;
            v = v <= 127.0 ? v : 127.0;  // NaN becomes 127
            v = v >= -128.0 ? v : -128.0;
            lab[3 * i + c] = static_cast<float>(v);
        }
    }
}

void make_adjust_stage2(DVKLib* d, float* lab, unsigned width, int height, float black, float white) {
    if (skip_rgb_compression || !lab || width == 0 || height <= 0) return;
    if (black == 0 && white == 1) return;
    if (white - black == 0) return;
    const float k = (white - black) / 100.0f;
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    for (std::size_t i = 0; i < n; ++i) {
        float L = (lab[3 * i] - black) / k;
        L = L <= 100.0f ? L : 100.0f;  // NaN becomes 100
        L = L >= 0.0f ? L : 0.0f;
        lab[3 * i] = L;
    }
}

void lab_optimize(DVKLib* d, float* lab, unsigned width, unsigned height) {
    if (!lab) return;
    const std::size_t n = static_cast<std::size_t>(width) * height;
    for (std::size_t i = 0; i < n; ++i) {
        lab[3 * i] = lab[3 * i] * 0.9f + 5.0f;
        lab[3 * i + 1] = lab[3 * i + 1] * 0.9f;
        lab[3 * i + 2] = lab[3 * i + 2] * 0.9f;
    }
}

}  // namespace dvk
