// The tone curve (logarithmic, lightness or gamma) with contrast.
#include <cmath>

#include "pipeline/stages/stage_support.h"
#include "pipeline/stages/tone_stages.h"
#include "core/vector_math.h"

namespace dvk {

namespace {

// ln(1 + a v) / ln K, with ln(1 + x) taken as ln(u) x / (u - 1), u = 1 + x
// rounded: near K = 1 plain ln(1 + x) would lose the quotient's digits.
DVK_SIMD_CLONES void log_curve_samples(float* v, std::size_t n, float a, float inv_ln_k) {
    for (std::size_t i = 0; i < n; ++i) {
        const float x = a * v[i];
        const float u = 1.0f + x;
        const float q = x / (u - 1.0f);
        const float ln1p = vm::select(u == 1.0f, x, vm::log(u) * q);
        v[i] = ln1p * inv_ln_k;
    }
}

DVK_SIMD_CLONES void lightness_samples(float* v, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const float x = v[i];
        const float cube = vm::exp(vm::log(x) * (1.0f / 3.0f));
        const float upper = 116.0f * cube - 16.0f;
        const float lower = static_cast<float>(static_cast<double>(x) * 903.2962962962963);
        v[i] = vm::select(static_cast<double>(x) > 0.008856451679035631, upper, lower) / 100.0f;
    }
}

DVK_SIMD_CLONES void gamma_samples(float* v, std::size_t n, float g) {
    for (std::size_t i = 0; i < n; ++i) v[i] = vm::exp(vm::log(v[i]) * g);
}

// v^w with w = (ln v / z)^(s - 1).
DVK_SIMD_CLONES void contrast_samples(float* v, std::size_t n, float inv_z, float sm1) {
    for (std::size_t i = 0; i < n; ++i) {
        const float lv = vm::log(v[i]);
        const float w = vm::exp(vm::log(lv * inv_z) * sm1);
        v[i] = vm::exp(lv * w);
    }
}

}  // namespace

namespace {

// The curve and contrast steps of apply_tone_curve after its first clamp;
// `apply` runs a per-sample step on a run of samples and clamps them.
template <typename CurveThenClamp>
void tone_curve_steps(DVKLib* d, float* image, unsigned width, unsigned height, int curveType, float brightness,
                      float contrast, float valueZ, CurveThenClamp map) {
    const float z = -std::log(valueZ);
    const double exponent = 3.0 * (1.0 + (100.0 - static_cast<double>(brightness)) * (-1.2) / 100.0);
    const float K = static_cast<float>(std::pow(10.0, exponent));
    if (curveType == 1) {
        // At K = 1 the curve is 0/0; its limit there is the identity.
        const float a = K - 1.0f;
        if (a != 0.0f) {
            const float inv_ln_k = static_cast<float>(1.0 / std::log1p(static_cast<double>(a)));
            map([=](float* v, std::size_t n) { log_curve_samples(v, n, a, inv_ln_k); });
        }
    } else if (curveType == 2) {
        map([](float* v, std::size_t n) { lightness_samples(v, n); });
    } else {
        const double gamma = d ? d->gamma : 2.2;
        if (gamma != 1.0) {
            const float g = static_cast<float>(1.0 / gamma);
            map([=](float* v, std::size_t n) { gamma_samples(v, n, g); });
        }
    }
    const float s = (contrast + 40.0f) / 40.0f;
    if (s == 1.0f) return;
    const float sm1 = s - 1.0f;
    const float inv_z = 1.0f / z;
    map([=](float* v, std::size_t n) { contrast_samples(v, n, inv_z, sm1); });
}

}  // namespace

void apply_tone_curve(DVKLib* d, float* image, unsigned width, unsigned height, int curveType, float brightness,
                      float contrast, float valueZ) {
    if (!image || width == 0 || height == 0) return;
    const int h = static_cast<int>(height);
    clamp_rgbg_float(d, image, width, h);
    // Each curve step on its samples, then the clamp of the whole image.
    tone_curve_steps(d, image, width, height, curveType, brightness, contrast, valueZ,
                     [&](auto step) {
                         map_samples(d, image, width, height, step);
                         clamp_rgbg_float(d, image, width, h);
                     });
}

void apply_tone_curve_to_clamped(DVKLib* d, float* image, unsigned width, unsigned height, int curveType,
                                 float brightness, float contrast, float valueZ) {
    if (!image || width == 0 || height == 0) return;
    // The samples a step leaves alone are clamped already: clamping the ones
    // it changed, as it goes, is the clamp of the whole image.
    tone_curve_steps(d, image, width, height, curveType, brightness, contrast, valueZ,
                     [&](auto step) {
                         map_samples(d, image, width, height, [&](float* v, std::size_t n) {
                             step(v, n);
                             clamp_float_samples(v, n);
                         });
                     });
}

}  // namespace dvk
