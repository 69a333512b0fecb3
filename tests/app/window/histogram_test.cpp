// The histogram and the gamut diagram against rasters computed here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "app/preview/gamut_diagram.h"
#include "app/preview/histogram.h"
#include "app/window/info_readout.h"
#include "colour/profile_lookup.h"
#include "colour/profile.h"
#include "core/dvklib.h"

namespace dvk {
namespace {

struct Preview {
    unsigned w, h;
    std::vector<float> rgb, lab;
    Preview(unsigned width, unsigned height, float r, float g, float b, float L = 50, float a = 0, float bb = 0)
        : w(width), h(height), rgb(width * height * 3), lab(width * height * 3) {
        for (unsigned i = 0; i < w * h; ++i) set(i, r, g, b, L, a, bb);
    }
    void set(unsigned i, float r, float g, float b, float L, float a = 0, float bb = 0) {
        rgb[3 * i] = r, rgb[3 * i + 1] = g, rgb[3 * i + 2] = b;
        lab[3 * i] = L, lab[3 * i + 1] = a, lab[3 * i + 2] = bb;
    }
    HistogramInput histogram() const {
        HistogramInput in;
        in.preview = rgb.data();
        in.labPreview = lab.data();
        in.width = w, in.height = h;
        in.histR = in.histG = in.histB = in.histL = true;
        in.markerR = in.markerG = in.markerB = -1;  // column 0
        return in;
    }
    DiagramInput diagram() const {
        DiagramInput in;
        in.preview = rgb.data();
        in.labPreview = lab.data();
        in.width = w, in.height = h;
        return in;
    }
};

const std::uint8_t* px(const std::vector<std::uint8_t>& img, int width, int col, int row) {
    return &img[(static_cast<std::size_t>(row) * width + col) * 3];
}

TEST(Histogram, UniformGreyIsOneFullBarPerChannel) {
    const Preview p(8, 4, 0.5f, 0.5f, 0.5f, 50.0f);
    const HistogramCounts c = countHistogram(p.histogram());
    const int bin = static_cast<int>(0.5f * 255.0f);  // 127
    EXPECT_FLOAT_EQ(c.r[bin], 127.0f);
    EXPECT_FLOAT_EQ(c.g[bin], 127.0f);
    EXPECT_FLOAT_EQ(c.l[127], 127.0f);  // L 50 x 2.55 = 127.5
    float others = 0;
    for (int i = 0; i < 256; ++i)
        if (i != bin) others += c.r[i] + c.g[i] + c.b[i];
    EXPECT_EQ(others, 0.0f);
    const std::vector<std::uint8_t> img = renderHistogram(p.histogram());
    ASSERT_EQ(img.size(), 256u * 128 * 3);
    // Bars from row 0 (count 127 > 126) down; lightness adds 0xC0 to each
    // byte (row 2 is above the lightened zones).
    EXPECT_EQ(px(img, 256, bin, 2)[0], static_cast<std::uint8_t>(0xC0 + 0xC0));
    EXPECT_EQ(px(img, 256, 45, 10)[0], 0);
}

TEST(Histogram, EndBinsAloneAreDrawnUnscaledAndOutOfRangeValuesKeepInside) {
    Preview p(4, 1, 0.0f, 0.0f, 0.0f, 0.0f);
    p.set(0, 1.2f, 1.0f, 0.99f, 100.0f);
    p.set(1, -0.1f, 0.0f, 0.01f, -3.0f);
    const HistogramCounts c = countHistogram(p.histogram());
    // m is 0 (bins 5..250 empty): counts stay as they are.
    EXPECT_EQ(c.r[255], 1.0f);
    EXPECT_EQ(c.r[0], 3.0f);  // -0.1 counts in bin 0
    EXPECT_EQ(c.b[252], 1.0f);
    EXPECT_EQ(c.b[2], 1.0f);
    EXPECT_EQ(c.l[255], 1.0f);
    EXPECT_EQ(c.l[0], 3.0f);
    // Not a number counts in bin 0 (no index outside the bins).
    p.set(2, std::nanf(""), 0.0f, 0.0f, std::nanf(""));
    const HistogramCounts withNaN = countHistogram(p.histogram());
    EXPECT_EQ(withNaN.r[0], 3.0f);
    EXPECT_EQ(withNaN.l[0], 3.0f);
    // A rectangle counts only its pixels.
    HistogramInput in = p.histogram();
    in.rect = {1, 0, 1, 1};
    EXPECT_EQ(countHistogram(in).r[0], 1.0f);
    // Raw output: no lightness bars or marker.
    in = p.histogram();
    in.raw = true;
    EXPECT_EQ(countHistogram(in).l[0], 0.0f);
}

TEST(Histogram, MarkersDashesZonesExposureMarksAndGreyPoint) {
    const Preview p(2, 2, 0.5f, 0.5f, 0.5f, 50.0f);
    HistogramInput in = p.histogram();
    in.histL = false;
    in.markerR = 300;  // kept on the image: column 255
    in.markerG = 10;
    in.markerB = 30;
    const std::vector<std::uint8_t> img = renderHistogram(in);
    // Marker columns; those in the 2nd, 4th, 6th and 8th zone (columns
    // 19-33, 53-77, 108-146, 196-255) are lightened by 10.
    EXPECT_EQ(px(img, 256, 10, 60)[1], 0x80);
    EXPECT_EQ(px(img, 256, 30, 60)[2], 0x80 + 10);  // zone II (18..32) is lightened
    EXPECT_EQ(px(img, 256, 255, 60)[0], 0x80 + 10);
    // Top dashes where floor(c / 25.5) is even: columns 0..25 white, 26..50 black.
    EXPECT_EQ(px(img, 256, 5, 2)[0], 0xF0);
    EXPECT_EQ(px(img, 256, 40, 2)[0], 0);
    // Zones: column 10 (zone I) dark, column 25 (zone II) lightened to 40.
    EXPECT_EQ(px(img, 256, 10, 50)[0], 0);
    EXPECT_EQ(px(img, 256, 25, 50)[0], 40);

    // A grey scale rendering level i at i / 65534 (linear): marks at f / 65534 x 255.
    std::vector<float> grey(kToneTableSize * 3);
    for (std::size_t i = 0; i < kToneTableSize; ++i)
        grey[3 * i] = grey[3 * i + 1] = grey[3 * i + 2] = static_cast<float>(i) / 65534.0f;
    in.grayScale = grey.data();
    in.grayPoint = 50.0f;
    in.markerR = in.markerG = in.markerB = 200;
    std::vector<std::uint8_t> with = renderHistogram(in);
    in.grayScale = nullptr;
    const std::vector<std::uint8_t> without = renderHistogram(in);
    // White (k = 0, a whole stop): column 255, green inverted in rows 116..127.
    EXPECT_EQ(px(with, 256, 255, 118)[1], static_cast<std::uint8_t>(~px(without, 256, 255, 118)[1]));
    EXPECT_EQ(px(with, 256, 255, 100)[1], px(without, 256, 255, 100)[1]);
    // A third of a stop below: only rows 122..127.
    const int third =
        static_cast<int>(grey[static_cast<std::size_t>(std::lround(65534.0f / 1.2599211f)) * 3 + 1] * 255.0f);
    EXPECT_EQ(px(with, 256, third, 118)[1], px(without, 256, third, 118)[1]);
    EXPECT_NE(px(with, 256, third, 124)[1], px(without, 256, third, 124)[1]);
    // Grey point 50: column v = 127 inverted, its neighbours the inverse of
    // the original column and the original column.
    const int v = 127;
    const std::uint8_t* o = px(without, 256, v, 113);
    EXPECT_EQ(px(with, 256, v, 113)[0], static_cast<std::uint8_t>(~o[0]));
    EXPECT_EQ(px(with, 256, v - 1, 113)[0], static_cast<std::uint8_t>(~o[0]));
    EXPECT_EQ(px(with, 256, v + 1, 113)[0], o[0]);
}

TEST(Diagram, GridGamutAndSlices) {
    Preview p(3, 1, 0.0f, 0.0f, 0.0f);
    // L 50 x 2.55 rounds to 128 in single precision, 49.9 to 127: slice 50 is x = 127.
    p.set(0, 1.0f, 0.0f, 0.0f, 49.9f, 20.7f, -30.2f);
    p.set(1, 0.0f, 1.0f, 0.0f, 50.0f, -40.0f, 10.0f);
    p.set(2, 1.2f, 1.2f, 1.2f, 49.9f, 0.5f, 60.9f);
    DiagramInput in = p.diagram();
    const std::vector<std::uint8_t> img = renderDiagram(in);
    const auto at = [&](int a, int b) { return px(img, 256, a + 128, 128 - b); };
    // Grid.
    EXPECT_EQ(at(50, 0)[0], 192);
    EXPECT_EQ(at(33, 10)[0], 25);
    EXPECT_EQ(at(1, 10)[0], 100);
    EXPECT_EQ(at(0, 10)[0], 192);
    EXPECT_EQ(at(0, 33)[0], 192);
    EXPECT_EQ(at(20, 33)[0], 25);
    EXPECT_EQ(at(20, 1)[0], 100);
    EXPECT_EQ(at(0, -1)[0], 100);
    EXPECT_EQ(at(7, 33)[0], 0);
    EXPECT_EQ(px(img, 256, 5, 0)[0], 0);  // row 0 (b* 128) is no grid row
    // Pixel 0 plotted at (trunc a, trunc b) = (20, -30) in 0.9 v + 0.1 of 255.
    EXPECT_EQ(at(20, -30)[0], 255);
    EXPECT_EQ(at(20, -30)[1], 26);  // round(25.5)
    // Pixel 1 is on slice 128: not drawn.
    EXPECT_EQ(at(-40, 10)[1], 25);
    // Pixel 2: values beyond 1 stay at 255 (over a grid pixel a* = 0, which is 192).
    EXPECT_EQ(at(0, 60)[0], 255);
    // Full gamut: every lightness.
    in.fullGamut = true;
    EXPECT_EQ(px(renderDiagram(in), 256, -40 + 128, 128 - 10)[1], 255);
    // Raw output: no image points (the grid's grey 25 stays).
    in.raw = true;
    EXPECT_EQ(px(renderDiagram(in), 256, 20 + 128, 128 + 30)[0], 25);
}

TEST(Diagram, ManyThreadsKeepThePixelOrder) {
    // A crowd of points on a few cells, over grid lines and gamut marks,
    // drawn on 8 threads and by one plain pass here: a point replaces a
    // cell's colour when the cell is marked (a byte 255 or 111) or the point
    // is heavier (0.24 R + 0.7 G + 0.06 B).
    const unsigned w = 613, h = 401;
    Preview p(w, h, 0, 0, 0);
    std::uint32_t seed = 12345;
    const auto next = [&]() { return (seed = seed * 1664525u + 1013904223u) >> 8; };
    for (unsigned i = 0; i < w * h; ++i) {
        const auto v = [&]() { return static_cast<float>(next() % 1201) / 1000.0f - 0.05f; };  // -0.05..1.15
        // a* and b* on a 5 x 5 patch around the origin (grid lines at 0 and 1, -1).
        p.set(i, v(), v(), v(), 50, static_cast<float>(next() % 500) / 100.0f - 2.5f,
              static_cast<float>(next() % 500) / 100.0f - 2.5f);
    }
    std::vector<std::uint8_t> gamut(kGamutPoints * 3, 0);
    for (std::size_t i = 0; i < kGamutPoints; ++i) gamut[3 * i + 1] = gamut[3 * i + 2] = 128;  // marks (0, 0)
    DiagramInput in = p.diagram();
    in.fullGamut = true;
    in.gamutArr = gamut.data();

    DiagramInput bare = in;
    bare.preview = nullptr;
    std::vector<std::uint8_t> expected = renderDiagram(bare);
    const auto plot = [](float v) {
        const double x = std::floor(static_cast<double>(v) * 229.5 + 25.5 + 0.5);
        return static_cast<std::uint8_t>(std::clamp(x, 0.0, 255.0));
    };
    const auto heavy = [](const std::uint8_t* c) { return 24 * c[0] + 70 * c[1] + 6 * c[2]; };
    int replaced = 0;
    for (unsigned i = 0; i < w * h; ++i) {
        std::uint8_t* t = &expected[((128 - static_cast<int>(p.lab[3 * i + 2])) * 256 +
                                     static_cast<int>(p.lab[3 * i + 1]) + 128) * 3];
        const std::uint8_t n[3] = {plot(p.rgb[3 * i]), plot(p.rgb[3 * i + 1]), plot(p.rgb[3 * i + 2])};
        const bool marked = std::count(t, t + 3, 255) + std::count(t, t + 3, 111) > 0;
        if (!marked && heavy(n) <= heavy(t)) continue;
        std::copy_n(n, 3, t);
        ++replaced;
    }
    ASSERT_GT(replaced, 100);  // marked cells keep being replaced
    const int savedThreads = band_thread_count;
    for (const int threads : {1, 3, 8}) {
        band_thread_count = threads;
        EXPECT_EQ(renderDiagram(in), expected) << threads << " threads";
    }
    band_thread_count = savedThreads;
}

TEST(Diagram, GamutPointsInTheirSliceOnly) {
    std::vector<std::uint8_t> gamut(kGamutPoints * 3, 0);
    // Point 0: L byte 127 at (a, b) = (13, 23); point 1: L byte 140 at (-5, 5); point 2: b byte 0 (off the raster).
    const std::uint8_t pts[3][3] = {{127, 141, 151}, {140, 123, 133}, {127, 100, 0}};
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k) gamut[i * 3 + k] = pts[i][k];
    for (std::size_t i = 3; i < kGamutPoints; ++i) gamut[3 * i] = 255;  // far from slice 127
    Preview p(1, 1, 0, 0, 0, 0);
    DiagramInput in = p.diagram();
    in.preview = nullptr;
    in.gamutArr = gamut.data();
    in.diagGamutArr = gamut.data();
    std::vector<std::uint8_t> img = renderDiagram(in);
    EXPECT_EQ(px(img, 256, 141, 256 - 151)[0], 111);
    EXPECT_EQ(px(img, 256, 141, 256 - 151)[1], 111);
    EXPECT_EQ(px(img, 256, 123, 256 - 133)[0], 0);
    // CIELab output: no output gamut; the second profile's stays.
    in.labOutput = true;
    img = renderDiagram(in);
    EXPECT_EQ(px(img, 256, 141, 256 - 151)[0], 0);
    EXPECT_EQ(px(img, 256, 141, 256 - 151)[1], 111);
}

TEST(Diagram, GamutOfAProfileFile) {
    std::string error;
    const std::vector<std::uint8_t> srgb = gamutOfProfile(getDVKProfileRef("AdobeRGB2.2", nullptr), &error);
    ASSERT_EQ(srgb.size(), kGamutPoints * 3) << error;
    // Point 0 is black, the last white: L bytes 0 and 255, a and b near 128.
    EXPECT_EQ(srgb[0], 0);
    EXPECT_EQ(srgb[(kGamutPoints - 1) * 3], 255);
    EXPECT_NEAR(srgb[(kGamutPoints - 1) * 3 + 1], 128, 1);
    // A grey profile is neither RGB nor CMYK.
    cmsToneCurve* g = cmsBuildGamma(nullptr, 2.2);
    const auto grey = Profile::adopt(cmsCreateGrayProfile(cmsD50_xyY(), g));
    cmsFreeToneCurve(g);
    EXPECT_TRUE(gamutOfProfile(grey, &error).empty());
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace dvk
