// Apply plans, rotation, automatic exposure, highlight recovery, the window
// preferences and the display images.
#include <gtest/gtest.h>

#include <sched.h>

#include <cmath>
#include <thread>
#include <vector>

#include "app/preview/display_conversion.h"
#include "app/preview/display_image.h"
#include "app/preview/preview_rules.h"
#include "app/window/window_preferences.h"
#include "colour/profile.h"
#include "colour/profile_lookup.h"
#include "core/dvklib.h"
#include "platform/user_defaults.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

TEST(PreviewRules, ApplyPlans) {
    const auto control = ApplySender::control("Exposure");
    ApplyPlan p = planApply(true, true, control, false, false);
    EXPECT_TRUE(p.run && p.selectFirstPreset && !p.resetToDefaults);
    // Auto-apply off: only "Apply" runs, every other control stops.
    EXPECT_FALSE(planApply(true, true, control, true, false).run);
    EXPECT_TRUE(planApply(true, true, ApplySender::control("Apply"), true, false).run);
    EXPECT_TRUE(planApply(true, true, ApplySender::none(), true, false).run);
    // Option on "Apply" resets; on any other control it does not.
    EXPECT_TRUE(planApply(true, true, ApplySender::control("Apply"), false, true).resetToDefaults);
    EXPECT_FALSE(planApply(true, true, control, false, true).resetToDefaults);
    // The Apply button's menu entry stands for the Alt-click, auto-apply off too.
    EXPECT_TRUE(planApply(true, true, ApplySender::optionClick("Apply"), true, false).resetToDefaults);
    EXPECT_FALSE(planApply(true, true, ApplySender::optionClick("Exposure"), false, false).resetToDefaults);
    // "Reset to Defaults" resets even without a loaded file, given an engine image.
    p = planApply(false, true, ApplySender::control(kResetToDefaultsTitle), false, false);
    EXPECT_TRUE(p.run && p.resetToDefaults);
    // Nothing loaded: the diagram only.
    p = planApply(false, false, control, false, false);
    EXPECT_TRUE(p.redrawDiagram && !p.run);
    // A settings file keeps the presets pop-up.
    EXPECT_FALSE(planApply(true, true, ApplySender::settings(), false, false).selectFirstPreset);
    EXPECT_FALSE(planApply(true, false, control, false, false).run);
}

TEST(PreviewRules, Rotation) {
    EXPECT_EQ(currentOrientation(10, 6), 0);  // 10: the user's "no rotation"
    EXPECT_EQ(currentOrientation(13, 6), 3);
    EXPECT_EQ(currentOrientation(0, 6), 6);
    for (int start : {0, 3, 5, 6}) {
        int c = start;
        for (int i = 0; i < 4; ++i) c = rotatedOrientation(c, true);
        EXPECT_EQ(c, start);
        EXPECT_EQ(rotatedOrientation(rotatedOrientation(start, true), false), start);
    }
    EXPECT_EQ(rotatedOrientation(0, true), 5);
    EXPECT_EQ(rotatedOrientation(3, false), 5);
    EXPECT_EQ(rotatedOrientation(2, true), 2);
}

TEST(PreviewRules, ExposureRules) {
    const float maxima[4] = {0.5f, 0.25f, 0.9f, 0.25f};
    EXPECT_EQ(autoExposure(maxima, false, 4095, 0.0), 2.0);
    EXPECT_EQ(autoExposure(maxima, true, 4095, 0.0), 1.0);
    EXPECT_FALSE(autoExposure(maxima, true, 0, 0.0));
    EXPECT_FALSE(autoExposure(maxima, false, 4095, 1.995));
    const float none[4] = {0, 0, 0, 0};
    EXPECT_FALSE(autoExposure(none, false, 4095, 0.0));
    const std::optional<double> e = highlightRecoveryExposure(0.0, 0.5, 0.0, -0.5);
    ASSERT_TRUE(e);
    EXPECT_NEAR(*e, -1.005, 1e-6);
    EXPECT_FALSE(highlightRecoveryExposure(-2.0, 0.5, 0.0, -0.5));
}

