// End to end on the real colour-chart DNG: every demosaicing code develops a
// plausible image, and white balance from a neutral patch makes the greys
// neutral.
#include <gtest/gtest.h>

#include <cmath>

#include "develop_test_support.h"
#include "tests/support/dng_writer.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

// Patch centres in full-size pixels of the chart file (1734 x 1156).
struct Patch {
    double x, y;
};
constexpr Patch kWhite{700, 930}, kGrey1{810, 930}, kGrey2{920, 930}, kGrey3{1030, 930};
constexpr Patch kBlue{704, 820}, kRed{920, 820}, kYellow{1034, 820};
// Hue angles (degrees) of those ColorChecker patches in CIELab (D50).
constexpr double kRedHue = 27.8, kYellowHue = 87.1, kBlueHue = -74.3;

struct Geometry {
    double scale;   // output pixels per full-size pixel
    double offset;  // pixels cropped at the top-left
};

Geometry geometry_of(int interpolation) {
    switch (interpolation) {
    case 2: return {0.5, 0};
    case 4: return {1.0, 3};
    case 5: return {2.0 / 3.0, 2};
    default: return {1.0, 0};
    }
}

std::array<double, 3> lab_at(const test::Image& img, Patch p, Geometry g) {
    return test::patch_mean(img, static_cast<unsigned>(p.x * g.scale - g.offset),
                            static_cast<unsigned>(p.y * g.scale - g.offset), static_cast<unsigned>(12 * g.scale));
}

double chroma(const std::array<double, 3>& lab) { return std::hypot(lab[1], lab[2]); }

class EveryInterpolation : public ::testing::TestWithParam<int> {};

TEST_P(EveryInterpolation, GreysStayGreyAndColoursKeepTheirHue) {
    const int code = GetParam();
    test::TempDir dir;
    RawProcessor p;
    p.setInterpolation(code);
    p.setSaveFormat(2);  // CIELab TIFF: the Lab values themselves
    p.setFileName(test::chart_dng().string());
    p.setDestinationFile((dir / "chart.tiff").string());
    ASSERT_EQ(p.initDoubleImageFromRawFile(test::chart_dng().string(), code == 2 ? 1 : 0), 0);
    // The loaded image is full size except for the half-size code.
    const double load_scale = code == 2 ? 0.5 : 1.0;
    p.rgbgImageCalcBalanceAtRect((kGrey1.x - 20) * load_scale, (kGrey1.y - 20) * load_scale, 40 * load_scale,
                                 40 * load_scale);
    ASSERT_TRUE(p.convertImage());
    ASSERT_EQ(p.saveImage(), 0);
    test::Image img = test::read_tiff_image(dir / "chart.tiff");
    ASSERT_TRUE(img.ok);
    const Geometry g = geometry_of(code);
    const unsigned expect_w = code == 2 ? 867 : code == 4 ? 1728 : code == 5 ? 1152 : 1734;
    const unsigned expect_h = code == 2 ? 578 : code == 4 ? 1150 : code == 5 ? 770 : code == 1 ? 1152 : 1156;
    EXPECT_EQ(img.width, expect_w);
    EXPECT_EQ(img.height, expect_h);

    for (Patch grey : {kWhite, kGrey1, kGrey2, kGrey3}) {
        auto lab = lab_at(img, grey, g);
        EXPECT_LT(chroma(lab), 3.0) << "grey at " << grey.x << " L " << lab[0] << " a " << lab[1] << " b " << lab[2];
    }
    // Lightness falls along the grey row.
    EXPECT_GT(lab_at(img, kWhite, g)[0], lab_at(img, kGrey1, g)[0] + 3);
    EXPECT_GT(lab_at(img, kGrey1, g)[0], lab_at(img, kGrey2, g)[0] + 3);

    struct {
        Patch patch;
        double hue;
    } colours[] = {{kRed, kRedHue}, {kYellow, kYellowHue}, {kBlue, kBlueHue}};
    for (auto& c : colours) {
        auto lab = lab_at(img, c.patch, g);
        EXPECT_GT(chroma(lab), 10.0) << c.patch.x;
        EXPECT_LT(test::hue_distance(test::hue_degrees(lab[1], lab[2]), c.hue), 25.0)
            << "patch at " << c.patch.x << "," << c.patch.y << ": a " << lab[1] << " b " << lab[2];
    }
}

INSTANTIATE_TEST_SUITE_P(Codes, EveryInterpolation, ::testing::Values(0, 1, 2, 3, 4, 5));

TEST(Repeat, EveryDevelopOfAFileGivesTheSameFile) {
    // The colour tables built by the first develop must not change what the
    // next one makes (the points of the L stretch once moved with them).
    test::TempDir dir;
    std::vector<std::uint8_t> files[2];
    for (int k = 0; k < 2; ++k) {
        RawProcessor p;
        p.setSaveFormat(22);
        p.setInterpolation(0);
        const std::filesystem::path out = dir / ("chart" + std::to_string(k) + ".tiff");
        ASSERT_EQ(test::develop(p, test::chart_dng(), out.string()), 0);
        files[k] = test::read_bytes(out);
    }
    ASSERT_GT(files[0].size(), 1000000u);
    EXPECT_TRUE(files[0] == files[1]);
}

TEST(WhiteBalance, NeutralRectangleMakesItNeutral) {
    test::TempDir dir;
    // Auto white balance leaves the warm light on the chart.
    RawProcessor a;
    a.setSaveFormat(2);
    ASSERT_EQ(test::develop(a, test::chart_dng(), (dir / "auto.tiff").string()), 0);
    test::Image auto_img = test::read_tiff_image(dir / "auto.tiff");
    const Geometry half{0.5, 0};
    EXPECT_GT(chroma(lab_at(auto_img, kGrey2, half)), 8.0);

    RawProcessor b;
    b.setSaveFormat(2);
    b.setFileName(test::chart_dng().string());
    b.setDestinationFile((dir / "picked.tiff").string());
    ASSERT_EQ(b.initDoubleImageFromRawFile(test::chart_dng().string(), 1), 0);
    b.rgbgImageCalcBalanceAtRect(kGrey2.x / 2 - 10, kGrey2.y / 2 - 10, 20, 20);
    EXPECT_EQ(b.evGreen(), 0.0);
    EXPECT_GT(b.evBlue(), 0.3);  // warm light: blue is lifted
    ASSERT_TRUE(b.convertImage());
    ASSERT_EQ(b.saveImage(), 0);
    test::Image img = test::read_tiff_image(dir / "picked.tiff");
    auto lab = lab_at(img, kGrey2, half);
    EXPECT_LT(chroma(lab), 1.5) << lab[1] << " " << lab[2];
}

}  // namespace
}  // namespace dvk
