// Edge cases of the individual methods.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "pipeline/demosaic/demosaic.h"
#include "tests/demosaic/mosaic_fixture.h"

namespace dvk::test {
namespace {

// A flat scene of dyadic values, so that every estimate is exact.
std::vector<float> flat_scene(unsigned w, unsigned h, float r = 0.5f, float g = 0.25f, float b = 0.125f) {
    std::vector<float> rgb(std::size_t(w) * h * 3);
    for (std::size_t i = 0; i < std::size_t(w) * h; ++i) {
        rgb[i * 3] = r;
        rgb[i * 3 + 1] = g;
        rgb[i * 3 + 2] = b;
    }
    return rgb;
}

// Sets every channel other than the site's own to a sentinel.
void fill_missing(PatternRecord& rec, std::vector<float>& img, unsigned w, unsigned h, float sentinel) {
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x)
            for (int c = 0; c < 4; ++c)
                if (c != rec.fcol(y, x)) img[(std::size_t(y) * w + x) * 4 + c] = sentinel;
}

TEST(Ahd, FlatSceneIsExactAndTheThreeOuterRowsAreNotWritten) {
    PatternRecord rec(kGRBG);
    const unsigned w = 40, h = 30;
    const std::vector<float> rgb = flat_scene(w, h);
    std::vector<float> img = mosaic(rec, rgb, w, h);
    fill_missing(rec, img, w, h, -7.0f);
    ahd_interpolate(rec.get(), img.data(), w, h);
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x) {
            const float* p = &img[(y * w + x) * 4];
            const int own = rec.fcol(y, x);
            const bool inner = y >= 3 && y + 3 < h && x >= 3 && x + 3 < w;
            for (int c = 0; c < 3; ++c) {
                if (c == own) continue;
                if (inner)
                    ASSERT_EQ(p[c], rgb[c]) << x << "," << y;
                else
                    ASSERT_EQ(p[c], -7.0f) << x << "," << y;
            }
            ASSERT_EQ(p[3], own == 3 ? p[3] : -7.0f);  // the fourth channel is never written
        }
}

TEST(Ahd, ZeroHeightReturnsAtOnce) {
    PatternRecord rec(kRGGB);
    std::vector<float> img(16, 0.5f);
    ahd_interpolate(rec.get(), img.data(), 4, 0);
    for (float v : img) EXPECT_EQ(v, 0.5f);
}

TEST(Vcd, FlatSceneComesBackExactly) {
    PatternRecord rec(kRGGB);
    const unsigned w = 40, h = 30;
    const std::vector<float> rgb = flat_scene(w, h);
    std::vector<float> img = mosaic(rec, rgb, w, h);
    border_interpolate(rec.get(), 8, img.data(), w, h);
    vcd_interpolate(rec.get(), img.data(), w, h, 2.0f);
    // No half-step offset: the interpolated values meet the measured ones and
    // the border fill's (the scaling to 0..65535 and back is exact here).
    EXPECT_EQ(max_error(img, rgb, w, h, 0), 0.0);
}

TEST(Vcd, BandsBelowThirteenRowsKeepTheirGreenButGetRedAndBlue) {
    PatternRecord rec(kRGGB);
    const unsigned w = 30, h = 12;
    const std::vector<float> rgb = flat_scene(w, h);
    std::vector<float> img = mosaic(rec, rgb, w, h);
    fill_missing(rec, img, w, h, 0.0f);
    vcd_interpolate(rec.get(), img.data(), w, h, 2.0f);
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x) {
            const float* p = &img[(y * w + x) * 4];
            const int own = rec.fcol(y, x);
            if (own != 1) {
                EXPECT_EQ(p[1], 0.0f) << x << "," << y;  // green left to the border fill
            }
            if (own == 1 && y >= 1 && y + 1 < h && x >= 1 && x + 1 < w) {
                // With green 0 at the red and blue sites the differences of the
                // axial neighbours are flat, so the mean rule gives the colour.
                EXPECT_GT(p[0], 0.0f) << x << "," << y;
                EXPECT_GT(p[2], 0.0f) << x << "," << y;
            }
        }
}

TEST(Vng, NarrowBandsGetOnlyThePreparation) {
    PatternRecord rec(kBGGR);
    const unsigned w = 4, h = 20;
    const std::vector<float> rgb = edgy_scene(w, h);
    std::vector<float> a = mosaic(rec, rgb, w, h), b = a;
    vng_prepare(rec.get(), a.data(), w, h);
    vng_interpolate(rec.get(), b.data(), w, h);
    EXPECT_EQ(a, b);
}

TEST(Vng, FlatRegionKeepsTheBilinearResult) {
    PatternRecord rec(kRGGB);
    const unsigned w = 24, h = 24;
    // Not dyadic: the bilinear result itself is what must survive.
    const std::vector<float> rgb = flat_scene(w, h, 0.3f, 0.7f, 0.1f);
    std::vector<float> a = mosaic(rec, rgb, w, h), b = a;
    vng_prepare(rec.get(), a.data(), w, h);
    vng_interpolate(rec.get(), b.data(), w, h);
    EXPECT_EQ(a, b);
}

