#include <gtest/gtest.h>

#include "pipeline/demosaic/demosaic.h"
#include "tests/demosaic/mosaic_fixture.h"

namespace dvk::test {
namespace {

TEST(BorderInterpolate, CornerAndEdgeSitesTakeNeighbourMeans) {
    PatternRecord rec(kRGGB);
    const unsigned w = 8, h = 8;
    std::vector<float> img(w * h * 4, 0.0f);
    // Distinct measured values: 1 + row * 10 + col.
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x) img[(y * w + x) * 4 + rec.fcol(y, x)] = float(1 + y * 10 + x);
    border_interpolate(rec.get(), 1, img.data(), w, h);
    auto at = [&](unsigned y, unsigned x, int c) { return img[(y * w + x) * 4 + c]; };
    // (0,0) is red: greens at (0,1)=2 and (1,0)=11, blue at (1,1)=12.
    EXPECT_FLOAT_EQ(at(0, 0, 1), (2.0f + 11.0f) / 2);
    EXPECT_FLOAT_EQ(at(0, 0, 2), 12.0f);
    EXPECT_FLOAT_EQ(at(0, 0, 0), 1.0f);
    // (0,3) is green: reds at (0,2)=3 and (0,4)=5, blues at (1,2)=13 and (1,4)=15.
    EXPECT_FLOAT_EQ(at(0, 3, 0), 4.0f);
    EXPECT_FLOAT_EQ(at(0, 3, 2), 14.0f);
    // (7,7) is blue: reds at (6,6)=67; greens at (6,7)=68 and (7,6)=77.
    EXPECT_FLOAT_EQ(at(7, 7, 0), 67.0f);
    EXPECT_FLOAT_EQ(at(7, 7, 1), (68.0f + 77.0f) / 2);
    // Inner pixels are not visited.
    EXPECT_EQ(at(3, 3, 0), 0.0f);
    EXPECT_EQ(at(3, 3, 1), 0.0f);
    // With border 1, column 1 of an inner row is inner too.
    EXPECT_EQ(at(4, 1, 0), 0.0f);
    EXPECT_EQ(at(4, 1, 2), 0.0f);
    // The fourth channel is never written.
    for (unsigned i = 0; i < w * h; ++i) EXPECT_EQ(img[i * 4 + 3], 0.0f);
}

TEST(BorderInterpolate, BorderWiderThanHalfTheBandVisitsEveryPixel) {
    PatternRecord rec(kRGGB);
    const unsigned w = 9, h = 20;  // border 6 > w / 2: every column is a border column
    std::vector<float> rgb(w * h * 3, 0.0f);
    for (unsigned i = 0; i < w * h; ++i) {
        rgb[i * 3] = 0.5f;
        rgb[i * 3 + 1] = 0.25f;
        rgb[i * 3 + 2] = 0.125f;
    }
    std::vector<float> img = mosaic(rec, rgb, w, h);
    border_interpolate(rec.get(), 6, img.data(), w, h);
    for (unsigned i = 0; i < w * h; ++i) {
        EXPECT_EQ(img[i * 4 + 0], 0.5f) << i;
        EXPECT_EQ(img[i * 4 + 1], 0.25f) << i;
        EXPECT_EQ(img[i * 4 + 2], 0.125f) << i;
    }
}

TEST(BorderInterpolate, TinyImagesStayInside) {
    PatternRecord rec(kBGGR);
    for (unsigned w = 1; w <= 3; ++w)
        for (unsigned h = 1; h <= 3; ++h) {
            std::vector<float> img(w * h * 4, 0.5f);
            border_interpolate(rec.get(), 8, img.data(), w, h);
            for (float v : img) EXPECT_EQ(v, 0.5f);
        }
}

}  // namespace
}  // namespace dvk::test
