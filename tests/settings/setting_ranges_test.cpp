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

TEST(SettingRanges, EveryNumberSettingKeepsToItsRangeByKeyValueCoding) {
    // Engine values and derived switches need no range of their own.
    const std::set<std::string> without = {"progress",          "isNotInProgress",         "isCurveTypeS",
                                           "isCurveTypeGamma",  "decompressionBlackPoint", "decompressionWhitePoint",
                                           "greenDelta"};
    RawProcessor p;
    for (const std::string& key : RawProcessor::settingKeys()) {
        if (!p.valueForKey(key).is_number() || without.count(key)) continue;
        const SettingRange* r = setting_range(key);
        ASSERT_TRUE(r) << key << " has no range";
        const bool isSwitch = r->min == 0 && r->max == 1;
        // Far beyond either end, and just at each end.
        p.setValueForKey(key, SettingsValue(1e9));
        EXPECT_EQ(p.valueForKey(key).double_value(), r->max) << key;
        p.setValueForKey(key, SettingsValue("-1e9"));
        EXPECT_EQ(p.valueForKey(key).double_value(), isSwitch ? 1.0 : r->min) << key;
        p.setValueForKey(key, SettingsValue(r->min));
        EXPECT_EQ(p.valueForKey(key).double_value(), r->min) << key;
        p.setValueForKey(key, SettingsValue(r->max));
        EXPECT_EQ(p.valueForKey(key).double_value(), r->max) << key;
        // Not a number, or infinite: refused, the setting as it was.
        for (const SettingsValue& bad : {SettingsValue(kNaN), SettingsValue(-kInf), SettingsValue("inf")})
            EXPECT_THROW(p.setValueForKey(key, bad), KeyValueError) << key;
        EXPECT_EQ(p.valueForKey(key).double_value(), r->max) << key;
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
