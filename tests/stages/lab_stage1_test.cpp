#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "colour/profile_lookup.h"
#include "pipeline/stages/lab_adjust.h"
#include "pipeline/processor/raw_processor.h"
#include "tests/support/engine_state.h"

namespace dvk {
namespace {

TEST(MakeAdjustStage1, ProfileSaturationFromTheTable) {
    int index = -1;
    ASSERT_TRUE(getDVKProfileRef("Fuji XPro1", &index));
    ASSERT_EQ(get_profile_saturation(unsigned(index)), 15.0f);
    std::vector<float> lab = {50, 90, -45, 60, 120, -127};
    make_adjust_stage1(nullptr, lab.data(), 2, 1, 0, 0, 0, "Fuji XPro1", 0.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_FLOAT_EQ(lab[0], 50.0f);
    EXPECT_FLOAT_EQ(lab[1], 102.0f);  // 90 x 255 / 225
    EXPECT_FLOAT_EQ(lab[2], -51.0f);
    EXPECT_EQ(lab[4], 127.0f);  // limited
    EXPECT_EQ(lab[5], -128.0f);
}

TEST(MakeAdjustStage1, ProfileWithoutSaturationAndUnknownNames) {
    std::vector<float> lab = {50, 30, -20};
    make_adjust_stage1(nullptr, lab.data(), 1, 1, 0, 0, 0, "BetaRGB2.2", 0.0f, 0.0f, 0.0f, 2.0f);
    EXPECT_EQ(lab, (std::vector<float>{50, 30, -20}));
    make_adjust_stage1(nullptr, lab.data(), 1, 1, 0, 0, 0, "/no/such/profile.icc", 15.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_FLOAT_EQ(lab[1], 30.0f * 255.0f / 225.0f);  // only the user's saturation
}

TEST(MakeAdjustStage1, ChromaRemovedBeforeAnyOtherStage) {
    std::vector<float> lab = {50, 30, -20, 70, -5, 60};
    make_adjust_stage1(nullptr, lab.data(), 2, 1, 0, 0, 0, "Fuji XPro1", -1000.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_EQ(lab, (std::vector<float>{50, 0, 0, 70, 0, 0}));
}

TEST(MakeAdjustStage1, UserSaturationAtTheSingularityStaysFinite) {
    std::vector<float> lab = {50, 0, 1e-30f, 50, -3, 2};
    make_adjust_stage1(nullptr, lab.data(), 2, 1, 0, 0, 0, "BetaRGB2.2", 127.5f, 0.0f, 0.0f, 1.0f);
    for (float v : lab) EXPECT_TRUE(std::isfinite(v));
    EXPECT_EQ(lab[1], 0.0f);
    EXPECT_EQ(lab[4], -128.0f);
    EXPECT_EQ(lab[5], 127.0f);
}

TEST(MakeAdjustStage1, WorkerUsesLightnessModeAndTheInputProfile) {
    RawProcessor p;
    p.setBwMode(6);  // "Lightness (Lab)"
    p.setSaturation(20);
    std::vector<float> lab = {40, 10, 10, 60, -10, 5};
    band_record rec = test::one_band(lab.data(), 2, 1);
    p.makeAdjustStage1InThread(&rec);
    EXPECT_EQ(rec.done, 1u);
    EXPECT_EQ(lab, (std::vector<float>{40, 0, 0, 60, 0, 0}));
    EXPECT_FALSE(p.inputProfileName().empty());
}

}  // namespace
}  // namespace dvk

namespace dvk {
namespace {

TEST(MakeAdjustStage1, BandedRunSameAsOneBand) {
    RawProcessor p;
    p.setSaturation(12);
    p.dvklib()->custom_profile_data = "x";  // a custom profile: its name is the path
    p.setCustomRawProfilePath("Fuji XPro1");
    ASSERT_EQ(p.inputProfileName(), "Fuji XPro1");
    const unsigned w = 9, h = 50;
    std::vector<float> one(std::size_t(w) * h * 3);
    for (std::size_t i = 0; i < one.size(); ++i) one[i] = (i % 3 == 0) ? float(i % 100) : float(int(i % 90) - 45);
    std::vector<float> many = one;
    p.runRGBSelectorInThreads(&RawProcessor::makeAdjustStage1InThread, 1, one.data(), w, h);
    p.runRGBSelectorInThreads(&RawProcessor::makeAdjustStage1InThread, 4, many.data(), w, h);
    EXPECT_EQ(one, many);
    EXPECT_FLOAT_EQ(one[1], float(-44 * (255.0 / 225.0) * (255.0 / 231.0)));
    p.dvklib()->custom_profile_data = nullptr;
}

}  // namespace
}  // namespace dvk
