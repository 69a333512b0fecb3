// The whole road with Argyll's real colprof on the real chart shot: dvk-profile
// samples the classic ColorChecker on the lower page of colorchart.dng,
// colprof makes the profile, and the profile must develop the chart closer
// to its reference than the file's default camera profile does.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstdlib>
#include <regex>
#include <sstream>

#include "tests/profiling/profiling_test_util.h"
#include "tests/support/run_command.h"
#include "tests/support/test_paths.h"

namespace dvk::test {
namespace {

namespace fs = std::filesystem;

// 20-pixel squares on the half-size preview (867 x 578), in reading order.
std::string chart_rectangles() {
    std::string text = "# ColorChecker 24 on the lower page, A01 to D06\n";
    for (int y : {312, 361, 411, 464})
        for (int x : {358, 411, 464, 518, 572, 625})
            text += std::to_string(x - 10) + " " + std::to_string(y - 10) + " 20 20\n";
    return text;
}

class EndToEnd : public ::testing::Test {
protected:
    EndToEnd() {
        const char* xdg = std::getenv("XDG_DATA_HOME");
        saved_ = xdg ? std::optional<std::string>(xdg) : std::nullopt;
        setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
        spit(dir_ / "chart.patches", chart_rectangles());
    }
    ~EndToEnd() override {
        if (saved_) setenv("XDG_DATA_HOME", saved_->c_str(), 1);
        else unsetenv("XDG_DATA_HOME");
    }
    std::string chart() const { return shell_quoted((testdata_dir() / "raw" / "colorchart.dng").string()); }
    std::string patches() const { return shell_quoted((dir_ / "chart.patches").string()); }
    TempDir dir_;
    std::optional<std::string> saved_;
};

TEST_F(EndToEnd, ProfileFromTheChartBeatsTheDefaultProfile) {
    const fs::path profile = dir_ / "data" / "DVK" / "Profiles" / "chart.icc";
    const fs::path ti3 = dir_ / "chart.ti3";
    // White balance from the light-grey patch (D02), the white patch (D01, 19th) exposed to 0.85.
    const CommandRun run = run_built_tool(
        "dvk-profile", "--patches " + patches() + " --wb-rect '401 454 20 20' --expose-patch 19 --evaluate --ti3 " +
                           shell_quoted(ti3.string()) + " --out " + shell_quoted(profile.string()) + " " + chart());
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("CIE reference value definitions set to default ColorChecker 24\n"), std::string::npos);
    EXPECT_NE(run.out.find("All patches are sampled.\n"), std::string::npos);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(run.out, m, std::regex("exposure (-?[0-9.]+): brightest channel of patch 19 at ([0-9.]+)")))
        << run.out;
    EXPECT_NEAR(std::stod(m[2]), 0.85, 0.03);

    // LittleCMS opens the profile as an RGB input profile.
    cmsHPROFILE h = cmsOpenProfileFromFile(profile.c_str(), "r");
    ASSERT_TRUE(h);
    EXPECT_EQ(cmsGetColorSpace(h), cmsSigRgbData);
    EXPECT_EQ(cmsGetDeviceClass(h), cmsSigInputClass);
    cmsCloseProfile(h);

    // The TI3 holds the 24 patches in reading order, no synthetic ones.
    const std::string text = read_file(ti3);
    std::istringstream lines(text.substr(text.find("BEGIN_DATA\n") + 11));
    std::vector<std::string> ids;
    for (std::string line; std::getline(lines, line) && line != "END_DATA";) ids.push_back(line.substr(0, line.find(' ')));
    std::vector<std::string> expected;
    for (char row : {'A', 'B', 'C', 'D'})
        for (int col = 1; col <= 6; ++col) expected.push_back(std::string(1, row) + "0" + std::to_string(col));
    EXPECT_EQ(ids, expected);

    // Argyll's own check of the profile against the measurements.
    const CommandRun check =
        run_command("profcheck -k " + shell_quoted(ti3.string()) + " " + shell_quoted(profile.string()) + " 2>&1");
    ASSERT_TRUE(std::regex_search(check.out, m, std::regex("avg\\. = ([0-9.]+)"))) << check.out;
    const double profcheck_mean = std::stod(m[1]);
    EXPECT_LT(profcheck_mean, 6.0);

    // The baseline is what the file gets by default: the camera rule's
    // profile for the EOS Kiss X4, not a stand-in for an unusable matrix.
    ASSERT_TRUE(std::regex_search(run.out, m, std::regex("dE2000 default \"([^\"]*)\" mean ([0-9.]+) max ([0-9.]+)\n")))
        << run.out;
    EXPECT_EQ(m[1].str(), "Canon 450D");
    const double standard = std::stod(m[2]), standard_max = std::stod(m[3]);
    EXPECT_LE(standard, standard_max);
    ASSERT_TRUE(std::regex_search(run.out, m, std::regex("dE2000 profile \"([^\"]*)\" mean ([0-9.]+) max ([0-9.]+)\n")))
        << run.out;
    EXPECT_EQ(m[1].str(), profile.string());
    const double own = std::stod(m[2]), own_max = std::stod(m[3]);
    std::printf("CIEDE2000 over the 24 patches: default profile mean %.2f max %.2f, with the profile mean %.2f max %.2f "
                "(profcheck %.2f)\n",
                standard, standard_max, own, own_max, profcheck_mean);
    RecordProperty("dE2000_default", std::to_string(standard));
    RecordProperty("dE2000_profile", std::to_string(own));
    EXPECT_LT(own, standard);
    EXPECT_LE(own, own_max);
    EXPECT_LT(own, 5.0);
}

TEST_F(EndToEnd, UsageAndBadInputFailCleanly) {
    CommandRun run = run_built_tool("dvk-profile", "--patches " + patches() + " " + chart());
    EXPECT_EQ(run.status, 2);  // no --out
    EXPECT_NE(run.err.find("--out"), std::string::npos);
    run = run_built_tool("dvk-profile", "--wb-rect '1 2 3' --patches x --out y z");
    EXPECT_EQ(run.status, 2);

    spit(dir_ / "short.patches", "10 10 20 20\n# only one\n");
    run = run_built_tool("dvk-profile", "--patches " + shell_quoted((dir_ / "short.patches").string()) +
                                            " --out " + shell_quoted((dir_ / "x.icc").string()) + " " + chart());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("1 rectangles for the 24 patches"), std::string::npos) << run.err;

    spit(dir_ / "bad.patches", "10 10 20\n");
    run = run_built_tool("dvk-profile", "--patches " + shell_quoted((dir_ / "bad.patches").string()) + " --out " +
                                            shell_quoted((dir_ / "x.icc").string()) + " " + chart());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(":1: not \"x y w h\""), std::string::npos) << run.err;

    // A reference the workflow cannot read: the log says why, nothing is made.
    spit(dir_ / "bad.cie", "not a reference\n");
    run = run_built_tool("dvk-profile", "--reference " + shell_quoted((dir_ / "bad.cie").string()) + " --patches " +
                                            patches() + " --out " + shell_quoted((dir_ / "x.icc").string()) + " " +
                                            chart());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("Error loading CIE reference value definitions from: "), std::string::npos) << run.out;
    EXPECT_FALSE(fs::exists(dir_ / "x.icc"));
    // The user's own support folder saw only the template folder being made.
    EXPECT_TRUE(fs::is_directory(dir_ / "data" / "DVK" / "Profile Templates"));
}

}  // namespace
}  // namespace dvk::test
