// The ranges of the settings: every number setting has one, and every road
// into the settings (key-value coding, the setters, a history record, the
// snapshot) keeps to it; values that are no number are refused or leave the
// setting as it was.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

#include "pipeline/processor/raw_processor.h"
#include "pipeline/settings/setting_ranges.h"
#include "tests/settings/settings_helpers.h"

namespace dvk {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Every number setting's range, written out, with the value a new processor
// gives it (each inside its range). The sliders' ranges of the main window;
// the white-balance fields a thousandfold gain either way; codes as their
// tables number them: the six interpolations (0 AHD ... 5 two-thirds), the
// four tone curves, the 24 save formats, the orientations (below 10 the
// file's, 10 none, 11 to 17 the eight flips), the JPEG quality (-1 until a
// JPEG format is chosen); switches on or off.
struct ExpectedRange {
    const char* key;
    double min, max;
    double initial;
    bool isSwitch = false;
};
const ExpectedRange kExpectedRanges[] = {
    {"exposure", -5, 5, 0},
    {"hlCompression", -2, 5, 0},
    {"hlRange", 0, 5, 2.0},
    {"evWarmCold", -1, 1, 0},
    {"highRecoveryEV", -2, 2, 0},
    {"blackShift", -5, 5, 0},
    {"brightness", 0, 100, 50},
    {"contrast", -30, 40, 0},
    {"saturation", -50, 50, 0},
    {"localContrast", 0, 50, 0},
    {"sharpness", 0, 50, 0},
    {"noise", 0, 100, 0},
    {"gamma", 1, 3, 2.2},
    {"evRed", -10, 10, 0},
    {"evGreen", -10, 10, 0},
    {"evBlue", -10, 10, 0},
    {"evGreen2", -10, 10, 0},
    {"valueZ", 1.1, 10, 1.8},
    {"sharpnessRadius", 0, 4, 1.0},
    {"tiffXResolution", 1, 65535, 72},
    {"tiffYResolution", 1, 65535, 72},
    {"useCameraWB", 0, 9999, 1},
    {"curveType", 0, 3, 1},
    {"interpolation", 0, 5, 2},
    {"saveFormat", 0, 23, 2},
    {"bwMode", 0, 2999, 0},
    {"rotation", 0, 17, 0},
    {"comprQuality", -1, 100, -1},
    {"manualGreen2", 0, 1, 0, true},
    {"uplab", 0, 1, 1, true},
    {"blurAB", 0, 1, 1, true},
    {"localContrastEnabled", 0, 1, 1, true},
    {"sharpnessEnabled", 0, 1, 1, true},
    {"noiseEnabled", 0, 1, 1, true},
    {"cleanDotNoise", 0, 1, 0, true},
    {"highRecoveryEnabled", 0, 1, 0, true},
    {"highRecoveryGuessTone", 0, 1, 0, true},
    {"raw", 0, 1, 0, true},
    {"labOptimize", 0, 1, 0, true},
    {"dontOverwriteOnSave", 0, 1, 0, true},
};

TEST(SettingRanges, EveryNumberSettingHasItsRangeAndKeepsToItByKeyValueCoding) {
    // Engine values and derived switches need no range of their own.
    const std::set<std::string> without = {"progress",          "isNotInProgress",         "isCurveTypeS",
                                           "isCurveTypeGamma",  "decompressionBlackPoint", "decompressionWhitePoint",
                                           "greenDelta"};
    std::set<std::string> expected;
    for (const ExpectedRange& e : kExpectedRanges) expected.insert(e.key);
    const RawProcessor fresh;
    for (const std::string& key : RawProcessor::settingKeys()) {
        if (!fresh.valueForKey(key).is_number() || without.count(key)) continue;
        EXPECT_TRUE(expected.count(key)) << key << " is a number setting without a written range";
    }
    RawProcessor p;
    for (const ExpectedRange& e : kExpectedRanges) {
        const std::string key = e.key;
        const SettingRange* r = setting_range(key);
        ASSERT_TRUE(r) << key << " has no range";
        EXPECT_EQ(r->min, e.min) << key;
        EXPECT_EQ(r->max, e.max) << key;
        EXPECT_EQ(fresh.valueForKey(key).double_value(), e.initial) << key;
        EXPECT_TRUE(e.initial >= e.min && e.initial <= e.max) << key;
        // Far beyond either end, and just at each end.
        p.setValueForKey(key, SettingsValue(1e9));
        EXPECT_EQ(p.valueForKey(key).double_value(), e.max) << key;
        p.setValueForKey(key, SettingsValue("-1e9"));
        EXPECT_EQ(p.valueForKey(key).double_value(), e.isSwitch ? 1.0 : e.min) << key;
        p.setValueForKey(key, SettingsValue(e.min));
        EXPECT_EQ(p.valueForKey(key).double_value(), e.min) << key;
        p.setValueForKey(key, SettingsValue(e.max));
        EXPECT_EQ(p.valueForKey(key).double_value(), e.max) << key;
        // Not a number, or infinite: refused, the setting as it was.
        for (const SettingsValue& bad : {SettingsValue(kNaN), SettingsValue(-kInf), SettingsValue("inf")})
            EXPECT_THROW(p.setValueForKey(key, bad), KeyValueError) << key;
        EXPECT_EQ(p.valueForKey(key).double_value(), e.max) << key;
    }
    // A switch is on for any value but 0.
    p.setValueForKey("uplab", SettingsValue(-3));
    EXPECT_EQ(p.uplab(), 1);
}

TEST(SettingRanges, SettersHistoryRecordsAndSnapshotsKeepToTheRanges) {
    RawProcessor p;
    // The setters themselves, at the ends and beyond; not-a-number keeps the
    // value, and the change is announced all the same (the controls show the
    // value in force).
    int announced = 0;
    auto token = p.addObserver("localContrast", [&](std::string_view) { ++announced; });
    p.setLocalContrast(1e9);
    EXPECT_EQ(p.localContrast(), 50.0);
    p.setLocalContrast(1e9);
    p.setLocalContrast(kNaN);
    EXPECT_EQ(p.localContrast(), 50.0);
    EXPECT_EQ(announced, 3);
    p.removeObserver(token);
    p.setExposure(kInf);
    EXPECT_EQ(p.exposure(), 5.0);
    p.setExposure(-kInf);
    EXPECT_EQ(p.exposure(), -5.0);
    p.setGamma(0);
    EXPECT_EQ(p.gamma(), 1.0);
    p.setGamma(kNaN);
    EXPECT_EQ(p.gamma(), 1.0);
    p.setEvRed(-kInf);
    EXPECT_EQ(p.evRed(), -10.0);
    p.setCurveType(7);
    EXPECT_EQ(p.curveType(), 3);
    EXPECT_TRUE(skip_rgb_compression);
    p.setCurveType(1);
    p.setTiffXResolution(0);
    EXPECT_EQ(p.tiffXResolution(), 1.0f);

    // A stored record beyond the ranges loads within them.
    SettingsDictionary record;
    record.set("exposure", -99.0);
    record.set("localContrast", 1e9);
    record.set("reservedDouble2", 1e9);  // sharpness
    record.set("reservedDouble1", -1e9);  // black point
    record.set("reservedInt2", 2000000000);  // hlRange x 1000
    record.set("gamma", 0.0);
    record.set("saveFormat", 77);
    record.set("curveType", -3);
    record.set("interpolation", 9);
    record.set("rotation", 12345);
    record.set("evRed", 1e300);
    record.set("reservedString1", "0");
    p.setSettings(record);
    EXPECT_EQ(p.exposure(), -5.0);
    EXPECT_EQ(p.localContrast(), 50.0);
    EXPECT_EQ(p.sharpness(), 50.0);
    EXPECT_EQ(p.blackShift(), -5.0);
    EXPECT_EQ(p.hlRange(), 5.0);
    EXPECT_EQ(p.gamma(), 1.0);
    EXPECT_EQ(p.saveFormat(), 23);
    EXPECT_EQ(p.curveType(), 0);
    EXPECT_EQ(p.interpolation(), 5);
    EXPECT_EQ(p.rotation(), 17);
    EXPECT_EQ(p.evRed(), 10.0);

    // A snapshot beyond the ranges, as the copy for a save takes it.
    SettingsDictionary snapshot = p.undoSettings();
    snapshot.set("brightness", 1e12);
    snapshot.set("noise", -1.0);
    snapshot.set("hlCompression", kInf);
    RawProcessor q;
    q.setUndoSettings(snapshot);
    EXPECT_EQ(q.brightness(), 100.0);
    EXPECT_EQ(q.noise(), 0.0);
    EXPECT_EQ(q.hlCompression(), 5.0);
    EXPECT_EQ(q.localContrast(), 50.0);
}

}  // namespace
}  // namespace dvk
