// The profiling panel's opening and closing: guards, the measuring state, the
// user's settings given back, the reference pop-up and the defaults.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/profiling/profiling_test_util.h"
#include "tests/profiling/workflow_fixture.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;

TEST_F(WorkflowTest, OpeningIsRefusedWhenItCannotMeasure) {
    RawProcessor& p = host_->p();
    p.setSaturation(12);
    host_->showPrevious_ = true;
    EXPECT_FALSE(workflow_->showProfilingWindow());
    host_->showPrevious_ = false;
    p.setProgress(40);  // a load or save is running
    EXPECT_FALSE(workflow_->showProfilingWindow());
    p.setProgress(0);
    host_->open_ = false;
    EXPECT_FALSE(workflow_->showProfilingWindow());
    host_->open_ = true;
    EXPECT_EQ(p.saturation(), 12);
    EXPECT_EQ(host_->applies, 0);
    EXPECT_FALSE(workflow_->isVisible());

    ASSERT_TRUE(workflow_->showProfilingWindow());
    EXPECT_FALSE(workflow_->showProfilingWindow());  // already visible
    EXPECT_EQ(host_->applies, 1);
}

TEST_F(WorkflowTest, MeasuringStateAndSettingsBackOnCloseButBalanceAndExposure) {
    RawProcessor& p = host_->p();
    // The user's own settings, each away from its default.
    p.setExposure(0.7);
    p.setEvRed(0.31);
    p.setEvBlue(0.42);
    p.setEvGreen(0.05);
    p.setManualGreen2(1);
    p.setEvGreen2(0.07);
    p.setEvWarmCold(0.2);
    p.setHlCompression(0.3);
    p.setHlRange(3.5);
    p.setBrightness(61);
    p.setContrast(7);
    p.setLocalContrast(12);
    p.setBlackShift(0.02);
    p.setSharpness(0.4);
    p.setNoise(0.6);
    p.setSaturation(9);
    p.setGamma(1.8);
    p.setHighRecoveryEV(0.5);
    p.setUplab(0);
    p.setBlurAB(0);
    p.setCleanDotNoise(1);
    p.setHighRecoveryEnabled(1);
    p.setHighRecoveryGuessTone(1);
    p.setSharpnessEnabled(0);
    p.setLocalContrastEnabled(0);
    p.setNoiseEnabled(0);
    p.setCurveType(0);
    p.setInterpolation(3);
    p.setSaveFormat(4);
    p.setFilterName("V50");
    const SettingsDictionary before = p.undoSettings();
    ASSERT_EQ(before.size(), 30u);  // the 31st, customRawProfile, is absent while none is set

    defaults_->setInteger("EnforceWhite", 1);
    ASSERT_TRUE(workflow_->showProfilingWindow());
    EXPECT_TRUE(workflow_->enforceWhite());
    EXPECT_FALSE(workflow_->enforceBlack());
    // Camera RGB, neutral tone; white balance, exposure, contrast and black shift kept.
    EXPECT_EQ(p.saveFormat(), 17);
    EXPECT_EQ(p.raw(), 1);
    EXPECT_EQ(p.curveType(), 1);
    EXPECT_EQ(p.saturation(), 0);
    EXPECT_EQ(p.sharpness(), 0);
    EXPECT_EQ(p.bwMode(), 0);
    EXPECT_EQ(p.exposure(), 0.7);
    EXPECT_EQ(p.evRed(), 0.31);
    EXPECT_EQ(p.contrast(), 7);
    EXPECT_EQ(p.blackShift(), 0.02);
    EXPECT_EQ(host_->applies, 1);
    EXPECT_EQ(host_->clears, 1);
    EXPECT_EQ(workflow_->description(), "Canon EOS Kiss X4 ISO 0, colorchart.dng");
    EXPECT_EQ(workflow_->originator(), ProfilingWorkflow::defaultOriginator());
    EXPECT_FALSE(workflow_->originator().empty());

    // A profile made meanwhile stays chosen, and so do the white balance and
    // exposure set on the chart; everything else comes back.
    host_->setCustomCameraProfile("made.icc");
    p.setUseCameraWB(3);
    p.setEvRed(0.55);
    p.setEvGreen(-0.1);
    p.setEvBlue(0.25);
    p.setManualGreen2(1);
    p.setEvGreen2(0.02);
    p.setExposure(1.25);
    p.setBrightness(40);  // not kept
    workflow_->setEnforceBlack(true);
    workflow_->setEnforceWhite(false);
    workflow_->closeProfilingWindow();
    EXPECT_FALSE(workflow_->isVisible());
    SettingsDictionary after = p.undoSettings();
    EXPECT_EQ(after.get("customRawProfile").description(), support() + "/Profiles/made.icc");
    after.erase("customRawProfile");
    EXPECT_EQ(p.useCameraWB(), 3);
    EXPECT_EQ(p.evRed(), 0.55);
    EXPECT_EQ(p.evGreen(), -0.1);
    EXPECT_EQ(p.evBlue(), 0.25);
    EXPECT_EQ(p.evGreen2(), 0.02);
    EXPECT_EQ(p.manualGreen2(), 1);
    EXPECT_EQ(p.exposure(), 1.25);
    EXPECT_EQ(p.brightness(), 61);
    SettingsDictionary expected = before;
    for (const char* key : {"evRed", "evGreen", "evBlue", "evGreen2", "manualGreen2", "exposure"})
        expected.set(key, after.get(key));
    EXPECT_TRUE(after.same_contents(expected));
    EXPECT_EQ(p.saveFormat(), 4);
    EXPECT_EQ(host_->applies, 2);
    EXPECT_EQ(host_->clears, 2);
    EXPECT_TRUE(workflow_->log().empty());
    EXPECT_TRUE(workflow_->cieValues().empty());
    EXPECT_EQ(defaults_->integerForKey("EnforceBlack"), 1);
    EXPECT_EQ(defaults_->integerForKey("EnforceWhite"), 0);

    // Closing again (the panel's own close after the controller's) does nothing.
    workflow_->windowWillClose();
    EXPECT_EQ(host_->applies, 2);
}

