#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "pipeline/processor/raw_processor.h"
#include "pipeline/settings/settings_file.h"
#include "pipeline/settings/settings_text.h"
#include "pipeline/settings/undo_manager.h"
#include "platform/pasteboard.h"
#include "tests/settings/settings_helpers.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

// The text of a fresh processor, written out by hand from the rules: the
// snapshot less uplab, noise and noiseEnabled, plus useCameraWB and the
// "Default" custom profile, sorted case-sensitively.
const char* const kFreshText =
    "blackShift 0\n"
    "blurAB 1\n"
    "brightness 50\n"
    "cleanDotNoise 0\n"
    "contrast 0\n"
    "curveType 1\n"
    "customRawProfile Default\n"
    "evBlue 0\n"
    "evGreen 0\n"
    "evGreen2 0\n"
    "evRed 0\n"
    "evWarmCold 0\n"
    "exposure 0\n"
    "filterName Color\n"
    "gamma 2.2\n"
    "highRecoveryEV 0\n"
    "highRecoveryEnabled 0\n"
    "highRecoveryGuessTone 0\n"
    "hlCompression 0\n"
    "hlRange 2\n"
    "interpolation 2\n"
    "localContrast 0\n"
    "localContrastEnabled 1\n"
    "manualGreen2 0\n"
    "saturation 0\n"
    "saveFormat 2\n"
    "sharpness 0\n"
    "sharpnessEnabled 1\n"
    "useCameraWB 1\n";

// Keys that the settings text carries (the snapshot, less the three the
// text leaves out, plus the white-balance mode).
SettingsDictionary text_carried(const RawProcessor& p) {
    SettingsDictionary d = p.undoSettings();
    for (const char* k : {"uplab", "noise", "noiseEnabled"}) d.erase(k);
    d.set("useCameraWB", p.useCameraWB());
    return d;
}

class PasteboardScope {
public:
    PasteboardScope() : board_(std::make_shared<MemoryPasteboard>()) { set_general_pasteboard(board_); }
    ~PasteboardScope() { set_general_pasteboard(nullptr); }
    MemoryPasteboard& board() { return *board_; }

private:
    std::shared_ptr<MemoryPasteboard> board_;
};

TEST(SettingsSnapshot, HoldsThirtyOneEntriesOfTheirTypes) {
    RawProcessor p;
    SettingsDictionary s = p.undoSettings();
    EXPECT_EQ(s.size(), 30u);  // customRawProfile absent while there is none
    p.setValueForKey("customRawProfile", SettingsValue("/p/My Camera.icc"));
    s = p.undoSettings();
    ASSERT_EQ(s.size(), 31u);
    for (const char* k : {"evRed", "evGreen", "evBlue", "evGreen2", "evWarmCold", "exposure", "hlCompression",
                          "hlRange", "brightness", "contrast", "localContrast", "blackShift", "sharpness", "noise",
                          "saturation", "gamma", "highRecoveryEV"})
        EXPECT_EQ(s.get(k).kind(), SettingsValue::Kind::Double) << k;
    for (const char* k : {"manualGreen2", "uplab", "blurAB", "cleanDotNoise", "highRecoveryEnabled",
                          "highRecoveryGuessTone", "sharpnessEnabled", "localContrastEnabled", "noiseEnabled"})
        EXPECT_EQ(s.get(k).kind(), SettingsValue::Kind::Bool) << k;
    for (const char* k : {"curveType", "interpolation", "saveFormat"})
        EXPECT_EQ(s.get(k).kind(), SettingsValue::Kind::Int) << k;
    EXPECT_EQ(s.get("filterName"), SettingsValue("Color"));
    EXPECT_EQ(s.get("customRawProfile"), SettingsValue("/p/My Camera.icc"));
}

TEST(SettingsSnapshot, CopiesSettingsButNotTheCustomProfile) {
    RawProcessor a;
    test::set_non_defaults(a);
    a.setValueForKey("customRawProfile", SettingsValue("Default"));
    RawProcessor b;
    b.setUndoSettings(a.undoSettings());
    SettingsDictionary sa = a.undoSettings(), sb = b.undoSettings();
    sa.erase("customRawProfile");
    EXPECT_TRUE(sb.same_contents(sa)) << test::first_difference(sa, sb);
    EXPECT_TRUE(b.valueForKey("customRawProfile").is_null());
}

