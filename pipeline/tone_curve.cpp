// The tone curve (logarithmic, lightness or gamma) with contrast.
#include <cmath>

#include "pipeline/stage_support.h"
#include "pipeline/tone_stages.h"
#include "pipeline/vector_math.h"

namespace dvk {

void apply_tone_curve(DVKLib* d, float* image, unsigned width, unsigned height, int curveType, float brightness,
                      float contrast, float valueZ) {
    if (!image || width == 0 || height == 0) return;
    const float z = -std::log(valueZ);
    const double exponent = 3.0 * (1.0 + (100.0 - static_cast<double>(brightness)) * (-1.2) / 100.0);
    const float K = static_cast<float>(std::pow(10.0, exponent));
    const int h = static_cast<int>(height);
    clamp_rgbg_float(d, image, width, h);
    if (curveType == 1) {
        // At K = 1 the curve is 0/0 and its limit is the identity; close to
        // 1 the quotient loses its digits, so a short series in a = K - 1
        // (exact to the third order) takes over.
        const float a = K - 1.0f;
        if (std::fabs(a) < 1e-3f) {
            const float den = 1.0f / (1.0f - a * 0.5f + a * a * (1.0f / 3.0f));
            map_samples(d, image, width, height, true, [=](float v) {
                return v * (1.0f - a * v * 0.5f + a * a * v * v * (1.0f / 3.0f)) * den;
            });
        } else {
            const float inv_ln_k = 1.0f / std::log(K);
            map_samples(d, image, width, height, true,
                        [=](float v) { return vm::log(1.0f + a * v) * inv_ln_k; });
        }
    } else if (curveType == 2) {
        map_samples(d, image, width, height, false, [](float v) {
            const float cube = vm::exp(vm::log(v) * (1.0f / 3.0f));
            const float upper = 116.0f * cube - 16.0f;
            const float lower = static_cast<float>(static_cast<double>(v) * 903.2962962962963);
            return (static_cast<double>(v) > 0.008856451679035631 ? upper : lower) / 100.0f;
        });
    } else {
        const double gamma = d ? d->gamma : 2.2;
        if (gamma != 1.0) {
            const float g = static_cast<float>(1.0 / gamma);
            map_samples(d, image, width, height, true, [=](float v) { return vm::exp(vm::log(v) * g); });
        }
    }
    clamp_rgbg_float(d, image, width, h);
    const float s = (contrast + 40.0f) / 40.0f;
    if (s == 1.0f) return;
    const float sm1 = s - 1.0f;
    const float inv_z = 1.0f / z;
    map_samples(d, image, width, height, true, [=](float v) {
        const float lv = vm::log(v);
        const float w = vm::exp(vm::log(lv * inv_z) * sm1);
        return vm::exp(lv * w);
    });
    clamp_rgbg_float(d, image, width, h);
}

}  // namespace dvk
