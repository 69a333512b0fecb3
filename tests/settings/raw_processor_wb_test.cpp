#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>

#include "pipeline/processor/raw_processor.h"
#include "pipeline/settings/settings_file.h"
#include "pipeline/settings/undo_manager.h"
#include "platform/folders.h"
#include "tests/settings/settings_helpers.h"
#include "tests/support/dng_writer.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

// A flat RGGB mosaic whose two greens differ (so the file has a green offset)
// and whose as-shot neutral is (0.5, 1, 0.8).
std::filesystem::path write_two_green_dng(const test::TempDir& dir) {
    test::DngSpec s = test::make_dng_spec(test::DngLayout::Bayer, 64, 48);
    for (unsigned r = 0; r < s.height; ++r)
        for (unsigned c = 0; c < s.width; ++c) {
            const bool red_row = r % 2 == 0;
            std::uint16_t v;
            if (red_row) v = c % 2 == 0 ? 1800 : 1400;  // R, G1
            else v = c % 2 == 0 ? 1000 : 900;           // G2, B
            test::sample_at(s, r, c) = v;
        }
    const auto path = dir / "two_green.dng";
    std::string error;
    EXPECT_TRUE(test::write_dng(path, s, &error)) << error;
    return path;
}

class LoadedProcessor : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = write_two_green_dng(dir_);
        ASSERT_EQ(p_.initFloatPreviewFromRawFile(path_.string()), 0);
    }
    test::TempDir dir_;
    std::filesystem::path path_;
    RawProcessor p_;
};

TEST_F(LoadedProcessor, GreenOffsetOfTheFile) {
    const double* a = p_.dvklib()->auto_wb;
    ASSERT_GT(a[1], 0);
    ASSERT_GT(a[3], 0);
    EXPECT_EQ(p_.greenDelta(), std::log2(a[1] / a[3]));
    EXPECT_NE(p_.greenDelta(), 0.0);
}

TEST_F(LoadedProcessor, AutoModeUsesTheSums) {
    p_.setUseCameraWB(1);
    const double* a = p_.dvklib()->auto_wb;
    EXPECT_EQ(p_.evRed(), std::log2(a[0] / a[1]));
    EXPECT_EQ(p_.evGreen(), 0.0);
    EXPECT_EQ(p_.evBlue(), std::log2(a[2] / a[1]));
    // log2(A3 / A1) is -greenDelta, and the second-green rule gives the same.
    EXPECT_DOUBLE_EQ(p_.evGreen2(), std::log2(a[3] / a[1]));
    EXPECT_EQ(p_.evGreen2(), 0.0 - p_.greenDelta());
    EXPECT_EQ(p_.manualGreen2(), 0);
}

TEST_F(LoadedProcessor, AsShotModeUsesTheCameraMultipliers) {
    float* m = p_.dvklib()->libraw->imgdata.color.cam_mul;
    ASSERT_GT(m[0], 0);
    p_.setUseCameraWB(2);
    EXPECT_EQ(p_.evRed(), static_cast<double>(std::log2(m[0] / m[1])));
    EXPECT_EQ(p_.evBlue(), static_cast<double>(std::log2(m[2] / m[1])));
    EXPECT_EQ(p_.evGreen(), 0.0);
    EXPECT_EQ(p_.manualGreen2(), 0);
    // Whatever the fourth multiplier gave, the rule of manualGreen2 0 ends it.
    EXPECT_EQ(p_.evGreen2(), 0.0 - p_.greenDelta());

    m[3] = 0;  // a zero fourth multiplier
    p_.setUseCameraWB(2);
    EXPECT_EQ(p_.evGreen2(), 0.0 - p_.greenDelta());
    EXPECT_TRUE(std::isfinite(p_.evGreen2()));
}