TEST(SettingsDictionaryRecord, AppliesEveryKeyWithTheReservedMapping) {
    SettingsDictionary r;
    r.set("blurAB", false);
    r.set("brightness", 40.5);
    r.set("contrast", 3.0);
    r.set("curveType", 0);
    r.set("customRawProfile", "Default");
    r.set("destinationFile", "/out/");
    r.set("manualGreen2", true);
    r.set("evBlue", -0.5);
    r.set("evGreen2", 0.125);
    r.set("evGreen", 0.25);
    r.set("evRed", 0.75);
    r.set("evWarmCold", 0.1);
    r.set("exposure", 1.0);
    r.set("gamma", 1.8);
    r.set("highRecoveryEV", -0.2);
    r.set("highRecoveryEnabled", true);
    r.set("reservedInt1", true);
    r.set("interpolation", 3);
    r.set("localContrast", 9.0);
    r.set("reservedDouble1", 0.004);
    r.set("reservedDouble2", 0.6);
    r.set("reservedDouble3", 1.5);
    r.set("reservedInt2", 1500);
    r.set("rotation", 11);
    r.set("saturation", -3.0);
    r.set("saveFormat", 5);
    r.set("uplab", false);
    r.set("noiseFilter", 2.5);
    r.set("copyTags", true);
    r.set("reservedString1", "0");
    RawProcessor p;
    p.setSettings(r);
    EXPECT_EQ(p.blurAB(), 0);
    EXPECT_EQ(p.brightness(), 40.5);
    EXPECT_EQ(p.curveType(), 0);
    // "Default" is the settings' word for none.
    EXPECT_TRUE(p.valueForKey("customRawProfile").is_null());
    EXPECT_EQ(p.destinationFile(), "/out/");
    EXPECT_EQ(p.manualGreen2(), 1);
    EXPECT_EQ(p.evBlue(), -0.5);
    EXPECT_EQ(p.evGreen2(), 0.125);  // manual second green keeps its own value
    EXPECT_EQ(p.evGreen(), 0.25);
    EXPECT_EQ(p.evRed(), 0.75);
    EXPECT_EQ(p.exposure(), 1.0);
    EXPECT_EQ(p.gamma(), 1.8);
    EXPECT_EQ(p.highRecoveryEnabled(), 1);
    EXPECT_EQ(p.highRecoveryGuessTone(), 1);
    EXPECT_EQ(p.interpolation(), 3);
    EXPECT_EQ(p.blackShift(), 0.004);
    EXPECT_EQ(p.sharpness(), 0.6);
    EXPECT_EQ(p.hlCompression(), 1.5);
    EXPECT_EQ(p.hlRange(), 1.5);
    EXPECT_EQ(p.rotation(), 11);
    EXPECT_EQ(p.saveFormat(), 5);
    EXPECT_EQ(p.uplab(), 0);
    EXPECT_EQ(p.noise(), 2.5);
    EXPECT_EQ(p.cleanDotNoise(), 1);
    EXPECT_EQ(p.useCameraWB(), 0);  // manual: the EVs just applied stay
}

TEST(SettingsDictionaryRecord, MissingRangeFallsBackToTwo) {
    SettingsDictionary r;
    r.set("exposure", 0.5);
    RawProcessor p;
    p.setHlRange(4);
    p.setSettings(r);
    EXPECT_EQ(p.hlRange(), 2.0);
    EXPECT_EQ(p.exposure(), 0.5);
    EXPECT_EQ(p.brightness(), 0.0);  // a missing key gives 0
    EXPECT_EQ(p.useCameraWB(), 0);
}

TEST(SettingsDictionaryRecord, AutoModeRecomputesTheExposuresAfterTheStoredOnes) {
    RawProcessor p;
    p.dvklib()->auto_wb[0] = 3;
    p.dvklib()->auto_wb[1] = 1.5;
    p.dvklib()->auto_wb[2] = 0.75;
    p.dvklib()->auto_wb[3] = 1.5;
    SettingsDictionary r;
    r.set("evRed", 0.9);
    r.set("evBlue", 0.9);
    r.set("reservedString1", "1");
    // Any key-value source will do: here a function.
    p.setSettings(KeyValueSource([&](std::string_view key) { return r.get(key); }));
    EXPECT_EQ(p.useCameraWB(), 1);
    EXPECT_EQ(p.evRed(), 1.0);
    EXPECT_EQ(p.evBlue(), -1.0);
    EXPECT_EQ(p.evGreen(), 0.0);
    EXPECT_EQ(p.manualGreen2(), 0);
}

