#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "pipeline/processor/raw_processor.h"
#include "pipeline/settings/undo_manager.h"
#include "tests/settings/settings_helpers.h"

namespace dvk {
namespace {

struct UndoCase {
    const char* key;
    SettingsValue value;  // differs from the value set_non_defaults leaves
    const char* actionName;
};

// Every setting with an undo step, its action name, and a new value.
const std::vector<UndoCase> kUndoable = {
    {"exposure", 1.75, "Exposure"},
    {"evRed", -0.125, "Red EV"},
    {"evGreen", 0.3, "Green EV"},
    {"evBlue", 0.45, "Blue EV"},
    {"evGreen2", -0.2, "Green2 EV"},
    {"evWarmCold", 0.9, "Cold - Warm"},
    {"manualGreen2", 1, "Manual Green2 Mode switch"},
    {"hlCompression", 0.5, "Exposure with Compression"},
    {"hlRange", 1.5, "Compression Range"},
    {"saturation", -20.0, "Saturation"},
    {"curveType", 3, "Tone curve switch"},
    {"gamma", 2.4, "Gamma"},
    {"uplab", 1, "Uplab/Lab switch"},
    {"blurAB", 1, "Blur a/b switch"},
    {"brightness", 44.0, "Brightness"},
    {"contrast", 15.0, "Contrast"},
    {"localContrast", 5.5, "Local Contrast"},
    {"highRecoveryEV", 0.7, "Highlights Recovery Adj."},
    {"bwMode", 6, "Monochrome Mode change"},
    {"blackShift", -0.003, "Black Point"},
    {"sharpness", 0.1, "Sharpness"},
    {"noise", 1.1, "Noise"},
    {"cleanDotNoise", 0, "Remove dot-noise"},
    {"interpolation", 0, "Interpolation type switch"},
    {"highRecoveryEnabled", 0, "Highlights Recovery switch"},
    {"highRecoveryGuessTone", 0, "Highlights Recovery Guess Tone switch"},
};

TEST(SettingsUndo, EveryUndoableSettingUndoesAndRedoesExactly) {
    for (const auto& c : kUndoable) {
        SCOPED_TRACE(c.key);
        RawProcessor p;
        test::set_non_defaults(p);
        auto um = std::make_shared<UndoManager>();
        p.setUndoManager(um);
        const SettingsDictionary before = test::all_settings(p);
        p.setValueForKey(c.key, c.value);
        const SettingsDictionary after = test::all_settings(p);
        EXPECT_FALSE(after.same_contents(before));
        EXPECT_EQ(um->undoCount(), 1u);
        EXPECT_EQ(um->undoActionName(), c.actionName);
        EXPECT_EQ(RawProcessor::undoActionNameForKey(c.key), c.actionName);

        ASSERT_TRUE(um->undo());
        SettingsDictionary undone = test::all_settings(p);
        EXPECT_TRUE(undone.same_contents(before)) << test::first_difference(undone, before);
        EXPECT_EQ(um->redoActionName(), c.actionName);
        ASSERT_TRUE(um->redo());
        SettingsDictionary redone = test::all_settings(p);
        EXPECT_TRUE(redone.same_contents(after)) << test::first_difference(redone, after);
        ASSERT_TRUE(um->undo());
        undone = test::all_settings(p);
        EXPECT_TRUE(undone.same_contents(before)) << test::first_difference(undone, before);
    }
}

TEST(SettingsUndo, SettingsWithoutActionNameRegisterNothing) {
    for (const char* key : {"localContrastEnabled", "saveFormat", "sharpnessEnabled", "noiseEnabled", "valueZ",
                            "rotation", "raw", "labOptimize", "comprQuality", "tiffXResolution", "tiffYResolution",
                            "dontOverwriteOnSave", "customRawProfile", "destinationFile"}) {
        SCOPED_TRACE(key);
        RawProcessor p;
        auto um = std::make_shared<UndoManager>();
        p.setUndoManager(um);
        p.setValueForKey(key, SettingsValue("5"));
        EXPECT_FALSE(um->canUndo());
        EXPECT_EQ(RawProcessor::undoActionNameForKey(key), "");
    }
}

TEST(SettingsUndo, SameValueStillMakesAStepThatChangesNothing) {
    RawProcessor p;
    p.setEvRed(0.5);
    auto um = std::make_shared<UndoManager>();
    p.setUndoManager(um);
    const SettingsDictionary before = test::all_settings(p);
    p.setValueForKey("evRed", SettingsValue(0.5));
    EXPECT_EQ(um->undoCount(), 1u);
    EXPECT_EQ(um->undoActionName(), "Red EV");
    um->undo();
    EXPECT_TRUE(test::all_settings(p).same_contents(before));
}

TEST(SettingsUndo, NoUndoManagerNoSteps) {
    RawProcessor p;
    p.setExposure(1);
    auto um = std::make_shared<UndoManager>();
    p.setUndoManager(um);
    EXPECT_FALSE(um->canUndo());
}

TEST(SettingsUndo, ModeChangeUndoesItsChannelExposuresInOneStep) {
    RawProcessor p;
    p.setUseCameraWB(0);
    p.setEvRed(0.4);
    p.setEvBlue(-0.3);
    p.setEvGreen(0.2);
    auto um = std::make_shared<UndoManager>();
    p.setUndoManager(um);
    const SettingsDictionary before = test::all_settings(p);
    p.setUseCameraWB(3);
    EXPECT_EQ(p.evRed(), 0.0);
    EXPECT_EQ(um->undoCount(), 1u);
    EXPECT_EQ(um->undoActionName(), "Red EV");  // the first setting the change moved
    um->undo();
    // The channel exposures return; the mode itself has no undo step.
    EXPECT_EQ(p.evRed(), 0.4);
    EXPECT_EQ(p.evBlue(), -0.3);
    EXPECT_EQ(p.evGreen(), 0.2);
    EXPECT_EQ(p.evGreen2(), before.get("evGreen2").double_value());
    EXPECT_EQ(p.useCameraWB(), 3);
}

// The second green set by hand while it follows the first: undoing a change
// of the first green (whose rule moves the second) still restores it.
TEST(SettingsUndo, SecondGreenSetByHandSurvivesUndoOfTheFirst) {
    for (const char* key : {"evGreen", "manualGreen2", "useCameraWB"}) {
        SCOPED_TRACE(key);
        const std::string k = key;
        RawProcessor p;
        p.setUseCameraWB(0);
        p.setEvGreen(0.2);
        // For the mode switch: from manual back to the rule. Otherwise the
        // second green is set by hand while it follows the first.
        if (k == "manualGreen2") p.setManualGreen2(1);
        p.setEvGreen2(0.9);
        auto um = std::make_shared<UndoManager>();
        p.setUndoManager(um);
        SettingsDictionary before = test::all_settings(p);
        const SettingsValue value = k == "evGreen" ? SettingsValue(0.45)
                                    : k == "manualGreen2" ? SettingsValue(0)
                                                          : SettingsValue(3);
        p.setValueForKey(key, value);
        EXPECT_NE(p.evGreen2(), 0.9);
        SettingsDictionary after = test::all_settings(p);
        ASSERT_TRUE(um->undo());
        SettingsDictionary undone = test::all_settings(p);
        if (k == "useCameraWB") undone.set("useCameraWB", before.get("useCameraWB"));
        EXPECT_TRUE(undone.same_contents(before)) << test::first_difference(undone, before);
        ASSERT_TRUE(um->redo());
        SettingsDictionary redone = test::all_settings(p);
        if (k == "useCameraWB") redone.set("useCameraWB", after.get("useCameraWB"));
        EXPECT_TRUE(redone.same_contents(after)) << test::first_difference(redone, after);
    }
}

TEST(SettingsUndo, BulkChangesAreOneStep) {
    RawProcessor p;
    test::set_non_defaults(p);
    auto um = std::make_shared<UndoManager>();
    p.setUndoManager(um);
    const SettingsDictionary before = test::all_settings(p);
    p.resetToDefaults(false);
    EXPECT_EQ(um->undoCount(), 1u);
    um->undo();
    SettingsDictionary undone = test::all_settings(p);
    // Settings without an undo step keep their reset values; every other
    // one comes back.
    EXPECT_EQ(undone.get("saveFormat"), before.get("saveFormat"));  // applied again, unchanged
    for (const char* key : {"useCameraWB", "localContrastEnabled", "sharpnessEnabled", "noiseEnabled"}) {
        EXPECT_EQ(undone.get(key), test::all_settings(RawProcessor()).get(key)) << key;
        undone.set(key, before.get(key));
    }
    EXPECT_TRUE(undone.same_contents(before)) << test::first_difference(undone, before);
}

TEST(SettingsUndo, StepsOfADestroyedProcessorAreDropped) {
    auto um = std::make_shared<UndoManager>();
    RawProcessor keep;
    keep.setUndoManager(um);
    {
        RawProcessor gone;
        gone.setUndoManager(um);
        gone.setExposure(1);
        keep.setExposure(2);
        gone.setContrast(3);
        EXPECT_EQ(um->undoCount(), 3u);
    }
    EXPECT_EQ(um->undoCount(), 1u);
    EXPECT_TRUE(um->undo());
    EXPECT_EQ(keep.exposure(), 0.0);

    // Also from a manager it used before its current one.
    auto first = std::make_shared<UndoManager>();
    auto second = std::make_shared<UndoManager>();
    {
        RawProcessor p;
        p.setUndoManager(first);
        p.setGamma(2.0);
        p.setUndoManager(second);
        p.setGamma(1.8);
        EXPECT_EQ(first->undoCount(), 1u);
        EXPECT_EQ(second->undoCount(), 1u);
    }
    EXPECT_FALSE(first->canUndo());
    EXPECT_FALSE(second->canUndo());
}

TEST(SettingsUndo, BwModeUndoRestoresTheFilterByName) {
    RawProcessor p;
    p.setUplab2labProfiles({"First", "Second", "Third"});
    p.setValueForKey("filterName", SettingsValue("Third"));
    EXPECT_EQ(p.bwMode(), 2002);
    auto um = std::make_shared<UndoManager>();
    p.setUndoManager(um);
    p.setBwMode(1);
    EXPECT_EQ(um->undoActionName(), "Monochrome Mode change");
    um->undo();
    EXPECT_EQ(p.bwMode(), 2002);
    EXPECT_EQ(p.valueForKey("filterName"), SettingsValue("Third"));
    um->redo();
    EXPECT_EQ(p.bwMode(), 1);
    // A code without a name comes back as "Color".
    p.setBwMode(5);
    p.setBwMode(2);
    um->undo();
    EXPECT_EQ(p.bwMode(), 0);
}

}  // namespace
}  // namespace dvk
