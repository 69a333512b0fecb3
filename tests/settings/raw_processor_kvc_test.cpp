#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "pipeline/processor/raw_processor.h"
#include "tests/settings/settings_helpers.h"

namespace dvk {
namespace {

TEST(SettingsKeyValue, EverySettingOfTheTableIsAKey) {
    const std::vector<std::string> expected = {
        "exposure", "evRed", "evGreen", "evBlue", "evGreen2", "evWarmCold", "useCameraWB", "customRawProfile",
        "manualGreen2", "hlCompression", "hlRange", "saturation", "curveType", "gamma", "uplab", "blurAB",
        "brightness", "contrast", "localContrast", "highRecoveryEV", "bwMode", "localContrastEnabled", "blackShift",
        "saveFormat", "sharpnessEnabled", "sharpness", "noise", "noiseEnabled", "cleanDotNoise", "interpolation",
        "highRecoveryEnabled", "highRecoveryGuessTone", "valueZ", "rotation", "raw", "labOptimize", "comprQuality",
        "tiffXResolution", "tiffYResolution", "dontOverwriteOnSave", "filterName", "destinationFile",
        "isCurveTypeS", "isCurveTypeGamma"};
    RawProcessor p;
    for (const auto& key : expected) EXPECT_NO_THROW(p.valueForKey(key)) << key;
}

TEST(SettingsKeyValue, ValuesOfAFreshProcessor) {
    RawProcessor p;
    EXPECT_EQ(p.valueForKey("exposure"), SettingsValue(0.0));
    EXPECT_EQ(p.valueForKey("hlRange"), SettingsValue(2.0));
    EXPECT_EQ(p.valueForKey("gamma"), SettingsValue(2.2));
    EXPECT_EQ(p.valueForKey("brightness"), SettingsValue(50.0));
    EXPECT_EQ(p.valueForKey("valueZ"), SettingsValue(1.8));
    EXPECT_EQ(p.valueForKey("curveType"), SettingsValue(1));
    EXPECT_EQ(p.valueForKey("interpolation"), SettingsValue(2));
    EXPECT_EQ(p.valueForKey("saveFormat"), SettingsValue(2));
    EXPECT_EQ(p.valueForKey("useCameraWB"), SettingsValue(1));
    EXPECT_EQ(p.valueForKey("comprQuality"), SettingsValue(-1));
    EXPECT_EQ(p.valueForKey("tiffXResolution"), SettingsValue(72.0f));
    EXPECT_EQ(p.valueForKey("filterName"), SettingsValue("Color"));
    EXPECT_TRUE(p.valueForKey("customRawProfile").is_null());
    EXPECT_EQ(p.valueForKey("destinationFile"), SettingsValue(""));
    EXPECT_EQ(p.valueForKey("isCurveTypeS"), SettingsValue(true));
    EXPECT_EQ(p.valueForKey("settings.isCurveTypeGamma"), SettingsValue(false));
}

TEST(SettingsKeyValue, StringsConvertThroughTheSetters) {
    RawProcessor p;
    p.setValueForKey("exposure", SettingsValue("1.25"));
    EXPECT_EQ(p.exposure(), 1.25);
    p.setValueForKey("curveType", SettingsValue("3"));
    EXPECT_EQ(p.curveType(), 3);
    EXPECT_TRUE(skip_rgb_compression);  // the setter's side effect ran
    p.setValueForKey("curveType", SettingsValue(1));
    EXPECT_FALSE(skip_rgb_compression);
    p.setValueForKey("gamma", SettingsValue("1.8"));
    EXPECT_EQ(p.dvklib()->gamma, 1.8);
    p.setValueForKey("blackShift", SettingsValue(0.02));
    EXPECT_EQ(p.dvklib()->black_shift, 0.02);
    p.setValueForKey("uplab", SettingsValue(false));
    EXPECT_EQ(p.uplab(), 0);
    p.setValueForKey("tiffYResolution", SettingsValue("300"));
    EXPECT_EQ(p.tiffYResolution(), 300.0f);
    p.setValueForKey("settings.contrast", SettingsValue(-4));
    EXPECT_EQ(p.contrast(), -4.0);
    p.setValueForKey("destinationFile", SettingsValue("/a b/c/"));
    EXPECT_EQ(p.destinationFile(), "/a b/c/");
    // Derived switches take writes and ignore them.
    p.setValueForKey("isCurveTypeS", SettingsValue(false));
    EXPECT_TRUE(p.isCurveTypeS());
}

TEST(SettingsKeyValue, NilIntoANumberDoesNothing) {
    RawProcessor p;
    p.setExposure(0.5);
    p.setValueForKey("exposure", SettingsValue());
    EXPECT_EQ(p.exposure(), 0.5);
}

TEST(SettingsKeyValue, UnknownAndReadOnlyKeysAreErrors) {
    RawProcessor p;
    try {
        p.setValueForKey("exposureX", SettingsValue(1));
        FAIL() << "no error";
    } catch (const KeyValueError& e) {
        EXPECT_EQ(e.key(), "exposureX");
        EXPECT_NE(std::string(e.what()).find("exposureX"), std::string::npos);
    }
    EXPECT_THROW(p.valueForKey("nope"), KeyValueError);
    EXPECT_THROW(p.setValueForKey("greenDelta", SettingsValue(1)), KeyValueError);
    EXPECT_THROW(p.setValueForKey("", SettingsValue(1)), KeyValueError);
}

TEST(SettingsKeyValue, NonFiniteNumbersAreRefused) {
    RawProcessor p;
    p.setExposure(0.25);
    p.setCurveType(0);
    for (SettingsValue bad : {SettingsValue("nan"), SettingsValue("inf"), SettingsValue("-inf"),
                              SettingsValue("1e999"), SettingsValue(std::numeric_limits<double>::quiet_NaN()),
                              SettingsValue(std::numeric_limits<double>::infinity())}) {
        EXPECT_THROW(p.setValueForKey("exposure", bad), KeyValueError) << bad.description();
        EXPECT_THROW(p.setValueForKey("curveType", bad), KeyValueError) << bad.description();
    }
    EXPECT_THROW(p.setValueForKey("tiffXResolution", SettingsValue(1e300)), KeyValueError);
    EXPECT_EQ(p.exposure(), 0.25);
    EXPECT_EQ(p.curveType(), 0);
    EXPECT_EQ(p.tiffXResolution(), 72.0f);
}

TEST(SettingsKeyValue, EverySettableKeyRoundTripsThroughText) {
    RawProcessor a;
    test::set_non_defaults(a);
    RawProcessor b;
    b.setUseCameraWB(0);
    for (const auto& [key, value] : test::all_settings(a)) {
        if (key == "isCurveTypeS" || key == "isCurveTypeGamma") continue;
        b.setValueForKey(key, SettingsValue(value.description()));
    }
    SettingsDictionary va = test::all_settings(a), vb = test::all_settings(b);
    EXPECT_TRUE(va.same_contents(vb)) << test::first_difference(va, vb);
}

TEST(SettingsObservation, ObserversAreToldAfterTheChange) {
    RawProcessor p;
    std::vector<double> seen;
    auto token = p.addObserver("exposure", [&](std::string_view key) {
        EXPECT_EQ(key, "exposure");
        seen.push_back(p.exposure());
    });
    p.setValueForKey("exposure", SettingsValue(1.5));
    p.setExposure(-0.5);
    EXPECT_EQ(seen, (std::vector<double>{1.5, -0.5}));
    p.removeObserver(token);
    p.setExposure(2);
    EXPECT_EQ(seen.size(), 2u);
    // A binding's key path through settings() observes the same key.
    int told = 0;
    p.addObserver("settings.gamma", [&](std::string_view key) {
        EXPECT_EQ(key, "gamma");
        ++told;
    });
    p.setValueForKey("settings.gamma", SettingsValue(2.0));
    EXPECT_EQ(told, 1);
}

TEST(SettingsObservation, SideEffectsAndDerivedKeysAreObserved) {
    RawProcessor p;
    std::vector<std::string> seen;
    for (const char* key : {"evGreen2", "isCurveTypeS", "isCurveTypeGamma", "filterName", "useCameraWB"})
        p.addObserver(key, [&](std::string_view k) { seen.emplace_back(k); });
    p.setEvGreen(0.5);  // manualGreen2 is 0: evGreen2 follows
    EXPECT_EQ(seen, (std::vector<std::string>{"evGreen2"}));
    seen.clear();
    p.setCurveType(3);
    EXPECT_EQ(seen, (std::vector<std::string>{"isCurveTypeS", "isCurveTypeGamma"}));
    seen.clear();
    p.setBwMode(6);
    EXPECT_EQ(seen, (std::vector<std::string>{"filterName"}));
    seen.clear();
    p.setUseCameraWB(3);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), "useCameraWB");
}

}  // namespace
}  // namespace dvk