TEST(SettingsDefaults, ResetKeepingWhiteBalance) {
    RawProcessor p;
    test::set_non_defaults(p);
    p.setValueForKey("customRawProfile", SettingsValue("Canon 550D"));
    p.setManualGreen2(1);
    p.setEvGreen2(0.77);
    p.resetToDefaults(true);
    EXPECT_EQ(p.exposure(), 0.35);
    EXPECT_EQ(p.evRed(), 0.1 + 1.0 / 3.0);
    EXPECT_EQ(p.evGreen(), 0.0625);
    EXPECT_EQ(p.evBlue(), -0.27);
    EXPECT_EQ(p.useCameraWB(), 0);
    EXPECT_EQ(p.valueForKey("customRawProfile"), SettingsValue("Canon 550D"));
    EXPECT_EQ(p.manualGreen2(), 0);
    EXPECT_EQ(p.evGreen2(), p.evGreen() - p.greenDelta());
    EXPECT_EQ(p.hlRange(), 2.0);
    EXPECT_EQ(p.curveType(), 1);
    EXPECT_EQ(p.gamma(), 2.2);
    EXPECT_EQ(p.brightness(), 50.0);
    EXPECT_EQ(p.saveFormat(), 7);  // applied again
    // Kept: interpolation, rotation, the highlight-recovery switches.
    EXPECT_EQ(p.interpolation(), 4);
    EXPECT_EQ(p.rotation(), 12);
    EXPECT_EQ(p.highRecoveryEnabled(), 1);
    EXPECT_EQ(p.highRecoveryGuessTone(), 1);
}

TEST(SettingsDefaults, FullResetMatchesAFreshProcessorInEveryResetSetting) {
    RawProcessor p;
    test::set_non_defaults(p);
    p.setValueForKey("customRawProfile", SettingsValue("/x/y.icc"));
    p.setBwMode(3);
    p.resetToDefaults(false);
    RawProcessor fresh;
    SettingsDictionary a = test::all_settings(p), b = test::all_settings(fresh);
    // Kept: interpolation, rotation, the highlight-recovery switches, valueZ,
    // raw and the output settings (which the save format sets).
    for (const char* kept : {"interpolation", "rotation", "highRecoveryEnabled", "highRecoveryGuessTone", "valueZ",
                             "raw", "saveFormat", "comprQuality", "labOptimize", "tiffXResolution",
                             "tiffYResolution", "dontOverwriteOnSave", "destinationFile"}) {
        a.erase(kept);
        b.erase(kept);
    }
    EXPECT_TRUE(a.same_contents(b)) << test::first_difference(a, b);
}

TEST(SettingsText, FreshProcessorText) {
    RawProcessor p;
    EXPECT_EQ(p.getSettingsAsTextWithFilter(nullptr), kFreshText);
}

TEST(SettingsText, FilterLeavesOutItsKeys) {
    RawProcessor p;
    const std::vector<std::string> white_balance = {"evBlue", "evRed", "evGreen", "evGreen2", "useCameraWB",
                                                    "manualGreen2"};
    std::string text = p.getSettingsAsTextWithFilter(&white_balance);
    for (const auto& k : white_balance) EXPECT_EQ(text.find("\n" + k + " "), std::string::npos) << k;
    EXPECT_NE(text.find("exposure 0\n"), std::string::npos);
    // Every key disabled: nothing left.
    std::vector<std::string> all;
    for (const auto& [k, v] : getDictionarySettingsFromString(kFreshText)) all.push_back(k);
    EXPECT_EQ(p.getSettingsAsTextWithFilter(&all), "");
}

TEST(SettingsText, ExportTextAddsDestinationRotationAndProfileName) {
    RawProcessor p;
    std::string text = p.getExportSettingsAsText();
    EXPECT_NE(text.find("destinationFile \n"), std::string::npos);
    EXPECT_NE(text.find("rotation 0\n"), std::string::npos);
    EXPECT_NE(text.find("customRawProfile Default\n"), std::string::npos);
    EXPECT_EQ(text.find("uplab"), std::string::npos);
    EXPECT_EQ(text.find("noise"), std::string::npos);
    p.setValueForKey("customRawProfile", SettingsValue("/home/u/Profiles/My Cam.icc"));
    p.setDestinationFile("/out/x.tif");
    p.setRotation(13);
    text = p.getExportSettingsAsText("/home/u/Profiles");
    EXPECT_NE(text.find("customRawProfile My Cam.icc\n"), std::string::npos);
    // Outside the profile folder the path stays whole, so that it is found again.
    EXPECT_NE(p.getExportSettingsAsText("/home/v/Profiles").find("customRawProfile /home/u/Profiles/My Cam.icc\n"),
              std::string::npos);
    EXPECT_NE(text.find("destinationFile /out/x.tif\n"), std::string::npos);
    EXPECT_NE(text.find("rotation 13\n"), std::string::npos);
    EXPECT_EQ(getDictionarySettingsFromString(text).size(), 31u);
}

