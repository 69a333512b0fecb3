#include <gtest/gtest.h>

#include "pipeline/demosaic/demosaic.h"
#include "tests/demosaic/mosaic_fixture.h"

namespace dvk::test {
namespace {

// Out-of-place reference: the four quads of every 3 x 3 block, from a copy.
std::vector<float> reference_binning(PatternRecord& rec, const std::vector<float>& img, unsigned w, unsigned h,
                                     unsigned& ow, unsigned& oh) {
    ow = 2 * (w / 3) - 4;
    oh = 2 * (h / 3);
    std::vector<float> out(std::size_t(ow) * oh * 3);
    auto quad = [&](unsigned y, unsigned x, float* o) {
        float s[4] = {0, 0, 0, 0};
        for (unsigned dy = 0; dy < 2; ++dy)
            for (unsigned dx = 0; dx < 2; ++dx) {
                const int f = rec.fcol(y + dy, x + dx);
                s[f] += img[((y + dy) * w + x + dx) * 4 + f];
            }
        o[0] = s[0];
        o[1] = (s[1] + s[3]) * 0.5f;
        o[2] = s[2];
    };
    for (unsigned k = 0; k < oh / 2; ++k)
        for (unsigned j = 0; j < ow / 2; ++j) {
            quad(3 * k, 3 * j + 4, &out[((2 * k) * ow + 2 * j) * 3]);
            quad(3 * k, 3 * j + 5, &out[((2 * k) * ow + 2 * j + 1) * 3]);
            quad(3 * k + 1, 3 * j + 4, &out[((2 * k + 1) * ow + 2 * j) * 3]);
            quad(3 * k + 1, 3 * j + 5, &out[((2 * k + 1) * ow + 2 * j + 1) * 3]);
        }
    return out;
}

TEST(Binning, NineSitesWideGivesTwoColumnsFromColumnsFourToSix) {
    PatternRecord rec(kRGGB);
    const unsigned w = 9, h = 3;
    std::vector<float> img(w * h * 4, 0.0f);
    auto v = [](unsigned y, unsigned x) { return float(y * 100 + x); };
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x) img[(y * w + x) * 4 + rec.fcol(y, x)] = v(y, x);
    std::uint16_t bw = w, bh = h;
    binn32_tr(rec.get(), img.data(), &bw, &bh);
    ASSERT_EQ(bw, 2);
    ASSERT_EQ(bh, 2);
    // RGGB: (even, even) red, (odd, odd) blue.
    // P0: quad rows 0-1, columns 4-5: R (0,4), G (0,5) (1,4), B (1,5).
    EXPECT_FLOAT_EQ(img[0], v(0, 4));
    EXPECT_FLOAT_EQ(img[1], (v(0, 5) + v(1, 4)) * 0.5f);
    EXPECT_FLOAT_EQ(img[2], v(1, 5));
    // P1: columns 5-6: R (0,6), G (0,5) (1,6), B (1,5).
    EXPECT_FLOAT_EQ(img[3], v(0, 6));
    EXPECT_FLOAT_EQ(img[4], (v(0, 5) + v(1, 6)) * 0.5f);
    EXPECT_FLOAT_EQ(img[5], v(1, 5));
    // P2: rows 1-2, columns 4-5: R (2,4), G (1,4) (2,5), B (1,5).
    EXPECT_FLOAT_EQ(img[6], v(2, 4));
    EXPECT_FLOAT_EQ(img[7], (v(1, 4) + v(2, 5)) * 0.5f);
    EXPECT_FLOAT_EQ(img[8], v(1, 5));
    // P3: rows 1-2, columns 5-6: R (2,6), G (1,6) (2,5), B (1,5).
    EXPECT_FLOAT_EQ(img[9], v(2, 6));
    EXPECT_FLOAT_EQ(img[10], (v(1, 6) + v(2, 5)) * 0.5f);
    EXPECT_FLOAT_EQ(img[11], v(1, 5));
}

TEST(Binning, InPlaceEqualsOutOfPlaceReference) {
    for (unsigned filters : {kRGGB, kBGGR, kGRBG}) {
        PatternRecord rec(filters);
        for (unsigned w : {9u, 10u, 11u, 40u, 101u}) {
            const unsigned h = 31;  // not a multiple of 3: the last row is dropped
            std::vector<float> rgb = edgy_scene(w, h);
            std::vector<float> img = mosaic(rec, rgb, w, h);
            unsigned ow, oh;
            const std::vector<float> expect = reference_binning(rec, img, w, h, ow, oh);
            std::uint16_t bw = w, bh = h;
            binn32_tr(rec.get(), img.data(), &bw, &bh);
            ASSERT_EQ(bw, ow);
            ASSERT_EQ(bh, 20u);
            for (std::size_t i = 0; i < expect.size(); ++i) ASSERT_EQ(img[i], expect[i]) << "w " << w << " at " << i;
        }
    }
}

TEST(Binning, NarrowMosaicsGiveEmptyImages) {
    PatternRecord rec(kRGGB);
    for (unsigned w = 1; w <= 8; ++w) {
        std::vector<float> img(w * 6 * 4, 0.25f);
        std::uint16_t bw = w, bh = 6;
        binn32_tr(rec.get(), img.data(), &bw, &bh);
        EXPECT_EQ(bw, 0) << w;
        for (float v : img) EXPECT_EQ(v, 0.25f);
    }
}

TEST(Binning, ZeroHeightKeepsTheBinnedWidth) {
    PatternRecord rec(kRGGB);
    std::vector<float> img(4, 0.0f);
    std::uint16_t bw = 30, bh = 0;
    binn32_tr(rec.get(), img.data(), &bw, &bh);
    EXPECT_EQ(bw, 16);
    EXPECT_EQ(bh, 0);
}

TEST(Binning, HeightsDropIncompleteBlockRows) {
    PatternRecord rec(kRGGB);
    for (unsigned h : {2u, 3u, 4u, 5u, 6u, 7u}) {
        std::vector<float> img(12 * h * 4, 0.0f);
        std::uint16_t bw = 12, bh = h;
        binn32_tr(rec.get(), img.data(), &bw, &bh);
        EXPECT_EQ(bw, 4);
        EXPECT_EQ(bh, 2 * (h / 3));
    }
}

}  // namespace
}  // namespace dvk::test

