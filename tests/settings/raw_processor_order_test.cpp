#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "pipeline/processor/raw_processor.h"
#include "tests/settings/settings_helpers.h"

namespace dvk {
namespace {

// Records the keys of the outermost announcements, in order.
class OuterChanges {
public:
    explicit OuterChanges(RawProcessor& p) {
        p.setChangeHook([this](RawProcessor&, const char* key, bool before) {
            if (before && depth_++ == 0) keys_.emplace_back(key == std::string("bwMode") ? "filterName" : key);
            if (!before) --depth_;
        });
    }
    // The recorded keys that are in `among`, in order.
    std::vector<std::string> keys_among(const std::vector<std::string>& among) const {
        std::vector<std::string> out;
        for (const auto& k : keys_)
            if (std::find(among.begin(), among.end(), k) != among.end()) out.push_back(k);
        return out;
    }

private:
    int depth_ = 0;
    std::vector<std::string> keys_;
};

TEST(SettingsOrder, SnapshotIsAppliedInItsOrder) {
    const std::vector<std::string> order = {
        "blurAB", "cleanDotNoise", "brightness", "contrast", "curveType", "evBlue", "filterName", "manualGreen2",
        "evGreen2", "evGreen", "evRed", "evWarmCold", "exposure", "gamma", "highRecoveryEV", "highRecoveryEnabled",
        "highRecoveryGuessTone", "interpolation", "localContrast", "blackShift", "sharpness", "hlCompression",
        "hlRange", "saturation", "noise", "saveFormat", "uplab", "sharpnessEnabled", "noiseEnabled",
        "localContrastEnabled"};
    RawProcessor a;
    test::set_non_defaults(a);
    RawProcessor b;
    OuterChanges changes(b);
    b.setUndoSettings(a.undoSettings());
    EXPECT_EQ(changes.keys_among(order), order);
}

TEST(SettingsOrder, SecondGreenModeComesBeforeTheChannelExposures) {
    SettingsDictionary s = RawProcessor().undoSettings();
    s.set("manualGreen2", false);
    s.set("evGreen", 0.5);
    s.set("evGreen2", 0.9);
    RawProcessor p;
    p.setManualGreen2(1);
    p.setUndoSettings(s);
    EXPECT_EQ(p.evGreen2(), 0.5 - p.greenDelta());
    s.set("manualGreen2", true);
    p.setUndoSettings(s);
    EXPECT_EQ(p.evGreen2(), 0.9);

    SettingsDictionary r;
    r.set("manualGreen2", false);
    r.set("evGreen", 0.25);
    r.set("evGreen2", 0.8);
    p.setSettings(r);
    EXPECT_EQ(p.evGreen2(), 0.25 - p.greenDelta());
}

TEST(SettingsOrder, RecordIsAppliedInTableOrderWithTheModeLast) {
    const std::vector<std::string> order = {
        "blurAB", "brightness", "contrast", "curveType", "manualGreen2", "evBlue", "evGreen2", "evGreen", "evRed",
        "evWarmCold", "exposure", "filterName", "gamma", "highRecoveryEV", "highRecoveryEnabled",
        "highRecoveryGuessTone", "interpolation", "localContrast", "blackShift", "sharpness", "hlCompression",
        "hlRange", "rotation", "saturation", "saveFormat", "uplab", "noise", "cleanDotNoise", "useCameraWB"};
    RawProcessor p;
    OuterChanges changes(p);
    p.setSettings(SettingsDictionary());
    std::vector<std::string> seen = changes.keys_among(order);
    // hlRange is set a second time (the 2.0 fallback) after the mode.
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), "hlRange");
    seen.pop_back();
    EXPECT_EQ(seen, order);
}

TEST(SettingsOrder, ResetOrder) {
    const std::vector<std::string> order = {
        "exposure", "evRed", "evGreen", "evBlue", "evGreen2", "useCameraWB", "hlCompression", "hlRange",
        "saturation", "curveType", "gamma", "uplab", "blurAB", "brightness", "contrast", "localContrast",
        "highRecoveryEV", "evWarmCold", "filterName", "manualGreen2", "localContrastEnabled", "blackShift",
        "saveFormat", "sharpnessEnabled", "sharpness", "noise", "noiseEnabled", "cleanDotNoise"};
    RawProcessor p;
    OuterChanges changes(p);
    p.resetToDefaults(false);
    EXPECT_EQ(changes.keys_among(order), order);
    RawProcessor q;
    OuterChanges kept(q);
    q.resetToDefaults(true);
    std::vector<std::string> tail(order.begin() + 6, order.end());
    EXPECT_EQ(kept.keys_among(order), tail);
}

}  // namespace
}  // namespace dvk