TEST(SettingsFiles, ExtensionIsAppendedUnlessPresentInAnyCase) {
    test::TempDir dir;
    RawProcessor p;
    ASSERT_TRUE(p.exportSettingsToFile((dir / "look").string(), false));
    EXPECT_TRUE(std::filesystem::exists(dir / "look.dvks"));
    ASSERT_TRUE(p.exportSettingsToFile((dir / "other.DVKS").string(), false));
    EXPECT_TRUE(std::filesystem::exists(dir / "other.DVKS"));
    EXPECT_FALSE(std::filesystem::exists(dir / "other.DVKS.dvks"));
    EXPECT_EQ(*read_file_bytes((dir / "look.dvks").string()), kFreshText);
    // Import finds look.dvks from the bare name too.
    EXPECT_TRUE(p.importSettingsFromFile((dir / "look").string()));
    EXPECT_FALSE(p.exportSettingsToFile((dir / "missing/x").string(), false));
    EXPECT_FALSE(p.importSettingsFromFile((dir / "nothing").string()));
}

TEST(SettingsFiles, TextFileRoundTripOfAllSettings) {
    test::TempDir dir;
    RawProcessor a;
    test::set_non_defaults(a);
    a.setValueForKey("customRawProfile", SettingsValue("Default"));
    a.setBwMode(6);
    ASSERT_TRUE(a.exportSettingsToFile((dir / "all").string(), false));
    RawProcessor b;
    ASSERT_TRUE(b.importSettingsFromFile((dir / "all.dvks").string()));
    SettingsDictionary ta = text_carried(a), tb = text_carried(b);
    EXPECT_TRUE(ta.same_contents(tb)) << test::first_difference(ta, tb);
    EXPECT_TRUE(b.valueForKey("customRawProfile").is_null());
}

TEST(SettingsFiles, FilteredExportUsesTheDisabledSettings) {
    test::TempDir dir;
    RawProcessor a;
    a.setExposure(1.5);
    a.setContrast(8);
    a.disabledSettings() = {"exposure"};
    ASSERT_TRUE(a.exportSettingsToFile((dir / "f").string(), true));
    ASSERT_TRUE(a.exportSettingsToFile((dir / "u").string(), false));
    EXPECT_EQ(read_file_bytes((dir / "f.dvks").string())->find("exposure"), std::string::npos);
    EXPECT_NE(read_file_bytes((dir / "u.dvks").string())->find("exposure 1.5\n"), std::string::npos);
    RawProcessor b;
    ASSERT_TRUE(b.importSettingsFromFile((dir / "f.dvks").string()));
    EXPECT_EQ(b.exposure(), 0.0);
    EXPECT_EQ(b.contrast(), 8.0);
}

TEST(SettingsFiles, PropertyListFilesOfAllSettings) {
    test::TempDir dir;
    RawProcessor a;
    test::set_non_defaults(a);
    a.setValueForKey("customRawProfile", SettingsValue("Default"));
    SettingsDictionary d = text_carried(a);
    ASSERT_TRUE(write_file_atomically((dir / "x.dvks").string(), settings_plist_xml(d)));
    ASSERT_TRUE(write_file_atomically((dir / "b.dvks").string(), settings_plist_binary(d)));
    for (const char* name : {"x.dvks", "b.dvks"}) {
        SCOPED_TRACE(name);
        RawProcessor b;
        ASSERT_TRUE(b.importSettingsFromFile((dir / name).string()));
        SettingsDictionary tb = text_carried(b), ta = text_carried(a);
        EXPECT_TRUE(ta.same_contents(tb)) << test::first_difference(ta, tb);
    }
}

TEST(SettingsFiles, FilterNameWithBlanksAndDefaultProfile) {
    test::TempDir dir;
    RawProcessor p;
    ASSERT_TRUE(write_file_atomically((dir / "n.dvks").string(),
                                      "customRawProfile Default\nfilterName Lightness (Lab)\nexposure 0.5\n"));
    p.setCustomRawProfile("Canon 550D");
    ASSERT_TRUE(p.importSettingsFromFile((dir / "n.dvks").string()));
    EXPECT_TRUE(p.valueForKey("customRawProfile").is_null());
    EXPECT_EQ(p.exposure(), 0.5);
    EXPECT_EQ(p.bwMode(), 6);
    EXPECT_EQ(p.valueForKey("filterName"), SettingsValue("Lightness (Lab)"));
}

