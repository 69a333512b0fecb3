#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "pipeline/demosaic/demosaic.h"
#include "pipeline/stages/four_channel_ops.h"
#include "pipeline/processor/raw_processor.h"
#include "tests/support/engine_state.h"

namespace dvk {
namespace {

constexpr unsigned kRggbFilters = 0x94949494u;

// A flat mosaic: every site holds `level` in its own channel.
std::vector<float> flat_mosaic(RawProcessor& p, unsigned w, unsigned h, unsigned spare, float level) {
    std::vector<float> img(std::size_t(w) * (h + spare) * 4, 0.0f);
    for (unsigned r = 0; r < h; ++r)
        for (unsigned c = 0; c < w; ++c)
            img[(std::size_t(r) * w + c) * 4 + unsigned(p.dvklib()->libraw->fcol(int(r), int(c)))] = level;
    return img;
}

TEST(Workers, DemosaicWorkersFillAFlatMosaic) {
    for (auto worker : {&RawProcessor::AHDInThread, &RawProcessor::VCDInThread, &RawProcessor::VNGInThread,
                        &RawProcessor::LMMSEInThread}) {
        RawProcessor p;
        const unsigned w = 40, h = 360;
        test::set_decoder_sizes(p.dvklib(), w, h, kRggbFilters, false);
        p.dvklib()->libraw->imgdata.params.four_color_rgb = 0;
        auto img = flat_mosaic(p, w, h, 2 * 16, 0.25f);
        BandLayout lay = p.runRGBGSelectorInThreads(worker, 2, 16, img.data(), w, h);
        EXPECT_EQ(lay.bands, 2);
        // Away from the edges every pixel has all three colours at the flat level.
        for (unsigned r = 20; r < h - 20; ++r)
            for (unsigned c = 10; c < w - 10; ++c)
                for (int k = 0; k < 3; ++k)
                    ASSERT_NEAR(img[(std::size_t(r) * w + c) * 4 + unsigned(k)], 0.25f, 1e-3) << r << "," << c << "," << k;
    }
}

// A random mosaic: each site holds a value in its own channel, junk in the
// others (AHD reads only a site's own sample).
std::vector<float> random_mosaic(RawProcessor& p, unsigned w, unsigned h, unsigned spare, unsigned seed) {
    std::vector<float> img(std::size_t(w) * (h + spare) * 4);
    for (float& v : img) {
        seed = seed * 1664525u + 1013904223u;
        v = float(seed >> 8) / float(1u << 24);
    }
    return img;
}

TEST(Workers, AhdInBandsWithoutMovesSameAsTheOverlappingRunner) {
    // Bayer layouts take the row form; a pattern repeating every four rows
    // goes through the overlapping runner.
    for (unsigned filters : {kRggbFilters, 0x16161616u, 0x61616161u, 0x49494949u, 0x61946194u})
        for (auto [h, n] : {std::pair<unsigned, int>{1001, 4}, {640, 3}, {2003, 8}}) {
            RawProcessor p;
            const unsigned w = 45;
            test::set_decoder_sizes(p.dvklib(), w, h, filters, false);
            const unsigned spare = 2 * 16 * unsigned(n - 1);
            const auto src = random_mosaic(p, w, h, spare, h + filters);
            std::vector<float> moved = src, in_place = src;
            p.runRGBGSelectorInThreads(&RawProcessor::AHDInThread, n, 16, moved.data(), w, h);
            p.AHDInBands(n, 16, in_place.data(), w, h);
            const std::size_t image = std::size_t(w) * h * 4;
            for (std::size_t i = 0; i < image; ++i)
                ASSERT_EQ(moved[i], in_place[i]) << std::hex << filters << std::dec << " h " << h << " at " << i;
            EXPECT_EQ(ahd_takes_rows(p.dvklib()), filters != 0x61946194u);
        }
}

TEST(Workers, LmmseInBandsWithoutMovesSameAsTheOverlappingRunner) {
    for (unsigned filters : {kRggbFilters, 0x16161616u, 0x61946194u})
        for (auto [h, n] : {std::pair<unsigned, int>{901, 3}, {1203, 5}}) {
            RawProcessor p;
            const unsigned w = 37;
            test::set_decoder_sizes(p.dvklib(), w, h, filters, false);
            const auto src = random_mosaic(p, w, h, 2 * 16 * unsigned(n - 1), h + filters);
            std::vector<float> moved = src, in_place = src;
            ::testing::internal::CaptureStderr();  // the method's messages
            p.runRGBGSelectorInThreads(&RawProcessor::LMMSEInThread, n, 16, moved.data(), w, h);
            p.LMMSEInBands(n, 16, in_place.data(), w, h);
            ::testing::internal::GetCapturedStderr();
            const std::size_t image = std::size_t(w) * h * 4;
            for (std::size_t i = 0; i < image; ++i)
                ASSERT_EQ(moved[i], in_place[i]) << std::hex << filters << std::dec << " h " << h << " at " << i;
        }
}

TEST(Workers, BinningWritesTheReducedSizeBack) {
    RawProcessor p;
    test::set_decoder_sizes(p.dvklib(), 12, 9, kRggbFilters, false);
    auto img = flat_mosaic(p, 12, 9, 0, 0.5f);
    band_record rec = test::one_band(img.data(), 12, 9);
    p.Binn32TrInThread(&rec);
    EXPECT_EQ(rec.width, 4u);  // 2 x floor(12 / 3) - 4
    EXPECT_EQ(rec.rows_with_overlap, 6u);
    EXPECT_EQ(rec.done, 1u);
}

TEST(Workers, MosaicSharpeningRadiusFollowsTheDecode) {
    // Red sites of 0.2 (zeros elsewhere), one of them raised: radius 2 (mosaic)
    // reaches the red site two columns away, radius 1 (half size) does not.
    for (bool half : {false, true}) {
        RawProcessor p;
        const unsigned w = 16, h = 16;
        test::set_decoder_sizes(p.dvklib(), w, h, kRggbFilters, half);
        std::vector<float> plain(std::size_t(w) * h * 4, 0.0f);
        for (unsigned r = 0; r < h; r += 2)
            for (unsigned c = 0; c < w; c += 2) plain[(r * w + c) * 4] = 0.2f;
        std::vector<float> spot = plain;
        spot[(8 * w + 8) * 4] = 0.8f;
        for (auto* img : {&plain, &spot}) {
            band_record rec = test::one_band(img->data(), w, h);
            p.unsharpChannelsInThread(&rec);
            EXPECT_EQ(rec.done, 1u);
        }
        const std::size_t two_away = (8 * w + 10) * 4, three_away = (8 * w + 11) * 4;
        if (half)
            EXPECT_EQ(spot[two_away], plain[two_away]);
        else
            EXPECT_LT(spot[two_away], plain[two_away]);
        EXPECT_EQ(spot[three_away + 4], plain[three_away + 4]);  // (8, 12): out of reach of both
        EXPECT_GT(spot[(8 * w + 8) * 4], 0.8f);
    }
}

TEST(Workers, ResetCopiesTheLoadedImageIntoImage32) {
    RawProcessor p;
    EXPECT_EQ(p.image32(), nullptr);
    p.rgbgImageReset();  // no buffer: nothing to copy, no crash
    EXPECT_EQ(p.progress(), 5);
}

TEST(Workers, CurveWorkerRunsTheStagesInOrder) {
    RawProcessor p;
    test::set_decoder_sizes(p.dvklib(), 1, 1, 0, true);
    p.setExposure(1);
    p.setGamma(1.0);
    p.setCurveType(0);
    std::vector<float> img = {0.25f, 0.1f, 0.6f, 0.0f};
    band_record rec = test::one_band(img.data(), 1, 1);
    p.runApplyCurveVecFInThread(&rec);
    EXPECT_EQ(rec.done, 1u);
    // Doubled, clamped, gamma 1: no curve.
    EXPECT_FLOAT_EQ(img[0], 0.5f);
    EXPECT_FLOAT_EQ(img[1], 0.2f);
    EXPECT_FLOAT_EQ(img[2], 1.0f);
    EXPECT_EQ(img[3], 1.1754944e-38f);
}

}  // namespace
}  // namespace dvk

