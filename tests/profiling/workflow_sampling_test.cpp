// Sampling patch after patch, stepping, the TI3 import and the TI3 file.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/profiling/profiling_test_util.h"
#include "tests/profiling/workflow_fixture.h"

namespace dvk::test {
namespace {

// The log line of a sample of patch i as WorkflowTest::sample paints it.
std::string sample_log(const std::string& id, int i) {
    const double xyz = 10.0 * (i + 1);
    const double r = (static_cast<float>(i + 1) / 40 * 0.8f + 0.1f) * 100.0;
    const double g = (static_cast<float>(i + 1) / 40 / 2 * 0.8f + 0.1f) * 100.0;
    const double sd = static_cast<double>(0.001f) * 100;
    char text[512];
    std::snprintf(text, sizeof text,
                  "%s\n     XYZ[%9.4lf,%9.4lf,%9.4lf]\n     RGB[%9.4lf,%9.4lf,%9.4lf]\n  StdDev[%9.4lf,%9.4lf,%9.4lf]\n",
                  id.c_str(), xyz, xyz, xyz, r, g, g, sd, sd, sd);
    return text;
}

TEST_F(WorkflowTest, SamplingPatchByPatchWithStepBackAndRestart) {
    ASSERT_TRUE(workflow_->showProfilingWindow());
    // No reference: the log is cleared and asks for one.
    workflow_->setCieFileName("");
    workflow_->targetSampling(10, 10, 10, 10);
    EXPECT_EQ(workflow_->log(),
              "Please load CIE reference value definitions for the test chart (usually .cie or .q60 file).\n");

    const std::string ref = writeReference("three.cie", {"A1", "A2", "A3"});
    ASSERT_TRUE(workflow_->readCIEFile(ref));
    // Loading leaves sampling complete until Restart.
    EXPECT_EQ(workflow_->patch(), 3);
    EXPECT_TRUE(workflow_->patchToSelect().empty());
    workflow_->appendToProfTextView("", true);
    sample(0);
    EXPECT_EQ(workflow_->log(), "Patch samples are complete. Press Restart if you want to sample again.\n");
    EXPECT_TRUE(workflow_->ti3Values().empty());

    workflow_->resetSampler();
    EXPECT_EQ(workflow_->patchToSelect(), "A1");
    // The swatch: XYZ (0.1, 0.1, 0.1) through the BetaRGB matrix and 1/2.2.
    EXPECT_TRUE(workflow_->swatch().shown);
    EXPECT_NEAR(workflow_->swatch().rgb[1], 65535 * std::pow(0.1 * (-0.77102339 + 1.706562301 + 0.044685553), 1 / 2.2),
                1.0);
    workflow_->appendToProfTextView("", true);
    sample(0);
    sample(1);
    EXPECT_EQ(workflow_->patchToSelect(), "A3");
    sample(2);
    EXPECT_EQ(workflow_->log(),
              sample_log("A1", 0) + sample_log("A2", 1) + sample_log("A3", 2) + "All patches are sampled.\n");
    ASSERT_EQ(workflow_->ti3Values().size(), 3u);
    EXPECT_NEAR(workflow_->ti3Values()[1].RGB[0], (0.05 * 0.8 + 0.1) * 100, 1e-4);

    // Step back after the last patch and sample again: the last one is replaced.
    workflow_->stepPatchBack();
    EXPECT_EQ(workflow_->patch(), 2);
    EXPECT_EQ(workflow_->patchToSelect(), "A3");
    workflow_->appendToProfTextView("", true);
    host_->paint(50, 10, 10, 10, 0.5f, 0.5f, 0.5f);
    workflow_->targetSampling(50, 10, 10, 10);
    ASSERT_EQ(workflow_->ti3Values().size(), 3u);
    EXPECT_NEAR(workflow_->ti3Values()[2].RGB[2], 50, 1e-4);
    EXPECT_EQ(workflow_->log().substr(workflow_->log().size() - 25), "All patches are sampled.\n");

    // A selection with nothing to measure stores nothing.
    workflow_->resetSampler();
    workflow_->appendToProfTextView("", true);
    // With curve type 3 values are taken as they stand, so black counts for nothing.
    host_->p().setCurveType(3);
    host_->paint(0, 0, 5, 5, 0, 0, 0);
    workflow_->targetSampling(-20, -20, 25, 25);  // only black pixels inside
    host_->p().setCurveType(1);
    EXPECT_EQ(workflow_->log(), "A1: nothing to measure in this selection; the patch is not measured.\n");
    EXPECT_EQ(workflow_->patch(), 0);
    EXPECT_TRUE(workflow_->ti3Values().empty());
    workflow_->targetSampling(5000, 5000, 10, 10);  // outside the preview
    EXPECT_EQ(workflow_->patch(), 0);
}

TEST_F(WorkflowTest, TI3FileWrittenThroughTheSavePanelInAnyLocale) {
    openWith(writeReference("ref.cie", {"A1", "B1"}));
    workflow_->appendToProfTextView("", true);
    workflow_->saveTI3Button();
    EXPECT_EQ(workflow_->log(), "You have to sample all patches or import TI3 file before saving.\n");
    EXPECT_TRUE(platform_.savePanels.empty());
    sample(0);
    sample(1);
    workflow_->setDescription("chart \"one\"");
    workflow_->setOriginator("Jane Doe");
    workflow_->setEnforceBlack(true);
    workflow_->setEnforceWhite(true);
    const std::string path = (dir_ / "chart").string();  // the panel adds the extension
    platform_.saveAnswers.push_back(path);
    workflow_->saveTI3Button();
    ASSERT_EQ(platform_.savePanels.size(), 1u);
    EXPECT_EQ(platform_.savePanels.back().types, std::vector<std::string>{"ti3"});
    EXPECT_EQ(defaults_->stringForKey("TI3File"), path + ".ti3");
    EXPECT_NE(workflow_->log().find("File " + path + ".ti3 written\n"), std::string::npos) << workflow_->log();
    const std::string text = read_file(path + ".ti3");
    const std::string rows =
        "BEGIN_DATA\n"
        "A1 10.000 10.000 10.000 12.000 11.000 11.000 0.10000 0.10000 0.10000 \n"
        "B1 20.000 20.000 20.000 14.000 12.000 12.000 0.10000 0.10000 0.10000 \n"
        "DVKBLK 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.10000 0.10000 0.10000 \n"
        "DVKWHT 96.420 100.00 82.491 100.00 100.00 100.00 0.10000 0.10000 0.10000 \n"
        "END_DATA\n";
    EXPECT_NE(text.find("DESCRIPTOR \"chart \"\"one\"\"\"\nORIGINATOR \"Jane Doe\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("NUMBER_OF_SETS 4\n" + rows), std::string::npos) << text;

    // Qt sets the process locale from the environment: nothing changes.
    GermanLocale german;
    ASSERT_TRUE(german.ok()) << "the de_DE.UTF-8 locale is missing: run scripts/install-deps";
    ASSERT_TRUE(workflow_->saveTI3File(std::nullopt));
    EXPECT_EQ(without_created(read_file(path + ".ti3")), without_created(text));
}

TEST_F(WorkflowTest, FillEnforcedWBWithFewAndManyPatches) {
    workflow_->fillEnforcedWB();
    EXPECT_EQ(workflow_->enfWhiteRGB().RGBStdDev, (std::array<double, 3>{0.1, 0.1, 0.1}));
    EXPECT_EQ(workflow_->enfBlackRGB().RGBStdDev, (std::array<double, 3>{0.1, 0.1, 0.1}));
    EXPECT_EQ(workflow_->enfWhiteXYZ().id, "DVKWHT");
    EXPECT_EQ(workflow_->enfBlackRGB().id, "DVKBLK");
    EXPECT_EQ(workflow_->enfWhiteXYZ().XYZ, (std::array<double, 3>{96.42, 100.0, 82.491}));

    const std::string ti3 = (dir_ / "four.ti3").string();
    spit(ti3,
         "CTI3\n\nBEGIN_DATA_FORMAT\nSAMPLE_ID XYZ_X XYZ_Y XYZ_Z RGB_R RGB_G RGB_B STDEV_R STDEV_G STDEV_B\n"
         "END_DATA_FORMAT\nBEGIN_DATA\n"
         "A1 1 1 1 10 10 10 0.4 1 7\n"
         "A2 1 1 1 10 10 10 0.1 2 6\n"
         "DVKWHT 1 1 1 10 10 10 9 9 9\n"
         "A3 1 1 1 10 10 10 0.3 3 5\n"
         "A4 1 1 1 10 10 10 0.2 4 8\nEND_DATA\n");
    ASSERT_TRUE(workflow_->readTI3File(ti3));
    EXPECT_EQ(workflow_->patch(), 4);
    workflow_->fillEnforcedWB();
    const auto& w = workflow_->enfWhiteRGB().RGBStdDev;
    const auto& b = workflow_->enfBlackRGB().RGBStdDev;
    EXPECT_DOUBLE_EQ(w[0], 0.35);
    EXPECT_DOUBLE_EQ(b[0], 0.15);
    EXPECT_DOUBLE_EQ(w[1], 3.5);
    EXPECT_DOUBLE_EQ(b[1], 1.5);
    EXPECT_DOUBLE_EQ(w[2], 7.5);
    EXPECT_DOUBLE_EQ(b[2], 5.5);

    spit(ti3, "CTI3\n\nBEGIN_DATA_FORMAT\nSAMPLE_ID XYZ_X XYZ_Y XYZ_Z RGB_R RGB_G RGB_B STDEV_R STDEV_G STDEV_B\n"
              "END_DATA_FORMAT\nBEGIN_DATA\nA1 1 1 1 10 10 10 0.4 1 7\nEND_DATA\n");
    ASSERT_TRUE(workflow_->readTI3File(ti3));
    workflow_->fillEnforcedWB();
    EXPECT_EQ(workflow_->enfWhiteRGB().RGBStdDev, (std::array<double, 3>{0.4, 1, 7}));
    EXPECT_EQ(workflow_->enfBlackRGB().RGBStdDev, (std::array<double, 3>{0.4, 1, 7}));
}

TEST_F(WorkflowTest, ImportChecksOrderAndClearingKeepsSamplesInRange) {
    openWith(writeReference("ref.cie", {"A1", "B1", "C1"}));
    const auto ti3_with = [&](const std::string& rows) {
        const std::string p = (dir_ / "import.ti3").string();
        spit(p, "CTI3\n\nBEGIN_DATA_FORMAT\nSAMPLE_ID XYZ_X XYZ_Y XYZ_Z RGB_R RGB_G RGB_B STDEV_R STDEV_G STDEV_B\n"
                "END_DATA_FORMAT\nBEGIN_DATA\n" +
                    rows + "END_DATA\n");
        return p;
    };
    // Ids in another order: the import loads, the TI3 write refuses.
    platform_.openAnswers.push_back(ti3_with("B1 1 1 1 5 5 5 1 1 1\nA1 1 1 1 5 5 5 1 1 1\nC1 1 1 1 5 5 5 1 1 1\n"));
    workflow_->loadTI3File();
    EXPECT_EQ(workflow_->patch(), 3);
    EXPECT_EQ(workflow_->ti3FileName(), (dir_ / "import.ti3").string());
    workflow_->appendToProfTextView("", true);
    EXPECT_FALSE(workflow_->saveTI3File((dir_ / "out.ti3").string()));
    EXPECT_EQ(workflow_->log(),
              "Error - IDs of sampled patches and in CIE file don't match or not in the same order.\n");
    // Case differences are accepted.
    ASSERT_TRUE(workflow_->readTI3File(ti3_with("a1 1 1 1 5 5 5 1 1 1\nb1 1 1 1 5 5 5 1 1 1\nc1 1 1 1 5 5 5 1 1 1\n")));
    EXPECT_TRUE(workflow_->saveTI3File((dir_ / "out.ti3").string()));

    // More measured patches than reference ones: complete, never read past the reference.
    ASSERT_TRUE(workflow_->readTI3File(ti3_with("A1 1 1 1 5 5 5 1 1 1\nB1 1 1 1 5 5 5 1 1 1\nC1 1 1 1 5 5 5 1 1 1\n"
                                                "D1 1 1 1 5 5 5 1 1 1\n")));
    EXPECT_EQ(workflow_->patch(), 4);
    workflow_->appendToProfTextView("", true);
    sample(0);
    EXPECT_EQ(workflow_->log(), "Patch samples are complete. Press Restart if you want to sample again.\n");
    EXPECT_FALSE(workflow_->saveTI3File((dir_ / "out.ti3").string()));

    // Import two, clear with Alt, sample: the sample is the first patch again.
    ASSERT_TRUE(workflow_->readTI3File(ti3_with("A1 1 1 1 5 5 5 1 1 1\nB1 1 1 1 5 5 5 1 1 1\n")));
    platform_.alt = true;
    workflow_->appendToProfTextView("", true);
    workflow_->loadTI3File();
    platform_.alt = false;
    EXPECT_EQ(workflow_->log(), "Import TI3 cleared\n");
    EXPECT_TRUE(workflow_->ti3FileName().empty());
    EXPECT_TRUE(workflow_->ti3Values().empty());
    EXPECT_EQ(defaults_->stringForKey("TI3File"), "");
    sample(0);
    ASSERT_EQ(workflow_->ti3Values().size(), 1u);
    EXPECT_EQ(workflow_->ti3Values()[0].id, "A1");
    EXPECT_EQ(workflow_->patch(), 1);

    // A file without deviations opens but no set reads: the import is refused.
    spit(dir_ / "nosd.ti3", "CTI3\n\nBEGIN_DATA_FORMAT\nSAMPLE_ID XYZ_X XYZ_Y XYZ_Z RGB_R RGB_G RGB_B\n"
                            "END_DATA_FORMAT\nBEGIN_DATA\nA1 1 1 1 5 5 5\nEND_DATA\n");
    workflow_->appendToProfTextView("", true);
    EXPECT_FALSE(workflow_->readTI3File((dir_ / "nosd.ti3").string()));
    EXPECT_EQ(workflow_->log(), "Error loading TI3 set 0 from: " + (dir_ / "nosd.ti3").string() +
                                    "\nSet 0 cannot be read: the first table has no STDEV_R field (its fields: "
                                    "SAMPLE_ID XYZ_X XYZ_Y XYZ_Z RGB_R RGB_G RGB_B)\n");
    EXPECT_TRUE(workflow_->ti3FileName().empty());
    EXPECT_EQ(workflow_->patch(), 0);
}

}  // namespace
}  // namespace dvk::test
