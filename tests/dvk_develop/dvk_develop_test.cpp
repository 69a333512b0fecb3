// Runs the dvk-develop tool as a user would.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/dng_writer.h"
#include "tests/support/run_command.h"
#include "tests/support/test_paths.h"

namespace dvk::test {
namespace {

TEST(DvkDevelop, InfoDescribesASyntheticFile) {
    TempDir dir;
    DngSpec s = make_dng_spec(DngLayout::Bayer, 64, 48);
    fill_flat(s, {1256, 2256, 756});
    s.make = "Acme";
    s.model = "Tool Test";
    ASSERT_TRUE(write_dng(dir / "a.dng", s));
    CommandRun r = run_dvk_develop("--info " + shell_quoted(dir / "a.dng"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Camera: Acme Tool Test\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Image size: 64 x 48\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Colours: 3\n"), std::string::npos) << r.out;
    // Flat levels 1000, 2000, 500 above black over a range of 3839.
    char peaks[128];
    std::snprintf(peaks, sizeof peaks, "Channel peaks: %.6f %.6f %.6f %.6f\n", 1000 / 3839.0f, 2000 / 3839.0f,
                  500 / 3839.0f, 2000 / 3839.0f);
    EXPECT_NE(r.out.find(peaks), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Auto white balance / G: 2.000000 1 4.000000 1.000000\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("As-shot multipliers:"), std::string::npos);
}

TEST(DvkDevelop, HalfSizeHalvesTheImage) {
    TempDir dir;
    DngSpec s = gradient_dng(DngLayout::Bayer, 64, 48);
    ASSERT_TRUE(write_dng(dir / "a.dng", s));
    CommandRun r = run_dvk_develop("--info --half " + shell_quoted(dir / "a.dng"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Image size: 32 x 24 (half)\n"), std::string::npos) << r.out;
}

TEST(DvkDevelop, FailedLoadPrintsLibRawErrorAndExitsOne) {
    CommandRun r = run_dvk_develop("--info " + shell_quoted(testdata_dir() / "raw" / "hero7.gpr"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("LibRaw error -2: Unsupported file format or not RAW file"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;

    r = run_dvk_develop("--info /nonexistent/file.dng");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("LibRaw error -100009"), std::string::npos) << r.err;
}

TEST(DvkDevelop, RealChartLoads) {
    CommandRun r = run_dvk_develop("--info " + shell_quoted(testdata_dir() / "raw" / "colorchart.dng"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Camera: Canon EOS Kiss X4\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Image size: 1734 x 1156\n"), std::string::npos) << r.out;
}

TEST(DvkDevelop, UsageErrorsExitTwo) {
    EXPECT_EQ(run_dvk_develop("").status, 2);
    EXPECT_EQ(run_dvk_develop("--info").status, 2);
    EXPECT_EQ(run_dvk_develop("--bogus x.dng").status, 2);
    EXPECT_EQ(run_dvk_develop("--help").status, 0);
}

}  // namespace
}  // namespace dvk::test
