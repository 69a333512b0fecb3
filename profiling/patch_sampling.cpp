#include "profiling/patch_sampling.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace dvk {

const double kSwatchXYZToRGB[3][3] = {
    {1.683171383, -0.428243057, -0.236001897},
    {-0.77102339, 1.706562301, 0.044685553},
    {0.040011662, -0.08856073, 1.272874191},
};

namespace {

struct Round {
    float mean = 0, sd = 0;
    bool ok = false;
};

inline bool measurable(float v) { return v > 0.0f && v < 1.0f; }

// Mean and deviation (floored at 0.001) of the values between 0 and 1 that
// `keep` accepts, in single precision.
template <class Keep>
Round measure(const std::vector<float>& values, Keep keep) {
    float sum = 0;
    unsigned count = 0;
    for (float v : values)
        if (measurable(v) && keep(v)) {
            sum += v;
            ++count;
        }
    Round r;
    if (count == 0) return r;
    r.mean = sum / static_cast<float>(count);
    float var = 0;
    for (float v : values)
        if (measurable(v) && keep(v)) var += (v - r.mean) * (v - r.mean);
    var /= static_cast<float>(count);
    r.sd = std::max(0.001f, std::sqrt(var));
    r.ok = true;
    return r;
}

}  // namespace

bool sample_patch(const float* preview, unsigned width, unsigned height, long x, long y, unsigned w, unsigned h,
                  bool skipCompression, double mean[3], double stdev[3]) {
    if (!preview || !mean || !stdev || w == 0 || h == 0) return false;
    // The part of the rectangle inside the image.
    const long x0 = std::max(x, 0L), y0 = std::max(y, 0L);
    const long x1 = std::min(x + static_cast<long>(w), static_cast<long>(width));
    const long y1 = std::min(y + static_cast<long>(h), static_cast<long>(height));
    if (x0 >= x1 || y0 >= y1) return false;

    const std::size_t n = static_cast<std::size_t>(x1 - x0) * static_cast<std::size_t>(y1 - y0);
    std::vector<float> channel[3];
    for (auto& c : channel) c.reserve(n);
    for (long row = y0; row < y1; ++row) {
        const float* p = preview + (static_cast<std::size_t>(row) * width + static_cast<std::size_t>(x0)) * 3;
        for (long col = x0; col < x1; ++col, p += 3)
            for (int c = 0; c < 3; ++c) channel[c].push_back(skipCompression ? p[c] : p[c] * 0.8f + 0.1f);
    }

    double m[3], s[3];
    for (int c = 0; c < 3; ++c) {
        const Round first = measure(channel[c], [](float) { return true; });
        if (!first.ok) return false;
        const float lo = first.mean - first.sd, hi = first.mean + first.sd;
        const Round second = measure(channel[c], [lo, hi](float v) { return v >= lo && v <= hi; });
        if (!second.ok) return false;
        m[c] = second.mean;
        s[c] = second.sd;
    }
    std::copy(m, m + 3, mean);
    std::copy(s, s + 3, stdev);
    return true;
}

double* patch_color_to_rgb(double out[3], const double matrix[3][3], double exponent, double X, double Y, double Z) {
    for (int i = 0; i < 3; ++i) {
        double v = matrix[i][0] * X + matrix[i][1] * Y + matrix[i][2] * Z;
        v = std::clamp(v, 0.0, 1.0);
        if (exponent != 1) v = std::pow(v, exponent);
        out[i] = v;
    }
    return out;
}

}  // namespace dvk