TEST(WindowPreferences, FirstStartGreyPointAndToggles) {
    test::TempDir dir;
    UserDefaults d((dir / "defaults.plist").string());
    WindowPreferences p = readWindowPreferences(d);
    EXPECT_TRUE(p.showKeyboardHelper);
    EXPECT_EQ(p.grayPoint, 12.5f);
    EXPECT_DOUBLE_EQ(d.doubleForKey("NSWindowResizeTime"), 0.00001);
    EXPECT_TRUE(d.boolForKey("NSAppSleepDisabled"));
    UserDefaults again((dir / "defaults.plist").string());  // the second start reads the file
    d.setDouble("GrayPoint", 18);
    d.setString("topRightPointL", "{12, 34}");
    d.synchronize();
    again.reload();
    p = readWindowPreferences(again);
    EXPECT_FALSE(p.showKeyboardHelper);
    EXPECT_EQ(p.grayPoint, 18.0f);
    EXPECT_EQ(p.topRightPointL.dx, 12);
    EXPECT_EQ(p.topRightPointL.dy, 34);
    again.setDouble("GrayPoint", 0);
    EXPECT_EQ(readWindowPreferences(again).grayPoint, 12.5f);

    // Tag 2 twice gives "Save" again; tag 8 only synchronises.
    std::optional<PreferenceToggle> t = togglePreference(2, false, again);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->key, "autoNextAfterSave");
    EXPECT_EQ(saveButtonText(t->state).title, "Save/Next");
    t = togglePreference(2, t->state, again);
    EXPECT_EQ(saveButtonText(t->state).title, "Save");
    EXPECT_EQ(saveButtonText(t->state).toolTip, "Save (Ctrl+S)");
    EXPECT_FALSE(again.boolForKey("autoNextAfterSave"));
    EXPECT_FALSE(togglePreference(8, false, again));
    EXPECT_EQ(togglePreference(7, false, again)->key, "DontMouseScrollValues");
    EXPECT_TRUE(again.boolForKey("DontMouseScrollValues"));
}

TEST(WindowPreferences, AppearanceAndPlatform) {
    EXPECT_EQ(switchDarkLightMode(true, Appearance::System), Appearance::Dark);
    EXPECT_EQ(switchDarkLightMode(true, Appearance::Light), Appearance::Dark);
    EXPECT_FALSE(switchDarkLightMode(true, Appearance::Dark));
    EXPECT_EQ(switchDarkLightMode(false, Appearance::Dark), Appearance::Light);
    EXPECT_FALSE(switchDarkLightMode(false, Appearance::Light));
    EXPECT_EQ(platformVersionNumber("6.1.0-18-amd64"), 60100);
    EXPECT_EQ(platformVersionNumber("5.15.133"), 51633);
    EXPECT_EQ(platformVersionNumber("junk"), 0);
}

// The worker count is the CPUs the process may run on: on a thread whose
// affinity mask holds one CPU, exactly one, and the band threads follow it.
TEST(WindowPreferences, WorkerCountFollowsTheCpusTheProcessMayUse) {
    cpu_set_t all;
    CPU_ZERO(&all);
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    int first = 0;
    while (!CPU_ISSET(first, &all)) ++first;
    int count = -1, bands = -1;
    const int before = band_thread_count;
    const bool legacy = legacy_colorsync;
    std::thread narrowed([&] {
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(first, &one);
        if (sched_setaffinity(0, sizeof one, &one) != 0) return;
        count = activeCpuCount();
        setProcessWideValues(WindowPreferences{});
        bands = band_thread_count;
    });
    narrowed.join();
    band_thread_count = before;
    legacy_colorsync = legacy;
    EXPECT_EQ(count, 1);
    EXPECT_EQ(bands, 1);
}

