// LMMSE against a direct reading of the method with explicit cell
// coordinates: a margin of 10 cells holding the image mirrored about its
// outermost rows and columns, directional green-minus-colour estimates,
// nine-tap Gaussian, the LMMSE combination, then green, red and blue from
// the differences.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "pipeline/demosaic/demosaic.h"
#include "tests/demosaic/mosaic_fixture.h"

namespace dvk::test {
namespace {

std::vector<float> reference_lmmse(PatternRecord& rec, const std::vector<float>& in, unsigned uw, unsigned uh) {
    const long w = uw, h = uh, W = w + 20, H = h + 20;
    std::vector<std::array<float, 6>> q(std::size_t(W) * H, std::array<float, 6>{});
    auto C = [&](long r, long c) -> std::array<float, 6>& { return q[std::size_t(r) * W + std::size_t(c)]; };
    auto F = [&](long r, long c) { return rec.fcol(unsigned(r), unsigned(c)); };
    // Cell row or column k of a line of n image positions: k - 10, mirrored
    // back into 0..n-1 (-1 is 1, n is n - 2) until it lies there.
    auto mirror = [](long k, long n) {
        long i = k - 10;
        while (i < 0 || i >= n) i = i < 0 ? -i : 2 * (n - 1) - i;
        return i;
    };
    auto image = [&](long r, long c, int ch) {
        return in[(std::size_t(mirror(r, h)) * uw + std::size_t(mirror(c, w))) * 4 + ch];
    };
    const float g[5] = {0.2041637f, 0.18017383f, 0.12383155f, 0.06628225f, 0.027630553f};

    for (long r = 0; r < H; ++r)
        for (long c = 0; c < W; ++c) C(r, c)[4] = image(r, c, F(mirror(r, h), mirror(c, w)));

    for (long r = 2; r < h + 18; ++r)
        for (long c = 2; c < w + 18; ++c) {
            const float m = C(r, c)[4];
            // (dr, dc): the direction of the estimate; slot 0 horizontal, 1 vertical.
            for (int slot = 0; slot < 2; ++slot) {
                const long dr = slot, dc = 1 - slot;
                const float a1 = C(r - dr, c - dc)[4], b1 = C(r + dr, c + dc)[4];
                const float a2 = C(r - 2 * dr, c - 2 * dc)[4], b2 = C(r + 2 * dr, c + 2 * dc)[4];
                if (F(r, c) != 1) {
                    const float base = 0.0625f * (C(r - 1, c - 1)[4] + C(r - 1, c + 1)[4] + C(r + 1, c - 1)[4] +
                                                  C(r + 1, c + 1)[4]) + 0.25f * m;
                    float e = 0.5f * (a1 + m + b1) - 0.25f * (a2 + b2);
                    const float Y = base + 0.5f * e;
                    if (m > 1.75 * double(Y))
                        e = std::clamp(e, std::min(a1, b1), std::max(a1, b1));
                    else
                        e = std::clamp(e, 0.0f, 1.0f);
                    C(r, c)[slot] = e - m;
                } else {
                    C(r, c)[slot] = std::clamp(0.25f * (a2 + b2) - 0.5f * (a1 + m + b1), -1.0f, 0.0f) + m;
                }
            }
        }

    for (long r = 4; r < h + 16; ++r)
        for (long c = 4; c < w + 16; ++c) {
            float sh = g[0] * C(r, c)[0], sv = g[0] * C(r, c)[1];
            for (int k = 1; k <= 4; ++k) {
                sh += g[k] * (C(r, c - k)[0] + C(r, c + k)[0]);
                sv += g[k] * (C(r - k, c)[1] + C(r + k, c)[1]);
            }
            C(r, c)[2] = sh;
            C(r, c)[3] = sv;
        }

    for (long r = 4; r < h + 16; ++r)
        for (long c = 4; c < w + 16; ++c) {
            if (F(r, c) == 1) continue;
            double x[2], v[2];
            for (int slot = 0; slot < 2; ++slot) {
                const long dr = slot, dc = 1 - slot;
                double mu = 0;
                for (int k = -4; k <= 4; ++k) mu += C(r + k * dr, c + k * dc)[2 + slot];
                mu /= 9;
                double vx = 1e-7, vn = 1e-7;
                for (int k = -4; k <= 4; ++k) {
                    const auto& cell = C(r + k * dr, c + k * dc);
                    vx += (cell[2 + slot] - mu) * (cell[2 + slot] - mu);
                    vn += (double(cell[slot]) - cell[2 + slot]) * (double(cell[slot]) - cell[2 + slot]);
                }
                x[slot] = (C(r, c)[slot] * vx + C(r, c)[2 + slot] * vn) / (vx + vn);
                v[slot] = vx * vn / (vx + vn);
            }
            C(r, c)[4] = float((x[0] * v[1] + x[1] * v[0]) / (v[0] + v[1]));
        }

    for (long r = 0; r < H; ++r)
        for (long c = 0; c < W; ++c) {
            const int f = F(r, c);
            C(r, c)[f] = image(r, c, f);
            if (f != 1) C(r, c)[1] = C(r, c)[f] + C(r, c)[4];
        }

    auto diff = [&](long r, long c, int ch) { return C(r, c)[ch] - C(r, c)[1]; };
    for (long r = 1; r < h + 19; ++r)
        for (long c = 1; c < w + 19; ++c) {
            if (F(r, c) != 1) continue;
            const int a = F(r, c + 1), b = 2 - a;
            C(r, c)[a] = C(r, c)[1] + 0.5f * (diff(r, c - 1, a) + diff(r, c + 1, a));
            C(r, c)[b] = C(r, c)[1] + 0.5f * (diff(r - 1, c, b) + diff(r + 1, c, b));
        }
    for (long r = 1; r < h + 19; ++r)
        for (long c = 1; c < w + 19; ++c) {
            if (F(r, c) == 1) continue;
            const int k = 2 - F(r, c);
            C(r, c)[k] = C(r, c)[1] + 0.25f * (diff(r - 1, c, k) + diff(r, c - 1, k) + diff(r, c + 1, k) + diff(r + 1, c, k));
        }

    std::vector<float> out = in;
    for (long y = 0; y < h; ++y)
        for (long x = 0; x < w; ++x)
            for (int ch = 0; ch < 3; ++ch)
                if (ch != F(y, x))
                    out[(std::size_t(y) * uw + std::size_t(x)) * 4 + ch] = std::clamp(C(y + 10, x + 10)[ch], 0.0f, 1.0f);
    return out;
}

TEST(LmmseReference, MethodEqualsTheDirectReading) {
    for (unsigned filters : {kRGGB, kGRBG}) {
        PatternRecord rec(filters);
        const unsigned w = 77, h = 58;
        std::vector<float> rgb = edgy_scene(w, h, 17);
        const std::vector<float> smooth = smooth_scene(w, h, 0.2);
        for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = 0.5f * rgb[i] + 0.5f * smooth[i];
        std::vector<float> img = mosaic(rec, rgb, w, h);
        const std::vector<float> expect = reference_lmmse(rec, img, w, h);
        ::testing::internal::CaptureStderr();
        lmmse_interpolate(rec.get(), img.data(), w, h);
        ::testing::internal::GetCapturedStderr();
        std::size_t differ = 0;
        for (std::size_t i = 0; i < img.size(); ++i) differ += img[i] != expect[i];
        EXPECT_EQ(differ, 0u);
    }
}

}  // namespace
}  // namespace dvk::test
