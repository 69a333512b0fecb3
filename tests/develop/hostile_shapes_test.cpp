// Files of rare shapes through every interpolation code, as the save road
// develops them: four-colour sensors are refused with their reason; files
// without a pattern, monochrome and X-Trans files give their scene at the size
// the code gives, grey as it was seen; a flat grey mosaic of odd or even size
// develops flat to its last pixel (corners and edges too) with every code. The sanitizer build runs it too: no method may read or
// write outside its buffers on any of them.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "develop_test_support.h"
#include "tests/support/dng_writer.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

namespace fs = std::filesystem;
using test::DngLayout;
using test::DngSpec;

// Linear scene luminance at a site: a ramp across, a smaller one down, and
// bars eight sites wide.
double scene_level(unsigned row, unsigned col, unsigned width, unsigned height) {
    return 0.08 + 0.45 * col / width + 0.1 * row / height + ((col / 8) % 2 ? 0.2 : 0.0);
}

DngSpec scene_spec(DngLayout layout, unsigned width, unsigned height) {
    DngSpec s = test::make_dng_spec(layout, width, height);
    test::fill_from_scene(s, [&](unsigned row, unsigned col) {
        const double v = scene_level(row, col, width, height);
        return std::array<double, 3>{v * 0.5, v, v * 0.8};  // grey as the camera sees it
    });
    return s;
}

DngSpec flat_spec(unsigned width, unsigned height) {
    DngSpec s = test::make_dng_spec(DngLayout::Bayer, width, height);
    test::fill_flat(s, {1200, 2400, 1900});
    return s;
}

DngSpec four_colour_spec(std::vector<std::uint8_t> planes) {
    DngSpec s = test::gradient_dng(DngLayout::Bayer, 22, 22);
    s.cfa_block = {0, 1, 2, 3};
    s.cfa_planes = planes;
    if (planes.size() == 4) {
        s.color_matrix1 = {0.47, 0.06, -0.08, -0.78, 1.55, 0.25, -0.15, 0.19, 0.67, -0.3, 1.1, 0.4};
        s.as_shot_neutral = {0.5, 1.0, 0.8, 0.9};
    }
    return s;
}

// Where the pixels of the developed image come from.
enum class Geometry {
    Same,       // site for pixel, every row (or the rows VNG keeps, a multiple of 12)
    Half,       // each pixel a 2 x 2 block of sites (half-size decode)
    HalfInset,  // the same, 2 pixels in on every side (half-size X-Trans)
    Crop3,      // 3 pixels less on every side (LMMSE)
    TwoThirds,  // binning: each 3 x 3 block of sites 2 x 2 pixels
};

enum class Outcome { Refused, Scene, Flat };

struct Shape {
    const char* name;
    DngSpec spec;
    Outcome outcome;
    std::vector<int> codes;  // interpolation codes to run
};

Geometry geometry_of(int code, DngLayout layout) {
    if (code == 5) return Geometry::TwoThirds;
    const bool mosaic = layout == DngLayout::Bayer || layout == DngLayout::XTrans;
    if (!mosaic) return Geometry::Same;
    if (code == 2) return layout == DngLayout::XTrans ? Geometry::HalfInset : Geometry::Half;
    if (code == 4 && layout == DngLayout::Bayer) return Geometry::Crop3;
    return Geometry::Same;  // X-Trans takes VNG for AHD, VCD and LMMSE
}

// The expected size of the developed image.
void expected_size(int code, const DngSpec& s, unsigned* w, unsigned* h) {
    const bool vng_rows = code == 1 || (s.layout == DngLayout::XTrans && code != 2 && code != 5);
    switch (geometry_of(code, s.layout)) {
        case Geometry::Same:
            *w = s.width;
            *h = vng_rows && s.layout != DngLayout::LinearRaw && s.layout != DngLayout::Mono ? 12 * (s.height / 12)
                                                                                               : s.height;
            break;
        case Geometry::Half: *w = s.width / 2, *h = s.height / 2; break;
        case Geometry::HalfInset: *w = s.width / 2 - 4, *h = s.height / 2 - 4; break;
        case Geometry::Crop3: *w = s.width - 6, *h = s.height - 6; break;
        case Geometry::TwoThirds: *w = 2 * (s.width / 3) - 4, *h = 2 * (s.height / 3); break;
    }
}

// The scene's mean level over the sites an output pixel comes from.
double scene_at(Geometry g, unsigned x, unsigned y, const DngSpec& s) {
    unsigned row = y, col = x, n = 1;
    switch (g) {
        case Geometry::Same: break;
        case Geometry::Crop3: row = y + 3, col = x + 3; break;
        case Geometry::Half: row = 2 * y, col = 2 * x, n = 2; break;
        case Geometry::HalfInset: row = 2 * y + 4, col = 2 * x + 4, n = 2; break;
        case Geometry::TwoThirds: row = 3 * (y / 2) + (y & 1), col = 3 * (x / 2) + 4 + (x & 1), n = 2; break;
    }
    double sum = 0;
    for (unsigned dy = 0; dy < n; ++dy)
        for (unsigned dx = 0; dx < n; ++dx) sum += scene_level(row + dy, col + dx, s.width, s.height);
    return sum / (n * n);
}

