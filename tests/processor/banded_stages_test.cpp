// Every stage that runs in bands gives the pixels of a single-band run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

#include "pipeline/processor/raw_processor.h"
#include "pipeline/stages/four_channel_ops.h"
#include "tests/support/engine_state.h"

namespace dvk {
namespace {

constexpr unsigned kRGGB = 0x94949494u;

std::vector<float> random_image(std::size_t n, float lo, float hi, unsigned seed) {
    std::vector<float> v(n);
    for (std::size_t i = 0; i < n; ++i) {
        seed = seed * 1664525u + 1013904223u;
        v[i] = lo + (hi - lo) * float(seed >> 8) / float(1u << 24);
    }
    return v;
}

void expect_close(const std::vector<float>& a, const std::vector<float>& b, std::size_t n, float tol) {
    for (std::size_t i = 0; i < n; ++i) {
        if (tol == 0)
            ASSERT_EQ(a[i], b[i]) << "at " << i;
        else
            ASSERT_NEAR(a[i], b[i], tol * (1 + std::fabs(a[i]))) << "at " << i;
    }
}

class CurveBands : public ::testing::TestWithParam<bool> {};

TEST_P(CurveBands, SameAsOneBand) {
    const bool mosaic = GetParam();
    const unsigned w = 33, h = 1001;
    RawProcessor p;
    test::set_decoder_sizes(p.dvklib(), w, h, mosaic ? kRGGB : 0, !mosaic);
    p.setExposure(0.4);
    p.setBlackShift(4);
    p.setHlCompression(1.0);
    p.setContrast(25);
    const auto src = random_image(std::size_t(w) * h * 4, -0.1f, 1.3f, 5);
    std::vector<float> one = src, many = src;
    {
        test::BandThreadCount t(1);
        p.rgbgImageApplyCurve(one.data());
    }
    {
        test::BandThreadCount t(5);
        p.rgbgImageApplyCurve(many.data());
    }
    expect_close(one, many, one.size(), 0);
    EXPECT_NE(one, src);
}

TEST_P(CurveBands, BalanceInTheCurvePassSameAsBalanceThenCurve) {
    const bool mosaic = GetParam();
    const unsigned w = 29, h = 613;
    for (int recovery : {0, 1}) {
        RawProcessor p;
        test::set_decoder_sizes(p.dvklib(), w, h, mosaic ? kRGGB : 0, !mosaic);
        p.setManualGreen2(1);
        p.setEvRed(0.7);
        p.setEvBlue(-0.4);
        p.setEvWarmCold(0.3);
        p.setEvGreen2(0.1);
        p.setExposure(0.4);
        p.setBlackShift(4);
        p.setHlCompression(1.0);
        p.setContrast(25);
        p.setHighRecoveryEnabled(recovery);
        const auto src = random_image(std::size_t(w) * h * 4, -0.1f, 1.3f, 8);
        std::vector<float> apart = src, together = src;
        test::BandThreadCount t(4);
        p.rgbgImageApplyBalance(apart.data());
        p.rgbgImageApplyCurve(apart.data());
        const double before = p.progress();
        p.rgbgImageApplyBalanceAndCurve(together.data());
        expect_close(apart, together, apart.size(), 0);
        EXPECT_EQ(p.progress() - before, 15.0);
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, CurveBands, ::testing::Values(true, false));

TEST(UnsharpBands, MosaicSharpeningSameAsOneBand) {
    const unsigned w = 30, h = 1000;
    const int n = 4, overlap = 4;
    RawProcessor p;
    test::set_decoder_sizes(p.dvklib(), w, h, kRGGB, false);
    const std::size_t spare = std::size_t(n - 1) * 2 * overlap;
    auto src = random_image(std::size_t(w) * (h + spare) * 4, 0.0f, 1.0f, 9);
    std::vector<float> one = src, many = src;
    BandLayout l1 = p.runRGBGSelectorInThreads(&RawProcessor::unsharpChannelsInThread, 1, overlap, one.data(), w, h);
    BandLayout l4 = p.runRGBGSelectorInThreads(&RawProcessor::unsharpChannelsInThread, n, overlap, many.data(), w, h);
    EXPECT_EQ(l1.bands, 1);
    EXPECT_EQ(l4.bands, n);
    expect_close(one, many, std::size_t(w) * h * 4, 2e-6f);
    EXPECT_NE(std::vector<float>(one.begin(), one.begin() + w * h * 4),
              std::vector<float>(src.begin(), src.begin() + w * h * 4));
}

TEST(UnsharpBands, WithoutMovesSameAsTheOverlappingRunner) {
    // Odd heights leave the last row to neither; overlaps above the smallest
    // band are limited the same way. The banded run masks the sites alone:
    // each site's own sample as the runner gives it, the other samples as
    // they were (no later step reads them); in its general form, all four.
    for (bool sites_only : {true, false}) {
        test::FastPaths fast(sites_only);
        for (auto [h, n, overlap] :
             {std::tuple<unsigned, int, int>{1001, 4, 4}, {777, 5, 4}, {451, 3, 200}, {300, 8, 4}, {3, 1, 4}}) {
            const unsigned w = 26;
            RawProcessor p;
            test::set_decoder_sizes(p.dvklib(), w, h, kRGGB, false);
            const std::size_t spare = std::size_t(n - 1) * 2 * std::size_t(overlap);
            auto src = random_image(std::size_t(w) * (h + spare) * 4, 0.0f, 1.0f, h);
            std::vector<float> moved = src, in_place = src;
            p.runRGBGSelectorInThreads(&RawProcessor::unsharpChannelsInThread, n, overlap, moved.data(), w, h);
            p.unsharpChannelsInBands(n, overlap, in_place.data(), w, h);
            for (unsigned y = 0; y < h; ++y)
                for (unsigned x = 0; x < w; ++x)
                    for (unsigned c = 0; c < 4; ++c) {
                        const std::size_t i = (std::size_t(y) * w + x) * 4 + c;
                        const bool site = c == ((kRGGB >> (((y << 1 & 14) | (x & 1)) << 1)) & 3);
                        const float want = site || !sites_only ? moved[i] : src[i];
                        ASSERT_EQ(in_place[i], want) << "row " << y << " column " << x << " channel " << c << " h " << h;
                    }
            // Nothing is written past the image.
            EXPECT_TRUE(std::equal(in_place.begin() + std::ptrdiff_t(w) * h * 4, in_place.end(),
                                   src.begin() + std::ptrdiff_t(w) * h * 4));
        }
    }
}

TEST(UnsharpBands, CurveSharpeningAndGreensInOnePassSameAsApart) {
    // Odd heights and widths, one band and several, neutral and not neutral
    // balance; the second greens of RGGB carry colour 3.
    constexpr unsigned kRGGBWithG2 = 0xb4b4b4b4u;
    struct Case {
        unsigned w, h;
        int threads;
        double red, exposure, hl;
    } cases[] = {{26, 1001, 4, 0.5, 0, 0}, {27, 777, 5, 0, 0, 0.5}, {31, 300, 1, -0.3, 0.4, 0}, {20, 3, 2, 0, 0, 0}};
    for (const Case& c : cases) {
        const auto src = random_image(std::size_t(c.w) * c.h * 4, -0.2f, 1.2f, c.h);
        std::vector<float> result[2];
        double progress[2];
        for (int k = 0; k < 2; ++k) {
            RawProcessor p;
            DVKLib* d = p.dvklib();
            test::set_decoder_sizes(d, c.w, c.h, kRGGBWithG2, false);
            AlignedBuffer<float> image = allocate_aligned<float>(src.size());
            std::copy(src.begin(), src.end(), image.get());
            set_image(d, std::move(image), src.size() * sizeof(float));
            p.setEvRed(c.red);
            p.setExposure(c.exposure);
            p.setHlCompression(c.hl);
            p.setInterpolation(0);  // three colours: the greens are mixed
            ASSERT_TRUE(p.balanceCurveAndSharpenApplies());
            test::BandThreadCount t(c.threads);
            if (k == 0) {
                p.rgbgImageApplyBalanceAndCurve(d->image_data());
                p.unsharpChannelsInBands(c.threads, 4, d->image_data(), c.w, c.h);
                mix_green_channels(d);
            } else {
                p.balanceCurveAndSharpenInOnePass(c.threads, d->image_data(), c.w, c.h);
            }
            progress[k] = p.progress();
            EXPECT_NE(d->libraw->imgdata.idata.filters, kRGGBWithG2);  // the greens are one colour now
            result[k].assign(d->image_data(), d->image_data() + src.size());
        }
        const std::vector<float>& apart = result[0];
        const std::vector<float>& together = result[1];
        expect_close(apart, together, apart.size(), 0);
        EXPECT_EQ(progress[0], progress[1]);
        EXPECT_NE(apart, src);
    }
}

// A Lab image: L 0..100, a and b -60..60.
std::vector<float> random_lab(unsigned w, unsigned rows, unsigned seed) {
    auto v = random_image(std::size_t(w) * rows * 3, 0.0f, 1.0f, seed);
    for (std::size_t i = 0; i < v.size(); i += 3) {
        v[i] *= 100;
        v[i + 1] = v[i + 1] * 120 - 60;
        v[i + 2] = v[i + 2] * 120 - 60;
    }
    return v;
}

TEST(LabBands, ChromaBlurAndSharpeningSameAsOneBand) {
    const unsigned w = 24, h = 1250;
    const int n = 4, overlap = 6;
    RawProcessor p;
    p.setSharpness(30);
    auto src = random_lab(w, h + 2 * overlap * (n - 1), 3);
    std::vector<float> one = src, many = src;
    p.runRGBSelectorInThreads(&RawProcessor::blurABsharpnessInThread, 1, overlap, one.data(), w, h);
    BandLayout lay = p.runRGBSelectorInThreads(&RawProcessor::blurABsharpnessInThread, n, overlap, many.data(), w, h);
    EXPECT_EQ(lay.bands, n);
    expect_close(one, many, std::size_t(w) * h * 3, 2e-6f);
}

TEST(LabBands, DetailStagesWithoutMovesSameAsTheOverlappingRunner) {
    for (auto [h, n] : {std::pair<unsigned, int>{1250, 4}, {901, 3}, {2111, 7}}) {
        const unsigned w = 18;
        for (int variant = 0; variant < 3; ++variant) {
            RawProcessor p;
            p.setBlurAB(variant != 1);
            p.setSharpness(variant == 2 ? 0 : 30);
            p.setLocalContrast(20);
            p.setSharpnessRadius(2.0f);
            const int lc_overlap = static_cast<int>((p.localContrast() + 5) * p.sharpnessRadius());
            auto src = random_lab(w, h + 2 * unsigned(lc_overlap) * unsigned(n - 1), h + unsigned(variant));
            std::vector<float> moved = src, in_place = src;
            p.runRGBSelectorInThreads(&RawProcessor::blurABsharpnessInThread, n, 6, moved.data(), w, h);
            p.blurABsharpnessInBands(n, 6, in_place.data(), w, h);
            expect_close(moved, in_place, std::size_t(w) * h * 3, 0);
            p.runRGBSelectorInThreads(&RawProcessor::localContrastInThread, n, lc_overlap, moved.data(), w, h);
            p.localContrastInBands(n, lc_overlap, in_place.data(), w, h);
            expect_close(moved, in_place, std::size_t(w) * h * 3, 0);
        }
    }
}

TEST(LabBands, LocalContrastSameAsOneBand) {
    const unsigned w = 20, h = 1300;
    const int n = 4;
    RawProcessor p;
    p.setLocalContrast(20);
    p.setSharpnessRadius(2.0f);
    const int overlap = static_cast<int>((p.localContrast() + 5) * p.sharpnessRadius());
    auto src = random_lab(w, h + 2 * overlap * (n - 1), 4);
    std::vector<float> one = src, many = src;
    p.runRGBSelectorInThreads(&RawProcessor::localContrastInThread, 1, overlap, one.data(), w, h);
    p.runRGBSelectorInThreads(&RawProcessor::localContrastInThread, n, overlap, many.data(), w, h);
    expect_close(one, many, std::size_t(w) * h * 3, 2e-6f);
}

TEST(LabBands, SecondAdjustmentSameAsOneBand) {
    const unsigned w = 16, h = 77;
    RawProcessor p;
    p.setDecompressionBlackPoint(10);
    p.setDecompressionWhitePoint(90);
    auto src = random_lab(w, h, 6);
    std::vector<float> one = src, many = src;
    p.runRGBSelectorInThreads(&RawProcessor::makeAdjustStage2InThread, 1, one.data(), w, h);
    p.runRGBSelectorInThreads(&RawProcessor::makeAdjustStage2InThread, 6, many.data(), w, h);
    expect_close(one, many, one.size(), 0);
    EXPECT_NE(one, src);
}

TEST(ApplyBalance, MultipliersAndRecovery) {
    RawProcessor p;
    test::set_decoder_sizes(p.dvklib(), 2, 1, 0, true);
    p.setManualGreen2(1);
    p.setEvRed(1);
    p.setEvBlue(-1);
    p.setEvWarmCold(0.5);
    p.setEvGreen2(0);
    std::vector<float> img = {0.2f, 0.2f, 0.2f, 0.2f, 0.99f, 0.4f, 0.3f, 0.4f};
    p.rgbgImageApplyBalance(img.data());
    EXPECT_FLOAT_EQ(img[0], 0.2f * float(std::exp2(1.5)));
    EXPECT_FLOAT_EQ(img[2], 0.2f * float(std::exp2(-1.5)));
    EXPECT_FLOAT_EQ(img[4], 0.99f * float(std::exp2(1.5)));
    p.setHighRecoveryEnabled(1);
    std::vector<float> img2 = {0.99f, 0.4f, 0.3f, 0.4f};
    test::set_decoder_sizes(p.dvklib(), 1, 1, 0, true);
    p.rgbgImageApplyBalance(img2.data());
    // Rebuilt neutral at the least clipped level: m x multiplier[G] in every channel.
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(img2[c], 0.3f, 1e-6);
}

}  // namespace
}  // namespace dvk