TEST_F(LoadedProcessor, SecondGreenFollowsTheFirst) {
    p_.setUseCameraWB(3);
    ASSERT_EQ(p_.manualGreen2(), 0);
    p_.setValueForKey("evGreen", SettingsValue(0.5));
    EXPECT_EQ(p_.evGreen2(), 0.5 - p_.greenDelta());
    p_.setManualGreen2(1);
    p_.setEvGreen(0.25);
    EXPECT_EQ(p_.evGreen2(), 0.5 - p_.greenDelta());  // manual: stays
    p_.setEvGreen2(0.1);
    p_.resetToDefaults(true);  // manualGreen2 0 again: the rule applies
    EXPECT_EQ(p_.evGreen2(), 0.25 - p_.greenDelta());
}

TEST(WhiteBalanceModes, FreshProcessorAutoIsNeutral) {
    RawProcessor p;
    p.setEvRed(1);
    p.setManualGreen2(1);
    p.setUseCameraWB(1);
    EXPECT_EQ(p.evRed(), 0.0);
    EXPECT_EQ(p.evGreen(), 0.0);
    EXPECT_EQ(p.evBlue(), 0.0);
    EXPECT_EQ(p.evGreen2(), 0.0);
    EXPECT_EQ(p.manualGreen2(), 0);
}

TEST(WhiteBalanceModes, AsShotWithoutMultipliersTakesTheAutomaticBalance) {
    RawProcessor p;
    double* a = p.dvklib()->auto_wb;
    a[0] = 2, a[1] = 1, a[2] = 0.5, a[3] = 1;
    float* m = p.dvklib()->libraw->imgdata.color.cam_mul;
    // None (LibRaw's 0), -1 (a Canon D30), a zero green, a zero blue (an
    // AsShotNeutral of zeros gives 0 1 0 1) and a NaN: never an infinite EV.
    const float cases[][4] = {{0, 0, 0, 0}, {-1, -1, -1, -1}, {2, 0, 1, 0}, {0, 1, 0, 1}, {2, 1, 0, 1}, {NAN, 1, 1, 1}};
    for (const auto& c : cases) {
        for (int i = 0; i < 4; ++i) m[i] = c[i];
        p.setEvRed(0.3);
        p.setManualGreen2(1);
        p.setUseCameraWB(2);
        EXPECT_EQ(p.useCameraWB(), 2);
        EXPECT_EQ(p.evRed(), 1.0) << c[0] << " " << c[1] << " " << c[2];
        EXPECT_EQ(p.evGreen(), 0.0);
        EXPECT_EQ(p.evBlue(), -1.0);
        EXPECT_EQ(p.evGreen2(), 0.0);
        EXPECT_EQ(p.manualGreen2(), 0);
    }
}

TEST(WhiteBalanceModes, AutoWithZeroGreenSumIsNeutral) {
    RawProcessor p;
    for (double& a : p.dvklib()->auto_wb) a = 0;
    p.setEvRed(0.4);
    p.setUseCameraWB(1);
    EXPECT_EQ(p.evRed(), 0.0);
    EXPECT_EQ(p.evBlue(), 0.0);
    EXPECT_TRUE(std::isfinite(p.evGreen2()));
}

TEST(WhiteBalanceModes, UserAndVendorPresets) {
    RawProcessor p;
    const char* const names[] = {"P0", "P1", "P2", "P3", "P4"};
    for (int i = 0; i < 5; ++i)
        p.wbPresets().push_back(
            WhiteBalancePresets::initWithCamera("Cam", names[i], 0.1f * i, 0.01f * i, -0.2f * i, 0.05f * i));
    p.vendorsWBPresets().push_back(WhiteBalancePresets::initWithCamera("Cam", "Daylight", 0.6f, 0.0f, 0.4f, 0.0f));
    p.setManualGreen2(1);
    p.setUseCameraWB(1003);
    EXPECT_EQ(p.evRed(), static_cast<double>(0.1f * 3));
    EXPECT_EQ(p.evGreen(), static_cast<double>(0.01f * 3));
    EXPECT_EQ(p.evBlue(), static_cast<double>(-0.2f * 3));
    EXPECT_EQ(p.evGreen2(), static_cast<double>(0.05f * 3));  // manual second green keeps the preset's
    EXPECT_EQ(p.manualGreen2(), 1);
    p.setManualGreen2(0);
    p.setUseCameraWB(1002);
    EXPECT_EQ(p.evRed(), static_cast<double>(0.1f * 2));
    EXPECT_EQ(p.evGreen2(), p.evGreen() - p.greenDelta());  // the rule, as manualGreen2 is 0
    p.setUseCameraWB(5000);
    EXPECT_EQ(p.evRed(), static_cast<double>(0.6f));
    EXPECT_EQ(p.evBlue(), static_cast<double>(0.4f));
    EXPECT_EQ(p.useCameraWB(), 5000);
}

