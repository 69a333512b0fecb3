// Patch sampling and the swatch colour, with values worked out by hand.
#include <gtest/gtest.h>

#include <vector>

#include "profiling/patch_sampling.h"

namespace dvk {
namespace {

// A width x height preview of one colour.
std::vector<float> uniform(unsigned width, unsigned height, float r, float g, float b) {
    std::vector<float> v;
    for (unsigned i = 0; i < width * height; ++i) v.insert(v.end(), {r, g, b});
    return v;
}

void set_pixel(std::vector<float>& img, unsigned width, unsigned x, unsigned y, float r, float g, float b) {
    float* p = &img[(y * width + x) * 3];
    p[0] = r;
    p[1] = g;
    p[2] = b;
}

TEST(SamplePatch, ThreeByThreeGridByHand) {
    // Red runs 0.1 .. 0.9: mean 0.5, sd1 = sqrt(0.6 / 9) = 0.2582, so the
    // second round keeps 0.3 .. 0.7: mean 0.5, sd sqrt(0.1 / 5) = 0.141421.
    // Green is even at 0.3 with one clipped pixel (left out), blue even at 0.3
    // with one bright speck at 0.9 (outside the first band).
    std::vector<float> img(9 * 3);
    for (unsigned i = 0; i < 9; ++i) set_pixel(img, 3, i % 3, i / 3, 0.1f * static_cast<float>(i + 1), 0.3f, 0.3f);
    set_pixel(img, 3, 1, 1, 0.5f, 1.0f, 0.9f);
    double mean[3], sd[3];
    ASSERT_TRUE(sample_patch(img.data(), 3, 3, 0, 0, 3, 3, true, mean, sd));
    EXPECT_NEAR(mean[0], 0.5, 1e-6);
    EXPECT_NEAR(sd[0], 0.141421, 1e-6);
    EXPECT_NEAR(mean[1], 0.3, 1e-6);
    EXPECT_DOUBLE_EQ(sd[1], static_cast<double>(0.001f));  // even: the floor, not 0
    EXPECT_NEAR(mean[2], 0.3, 1e-6);
    EXPECT_DOUBLE_EQ(sd[2], static_cast<double>(0.001f));

    // The 0.8 / 0.1 mapping: 0.5 stays 0.5, the clipped 1.0 becomes 0.9 and
    // counts in the first round (then falls outside its band).
    ASSERT_TRUE(sample_patch(img.data(), 3, 3, 0, 0, 3, 3, false, mean, sd));
    EXPECT_NEAR(mean[0], 0.5, 1e-6);
    EXPECT_NEAR(sd[0], 0.8 * 0.141421, 1e-6);
    EXPECT_NEAR(mean[1], 0.34, 1e-6);
}

TEST(SamplePatch, ClippedValuesInOrOutByCurveType) {
    const std::vector<float> clipped = uniform(4, 4, 1.0f, 1.0f, 1.0f);
    double mean[3] = {-1, -1, -1}, sd[3] = {-1, -1, -1};
    // Curve type 3: exact 1.0 never counts, so nothing is measurable and the
    // outputs stay as they were (no division by zero, no "nan").
    EXPECT_FALSE(sample_patch(clipped.data(), 4, 4, 0, 0, 4, 4, true, mean, sd));
    EXPECT_EQ(mean[0], -1);
    EXPECT_EQ(sd[2], -1);
    // Otherwise 1.0 is lifted to 0.9.
    ASSERT_TRUE(sample_patch(clipped.data(), 4, 4, 0, 0, 4, 4, false, mean, sd));
    EXPECT_NEAR(mean[0], 0.9, 1e-6);
    EXPECT_DOUBLE_EQ(sd[0], static_cast<double>(0.001f));
    // One dead channel is enough to refuse the patch.
    const std::vector<float> no_blue = uniform(4, 4, 0.5f, 0.5f, 0.0f);
    EXPECT_FALSE(sample_patch(no_blue.data(), 4, 4, 0, 0, 4, 4, true, mean, sd));
}

TEST(SamplePatch, RectanglesAreClampedToTheImage) {
    // 4 x 4 with a distinct bottom-right and top-left quarter.
    std::vector<float> img = uniform(4, 4, 0.2f, 0.2f, 0.2f);
    for (unsigned y = 2; y < 4; ++y)
        for (unsigned x = 2; x < 4; ++x) set_pixel(img, 4, x, y, 0.6f, 0.6f, 0.6f);
    for (unsigned y = 0; y < 2; ++y)
        for (unsigned x = 0; x < 2; ++x) set_pixel(img, 4, x, y, 0.4f, 0.4f, 0.4f);
    double mean[3], sd[3];
    ASSERT_TRUE(sample_patch(img.data(), 4, 4, 2, 2, 50, 50, true, mean, sd));  // past right and bottom
    EXPECT_NEAR(mean[0], 0.6, 1e-6);
    ASSERT_TRUE(sample_patch(img.data(), 4, 4, -2, -2, 4, 4, true, mean, sd));  // negative origin
    EXPECT_NEAR(mean[1], 0.4, 1e-6);
    EXPECT_FALSE(sample_patch(img.data(), 4, 4, 4, 0, 3, 3, true, mean, sd));    // wholly outside
    EXPECT_FALSE(sample_patch(img.data(), 4, 4, -5, -5, 3, 3, true, mean, sd));
    EXPECT_FALSE(sample_patch(img.data(), 4, 4, 0, 0, 0, 3, true, mean, sd));    // empty
    EXPECT_FALSE(sample_patch(nullptr, 4, 4, 0, 0, 3, 3, true, mean, sd));
}

TEST(PatchColorToRgb, D50WhiteIsWhiteAndValuesAreClamped) {
    double rgb[3];
    patch_color_to_rgb(rgb, kSwatchXYZToRGB, kSwatchExponent, 0.964242, 1.0, 0.825124);
    for (double v : rgb) EXPECT_NEAR(v, 1.0, 1e-3);
    // Mid grey (Y 0.18) goes through the exponent: 0.18^(1/2.2).
    patch_color_to_rgb(rgb, kSwatchXYZToRGB, kSwatchExponent, 0.964242 * 0.18, 0.18, 0.825124 * 0.18);
    for (double v : rgb) EXPECT_NEAR(v, 0.45865, 1e-3);
    // Pure X: red above 1 and green below 0 are clamped; exponent 1 leaves values linear.
    const double* out = patch_color_to_rgb(rgb, kSwatchXYZToRGB, 1.0, 1.0, 0, 0);
    EXPECT_EQ(out, rgb);
    EXPECT_EQ(rgb[0], 1.0);
    EXPECT_EQ(rgb[1], 0.0);
    EXPECT_NEAR(rgb[2], 0.040011662, 1e-12);
}

}  // namespace
}  // namespace dvk