TEST_F(WorkflowTest, ReferencePopUpListsTemplatesAndLoadsTheChosenOne) {
    const fs::path templates = fs::path(support()) / "Profile Templates";
    ASSERT_TRUE(workflow_->showProfilingWindow());
    EXPECT_TRUE(fs::is_directory(templates));  // made when missing
    // Nothing chosen before: the built-in reference.
    EXPECT_EQ(workflow_->selectedReferenceItem(), 0);
    EXPECT_EQ(workflow_->cieFileName(), ProfilingWorkflow::builtinReferencePath());
    EXPECT_EQ(workflow_->cieValues().size(), 24u);
    EXPECT_NE(workflow_->log().find("CIE reference value definitions set to default ColorChecker 24\n"),
              std::string::npos);
    workflow_->closeProfilingWindow();

    spit(templates / "b.cie", read_file(writeReference("x.cie", {"P1", "P2", "DVKWHT", "dvkblk", "P3"})));
    spit(templates / "a.Q60", read_file(writeReference("y.cie", {"Q1"})));
    spit(templates / "notes.txt", "no reference");
    fs::create_directories(templates / "sub.cie");
    defaults_->setString("CIEFile", "/elsewhere/b.cie");
    ASSERT_TRUE(workflow_->showProfilingWindow());
    const auto& items = workflow_->referenceItems();
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].title, "ColorChecker 24");
    EXPECT_EQ(items[0].tag, 0);
    EXPECT_EQ(items[1].title, "a.Q60");
    EXPECT_EQ(items[2].title, "b.cie");
    EXPECT_EQ(items[2].tag, 2);
    EXPECT_EQ(items[3].tag, 1);
    EXPECT_EQ(workflow_->selectedReferenceItem(), 2);
    // The synthetic patches are skipped.
    ASSERT_EQ(workflow_->cieValues().size(), 3u);
    EXPECT_EQ(workflow_->cieValues()[2].id, "P3");
    EXPECT_EQ(workflow_->cieFileName(), (templates / "b.cie").string());
    EXPECT_EQ(defaults_->stringForKey("CIEFile"), (templates / "b.cie").string());

    // The file item: a cancelled panel fails the read and says so.
    workflow_->appendToProfTextView("", true);
    workflow_->selectReferenceItem(3);
    EXPECT_EQ(platform_.openPanels.back().types, (std::vector<std::string>{"cie", "q60", "ti3"}));
    EXPECT_EQ(workflow_->log().rfind("Error loading CIE reference value definitions from: \nCGATS file read error : ", 0),
              0u)
        << workflow_->log();
    EXPECT_EQ(workflow_->cieValues().size(), 3u);  // the previous reference stays
    const std::string chosen = writeReference("chosen.cie", {"C1", "C2"});
    platform_.openAnswers.push_back(chosen);
    workflow_->selectReferenceItem(3);
    EXPECT_EQ(workflow_->cieValues().size(), 2u);
    EXPECT_NE(workflow_->log().find("CIE reference value definitions loaded from: " + chosen + "\n"),
              std::string::npos);
    EXPECT_EQ(defaults_->stringForKey("CIEFile"), chosen);
}