TEST(SettingsFiles, NonFiniteValuesAreRefusedWithTheImportError) {
    test::TempDir dir;
    RawProcessor p;
    p.setExposure(0.25);
    ASSERT_TRUE(write_file_atomically((dir / "bad.dvks").string(), "contrast 4\nexposure nan\n"));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(p.importSettingsFromFile((dir / "bad.dvks").string()));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Looks like garbage"), std::string::npos) << err;
    EXPECT_EQ(p.exposure(), 0.25);
    EXPECT_EQ(p.contrast(), 0.0);  // all or nothing: the good key is not applied either

    SettingsDictionary d;
    d.set("gamma", std::numeric_limits<double>::infinity());
    ASSERT_TRUE(write_file_atomically((dir / "inf.dvks").string(), settings_plist_xml(d)));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(p.importSettingsFromFile((dir / "inf.dvks").string()));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(p.gamma(), 2.2);
}

TEST(SettingsPasteboard, CopyIsFilteredAndPasteApplies) {
    PasteboardScope scope;
    RawProcessor a;
    a.setExposure(0.75);
    a.setUseCameraWB(0);
    a.setEvRed(0.5);
    a.disabledSettings() = {"evBlue", "evRed", "evGreen", "evGreen2", "useCameraWB", "manualGreen2"};
    // Filtered is ignored for the pasteboard: the copy is always filtered.
    ASSERT_TRUE(a.exportSettingsToFile("", false));
    std::string text = *scope.board().string();
    EXPECT_EQ(text.find("evRed"), std::string::npos);
    EXPECT_NE(text.find("exposure 0.75\n"), std::string::npos);
    RawProcessor b;
    ASSERT_TRUE(b.importSettingsFromFile(""));
    EXPECT_EQ(b.exposure(), 0.75);
    EXPECT_EQ(b.evRed(), 0.0);
    EXPECT_EQ(b.useCameraWB(), 1);
}

TEST(SettingsPasteboard, PropertyListOnThePasteboard) {
    PasteboardScope scope;
    SettingsDictionary d;
    d.set("brightness", 33.25);
    d.set("uplab", false);
    scope.board().setString(settings_plist_xml(d));
    RawProcessor p;
    ASSERT_TRUE(p.importSettingsFromFile(""));
    EXPECT_EQ(p.brightness(), 33.25);
    EXPECT_EQ(p.uplab(), 0);
}

TEST(SettingsPasteboard, NothingOrGarbageIsRefused) {
    PasteboardScope scope;
    RawProcessor p;
    EXPECT_FALSE(p.importSettingsFromFile(""));  // no string on the pasteboard
    scope.board().setString("  \n\n");
    EXPECT_FALSE(p.importSettingsFromFile(""));  // no key
    scope.board().setString("brightness 20\nzzzUnknown 1\n");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(p.importSettingsFromFile(""));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Looks like garbage"), std::string::npos);
    EXPECT_NE(err.find("zzzUnknown"), std::string::npos);
    EXPECT_EQ(p.brightness(), 50.0);  // all or nothing
    // All settings disabled: the copy is empty and pasting it fails.
    std::vector<std::string> all;
    for (const auto& [k, v] : getDictionarySettingsFromString(kFreshText)) all.push_back(k);
    p.disabledSettings() = all;
    ASSERT_TRUE(p.exportSettingsToFile("", true));
    EXPECT_EQ(*scope.board().string(), "");
    EXPECT_FALSE(p.importSettingsFromFile(""));
}

TEST(SettingsImport, ReappliesTheWhiteBalanceModeAfterTheExposures) {
    test::TempDir dir;
    RawProcessor p;
    p.dvklib()->auto_wb[0] = 2;
    p.dvklib()->auto_wb[2] = 4;
    ASSERT_TRUE(write_file_atomically((dir / "wb.dvks").string(), "evBlue 0.3\nevRed 0.7\nuseCameraWB 1\n"));
    ASSERT_TRUE(p.importSettingsFromFile((dir / "wb.dvks").string()));
    EXPECT_EQ(p.evRed(), 1.0);
    EXPECT_EQ(p.evBlue(), 2.0);
}

TEST(SettingsImport, AnImportIsOneUndoStep) {
    test::TempDir dir;
    RawProcessor p;
    auto um = std::make_shared<UndoManager>();
    p.setUndoManager(um);
    const SettingsDictionary before = test::all_settings(p);
    ASSERT_TRUE(write_file_atomically((dir / "u.dvks").string(), "brightness 70\ncontrast 5\ngamma 1.9\n"));
    ASSERT_TRUE(p.importSettingsFromFile((dir / "u.dvks").string()));
    EXPECT_EQ(um->undoCount(), 1u);
    um->undo();
    EXPECT_TRUE(test::all_settings(p).same_contents(before));
}

}  // namespace
}  // namespace dvk