namespace dvk::test {
namespace {

// A half-size decode holds the four colours of each 2 x 2 block in one pixel;
// the binning reads site (row, col) from pixel (row >> 1, col >> 1).
TEST(Binning, ShrunkenImageReadsEachSiteFromItsHalfSizePixel) {
    PatternRecord rec(kRGGB);
    rec.get()->raw().imgdata.rawdata.ioparams.shrink = 1;
    const unsigned w = 30, h = 20;
    std::vector<float> img(w * h * 4);
    for (std::size_t i = 0; i < img.size(); ++i) img[i] = float(i % 97) / 97.0f;
    const std::vector<float> in = img;
    auto site = [&](unsigned y, unsigned x) { return in[((y >> 1) * w + (x >> 1)) * 4 + rec.fcol(y, x)]; };
    std::uint16_t bw = w, bh = h;
    binn32_tr(rec.get(), img.data(), &bw, &bh);
    ASSERT_EQ(bw, 16);
    ASSERT_EQ(bh, 12);
    for (unsigned k = 0; k < 6; ++k)
        for (unsigned j = 0; j < 8; ++j)
            for (unsigned q = 0; q < 4; ++q) {
                const unsigned y = 3 * k + (q >> 1), x = 3 * j + 4 + (q & 1);
                // RGGB quad at (y, x): one red, two greens, one blue in some order.
                float r = 0, g = 0, b = 0;
                for (unsigned dy = 0; dy < 2; ++dy)
                    for (unsigned dx = 0; dx < 2; ++dx) {
                        const int f = rec.fcol(y + dy, x + dx);
                        (f == 0 ? r : f == 2 ? b : g) += site(y + dy, x + dx);
                    }
                const float* p = &img[((2 * k + (q >> 1)) * bw + 2 * j + (q & 1)) * 3];
                EXPECT_FLOAT_EQ(p[0], r);
                EXPECT_FLOAT_EQ(p[1], g * 0.5f);
                EXPECT_FLOAT_EQ(p[2], b);
            }
}

}  // namespace
}  // namespace dvk::test