TEST_F(WorkflowTest, ReferencesWithUnusableIdsAreRefusedByName) {
    ASSERT_TRUE(workflow_->showProfilingWindow());
    const std::string twice = writeReference("twice.cie", {"A1", "B1", "a1"});
    workflow_->appendToProfTextView("", true);
    EXPECT_FALSE(workflow_->readCIEFile(twice));
    EXPECT_EQ(workflow_->log(),
              "Error loading CIE reference value definitions from: " + twice + "\nthe id \"a1\" is used twice\n");
    EXPECT_TRUE(workflow_->cieFileName().empty());
    EXPECT_TRUE(workflow_->cieValues().empty());

    // 99-byte cuts that meet: the same refusal.
    const std::string a(99, 'a');
    EXPECT_FALSE(workflow_->readCIEFile(writeReference("cut.cie", {a + "1", a + "2"})));
    const std::string empty = writeReference("empty.cie", {"\"\"", "B1"});
    workflow_->appendToProfTextView("", true);
    EXPECT_FALSE(workflow_->readCIEFile(empty));
    EXPECT_NE(workflow_->log().find("patch 1 has an empty id"), std::string::npos) << workflow_->log();

    // A reference without SAMPLE_ID: after the set's refusal, what is missing.
    const std::string located = (dir_ / "passport.cie").string();
    spit(located, "CTI3\n\nBEGIN_DATA_FORMAT\nSAMPLE_LOC XYZ_X XYZ_Y XYZ_Z\nEND_DATA_FORMAT\n"
                  "NUMBER_OF_SETS 1\nBEGIN_DATA\nSAT1 31.4 19.3 6.9\nEND_DATA\n");
    workflow_->appendToProfTextView("", true);
    EXPECT_FALSE(workflow_->readCIEFile(located));
    EXPECT_EQ(workflow_->log(), "Error loading CIE set 0 from: " + located +
                                    "\nSet 0 cannot be read: the first table has no SAMPLE_ID field (its fields: "
                                    "SAMPLE_LOC XYZ_X XYZ_Y XYZ_Z)\n");

}

TEST_F(WorkflowTest, OpeningTakesTheLastTi3FileAndCurrentProfileOpensWithTheSystem) {
    const std::string ti3 = (dir_ / "last.ti3").string();
    defaults_->setString("TI3File", ti3);
    ASSERT_TRUE(workflow_->showProfilingWindow());
    EXPECT_EQ(workflow_->ti3FileName(), ti3);
    EXPECT_NE(workflow_->log().find("Target information file (TI3) is set to: " + ti3 + "\n"), std::string::npos);

    workflow_->openCurrentProfile();  // no custom profile
    host_->p().setCustomRawProfile("Built-in");
    workflow_->openCurrentProfile();  // a built-in name is no file
    EXPECT_TRUE(platform_.opened.empty());
    host_->setCustomCameraProfile("mine.icc");
    workflow_->openCurrentProfile();
    EXPECT_EQ(platform_.opened, (std::vector<std::string>{support() + "/Profiles/mine.icc"}));
    EXPECT_NE(std::string(ProfilingWorkflow::creditsHtml()).find("colprof"), std::string::npos);
    EXPECT_GT(ProfilingWorkflow::swatchProfile().size(), 128u);
}

}  // namespace
}  // namespace dvk::test
