// VCD green against a direct reading of the method: gradients over the 5 x 5
// window, and the colour-difference variances computed from their definition
// (nine values along a line, 2 (9 sum x^2 - (sum x)^2)) rather than from the
// expanded form the implementation uses.
#include <gtest/gtest.h>

#include <algorithm>

#include "pipeline/demosaic/demosaic.h"
#include "tests/demosaic/mosaic_fixture.h"

namespace dvk::test {
namespace {

struct Reference {
    PatternRecord& rec;
    const std::vector<float>& mosaic;  // 0..1
    unsigned w;

    double v(long y, long x) const {
        return double(float(mosaic[(std::size_t(y) * w + std::size_t(x)) * 4 + rec.fcol(unsigned(y), unsigned(x))] * 65535.0));
    }
    // Numerator of the horizontal (dx = 1) or vertical (dy = 1) green estimate.
    double raw(long y, long x, long dy, long dx) const {
        return 2 * (v(y - dy, x - dx) + v(y, x) + v(y + dy, x + dx)) - v(y - 2 * dy, x - 2 * dx) - v(y + 2 * dy, x + 2 * dx);
    }
    // 2 (9 sum x^2 - (sum x)^2) over the nine values of the line through the
    // five differences, the green positions taking the mean of their neighbours.
    static long double spread(const long double D[5]) {
        long double x[9];
        for (int i = 0; i < 5; ++i) x[2 * i] = D[i];
        for (int i = 0; i < 4; ++i) x[2 * i + 1] = (D[i] + D[i + 1]) / 2;
        long double s = 0, s2 = 0;
        for (long double e : x) {
            s += e;
            s2 += e * e;
        }
        return 2 * (9 * s2 - s * s);
    }
    float green(long y, long x, float threshold, bool& used_variance) const {
        used_variance = false;
        const double hraw = raw(y, x, 0, 1), vraw = raw(y, x, 1, 0);
        auto clip = [](double t) { return std::clamp(t, 0.0, 65535.0); };
        const double H = clip(hraw / 4), V = clip(vraw / 4);
        double gh = 0, gv = 0;
        for (long k = -2; k <= 2; ++k)
            for (long a : {-2L, -1L, 1L, 2L}) {
                gh += std::fabs(v(y + k, x + a) - v(y + k, x));
                gv += std::fabs(v(y + a, x + k) - v(y, x + k));
            }
        double e = gh / gv;
        if (e < 1) e = 1 / e;
        if (e > threshold) return float(gv > gh ? H : V);
        used_variance = true;
        long double dh[5], dv[5], mh[5], mv[5];
        for (int i = 0; i < 5; ++i) {
            const long k = 2 * i - 4;
            dh[i] = raw(y, x + k, 0, 1) - 4 * v(y, x + k);
            dv[i] = raw(y + k, x, 1, 0) - 4 * v(y + k, x);
            mh[i] = raw(y, x + k, 0, 1) + raw(y, x + k, 1, 0) - 8 * v(y, x + k);
            mv[i] = raw(y + k, x, 0, 1) + raw(y + k, x, 1, 0) - 8 * v(y + k, x);
        }
        const long double vh = spread(dh), vv = spread(dv), m = spread(mh) + spread(mv);
        if (std::min(vh, vv) > m / 8) return float(clip((hraw + vraw) / 8));
        return float(vh > vv ? V : H);
    }
};

TEST(VcdReference, GreenAtRedAndBlueSitesFollowsTheDefinition) {
    for (unsigned filters : {kRGGB, kGRBG}) {
        PatternRecord rec(filters);
        const unsigned w = 90, h = 70;
        std::vector<float> rgb = edgy_scene(w, h, 99);
        const std::vector<float> smooth = smooth_scene(w, h, 0.15);
        // Values on a grid of 1/64 keep every intermediate exact in both forms.
        for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = std::round((0.5f * rgb[i] + 0.5f * smooth[i]) * 64) / 64;
        std::vector<float> img = mosaic(rec, rgb, w, h);
        const Reference ref{rec, img, w};
        std::vector<float> out = img;
        vcd_interpolate(rec.get(), out.data(), w, h, 2.0f);
        unsigned sites = 0, variance_sites = 0, mismatches = 0;
        for (long y = 6; y + 6 < long(h); ++y)
            for (long x = 6; x + 6 < long(w); ++x) {
                if (rec.fcol(unsigned(y), unsigned(x)) == 1) continue;
                bool used_variance;
                const float g = ref.green(y, x, 2.0f, used_variance);
                ++sites;
                variance_sites += used_variance;
                // The estimates themselves are rounded to float by the method,
                // so allow a few float steps of the 0..65535 scale.
                const double got = out[(std::size_t(y) * w + std::size_t(x)) * 4 + 1] * 65535.0;
                if (std::fabs(got - g) > 0.02) ++mismatches;
            }
        EXPECT_GT(variance_sites, sites / 10) << "the variance test must be exercised";
        EXPECT_LT(variance_sites, sites) << "so must the gradient test";
        EXPECT_EQ(mismatches, 0u) << "of " << sites << " sites";
    }
}

}  // namespace
}  // namespace dvk::test