TEST(DisplayImage, ClippingTwiceRestoresAndDisplayKeepsGreys) {
    const unsigned w = 5, h = 3;
    std::vector<float> rgb(w * h * 3);
    for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<float>(i % 7) / 6.0f;
    rgb[0] = 0.0f;
    rgb[1] = 1.0f;
    std::shared_ptr<DisplayImage> img = makeDisplayImage(rgb.data(), w, h, {});
    ASSERT_TRUE(img);
    EXPECT_EQ(img->row(0)[0], 0);
    EXPECT_EQ(img->row(0)[1], 65535);
    img->row(1)[0] = 501;
    img->row(1)[1] = 65034;
    img->row(1)[2] = 500;
    const std::vector<std::uint16_t> before(img->pixels.get(), img->pixels.get() + w * h * 3);
    invertClippedSamples(*img);
    EXPECT_EQ(img->row(0)[0], 65535);
    EXPECT_EQ(img->row(0)[1], 0);
    EXPECT_EQ(img->row(1)[0], 501);
    EXPECT_EQ(img->row(1)[1], 65034);
    EXPECT_EQ(img->row(1)[2], static_cast<std::uint16_t>(~500));
    invertClippedSamples(*img);
    EXPECT_EQ(std::vector<std::uint16_t>(img->pixels.get(), img->pixels.get() + w * h * 3), before);
    EXPECT_EQ(makeDisplayImage(rgb.data(), 0, 3, {}), nullptr);

    // sRGB to an sRGB screen: greys stay (within rounding), alpha is opaque.
    DisplayConverter converter;
    std::vector<std::uint32_t> out(w * h, 0);
    for (unsigned i = 0; i < w * h * 3; ++i) img->pixels.get()[i] = static_cast<std::uint16_t>((i / 3) * 4000);
    EXPECT_TRUE(converter.convert(*img, out.data(), w));
    for (unsigned i = 0; i < w * h; ++i) {
        const int grey = (static_cast<int>(i) * 4000 + 128) / 257;
        EXPECT_EQ(out[i] >> 24, 0xFFu);
        EXPECT_NEAR(static_cast<int>((out[i] >> 8) & 0xFF), grey, 1) << i;
        EXPECT_NEAR(static_cast<int>(out[i] & 0xFF), grey, 1) << i;
    }
    EXPECT_FALSE(converter.setScreenProfile({1, 2, 3}));
}

TEST(DisplayImage, TheTableFollowsTheTransform) {
    // An AdobeRGB image on an sRGB screen: the interpolated table against the
    // transform itself, over samples spread across the cube (dark ones too).
    const auto adobe = getDVKProfileRef("AdobeRGB2.2", nullptr);
    ASSERT_TRUE(adobe);
    const unsigned w = 4096;
    DisplayImage img;
    img.width = w;
    img.height = 1;
    img.pixels = allocate_aligned<std::uint16_t>(w * 3);
    img.profile = adobe->bytes();
    std::uint32_t seed = 7;
    for (unsigned i = 0; i < w * 3; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const std::uint32_t v = seed >> 16;
        img.pixels.get()[i] = static_cast<std::uint16_t>(i % 5 == 0 ? v / 64 : v);  // a fifth near black
    }
    DisplayConverter converter;
    std::vector<std::uint32_t> out(w);
    ASSERT_TRUE(converter.convert(img, out.data(), w));
    int worst = 0;
    for (unsigned x = 0; x < w; ++x) {
        std::uint8_t exact[3];
        ASSERT_TRUE(converter.convertExactly(img.profile, img.pixels.get() + 3 * x, exact));
        for (int c = 0; c < 3; ++c)
            worst = std::max(worst, std::abs(int((out[x] >> (16 - 8 * c)) & 0xFF) - int(exact[c])));
    }
    EXPECT_LE(worst, 1);
}

}  // namespace
}  // namespace dvk