TEST(WhiteBalanceModes, PresetBeyondItsListLeavesTheBalance) {
    RawProcessor p;
    p.vendorsWBPresets().push_back(WhiteBalancePresets::initWithCamera("Cam", "Daylight", 0.6f, 0.0f, 0.4f, 0.0f));
    p.setUseCameraWB(0);
    p.setEvRed(0.2);
    p.setEvBlue(-0.1);
    p.setManualGreen2(1);
    p.setEvGreen2(0.33);
    const SettingsDictionary before = test::all_settings(p);
    for (int mode : {1000, 1001, 4999, 5001, 9999}) {
        p.setUseCameraWB(mode);
        SettingsDictionary after = test::all_settings(p);
        EXPECT_EQ(after.get("useCameraWB"), SettingsValue(mode));
        after.set("useCameraWB", 0);
        EXPECT_TRUE(after.same_contents(before)) << mode << ": " << test::first_difference(after, before);
    }
}

TEST(WhiteBalanceModes, ManualModesKeepTheExposures) {
    RawProcessor p;
    for (int mode : {0, 4, 999, -1}) {
        p.setUseCameraWB(0);
        p.setEvRed(0.45);
        p.setEvBlue(-0.15);
        p.setUseCameraWB(mode);
        EXPECT_EQ(p.evRed(), 0.45) << mode;
        EXPECT_EQ(p.evBlue(), -0.15) << mode;
        EXPECT_EQ(p.useCameraWB(), mode < 0 ? 0 : mode);  // modes start at 0
    }
}

TEST(WhiteBalancePresetFile, WriteAndReadThroughTheProcessor) {
    test::TempDir dir;
    const std::string path = (dir / "WBPresets.xml").string();
    RawProcessor a;
    a.wbPresets().push_back(WhiteBalancePresets::initWithCamera("Canon EOS R5", "Studio", 0.31f, 0.0f, -0.52f, 0.01f));
    a.wbPresets().push_back(WhiteBalancePresets::initWithCamera("Canon EOS R5", "Shade", 0.7f, 0.0f, -0.9f, 0.0f));
    ASSERT_TRUE(a.writeWBPresetsToXMLfile(path));
    RawProcessor b;
    b.readWBPresetsFromXMLfile(path);
    EXPECT_EQ(b.wbPresets(), a.wbPresets());
    // An unreadable file leaves the list as it was.
    b.readWBPresetsFromXMLfile((dir / "none.xml").string());
    EXPECT_EQ(b.wbPresets().size(), 2u);
    ASSERT_TRUE(write_file_atomically((dir / "junk.xml").string(), "not an archive"));
    b.readWBPresetsFromXMLfile((dir / "junk.xml").string());
    EXPECT_EQ(b.wbPresets().size(), 2u);
    EXPECT_FALSE(a.writeWBPresetsToXMLfile((dir / "no/such/WBPresets.xml").string()));
}

TEST(WhiteBalancePresetFile, ANewProcessorReadsTheUserPresets) {
    const std::string folder = userApplicationSupportFolder() + "/DVK";
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/WBPresets.xml";
    WhiteBalancePresetList presets{WhiteBalancePresets::initWithCamera("Nikon Z 7", "Tungsten", -0.8f, 0, 0.9f, 0)};
    ASSERT_TRUE(write_wb_presets_file(path, presets));
    {
        RawProcessor p;
        EXPECT_EQ(p.wbPresets(), presets);
        p.setUseCameraWB(1000);
        EXPECT_EQ(p.evRed(), static_cast<double>(-0.8f));
    }
    std::filesystem::remove(path);
    RawProcessor q;
    EXPECT_TRUE(q.wbPresets().empty());
}

}  // namespace
}  // namespace dvk
