#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <vector>

#include "pipeline/stages/tone_stages.h"
#include "core/vector_math.h"
#include "tests/stages/stage_fixture.h"

namespace dvk {
namespace {

using test::Record;

std::vector<float> pixels_of(std::initializer_list<float> values) { return std::vector<float>(values); }

TEST(VectorMath, MatchesTheCLibrary) {
    for (float x : {1e-30f, 1e-6f, 0.001f, 0.125f, 0.5f, 0.7071f, 1.0f, 1.5f, 2.0f, 100.0f, 3e30f}) {
        EXPECT_NEAR(vm::log(x), std::log(x), 2e-7 * std::fabs(std::log(x)) + 1e-7) << x;
    }
    EXPECT_NEAR(vm::log(1e-40f), std::log(1e-40f), 1e-5);  // a denormal
    EXPECT_EQ(vm::log(0.0f), -std::numeric_limits<float>::infinity());
    EXPECT_TRUE(std::isnan(vm::log(-1.0f)));
    EXPECT_EQ(vm::log(1.0f), 0.0f);
    for (float x : {-100.0f, -80.0f, -10.0f, -1.0f, -0.3f, 0.0f, 0.2f, 1.0f, 10.0f, 80.0f, 88.5f}) {
        if (x > -87.0f) EXPECT_NEAR(vm::exp(x) / std::exp(x), 1.0, 5e-7) << x;
        else EXPECT_EQ(vm::exp(x), 0.0f);
    }
    EXPECT_EQ(vm::exp(0.0f), 1.0f);
    EXPECT_EQ(vm::exp(-std::numeric_limits<float>::infinity()), 0.0f);
    EXPECT_EQ(vm::exp(200.0f), std::numeric_limits<float>::infinity());
    EXPECT_TRUE(std::isnan(vm::exp(std::numeric_limits<float>::quiet_NaN())));
}

TEST(ClampRgbgFloat, Rule) {
    auto img = pixels_of({0.5f, 0.0f, -2.0f, 1.5f, std::numeric_limits<float>::quiet_NaN(), 1.0f, 0.25f, 1e-30f});
    clamp_rgbg_float(nullptr, img.data(), 2, 1);
    EXPECT_EQ(img, pixels_of({0.5f, FLT_MIN, FLT_MIN, 1.0f, 1.0f, 1.0f, 0.25f, 1e-30f}));
    EXPECT_EQ(FLT_MIN, 1.1754944e-38f);
}

TEST(CompressHighlights, WorkedNumbers) {
    auto img = pixels_of({0.125f, 1.0f, 0.05f, 0.5f});
    compress_highlights(nullptr, img.data(), 1, 1, 1.0f, 2.0f);
    EXPECT_NEAR(img[0], 0.25f, 2e-7);
    EXPECT_NEAR(img[1], 1.0f, 1e-7);
    EXPECT_EQ(img[2], 0.1f);  // below T: doubled
    // 0.5: L = 1/3, e = (1/3)^(1/2) * 2/3
    const double e = std::sqrt(1.0 / 3.0) * 2.0 / 3.0;
    EXPECT_NEAR(img[3], std::pow(0.5, e), 1e-6);
}

TEST(CompressHighlights, NothingAtZeroAndNoNanBelowZero) {
    auto img = pixels_of({0.3f, 0.6f, 1.0f, 2.0f});
    auto before = img;
    compress_highlights(nullptr, img.data(), 1, 1, 0.0f, 2.0f);
    EXPECT_EQ(img, before);
    compress_highlights(nullptr, img.data(), 1, 1, -1.0f, 2.0f);  // range ignored: T = 2
    EXPECT_EQ(img, pixels_of({0.15f, 0.3f, 0.5f, 1.0f}));
}

TEST(BlackShift, WorkedNumbers) {
    auto img = pixels_of({0.5f, 0.18f, 0.0f, 1.2f});
    black_shift(nullptr, img.data(), 1, 1, 10.0f);
    EXPECT_NEAR(img[0], 0.4f, 1e-7);
    EXPECT_NEAR(img[1], 0.08f, 1e-6);  // t maps to x1
    EXPECT_EQ(img[2], 0.0f);           // not in (0, 1): unchanged
    EXPECT_NEAR(img[3], 1.1f, 1e-6);
    // Below t the curve falls smoothly toward 0.
    auto low = pixels_of({0.1f, 0.05f, 0.01f, 0.001f});
    black_shift(nullptr, low.data(), 1, 1, 10.0f);
    const double p = 0.1, x1 = 0.08, t = 0.18, k = std::log(x1) / ((t - std::log(t)) * std::log(t));
    for (int i = 0; i < 4; ++i) {
        const double v = std::vector<double>{0.1, 0.05, 0.01, 0.001}[static_cast<std::size_t>(i)];
        EXPECT_NEAR(low[static_cast<std::size_t>(i)], std::pow(v, (t - std::log(v)) * k), 2e-6);
    }
    EXPECT_GT(low[0], low[1]);
    (void)p;
}

TEST(BlackShift, NegativeShiftLiftsTheUpperValues) {
    auto img = pixels_of({0.5f, 0.9f, 0.2f, 0.3f});
    black_shift(nullptr, img.data(), 1, 1, -10.0f);
    // p = -0.1, x1 = -0.1: k = 1000, t = -0.2: every value >= t gains 0.1.
    EXPECT_NEAR(img[0], 0.6f, 1e-7);
    EXPECT_NEAR(img[1], 1.0f, 1e-7);
}

TEST(BlackShift, MosaicShiftsTheOddLastColumnAsTheRest) {
    Record r(test::kRGGB, 3, 2);
    std::vector<float> img(3 * 2 * 4, 0.5f);
    black_shift(r.get(), img.data(), 3, 2, 10.0f);
    // Site (0, 0) is red: only channel 0 changes.
    EXPECT_NEAR(img[0], 0.4f, 1e-7);
    EXPECT_EQ(img[1], 0.5f);
    EXPECT_NEAR(img[4 + 1], 0.4f, 1e-7);  // (0, 1) green
    // The odd last column: (0, 2) is red, (1, 2) green; only their own channel changes.
    for (int c = 0; c < 4; ++c) {
        EXPECT_NEAR(img[2 * 4 + c], c == 0 ? 0.4f : 0.5f, 1e-7);
        EXPECT_NEAR(img[(3 + 2) * 4 + c], c == 1 ? 0.4f : 0.5f, 1e-7);
    }
}

TEST(ToneCurve, DefaultsAreTheLogarithmicCurve) {
    auto img = pixels_of({0.0f, 0.1f, 0.5f, 1.0f});
    apply_tone_curve(nullptr, img.data(), 1, 1, 1, 50.0f, 0.0f, 1.8f);
    const double K = std::pow(10.0, 1.2);
    EXPECT_NEAR(img[0], std::log1p((K - 1) * FLT_MIN) / std::log(K), 1e-30);
    EXPECT_GT(img[0], 0.0f);
    EXPECT_NEAR(img[1], std::log(1 + (K - 1) * 0.1) / std::log(K), 3e-7);
    EXPECT_NEAR(img[2], std::log(1 + (K - 1) * 0.5) / std::log(K), 3e-7);
    EXPECT_NEAR(img[3], 1.0f, 1e-7);
}

TEST(ToneCurve, LogarithmicCurveAtKOneIsTheIdentity) {
    const float b = 100.0f - 100.0f / 1.2f;
    auto img = pixels_of({0.1f, 0.25f, 0.5f, 0.9f});
    apply_tone_curve(nullptr, img.data(), 1, 1, 1, b, 0.0f, 1.8f);
    EXPECT_NEAR(img[0], 0.1f, 1e-6);
    EXPECT_NEAR(img[1], 0.25f, 1e-6);
    EXPECT_NEAR(img[2], 0.5f, 1e-6);
    EXPECT_NEAR(img[3], 0.9f, 1e-6);
    for (float v : img) EXPECT_FALSE(std::isnan(v));
    // Near K = 1 the curve stays continuous with the exact formula.
    auto near = pixels_of({0.1f, 0.25f, 0.5f, 0.9f});
    apply_tone_curve(nullptr, near.data(), 1, 1, 1, b + 0.05f, 0.0f, 1.8f);
    const double K = std::pow(10.0, 3.0 * (1.0 + (100.0 - double(b + 0.05f)) * (-1.2) / 100.0));
    EXPECT_NEAR(near[2], std::log(1 + (K - 1) * 0.5) / std::log(K), 1e-6);
}

TEST(ToneCurve, LightnessCurve) {
    auto img = pixels_of({1.0f, 0.008856451679035631f, 0.001f, 0.5f});
    apply_tone_curve(nullptr, img.data(), 1, 1, 2, 50.0f, 0.0f, 1.8f);
    EXPECT_NEAR(img[0], 1.0f, 2e-7);
    EXPECT_NEAR(img[1], 0.08f, 1e-6);
    EXPECT_NEAR(img[2], 0.001 * 903.2962962962963 / 100, 1e-7);
    EXPECT_NEAR(img[3], (116 * std::cbrt(0.5) - 16) / 100, 1e-6);
}

TEST(ToneCurve, GammaOneLeavesClampedValues) {
    Record r;
    r->gamma = 1.0;
    auto img = pixels_of({0.3f, 0.0f, 1.5f, 0.7f});
    apply_tone_curve(r.get(), img.data(), 1, 1, 0, 50.0f, 0.0f, 1.8f);
    EXPECT_EQ(img, pixels_of({0.3f, FLT_MIN, 1.0f, 0.7f}));
    r->gamma = 2.2;
    apply_tone_curve(r.get(), img.data(), 1, 1, 3, 50.0f, 0.0f, 1.8f);
    EXPECT_NEAR(img[0], std::pow(0.3, 1 / 2.2), 1e-6);
}

TEST(ToneCurve, ContrastFixesOneOverValueZ) {
    Record r;
    r->gamma = 1.0;
    auto img = pixels_of({1.0f / 1.8f, 0.2f, 0.9f, 1.0f});
    apply_tone_curve(r.get(), img.data(), 1, 1, 0, 50.0f, 40.0f, 1.8f);  // s = 2
    const double z = -std::log(1.8);
    EXPECT_NEAR(img[0], 1.0 / 1.8, 1e-6);
    EXPECT_NEAR(img[1], std::pow(0.2, std::log(0.2) / z), 1e-6);
    EXPECT_LT(img[1], 0.2f);
    EXPECT_GT(img[2], 0.9f);
    EXPECT_EQ(img[3], 1.0f);
}

TEST(ToneCurve, MosaicFormChangesOnlySiteChannels) {
    Record r(test::kRGGB, 3, 3);
    std::vector<float> img(3 * 3 * 4, 0.5f);
    apply_tone_curve(r.get(), img.data(), 3, 3, 1, 50.0f, 0.0f, 1.8f);
    const double K = std::pow(10.0, 1.2);
    const float curved = static_cast<float>(std::log(1 + (K - 1) * 0.5) / std::log(K));
    EXPECT_NEAR(img[0], curved, 3e-7);       // (0, 0) red
    EXPECT_EQ(img[1], 0.5f);                 // its green channel is not a site
    EXPECT_NEAR(img[3 * 4 + 4 + 2], curved, 3e-7);  // (1, 1) blue
    // The odd last column and row take the curve as the rest: (0, 2) red, (2, 1) green.
    EXPECT_NEAR(img[2 * 4], curved, 3e-7);
    EXPECT_EQ(img[2 * 4 + 1], 0.5f);
    EXPECT_NEAR(img[(6 + 1) * 4 + 1], curved, 3e-7);
    EXPECT_EQ(img[(6 + 1) * 4], 0.5f);
}

}  // namespace
}  // namespace dvk
