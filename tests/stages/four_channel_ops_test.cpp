#include <gtest/gtest.h>

#include <vector>

#include "pipeline/stages/four_channel_ops.h"
#include "tests/stages/stage_fixture.h"

namespace dvk {
namespace {

using test::Record;

std::vector<float> ramp(std::size_t n) {
    std::vector<float> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = 0.001f * float(i + 1);
    return v;
}

TEST(MultiplyChannels, FactorsOfOneChangeNothing) {
    auto img = ramp(4 * 6);
    auto before = img;
    multiply_channels(nullptr, img.data(), 3, 2, 1, 1, 1, 1);
    EXPECT_EQ(img, before);
}

TEST(MultiplyChannels, EachChannelItsFactor) {
    std::vector<float> img = {1, 1, 1, 1, 2, 2, 2, 2};
    multiply_channels(nullptr, img.data(), 2, 1, 2.0, 0.5, 3.0, 0.25);
    EXPECT_EQ(img, (std::vector<float>{2, 0.5f, 3, 0.25f, 4, 1, 6, 0.5f}));
    multiply_channels(nullptr, img.data(), 0, 1, 9, 9, 9, 9);
    multiply_channels(nullptr, img.data(), 2, 0, 9, 9, 9, 9);
    EXPECT_EQ(img[0], 2.0f);
}

TEST(CopyRgbgImage, NoImageGivesNothing) {
    Record r(0, 4, 4);
    EXPECT_FALSE(copy_rgbg_image(r.get()));
    std::vector<float> dest(64);
    EXPECT_FALSE(copy_rgbg_image(r.get(), dest.data()));
}

TEST(CopyRgbgImage, CopiesThePixels) {
    Record r(0, 3, 2);
    auto px = ramp(24);
    r.set_pixels(px);
    AlignedBuffer<float> copy = copy_rgbg_image(r.get());
    ASSERT_TRUE(copy);
    for (std::size_t i = 0; i < 24; ++i) EXPECT_EQ(copy[i], px[i]);
}

TEST(FlipImage, ZeroIsAnIdenticalCopy) {
    Record r(0, 3, 2);
    auto px = ramp(24);
    r.set_pixels(px);
    flip_image(r.get(), 1, 0);
    for (std::size_t i = 0; i < 24; ++i) EXPECT_EQ(r->image[i], px[i]);
}

TEST(FlipImage, ThreeReversesThePixelOrder) {
    Record r(0, 3, 2);
    auto px = ramp(18);
    r.set_pixels(px);
    flip_image(r.get(), 0, 3);
    for (std::size_t p = 0; p < 6; ++p)
        for (int c = 0; c < 3; ++c) EXPECT_EQ(r->image[p * 3 + c], px[(5 - p) * 3 + c]);
    EXPECT_EQ(r->image_bytes, 18 * sizeof(float));
}

TEST(FlipImage, FourTransposes) {
    Record r(0, 3, 2);  // 3 wide, 2 high
    auto px = ramp(24);
    r.set_pixels(px);
    flip_image(r.get(), 1, 4);
    EXPECT_EQ(r->libraw->imgdata.sizes.iwidth, 2);
    EXPECT_EQ(r->libraw->imgdata.sizes.iheight, 3);
    for (unsigned row = 0; row < 2; ++row)
        for (unsigned col = 0; col < 3; ++col)
            for (int c = 0; c < 4; ++c)
                EXPECT_EQ(r->image[(col * 2 + row) * 4 + c], px[(row * 3 + col) * 4 + c]);
}

TEST(FlipImage, SixIsAQuarterTurn) {
    Record r(0, 2, 1);
    r.set_pixels({1, 1, 1, 1, 2, 2, 2, 2});
    flip_image(r.get(), 1, 6);  // transpose then mirror rows: (0,0)->(0,0)... check the rule directly
    // flip 6: rows mirrored (h = 1 so none), transposed: pixel (0, col) lands at row col.
    EXPECT_EQ(r->image[0], 1.0f);
    EXPECT_EQ(r->image[4], 2.0f);
    EXPECT_EQ(r->libraw->imgdata.sizes.iheight, 2);
}

TEST(FlipImage, EveryFlipOnSeveralThreadsMovesEachPixelByTheRule) {
    // Larger than one 64-pixel tile in both directions, not square.
    const unsigned w = 131, h = 70;
    const int saved = band_thread_count;
    band_thread_count = 3;
    for (int channels : {3, 4})
        for (unsigned flip = 0; flip < 8; ++flip) {
            Record r(0, w, h);
            std::vector<float> px = ramp(std::size_t(w) * h * 4);
            std::vector<float> padded(px.size() + 4000, -1.0f);  // room beyond the image
            std::copy(px.begin(), px.end(), padded.begin());
            r.set_pixels(padded);
            flip_image(r.get(), channels == 4, flip);
            const unsigned dw = (flip & 4) ? h : w;
            EXPECT_EQ(r->libraw->imgdata.sizes.iwidth, dw);
            EXPECT_EQ(r->image_bytes, padded.size() * sizeof(float));  // the room is kept
            for (unsigned row = 0; row < h; ++row)
                for (unsigned col = 0; col < w; ++col) {
                    const unsigned rp = (flip & 2) ? h - 1 - row : row, cp = (flip & 1) ? w - 1 - col : col;
                    const std::size_t di = (flip & 4) ? std::size_t(cp) * h + rp : std::size_t(rp) * w + cp;
                    for (int c = 0; c < channels; ++c)
                        ASSERT_EQ(r->image[di * channels + c], px[(std::size_t(row) * w + col) * channels + c])
                            << "flip " << flip << " channels " << channels;
                }
        }
    band_thread_count = saved;
}

TEST(MixGreenChannels, FoldsSecondGreenAndChangesTheCode) {
    Record r(test::kRG_G2B, 2, 2);
    r.set_pixels({0.1f, 0, 0, 0, 0, 0.2f, 0, 0, 0, 0, 0, 0.3f, 0, 0, 0.4f, 0});
    r->libraw->imgdata.params.four_color_rgb = 0;
    mix_green_channels(r.get());
    EXPECT_EQ(r->image[2 * 4 + 1], 0.3f);  // the G2 site (1, 0) now carries its value in G
    EXPECT_EQ(r->libraw->imgdata.idata.filters, test::kRGGB);
    EXPECT_EQ(r->libraw->fcol(1, 0), 1);
}

TEST(MixGreenChannels, FourColourKeepsGreensApart) {
    Record r(test::kRG_G2B, 2, 2);
    r.set_pixels(std::vector<float>(16, 0.5f));
    r->libraw->imgdata.params.four_color_rgb = 1;
    mix_green_channels(r.get());
    EXPECT_EQ(r->libraw->imgdata.idata.colors, 4);
    EXPECT_EQ(r->libraw->imgdata.idata.filters, test::kRG_G2B);
}

// A 7 x 7 Bayer mosaic of one level with one site changed.
std::vector<float> flat_mosaic(DVKLib* d, unsigned w, unsigned h, float level) {
    std::vector<float> img(static_cast<std::size_t>(w) * h * 4, 0.0f);
    for (unsigned r = 0; r < h; ++r)
        for (unsigned c = 0; c < w; ++c) img[(r * w + c) * 4 + static_cast<unsigned>(d->libraw->fcol(int(r), int(c)))] = level;
    return img;
}

TEST(CleanDotNoise, HotMosaicSiteIsReplaced) {
    Record r(test::kRG_G2B, 7, 7);
    auto img = flat_mosaic(r.get(), 7, 7, 0.2f);
    const std::size_t site = (3 * 7 + 2) * 4 + 3;
    ASSERT_EQ(r->libraw->fcol(3, 2), 3);  // a second-green site
    img[site] = 0.5f;                     // half of it, 0.25, is above every neighbour
    clean_dot_noise(r.get(), img.data(), 7, 7);
    // m = 0.2; adjacent: 2 R (0.3), 2 B (0.1), 4 G (0.7): a = 0.25 * 0.2 * (0.6 + 0.2 + 2.8) = 0.18
    const float m = 0.2f, a = 0.25f * (0.2f * 0.3f * 2 + 0.2f * 0.1f * 2 + 0.2f * 0.7f * 4), w = 0.7f;
    EXPECT_NEAR(img[site], (1 - w) * m + w * (w * m + a), 1e-6);
}

TEST(CleanDotNoise, HalfEqualToTheLargestNeighbourIsKept) {
    Record r(test::kRG_G2B, 7, 7);
    auto img = flat_mosaic(r.get(), 7, 7, 0.2f);
    const std::size_t site = (3 * 7 + 2) * 4 + 3;
    img[site] = 0.4f;  // half is 0.2, equal to the neighbours: not strictly greater
    auto before = img;
    clean_dot_noise(r.get(), img.data(), 7, 7);
    EXPECT_EQ(img, before);
}

TEST(CleanDotNoise, DeadFullColourSampleBecomesTheMean) {
    Record r(0, 3, 3);
    std::vector<float> img(36, 0.4f);
    img[4 * 4 + 2] = 0.1f;  // centre, channel 2: every neighbour above twice it
    img[0 * 4 + 2] = 0.5f;
    clean_dot_noise(r.get(), img.data(), 3, 3);
    EXPECT_FLOAT_EQ(img[4 * 4 + 2], (0.5f + 7 * 0.4f) / 8);
    EXPECT_EQ(img[4 * 4 + 1], 0.4f);
}

TEST(CleanDotNoise, SmallImagesAreUnchanged) {
    Record r(test::kRGGB, 4, 4);
    std::vector<float> img(64, 0.0f);
    img[5 * 4] = 1.0f;
    auto before = img;
    clean_dot_noise(r.get(), img.data(), 4, 4);
    EXPECT_EQ(img, before);
    Record f(0, 2, 2);
    clean_dot_noise(f.get(), img.data(), 2, 2);
    EXPECT_EQ(img, before);
}

}  // namespace
}  // namespace dvk
