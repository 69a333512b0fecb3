// "As shot" white balance on a file without a camera white balance (a DNG
// whose AsShotNeutral is 0 0 0): the automatic balance stands in, and the log
// says so once, naming the file.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "develop_test_support.h"
#include "tests/support/dng_writer.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

namespace fs = std::filesystem;

// A grey card filling the frame, as the camera sees it (green strongest).
fs::path write_grey_card(const test::TempDir& dir, const std::string& name, std::vector<double> as_shot_neutral) {
    test::DngSpec s = test::make_dng_spec(test::DngLayout::Bayer, 96, 64);
    test::fill_from_scene(s, [](unsigned, unsigned) { return std::array<double, 3>{0.2, 0.4, 0.32}; });
    s.as_shot_neutral = std::move(as_shot_neutral);
    const fs::path path = dir / name;
    EXPECT_TRUE(test::write_dng(path, s));
    return path;
}

// a* and b* of the developed card's middle (CIELab TIFF), with what the log said.
std::array<double, 3> developed_lab(const fs::path& raw, int mode, std::string* log) {
    RawProcessor p;
    p.setInterpolation(0);
    p.setSaveFormat(2);
    p.setUseCameraWB(mode);
    const fs::path out = raw.parent_path() / (raw.stem().string() + "_" + std::to_string(mode) + ".tif");
    testing::internal::CaptureStderr();
    const int rc = test::develop(p, raw, out.string());
    *log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(rc, 0);
    const test::Image img = test::read_tiff_image(out);
    EXPECT_TRUE(img.ok);
    if (!img.ok) return {0, 0, 0};
    return test::patch_mean(img, img.width / 2, img.height / 2, 10);
}

std::size_t occurrences(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(AsShotWhiteBalance, FileWithoutOneTakesTheAutomaticBalance) {
    test::TempDir dir;
    const fs::path none = write_grey_card(dir, "no_wb.dng", {0, 0, 0});
    const fs::path own = write_grey_card(dir, "own_wb.dng", {0.5, 1.0, 0.8});
    const std::string said = "no_wb.dng has no camera white balance: the automatic white balance is used";
    std::string log;

    // Without any balance the card is far from neutral: the check below can fail.
    const auto unbalanced = developed_lab(none, 3, &log);
    EXPECT_GT(std::hypot(unbalanced[1], unbalanced[2]), 10.0);

    const auto fallback = developed_lab(none, 2, &log);
    EXPECT_NEAR(fallback[1], 0.0, 1.0);
    EXPECT_NEAR(fallback[2], 0.0, 1.0);
    EXPECT_EQ(occurrences(log, said), 1u) << log;

    // A file with its own as-shot balance keeps it and says nothing.
    const auto as_shot = developed_lab(own, 2, &log);
    EXPECT_NEAR(as_shot[1], 0.0, 1.0);
    EXPECT_NEAR(as_shot[2], 0.0, 1.0);
    EXPECT_EQ(log.find("has no camera white balance"), std::string::npos) << log;
}

}  // namespace
}  // namespace dvk