// The weight of every missing colour is trunc(256 / total) with axial
// neighbours counting 2 and diagonal ones 1; on a flat X-Trans scene the
// preparation gives value x weight x total / 256.
TEST(Vng, XTransPreparationUsesTruncatedWeights) {
    PatternRecord rec(9);
    const unsigned w = 18, h = 18;
    const float val[3] = {0.75f, 0.5f, 0.25f};
    const std::vector<float> rgb = flat_scene(w, h, val[0], val[1], val[2]);
    std::vector<float> img = mosaic(rec, rgb, w, h);
    vng_prepare(rec.get(), img.data(), w, h);
    for (unsigned y = 1; y + 1 < h; ++y)
        for (unsigned x = 1; x + 1 < w; ++x) {
            const int own = rec.fcol(y, x);
            int total[3] = {0, 0, 0};
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int f = rec.fcol(y + dy, x + dx);
                    if (f != own) total[f] += (dy == 0 || dx == 0) ? 2 : 1;
                }
            for (int c = 0; c < 3; ++c) {
                if (c == own) continue;
                ASSERT_GT(total[c], 0);
                const float weight = float(int(256.0f / float(total[c])));
                const float expect = weight * (val[c] * float(total[c])) * 0.00390625f;
                EXPECT_FLOAT_EQ(img[(y * w + x) * 4 + c], expect) << x << "," << y << " c" << c;
            }
        }
}

struct VngCase {
    const char* name;
    unsigned filters;
    int colors;
    unsigned height, bands;
    double tolerance;
};

class VngPatterns : public ::testing::TestWithParam<VngCase> {};

TEST_P(VngPatterns, BandsEqualOneBandAndTheSceneComesBack) {
    const VngCase& t = GetParam();
    PatternRecord rec(t.filters, t.colors);
    const unsigned w = 90, h = t.height;
    const std::vector<float> rgb = smooth_scene(w, h, 0.06);
    std::vector<float> whole = mosaic(rec, rgb, w, h), banded = whole;
    auto method = [&](float* b, unsigned bw, unsigned rows) { vng_interpolate(rec.get(), b, bw, rows); };
    ASSERT_EQ(run_in_bands(method, whole, w, h, 1, 12), 1);
    ASSERT_EQ(run_in_bands(method, banded, w, h, t.bands, 12), int(t.bands));
    EXPECT_EQ(whole, banded);
    EXPECT_LT(max_error(whole, rgb, w, h, 4), t.tolerance);
    if (t.colors == 4) {
        // Both greens are interpolated everywhere.
        double worst = 0;
        for (unsigned y = 4; y + 4 < h; ++y)
            for (unsigned x = 4; x + 4 < w; ++x)
                worst = std::max(worst, std::fabs(double(whole[(y * w + x) * 4 + 3]) - rgb[(y * w + x) * 3 + 1]));
        EXPECT_LT(worst, t.tolerance);
    }
}

// Bands keep the pattern's phase when their blocks start at a multiple of its
// period: 12 rows for X-Trans; for the 16 x 16 pattern 396 rows in two bands
// put the second block at row 192.
const VngCase kVngCases[] = {
    {"Bayer", kRGGB, 3, 456, 3, 0.03},
    {"XTrans", 9, 3, 456, 3, 0.05},
    {"Pattern16", 1, 4, 396, 2, 0.05},
};

INSTANTIATE_TEST_SUITE_P(Demosaic, VngPatterns, ::testing::ValuesIn(kVngCases),
                         [](const ::testing::TestParamInfo<VngCase>& info) { return std::string(info.param.name); });

TEST(Lmmse, ZeroRowsStillPrintBothMessages) {
    PatternRecord rec(kRGGB);
    std::vector<float> img(16, 0.5f);
    ::testing::internal::CaptureStderr();
    const int printed = lmmse_interpolate(rec.get(), img.data(), 4, 0);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind("LMMSE interpolation...\n\telapsed time     = ", 0), 0u) << err;
    EXPECT_EQ(err.back(), '\n');
    EXPECT_EQ(err.substr(err.size() - 2), "s\n");
    EXPECT_EQ(printed, int(err.size() - std::string("LMMSE interpolation...\n").size()));
    for (float v : img) EXPECT_EQ(v, 0.5f);
}

TEST(Lmmse, FlatSceneIsFlatToTheLastPixel) {
    // Odd and even sizes; a mosaic down to two sites a side. (The Gaussian
    // weights sum to 1 only up to float rounding.)
    for (auto [w, h] : {std::pair{40u, 30u}, std::pair{41u, 31u}, std::pair{2u, 3u}, std::pair{9u, 2u}}) {
        PatternRecord rec(kBGGR);
        const std::vector<float> rgb = flat_scene(w, h);
        std::vector<float> img = mosaic(rec, rgb, w, h);
        ::testing::internal::CaptureStderr();
        lmmse_interpolate(rec.get(), img.data(), w, h);
        ::testing::internal::GetCapturedStderr();
        EXPECT_LT(max_error(img, rgb, w, h, 0), 1e-6) << w << " x " << h;
    }
}

}  // namespace
}  // namespace dvk::test

namespace dvk::test {
namespace {

TEST(Vng, TinyXTransAndSixteenBandsStayInsideTheirMemory) {
    for (unsigned filters : {9u, 1u}) {
        PatternRecord rec(filters, filters == 1 ? 4 : 3);
        for (unsigned w = 1; w <= 9; ++w)
            for (unsigned h = 1; h <= 9; ++h) {
                const std::vector<float> rgb = edgy_scene(w, h, w + 17 * h);
                std::vector<float> img = mosaic(rec, rgb, w, h);
                vng_interpolate(rec.get(), img.data(), w, h);  // the sanitizer build checks the reads
                for (float v : img) ASSERT_TRUE(std::isfinite(v)) << filters << " " << w << "x" << h;
            }
    }
}

}  // namespace
}  // namespace dvk::test
