#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <vector>

#include "core/buffer_conversions.h"
#include "core/dvklib.h"
#include "pipeline/stages/lab_adjust.h"

namespace dvk {
namespace {

TEST(ClampRgbFloat, Rule) {
    std::vector<float> img = {0.5f, 1.0f, 0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(), 2.0f};
    clamp_rgb_float(img.data(), 2, 1);
    EXPECT_EQ(img, (std::vector<float>{0.5f, 1.0f, FLT_MIN, FLT_MIN, 1.0f, 1.0f}));
}

TEST(RgbgToRgbFloat, InPlaceTwoPixels) {
    std::vector<float> img = {1, 2, 3, 4, 5, 6, 7, 8};
    rgbg_to_rgb_float(img.data(), 2, 1, img.data(), 32, 0);
    EXPECT_EQ(std::vector<float>(img.begin(), img.begin() + 6), (std::vector<float>{1, 3, 3, 5, 7, 7}));
}

TEST(RgbgToRgbFloat, GreenOnlyAndLargeInPlace) {
    const std::size_t n = 1000;  // several chunks
    std::vector<float> img(n * 4);
    for (std::size_t i = 0; i < img.size(); ++i) img[i] = float(i);
    std::vector<float> src = img;
    rgbg_to_rgb_float(img.data(), 50, 20, img.data(), 32, 1);
    for (std::size_t p = 0; p < n; ++p) {
        ASSERT_EQ(img[3 * p], src[4 * p]);
        ASSERT_EQ(img[3 * p + 1], src[4 * p + 1]);
        ASSERT_EQ(img[3 * p + 2], src[4 * p + 2]);
    }
    AlignedBuffer<float> out = rgbg_to_rgb_float(src.data(), 50, 20, 32, 0);
    ASSERT_TRUE(out);
    EXPECT_EQ(out[1], (src[1] + src[3]) * 0.5f);
}

// Large enough that the in-place conversion runs its growing ranges on the
// band threads after the first stretch on the calling thread.
TEST(RgbgToRgbFloat, ManyPixelsInPlaceOnThreadsAsAlone) {
    const unsigned w = 700, h = 400;  // 280000 pixels
    const std::size_t n = std::size_t(w) * h;
    std::vector<float> src(n * 4);
    for (std::size_t i = 0; i < src.size(); ++i) src[i] = float(i % 65521) * 0.25f;
    const int saved = band_thread_count;
    for (int green_only = 0; green_only < 2; ++green_only) {
        std::vector<float> img = src;
        band_thread_count = 6;
        rgbg_to_rgb_float(img.data(), w, h, img.data(), 32, green_only);
        band_thread_count = saved;
        for (std::size_t p = 0; p < n; ++p) {
            const float g = green_only ? src[4 * p + 1] : (src[4 * p + 1] + src[4 * p + 3]) * 0.5f;
            ASSERT_EQ(img[3 * p], src[4 * p]) << p;
            ASSERT_EQ(img[3 * p + 1], g) << p;
            ASSERT_EQ(img[3 * p + 2], src[4 * p + 2]) << p;
        }
    }
}

TEST(RgbgToRgbFloat, ClampedFormEqualsConversionThenClamp) {
    const unsigned w = 613, h = 300;  // on the band threads too
    const std::size_t n = std::size_t(w) * h;
    std::vector<float> src(n * 4);
    for (std::size_t i = 0; i < src.size(); ++i) src[i] = float(int(i % 977) - 300) / 500.0f;  // -0.6 .. 1.35
    src[5] = std::numeric_limits<float>::quiet_NaN();
    src[8] = std::numeric_limits<float>::infinity();
    const int saved = band_thread_count;
    band_thread_count = 5;
    for (int green_only = 0; green_only < 2; ++green_only) {
        std::vector<float> two = src, one = src;
        rgbg_to_rgb_float(two.data(), w, h, two.data(), 32, green_only);
        clamp_rgb_float(two.data(), w, int(h));
        rgbg_to_clamped_rgb_float(one.data(), w, h, one.data(), green_only);
        for (std::size_t i = 0; i < n * 3; ++i) ASSERT_EQ(one[i], two[i]) << i;
    }
    band_thread_count = saved;
}

TEST(ConvertRgbFloatToBits, EdgeValues) {
    const std::vector<float> src = {1.0f, 0.0f, 0.5f};
    std::uint8_t b8[3];
    std::uint16_t b16[3];
    ASSERT_TRUE(convert_rgb_float_to_bits(src.data(), 1, 1, b8, 8, false));
    EXPECT_EQ(b8[0], 255);
    EXPECT_EQ(b8[1], 0);
    EXPECT_EQ(b8[2], 128);
    ASSERT_TRUE(convert_rgb_float_to_bits(src.data(), 1, 1, b8, 8, true));
    EXPECT_EQ(b8[0], 240);
    EXPECT_EQ(b8[1], 16);
    ASSERT_TRUE(convert_rgb_float_to_bits(src.data(), 1, 1, b16, 16, false));
    EXPECT_EQ(b16[0], 65535);
    EXPECT_EQ(b16[1], 0);
    EXPECT_EQ(b16[2], 32768);
    ASSERT_TRUE(convert_rgb_float_to_bits(src.data(), 1, 1, b16, 16, true));
    EXPECT_EQ(b16[0], 61680);
    EXPECT_EQ(b16[1], 4112);
    float f32[3];
    ASSERT_TRUE(convert_rgb_float_to_bits(src.data(), 1, 1, f32, 32, false));
    EXPECT_EQ(f32[2], 0.5f);
    EXPECT_FALSE(convert_rgb_float_to_bits(src.data(), 1, 1, b8, 12, false));
    EXPECT_FALSE(convert_rgb_float_to_bits(nullptr, 1, 1, b8, 8, false));
    EXPECT_FALSE(convert_rgb_float_to_bits(src.data(), 1, 1, 12, false));
}

TEST(ConvertRgbFloatToBits, OutOfRangeSaturates) {
    const std::vector<float> src = {1.01f, -0.2f, std::numeric_limits<float>::quiet_NaN()};
    std::uint16_t b16[3];
    ASSERT_TRUE(convert_rgb_float_to_bits(src.data(), 1, 1, b16, 16, false));
    EXPECT_EQ(b16[0], 65535);
    EXPECT_EQ(b16[1], 0);
    EXPECT_EQ(b16[2], 0);
    AlignedBuffer<std::uint8_t> out = convert_rgb_float_to_bits(src.data(), 1, 1, 8, false);
    ASSERT_TRUE(out);
    EXPECT_EQ(out[0], 255);
}

TEST(CompressRgbRange, IntoPointOneToPointNine) {
    skip_rgb_compression = false;
    std::vector<float> rgb = {0.0f, 1.0f, 0.5f};
    compress_rgb_range(nullptr, rgb.data(), 1, 1);
    EXPECT_EQ(rgb[0], 0.1f);
    EXPECT_EQ(rgb[1], static_cast<float>(static_cast<double>(0.8f) + 0.1));
    EXPECT_EQ(rgb[2], static_cast<float>(static_cast<double>(0.5f * 0.8f) + 0.1));
    skip_rgb_compression = true;
    compress_rgb_range(nullptr, rgb.data(), 1, 1);
    EXPECT_EQ(rgb[0], 0.1f);
    skip_rgb_compression = false;
}

TEST(MakeAdjustStage2, StretchesAndLimitsL) {
    skip_rgb_compression = false;
    std::vector<float> lab = {50, 10, -10, 90, 1, 2, 10, 0, 0, std::numeric_limits<float>::quiet_NaN(), 0, 0};
    make_adjust_stage2(nullptr, lab.data(), 4, 1, 20.0f, 80.0f);
    EXPECT_NEAR(lab[0], 50.0f, 1e-5);
    EXPECT_EQ(lab[1], 10.0f);
    EXPECT_EQ(lab[3], 100.0f);
    EXPECT_EQ(lab[6], 0.0f);
    EXPECT_EQ(lab[9], 100.0f);
}

TEST(MakeAdjustStage2, NothingForIdentityOrDegeneratePoints) {
    std::vector<float> lab = {50, 1, 1};
    make_adjust_stage2(nullptr, lab.data(), 1, 1, 0.0f, 1.0f);
    make_adjust_stage2(nullptr, lab.data(), 1, 1, 30.0f, 30.0f);
    skip_rgb_compression = true;
    make_adjust_stage2(nullptr, lab.data(), 1, 1, 20.0f, 80.0f);
    skip_rgb_compression = false;
    EXPECT_EQ(lab[0], 50.0f);
}

TEST(LabOptimize, Mapping) {
    std::vector<float> lab = {100, 10, -20, 0, 0, 0};
    lab_optimize(nullptr, lab.data(), 2, 1);
    EXPECT_EQ(lab[0], 95.0f);
    EXPECT_EQ(lab[1], 9.0f);
    EXPECT_EQ(lab[2], -18.0f);
    EXPECT_EQ(lab[3], 5.0f);
}

TEST(Saturation, Factors) {
    EXPECT_EQ(user_saturation_factor(-1000), 0.0);
    EXPECT_DOUBLE_EQ(user_saturation_factor(15), 255.0 / 225.0);
    EXPECT_TRUE(std::isfinite(user_saturation_factor(127.5)));
    EXPECT_TRUE(std::isfinite(user_saturation_factor(200)));
    std::vector<float> lab = {50, 10, -10, 50, 0, 0};
    scale_ab(lab.data(), 2, 1, user_saturation_factor(127.5));
    EXPECT_EQ(lab[1], 127.0f);
    EXPECT_EQ(lab[2], -128.0f);
    EXPECT_EQ(lab[4], 0.0f);  // no chroma stays no chroma (never NaN)
    std::vector<float> grey = {50, 30, -40};
    scale_ab(grey.data(), 1, 1, user_saturation_factor(-1000));
    EXPECT_EQ(grey[1], 0.0f);
    EXPECT_EQ(grey[2], 0.0f);
    std::vector<float> s15 = {50, 90, -45};
    scale_ab(s15.data(), 1, 1, 255.0 / 225.0);
    EXPECT_FLOAT_EQ(s15[1], 102.0f);
    EXPECT_FLOAT_EQ(s15[2], -51.0f);
    std::vector<float> nan = {50, std::numeric_limits<float>::quiet_NaN(), 0};
    scale_ab(nan.data(), 1, 1, 2.0);
    EXPECT_EQ(nan[1], 127.0f);
}

}  // namespace
}  // namespace dvk
