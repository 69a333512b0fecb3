// Filters and film looks end to end: each one changes the developed image
// the way its kind says.
#include <gtest/gtest.h>

#include <cmath>

#include "develop_test_support.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

struct Looks : test::SceneFileSuite<> {
    // The RGB means of the grey and the red squares after developing with `filter`.
    static std::array<std::array<double, 3>, 2> develop_with(const std::string& filter, int format = 1) {
        RawProcessor p;
        p.setInterpolation(0);
        p.setSaveFormat(format);
        p.setFilterName(filter);
        const std::string name = "look-" + std::to_string(p.bwMode()) + "-" + std::to_string(format) + ".tiff";
        EXPECT_EQ(test::develop(p, raw_, (dir_->path() / name).string(), test::balance_on_grey_square), 0);
        test::Image img = test::read_tiff_image(dir_->path() / name);
        EXPECT_TRUE(img.ok) << filter;
        return {test::patch_mean(img, 24, 16, 5), test::patch_mean(img, 72, 16, 5)};
    }
};

double spread(const std::array<double, 3>& v) {
    return std::max({v[0], v[1], v[2]}) - std::min({v[0], v[1], v[2]});
}

TEST_F(Looks, ColourKeepsTheRedSquareRed) {
    auto c = develop_with("Color");
    EXPECT_LT(spread(c[0]), 0.03);
    EXPECT_GT(c[1][0], c[1][1] + 0.15);
}

TEST_F(Looks, MonochromeLooksMakeTheRedSquareGrey) {
    for (const char* look : {"Lightness (Lab)", "Photobrom B&W", "KL25 B&W"}) {
        auto c = develop_with(look);
        EXPECT_LT(spread(c[1]), 0.04) << look << ": " << c[1][0] << " " << c[1][1] << " " << c[1][2];
    }
}

TEST_F(Looks, SepiaTonesTheGreyWarm) {
    auto c = develop_with("Bromportret Sepia");
    EXPECT_GT(c[0][0], c[0][2] + 0.02);
}

TEST_F(Looks, ColourFilmLooksChangeTheColours) {
    auto plain = develop_with("Color");
    for (const char* look : {"V50", "TC4v2"}) {
        auto c = develop_with(look);
        double diff = 0;
        for (int k = 0; k < 3; ++k) diff += std::fabs(c[1][k] - plain[1][k]);
        EXPECT_GT(diff, 0.01) << look;
        EXPECT_GT(c[1][0], c[1][2]) << look;  // still a red
    }
}

// A CIELab save with an RGB look goes through BetaRGB and back to Lab: the
// red square of a monochrome look has no chroma there either.
TEST_F(Looks, CielabSaveOfAnRgbLook) {
    auto c = develop_with("Photobrom B&W", 2);
    EXPECT_LT(std::hypot(c[1][1], c[1][2]), 3.0);
    EXPECT_GT(c[1][0], 5.0);
}

}  // namespace
}  // namespace dvk
