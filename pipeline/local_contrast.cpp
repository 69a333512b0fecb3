// Local contrast: an unsharp mask of L with a wide radius.
#include <vector>

#include "pipeline/aligned_buffer.h"
#include "pipeline/detail_stages.h"

namespace dvk {

void local_contrast(float* lab, unsigned width, unsigned height, int enabled, float amount, float radiusFactor) {
    if (!(amount > 0) || !enabled || !lab || width == 0 || height == 0) return;
    const std::size_t n = static_cast<std::size_t>(width) * height;
    AlignedBuffer<float> original = allocate_aligned<float>(n);
    if (!original) return;
    for (std::size_t i = 0; i < n; ++i) original[i] = lab[3 * i];
    const float r = radiusFactor * amount;
    blur_channel(lab, width, height, r > 0 ? static_cast<unsigned>(static_cast<int>(r)) : 0u, 0);
    const double gain = amount / 100.0 + 0.1;
    for (std::size_t i = 0; i < n; ++i) {
        float d = original[i] - lab[3 * i];
        if (d > 0) d *= 0.42857143f;
        lab[3 * i] = static_cast<float>(original[i] + d * gain);
    }
}

}  // namespace dvk
