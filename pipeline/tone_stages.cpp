// The clamp and the black-point shift of the tone stages.
#include <cmath>
#include <limits>

#include "pipeline/stage_support.h"
#include "pipeline/tone_stages.h"
#include "pipeline/vector_math.h"

namespace dvk {

void clamp_rgbg_float(DVKLib* d, float* image, unsigned width, int height) {
    if (!image || width == 0 || height <= 0) return;
    constexpr float kMin = std::numeric_limits<float>::min();
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    for (std::size_t i = 0; i < n; ++i) {
        const float v = image[i];
        float r = v > 0.0f ? v : kMin;  // NaN and values <= 0 take the minimum here...
        r = v <= 1.0f ? r : 1.0f;       // ...and NaN and values > 1 become 1 here
        image[i] = r;
    }
}

void black_shift(DVKLib* d, float* image, unsigned width, unsigned height, float shift) {
    if (shift == 0) return;
    const float p = shift / 100.0f;
    const float x1 = (0.9f - p) * p;
    const float t = p + x1;
    const float k = x1 > 0 ? std::log(x1) / ((t - std::log(t)) * std::log(t)) : 1000.0f;
    map_samples(d, image, width, height, true, [=](float v) {
        const float lv = vm::log(v);
        const float curved = vm::exp(lv * ((t - lv) * k));
        float r = v >= t ? v - p : ((v > 0.0f && v < 1.0f) ? curved : v);
        r = (r < 0.0f || r != r) ? 0.0f : r;
        return r;
    });
}

}  // namespace dvk
