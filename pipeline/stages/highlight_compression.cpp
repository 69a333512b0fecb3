// Exposure with highlight compression.
#include <cmath>

#include "pipeline/stages/stage_support.h"
#include "pipeline/stages/tone_stages.h"
#include "core/vector_math.h"

namespace dvk {

namespace {

struct Compression {
    float A, T, inv_rc, q, scale;
    bool linear_only;
};

DVK_SIMD_CLONES void compress_samples(float* v, std::size_t n, Compression c) {
    // Runs of samples below T need only the linear branch; the curve is
    // computed for runs that hold at least one sample at or above T.
    constexpr std::size_t kRun = 64;
    for (std::size_t start = 0; start < n; start += kRun) {
        const std::size_t m = n - start < kRun ? n - start : kRun;
        float* s = v + start;
        int upper_count = 0;
        for (std::size_t i = 0; i < m; ++i) upper_count += s[i] >= c.T ? 1 : 0;
        if (upper_count == 0 || c.linear_only) {
            for (std::size_t i = 0; i < m; ++i) s[i] = s[i] * c.A;
            continue;
        }
        for (std::size_t i = 0; i < m; ++i) {
            const float x = s[i];
            const float lx = vm::log(x);
            const float L = lx * c.inv_rc;  // -log2(x) / (R + c)
            const float e = vm::exp(vm::log(L) * c.q) * c.scale;
            const float upper = vm::exp(lx * e);
            s[i] = vm::select(x < c.T, x * c.A, upper);
        }
    }
}

}  // namespace

void compress_highlights(DVKLib* d, float* image, unsigned width, unsigned height, float c, float range) {
    if (c == 0 || !image || width == 0 || height == 0) return;
    const float R = c >= 0 ? range : 0.0f;
    Compression k;
    k.A = std::exp2(c);
    k.T = std::exp2(-c - R);
    k.inv_rc = -1.0f / ((R + c) * 0.6931472f);
    k.q = c / R;
    k.scale = R / (R + c);
    // Without a range (c < 0) the upper branch has no meaning: every value
    // takes the linear branch, which is what values up to 1 get anyway.
    k.linear_only = R == 0.0f;
    map_samples(d, image, width, height, [=](float* v, std::size_t n) { compress_samples(v, n, k); });
}

}  // namespace dvk
