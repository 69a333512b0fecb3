// Bands must start where the colour-filter pattern starts again: patterns whose
// period does not divide the runner's band step are demosaiced in one band.
#include <gtest/gtest.h>

#include <cstring>

#include "pipeline/demosaic/demosaic.h"
#include "tests/demosaic/mosaic_fixture.h"

namespace dvk::test {
namespace {

TEST(CfaRowPeriod, KnownPatterns) {
    EXPECT_EQ(cfa_row_period(kRGGB), 2u);
    EXPECT_EQ(cfa_row_period(kBGGR), 2u);
    EXPECT_EQ(cfa_row_period(kGRBG), 2u);
    EXPECT_EQ(cfa_row_period(9), 6u);
    EXPECT_EQ(cfa_row_period(1), 16u);
    EXPECT_EQ(cfa_row_period(0x94619461u), 4u);
    EXPECT_EQ(cfa_row_period(0x16949461u), 8u);
}

TEST(DemosaicBandThreads, OnlyPatternsThatRepeatOnTheStepAreSplit) {
    EXPECT_EQ(demosaic_band_threads(kRGGB, 2, 8), 8);
    EXPECT_EQ(demosaic_band_threads(kRGGB, 12, 8), 8);
    EXPECT_EQ(demosaic_band_threads(9, 12, 8), 8);
    EXPECT_EQ(demosaic_band_threads(9, 2, 8), 1);
    EXPECT_EQ(demosaic_band_threads(1, 12, 8), 1);
    EXPECT_EQ(demosaic_band_threads(0x94619461u, 12, 8), 8);
    EXPECT_EQ(demosaic_band_threads(0x94619461u, 2, 8), 1);
    EXPECT_EQ(demosaic_band_threads(kRGGB, 2, 0), 1);
}

std::size_t differing_floats(const std::vector<float>& a, const std::vector<float>& b) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < a.size(); ++i) n += std::memcmp(&a[i], &b[i], sizeof(float)) != 0;
    return n;
}

// 480 rows in three VNG bands: the second band's block starts at row 156,
// which is not a multiple of 16, so splitting the 16 x 16 pattern there
// colours its sites wrongly; the thread count chosen for it keeps one band.
TEST(DemosaicBandThreads, SixteenBySixteenVngMatchesOneBand) {
    PatternRecord rec(1, 4);
    const unsigned w = 64, h = 480;
    const std::vector<float> rgb = edgy_scene(w, h);
    const std::vector<float> mosaiced = mosaic(rec, rgb, w, h);
    auto method = [&](float* b, unsigned bw, unsigned rows) { vng_interpolate(rec.get(), b, bw, rows); };

    std::vector<float> whole = mosaiced;
    ASSERT_EQ(run_in_bands(method, whole, w, h, 1, 12), 1);

    std::vector<float> split = mosaiced;
    ASSERT_EQ(run_in_bands(method, split, w, h, 3, 12), 3);
    EXPECT_GT(differing_floats(whole, split), 0u) << "three bands of the 16 x 16 pattern should differ";

    std::vector<float> chosen = mosaiced;
    const int threads = demosaic_band_threads(1, 12, 3);
    run_in_bands(method, chosen, w, h, unsigned(threads), 12);
    EXPECT_EQ(differing_floats(whole, chosen), 0u);
}

}  // namespace
}  // namespace dvk::test