#include "pipeline/stages/tone_stages.h"

namespace dvk {
namespace {

TEST(Workers, ChunkedCurveWorkerEqualsWholeBandPasses) {
    for (bool mosaic : {true, false}) {
        RawProcessor p;
        const unsigned w = 21, h = 157;
        test::set_decoder_sizes(p.dvklib(), w, h, mosaic ? kRggbFilters : 0, !mosaic);
        p.setExposure(0.3);
        p.setBlackShift(3);
        p.setHlCompression(0.7);
        p.setContrast(-12);
        std::vector<float> a(std::size_t(w) * h * 4);
        std::uint32_t seed = 3;
        for (float& v : a) {
            seed = seed * 1664525u + 1013904223u;
            v = float(seed >> 8) / float(1u << 24) * 1.3f - 0.1f;
        }
        std::vector<float> b = a;
        band_record rec = test::one_band(a.data(), w, h);
        p.runApplyCurveVecFInThread(&rec);
        DVKLib* d = p.dvklib();
        black_shift(d, b.data(), w, h, 3.0f);
        const double e = std::exp2(0.3);
        multiply_channels(d, b.data(), w, int(h), e, e, e, e);
        clamp_rgbg_float(d, b.data(), w, int(h));
        compress_highlights(d, b.data(), w, h, 0.7f, 2.0f);
        apply_tone_curve(d, b.data(), w, h, 1, 50.0f, -12.0f, 1.8f);
        ASSERT_EQ(a, b) << (mosaic ? "mosaic" : "full colour");
    }
}

}  // namespace
}  // namespace dvk