double luminance(const test::Image& img, unsigned x, unsigned y) {
    const float* p = &img.px[(std::size_t(y) * img.width + x) * 3];
    return (p[0] + p[1] + p[2]) / 3.0;
}

// Pearson correlation of the developed luminance with the scene's.
double scene_correlation(const test::Image& img, Geometry g, const DngSpec& s) {
    double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    const double n = double(img.width) * img.height;
    for (unsigned y = 0; y < img.height; ++y)
        for (unsigned x = 0; x < img.width; ++x) {
            const double a = luminance(img, x, y), b = scene_at(g, x, y, s);
            sa += a, sb += b, saa += a * a, sbb += b * b, sab += a * b;
        }
    const double cov = sab / n - sa / n * sb / n;
    return cov / std::sqrt((saa / n - sa / n * sa / n) * (sbb / n - sb / n * sb / n));
}

// One file through one interpolation code, checked for the shape's outcome.
void develop_and_check(const Shape& shape, const fs::path& raw, int code, const fs::path& out) {
    RawProcessor p;
    p.setInterpolation(code);
    p.setSaveFormat(0);  // 16-bit RGB TIFF
    const int rc = test::develop(p, raw, out.string());
    if (shape.outcome == Outcome::Refused) {
        EXPECT_EQ(rc, -2);  // convertImage refused it
        EXPECT_EQ(p.convertError(), RawProcessor::kFourColourRefusal);
        EXPECT_FALSE(fs::exists(out));
        return;
    }
    ASSERT_EQ(rc, 0);
    EXPECT_TRUE(p.convertError().empty());
    const test::Image img = test::read_tiff_image(out);
    ASSERT_TRUE(img.ok);
    unsigned w = 0, h = 0;
    expected_size(code, shape.spec, &w, &h);
    ASSERT_EQ(img.width, w);
    ASSERT_EQ(img.height, h);
    if (shape.outcome == Outcome::Scene) {
        // The scene is grey as the camera sees it: with the camera's balance
        // it develops grey.
        double mean[3] = {0, 0, 0};
        for (std::size_t i = 0; i < img.px.size(); ++i) mean[i % 3] += img.px[i];
        EXPECT_NEAR(mean[0] / mean[1], 1.0, 0.02);
        EXPECT_NEAR(mean[2] / mean[1], 1.0, 0.02);
        EXPECT_GT(scene_correlation(img, geometry_of(code, shape.spec.layout), shape.spec), 0.97);
        return;
    }
    // A flat grey: flat to the last pixel, corners and edges included.
    for (std::size_t i = 3; i < img.px.size(); ++i)
        ASSERT_EQ(img.px[i], img.px[i % 3]) << "pixel " << (i / 3) % w << ", " << (i / 3) / w;
}

TEST(HostileShapes, EveryInterpolationRefusesOrDevelopsTheRealPicture) {
    const std::vector<int> all = {0, 1, 2, 3, 4, 5};
    const Shape shapes[] = {
        {"four colours (red, green, blue, cyan)", four_colour_spec({0, 1, 2, 3}), Outcome::Refused, all},
        {"a fourth colour index without a plane colour", four_colour_spec({}), Outcome::Refused, all},
        {"no pattern (LinearRaw)", scene_spec(DngLayout::LinearRaw, 96, 72), Outcome::Scene, all},
        {"monochrome", scene_spec(DngLayout::Mono, 96, 72), Outcome::Scene, all},
        {"X-Trans", scene_spec(DngLayout::XTrans, 96, 72), Outcome::Scene, all},
        {"Bayer scene of odd size", scene_spec(DngLayout::Bayer, 97, 73), Outcome::Scene, all},
        {"flat grey of odd width and height", flat_spec(77, 101), Outcome::Flat, all},
        {"flat grey of even width and height", flat_spec(76, 100), Outcome::Flat, all},
        {"flat grey, height a multiple of 3", flat_spec(79, 99), Outcome::Flat, all},
    };
    test::TempDir dir;
    int file = 0;
    for (const Shape& shape : shapes) {
        const fs::path raw = dir / ("shape" + std::to_string(++file) + ".dng");
        std::string error;
        ASSERT_TRUE(test::write_dng(raw, shape.spec, &error)) << shape.name << ": " << error;
        for (int code : shape.codes) {
            SCOPED_TRACE(std::string(shape.name) + ", interpolation " + std::to_string(code));
            const std::string out = "out" + std::to_string(file) + "_" + std::to_string(code) + ".tiff";
            develop_and_check(shape, raw, code, dir / out);
        }
    }
}

}  // namespace
}  // namespace dvk
