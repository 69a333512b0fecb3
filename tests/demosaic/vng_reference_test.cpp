// VNG against a direct reading of the method: the bilinear start, then for
// every inner site the gradient terms whose two sites share a colour (less the
// diagonal pairs of the diag rule), the threshold gmax / 2 + gmin, and the
// colour differences of the directions under it, with the two-step neighbour
// of the site's colour standing in for the site's own colour.
#include <gtest/gtest.h>

#include <algorithm>

#include "pipeline/demosaic/demosaic.h"
#include "tests/demosaic/mosaic_fixture.h"

namespace dvk::test {
namespace {

const int kTerms[64][6] = {
    {-2, -2, 0, -1, 0, 0x01}, {-2, -2, 0, 0, 1, 0x01}, {-2, -1, -1, 0, 0, 0x01}, {-2, -1, 0, -1, 0, 0x02},
    {-2, -1, 0, 0, 0, 0x03}, {-2, -1, 0, 1, 1, 0x01}, {-2, 0, 0, -1, 0, 0x06}, {-2, 0, 0, 0, 1, 0x02},
    {-2, 0, 0, 1, 0, 0x03}, {-2, 1, -1, 0, 0, 0x04}, {-2, 1, 0, -1, 1, 0x04}, {-2, 1, 0, 0, 0, 0x06},
    {-2, 1, 0, 1, 0, 0x02}, {-2, 2, 0, 0, 1, 0x04}, {-2, 2, 0, 1, 0, 0x04}, {-1, -2, -1, 0, 0, 0x80},
    {-1, -2, 0, -1, 0, 0x01}, {-1, -2, 1, -1, 0, 0x01}, {-1, -2, 1, 0, 1, 0x01}, {-1, -1, -1, 1, 0, 0x88},
    {-1, -1, 1, -2, 0, 0x40}, {-1, -1, 1, -1, 0, 0x22}, {-1, -1, 1, 0, 0, 0x33}, {-1, -1, 1, 1, 1, 0x11},
    {-1, 0, -1, 2, 0, 0x08}, {-1, 0, 0, -1, 0, 0x44}, {-1, 0, 0, 1, 0, 0x11}, {-1, 0, 1, -2, 1, 0x40},
    {-1, 0, 1, -1, 0, 0x66}, {-1, 0, 1, 0, 1, 0x22}, {-1, 0, 1, 1, 0, 0x33}, {-1, 0, 1, 2, 1, 0x10},
    {-1, 1, 1, -1, 1, 0x44}, {-1, 1, 1, 0, 0, 0x66}, {-1, 1, 1, 1, 0, 0x22}, {-1, 1, 1, 2, 0, 0x10},
    {-1, 2, 0, 1, 0, 0x04}, {-1, 2, 1, 0, 1, 0x04}, {-1, 2, 1, 1, 0, 0x04}, {0, -2, 0, 0, 1, 0x80},
    {0, -1, 0, 1, 1, 0x88}, {0, -1, 1, -2, 0, 0x40}, {0, -1, 1, 0, 0, 0x11}, {0, -1, 2, -2, 0, 0x40},
    {0, -1, 2, -1, 0, 0x20}, {0, -1, 2, 0, 0, 0x30}, {0, -1, 2, 1, 1, 0x10}, {0, 0, 0, 2, 1, 0x08},
    {0, 0, 2, -2, 1, 0x40}, {0, 0, 2, -1, 0, 0x60}, {0, 0, 2, 0, 1, 0x20}, {0, 0, 2, 1, 0, 0x30},
    {0, 0, 2, 2, 1, 0x10}, {0, 1, 1, 0, 0, 0x44}, {0, 1, 1, 2, 0, 0x10}, {0, 1, 2, -1, 1, 0x40},
    {0, 1, 2, 0, 0, 0x60}, {0, 1, 2, 1, 0, 0x20}, {0, 1, 2, 2, 0, 0x10}, {1, -2, 1, 0, 0, 0x80},
    {1, -1, 1, 1, 0, 0x88}, {1, 0, 1, 2, 0, 0x08}, {1, 0, 2, -1, 0, 0x40}, {1, 0, 2, 1, 0, 0x10},
};
const int kDir[8][2] = {{-1, -1}, {-1, 0}, {-1, 1}, {0, 1}, {1, 1}, {1, 0}, {1, -1}, {0, -1}};

std::vector<float> reference_vng(PatternRecord& rec, const std::vector<float>& mosaic, unsigned uw, unsigned uh) {
    const long w = uw, h = uh;
    std::vector<float> pre = mosaic;
    vng_prepare(rec.get(), pre.data(), uw, uh);
    auto P = [&](long y, long x, int c) { return pre[(std::size_t(y) * uw + std::size_t(x)) * 4 + c]; };
    auto F = [&](long y, long x) { return rec.fcol(unsigned(y + 48), unsigned(x + 48)); };
    std::vector<float> out = pre;
    for (long y = 2; y < h - 2; ++y)
        for (long x = 2; x < w - 2; ++x) {
            float gval[8] = {0, 0, 0, 0, 0, 0, 0, 0};
            for (const auto& t : kTerms) {
                const int color = F(y + t[0], x + t[1]);
                if (F(y + t[2], x + t[3]) != color) continue;
                const int diag = (F(y, x + 1) == color && F(y + 1, x) == color) ? 2 : 1;
                if (std::abs(t[0] - t[2]) == diag && std::abs(t[1] - t[3]) == diag) continue;
                const float diff = std::fabs(P(y + t[0], x + t[1], color) - P(y + t[2], x + t[3], color)) * float(1 << t[4]);
                for (int g = 0; g < 8; ++g)
                    if (t[5] & (1 << g)) gval[g] += diff;
            }
            const float gmin = *std::min_element(gval, gval + 8), gmax = *std::max_element(gval, gval + 8);
            if (gmax == 0) continue;
            const float thold = float(gmax * 0.5 + gmin);
            const int own = F(y, x);
            float sum[3] = {0, 0, 0};
            int num = 0;
            for (int g = 0; g < 8; ++g) {
                if (gval[g] > thold) continue;
                const long ny = y + kDir[g][0], nx = x + kDir[g][1];
                const bool two_step = F(y + 2 * kDir[g][0], x + 2 * kDir[g][1]) == own;
                for (int c = 0; c < 3; ++c)
                    sum[c] += (c == own && two_step) ? (P(y, x, own) + P(y + 2 * kDir[g][0], x + 2 * kDir[g][1], own)) * 0.5f
                                                     : P(ny, nx, c);
                ++num;
            }
            for (int c = 0; c < 3; ++c) {
                float t = P(y, x, own);
                if (c != own) t += (sum[c] - sum[own]) / float(num);
                out[(std::size_t(y) * uw + std::size_t(x)) * 4 + c] = std::clamp(t, 0.0f, 65535.0f);
            }
        }
    return out;
}

TEST(VngReference, MethodEqualsTheDirectReading) {
    for (unsigned filters : {kRGGB, kGRBG, 9u}) {
        PatternRecord rec(filters);
        const unsigned w = 61, h = 47;
        std::vector<float> rgb = edgy_scene(w, h, 23);
        const std::vector<float> smooth = smooth_scene(w, h, 0.2);
        for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = 0.5f * rgb[i] + 0.5f * smooth[i];
        std::vector<float> img = mosaic(rec, rgb, w, h);
        const std::vector<float> expect = reference_vng(rec, img, w, h);
        vng_interpolate(rec.get(), img.data(), w, h);
        std::size_t differ = 0;
        for (std::size_t i = 0; i < img.size(); ++i) differ += img[i] != expect[i];
        EXPECT_EQ(differ, 0u) << "filters " << filters;
    }
}

}  // namespace
}  // namespace dvk::test
