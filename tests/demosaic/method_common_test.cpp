// Properties every demosaicing method shares: bands with the runner's overlap
// give the same pixels as one band, tiny bands stay inside their memory, and
// a smooth scene comes back close to the original.
#include <gtest/gtest.h>

#include <string>

#include "pipeline/demosaic/demosaic.h"
#include "tests/demosaic/mosaic_fixture.h"

namespace dvk::test {
namespace {

using Method = DemosaicMethod;

class EveryMethod : public ::testing::TestWithParam<Method> {};

TEST_P(EveryMethod, BandsEqualOneBandBitForBit) {
    const Method& m = GetParam();
    for (unsigned filters : {kRGGB, kBGGR, kGRBG}) {
        PatternRecord rec(filters);
        // Wider than one AHD tile, so the bands also move the tile grid; tall
        // enough for three bands of at least 150 rows.
        const unsigned w = 300, h = 462;
        const std::vector<float> rgb = edgy_scene(w, h);
        std::vector<float> whole = mosaic(rec, rgb, w, h);
        if (m.border) border_interpolate(rec.get(), m.border, whole.data(), w, h);
        std::vector<float> banded = whole;
        auto method = [&](float* b, unsigned bw, unsigned rows) { m.run(rec.get(), b, bw, rows); };
        ::testing::internal::CaptureStderr();
        ASSERT_EQ(run_in_bands(method, whole, w, h, 1, m.overlap), 1);
        ASSERT_EQ(run_in_bands(method, banded, w, h, 3, m.overlap), 3);
        ::testing::internal::GetCapturedStderr();
        std::size_t differ = 0;
        for (std::size_t i = 0; i < whole.size(); ++i) differ += std::memcmp(&whole[i], &banded[i], 4) != 0;
        EXPECT_EQ(differ, 0u) << m.name << " filters " << std::hex << filters;
    }
}

TEST_P(EveryMethod, SmoothSceneComesBackClose) {
    const Method& m = GetParam();
    PatternRecord rec(kRGGB);
    const unsigned w = 96, h = 72;
    const std::vector<float> rgb = smooth_scene(w, h, 0.08);
    std::vector<float> img = mosaic(rec, rgb, w, h);
    ::testing::internal::CaptureStderr();
    run_whole(m, rec.get(), img.data(), w, h);
    ::testing::internal::GetCapturedStderr();
    // A bilinear fill of this scene errs by about 0.01; every method must do
    // at least as well away from the border.
    EXPECT_LT(max_error(img, rgb, w, h, 10), 0.01) << m.name;
    // Measured values are never changed.
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x) {
            const int f = rec.fcol(y, x);
            ASSERT_EQ(img[(y * w + x) * 4 + f], rgb[(y * w + x) * 3 + f]) << m.name << " " << x << "," << y;
        }
}

TEST_P(EveryMethod, TinyBandsStayInsideTheirMemory) {
    const Method& m = GetParam();
    PatternRecord rec(kBGGR);
    for (unsigned w = 1; w <= 14; ++w)
        for (unsigned h = 1; h <= 14; ++h) {
            const std::vector<float> rgb = edgy_scene(w, h, w * 31 + h);
            std::vector<float> img = mosaic(rec, rgb, w, h);
            ::testing::internal::CaptureStderr();
            run_whole(m, rec.get(), img.data(), w, h);  // the sanitizer build checks the reads
            ::testing::internal::GetCapturedStderr();
            for (float v : img) ASSERT_TRUE(std::isfinite(v)) << m.name << " " << w << "x" << h;
        }
}

INSTANTIATE_TEST_SUITE_P(Demosaic, EveryMethod, ::testing::ValuesIn(kDemosaicMethods),
                         [](const ::testing::TestParamInfo<Method>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dvk::test
