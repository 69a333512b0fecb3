#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "pipeline/stages/box_blur.h"
#include "pipeline/stages/detail_stages.h"
#include "tests/stages/stage_fixture.h"

namespace dvk {
namespace {

using test::Record;

long mirror(long i, long n) {
    if (i < 0) i = -i;
    if (i > n - 1) i = 2 * (n - 1) - i;
    return i;
}

// Straightforward two-pass box blur of channel c (reference).
std::vector<double> reference_blur(const std::vector<float>& img, int C, int c, long w, long h, long r, double div) {
    std::vector<double> v(static_cast<std::size_t>(w * h)), out(static_cast<std::size_t>(w * h));
    for (long y = 0; y < h; ++y)
        for (long x = 0; x < w; ++x) {
            double s = 0;
            for (long k = -r; k <= r; ++k) s += img[static_cast<std::size_t>((mirror(y + k, h) * w + x) * C + c)];
            v[static_cast<std::size_t>(y * w + x)] = static_cast<float>(s / div);
        }
    for (long y = 0; y < h; ++y)
        for (long x = 0; x < w; ++x) {
            double s = 0;
            for (long k = -r; k <= r; ++k) s += v[static_cast<std::size_t>(y * w + mirror(x + k, w))];
            out[static_cast<std::size_t>(y * w + x)] = s / div;
        }
    return out;
}

std::vector<float> noise(std::size_t n, unsigned seed) {
    std::vector<float> v(n);
    for (std::size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        v[i] = float((seed >> 8) % 10000) / 100.0f;
    }
    return v;
}

TEST(BlurChannel, MatchesTheReferenceWithMirroredEdges) {
    const long w = 9, h = 7;
    for (unsigned r : {0u, 1u, 3u, 5u}) {
        auto img = noise(static_cast<std::size_t>(w * h * 3), 7 + r);
        auto ref = reference_blur(img, 3, 1, w, h, r, 2.0 * r + 1);
        blur_channel(img.data(), unsigned(w), unsigned(h), r, 1);
        for (long i = 0; i < w * h; ++i) ASSERT_NEAR(img[static_cast<std::size_t>(i * 3 + 1)], ref[static_cast<std::size_t>(i)], 1e-4) << r << " " << i;
    }
}

TEST(BlurChannel, RadiusAboveTheImageStaysInside) {
    std::vector<float> img(4 * 3 * 3, 42.0f);
    blur_channel(img.data(), 4, 3, 10, 0);  // clamped at the edges: a constant stays constant
    for (std::size_t i = 0; i < img.size(); i += 3) EXPECT_NEAR(img[i], 42.0f, 1e-4);
    std::vector<float> one(3, 5.0f);
    blur_channel(one.data(), 1, 1, 3, 0);
    EXPECT_NEAR(one[0], 5.0f, 1e-5);
    local_contrast(img.data(), 4, 3, 1, 100.0f, 2.0f);  // radius 200 on a 4 x 3 image
    for (std::size_t i = 0; i < img.size(); i += 3) EXPECT_NEAR(img[i], 42.0f, 1e-3);
}

TEST(DetailStages, ConstantChannelsAreUnchanged) {
    std::vector<float> lab(8 * 6 * 3);
    for (std::size_t i = 0; i < lab.size(); ++i) lab[i] = (i % 3 == 0) ? 40.0f : (i % 3 == 1 ? 12.0f : -7.0f);
    auto before = lab;
    blur_ab_channels(nullptr, lab.data(), 8, 6, 1);
    sharpen_l_channel(nullptr, lab.data(), 8, 6, 1, 30.0f, 1.0f);
    local_contrast(lab.data(), 8, 6, 1, 20.0f, 1.0f);
    for (std::size_t i = 0; i < lab.size(); ++i) EXPECT_NEAR(lab[i], before[i], 1e-4);
    Record r(0, 8, 6);
    std::vector<float> rgbg(8 * 6 * 4, 0.3f);
    for (int c = 0; c < 4; ++c) rgbg_unsharp_channel(r.get(), rgbg.data(), 8, 6, 2, c, 0.32);
    for (float v : rgbg) EXPECT_NEAR(v, 0.3f, 1e-6);
}

TEST(RgbUnsharp, BrightSampleRaisedByThreeSeventhsHaloAtFullWeight) {
    const unsigned w = 7, h = 7;
    std::vector<float> lab(w * h * 3, 0.0f);
    for (std::size_t i = 0; i < w * h; ++i) lab[i * 3] = 50.0f;
    lab[(3 * w + 3) * 3] = 59.0f;
    rgb_unsharp_channel(lab.data(), w, h, 1, 0, 1.0);
    // Blur of the centre: 50 + 9/9 = 51; weight at 59: t = (2 * 53.2 / 0.942) / 100 - 1.
    const double t = (2.0 * (59 - 5.8) / 0.942) / 100.0 - 1.0, wc = 1 - t * t;
    EXPECT_NEAR(lab[(3 * w + 3) * 3], 59 + (59 - 51) * wc * 0.42857142857142855, 1e-4);
    // A neighbour: blurred 51, d = -1 at weight w(50).
    const double t2 = (2.0 * (50 - 5.8) / 0.942) / 100.0 - 1.0, wn = 1 - t2 * t2;
    EXPECT_NEAR(lab[(3 * w + 4) * 3], 50 - 1 * wn, 1e-4);
}

TEST(RgbUnsharp, LightnessEndsAreUnchanged) {
    const unsigned w = 5, h = 5;
    std::vector<float> lab(w * h * 3, 0.0f);
    for (std::size_t i = 0; i < w * h; ++i) lab[i * 3] = 50.0f;
    lab[(2 * w + 2) * 3] = 100.0f;
    lab[(0 * w + 0) * 3] = 5.8f;
    sharpen_l_channel(nullptr, lab.data(), w, h, 1, 50.0f, 1.0f);
    EXPECT_EQ(lab[(2 * w + 2) * 3], 100.0f);
    EXPECT_NEAR(lab[0], 5.8f, 1e-5);
}

TEST(LocalContrast, NothingWhenZeroOrDisabled) {
    auto lab = noise(6 * 5 * 3, 3);
    auto before = lab;
    local_contrast(lab.data(), 6, 5, 1, 0.0f, 1.0f);
    local_contrast(lab.data(), 6, 5, 0, 30.0f, 1.0f);
    sharpen_l_channel(nullptr, lab.data(), 6, 5, 0, 30.0f, 1.0f);
    sharpen_l_channel(nullptr, lab.data(), 6, 5, 1, 0.0f, 1.0f);
    blur_ab_channels(nullptr, lab.data(), 6, 5, 0);
    EXPECT_EQ(lab, before);
}

TEST(LocalContrast, FormulaAgainstTheReference) {
    const long w = 12, h = 10;
    auto lab = noise(static_cast<std::size_t>(w * h * 3), 11);
    auto ref = reference_blur(lab, 3, 0, w, h, 3, 7.0);
    auto orig = lab;
    local_contrast(lab.data(), unsigned(w), unsigned(h), 1, 30.0f, 0.1f);  // radius (int)3.0000002 = 3
    for (long i = 0; i < w * h; ++i) {
        double d = orig[static_cast<std::size_t>(i * 3)] - ref[static_cast<std::size_t>(i)];
        if (d > 0) d *= 0.42857143;
        ASSERT_NEAR(lab[static_cast<std::size_t>(i * 3)], orig[static_cast<std::size_t>(i * 3)] + d * 0.4, 1e-3);
        ASSERT_EQ(lab[static_cast<std::size_t>(i * 3 + 1)], orig[static_cast<std::size_t>(i * 3 + 1)]);
    }
}

TEST(LocalContrast, AnAbsurdAmountEndsInTimeWithNumbers) {
    // An amount of 1e9 asks for a radius of 1e9 pixels: the stage stops at
    // its largest radius (so it ends within a test's time) and gives numbers.
    const unsigned w = 16, h = 12;
    auto lab = noise(w * h * 3, 5);
    const auto before = lab;
    local_contrast(lab.data(), w, h, 1, 1e9f, 1.0f);
    EXPECT_NE(lab, before);
    for (std::size_t i = 0; i < lab.size(); ++i) {
        ASSERT_TRUE(std::isfinite(lab[i])) << i;
        if (i % 3) ASSERT_EQ(lab[i], before[i]) << i;  // a and b untouched
    }
}

TEST(RgbgUnsharp, MosaicDivisorIsRadiusPlusOne) {
    Record r(test::kRGGB, 6, 6);
    std::vector<float> img(6 * 6 * 4, 0.0f);
    for (unsigned y = 0; y < 6; ++y)
        for (unsigned x = 0; x < 6; ++x) img[(y * 6 + x) * 4] = float(y * 6 + x) / 36.0f;
    auto ref = reference_blur(img, 4, 0, 6, 6, 2, 3.0);
    auto orig = img;
    rgbg_unsharp_channel(r.get(), img.data(), 6, 6, 2, 0, 0.32);
    for (std::size_t i = 0; i < 36; ++i) {
        double d = (orig[i * 4] - ref[i]) * 0.32;
        if (d > 0) d *= 0.42857142857142855;
        ASSERT_NEAR(img[i * 4], orig[i * 4] + d, 1e-6) << i;
        ASSERT_EQ(img[i * 4 + 1], 0.0f);
    }
}

TEST(RgbgUnsharp, AllChannelsInOnePassEqualChannelByChannel) {
    // Tall and short bands (the short ones mirror rows that the pass has
    // already rewritten), mosaic and full-colour divisors, radii 1 and 2.
    for (unsigned filters : {test::kRGGB, 0u})
        for (unsigned r : {1u, 2u})
            for (auto [w, h] : {std::pair<unsigned, unsigned>{13, 11}, {7, 3}, {5, 4}, {9, 2}, {3, 1}, {1, 6}}) {
                Record rec(filters, w, h);
                auto img = noise(std::size_t(w) * h * 4, 31 + w * h + r);
                for (float& v : img) v /= 100.0f;
                auto expected = img;
                for (int c = 0; c < 4; ++c) rgbg_unsharp_channel(rec.get(), expected.data(), w, h, r, c, 0.32);
                rgbg_unsharp_channels(rec.get(), img.data(), w, h, r, 0.32);
                ASSERT_EQ(img, expected) << filters << " r " << r << " " << w << "x" << h;
            }
}

TEST(DetailStages, ChromaBlurAndSharpeningTogetherEqualOneAfterTheOther) {
    for (auto [w, h] : {std::pair<unsigned, unsigned>{11, 9}, {4, 2}, {1, 5}})
        for (int blur : {0, 1})
            for (float base : {1.0f, 2.0f}) {
                auto lab = noise(std::size_t(w) * h * 3, 3 + w + h);
                auto expected = lab;
                blur_ab_channels(nullptr, expected.data(), w, h, blur);
                sharpen_l_channel(nullptr, expected.data(), w, h, 1, 40.0f, base);
                blur_ab_and_sharpen_l(nullptr, lab.data(), w, h, blur, 1, 40.0f, base);
                ASSERT_EQ(lab, expected) << w << "x" << h << " blur " << blur << " base " << base;
            }
}

TEST(BoxBlurRows, EmitMayRewriteItsRowWithoutChangingLaterRows) {
    // Radii up to one less than the height (r = 8 serves from a copy of the
    // whole image, the others from the ring of original rows).
    const long w = 10, h = 9;
    for (unsigned r : {0u, 1u, 3u, 7u, 8u}) {
        auto img = noise(static_cast<std::size_t>(w * h * 3), 5 + r);
        const auto orig = img;
        std::vector<float> blurred(img.size());
        const bool ok = box_blur_rows(img.data(), 3, 0, 3, unsigned(w), unsigned(h), r, 2.0 * r + 1,
                                      [&](unsigned row, const float* b) {
                                          std::copy(b, b + w * 3, blurred.begin() + long(row) * w * 3);
                                          std::fill(img.begin() + long(row) * w * 3, img.begin() + long(row + 1) * w * 3, -1e6f);
                                      });
        ASSERT_TRUE(ok);
        for (int c = 0; c < 3; ++c) {
            auto ref = reference_blur(orig, 3, c, w, h, r, 2.0 * r + 1);
            for (long i = 0; i < w * h; ++i)
                ASSERT_NEAR(blurred[static_cast<std::size_t>(i * 3 + c)], ref[static_cast<std::size_t>(i)], 1e-3)
                    << "r " << r << " c " << c << " i " << i;
        }
    }
}

TEST(BoxBlurRows, RowsAreMadeBeforeTheyAreReadAndEmittedOnceNoLongerRead) {
    // Heights where the bottom mirror reaches rows early, radii where the
    // whole image is a copy, and the common case. `ready` turns a row from
    // a placeholder into its values: a row read before it is made, or
    // emitted before the blur is done reading it, changes the result.
    const long w = 7;
    for (long h : {1L, 2L, 5L, 9L, 23L, 40L})
        for (unsigned r : {0u, 1u, 2u, 5u, 12u}) {
            const auto values = noise(static_cast<std::size_t>(w * h * 3), unsigned(h * 31 + r));
            std::vector<float> img(values.size(), -1e6f);
            std::vector<float*> rows(static_cast<std::size_t>(h));
            for (long y = 0; y < h; ++y) rows[static_cast<std::size_t>(y)] = img.data() + y * w * 3;
            long made = 0, emitted = 0;
            std::vector<float> blurred(img.size());
            const bool ok = box_blur_rows(
                rows.data(), 3, 1, 2, unsigned(w), unsigned(h), r, 2.0 * r + 1,
                [&](unsigned row, const float* b) {
                    ASSERT_EQ(long(row), emitted++);  // in order, each once
                    ASSERT_LT(long(row), made);       // made before
                    for (long x = 0; x < w; ++x) {
                        blurred[static_cast<std::size_t>((long(row) * w + x) * 3 + 1)] = b[2 * x];
                        blurred[static_cast<std::size_t>((long(row) * w + x) * 3 + 2)] = b[2 * x + 1];
                    }
                    // The row is now free to change: nothing reads it any more.
                    std::fill(rows[row], rows[row] + w * 3, 1e6f);
                },
                [&](unsigned first, unsigned end) {
                    ASSERT_EQ(long(first), made);  // in order, each once
                    for (unsigned y = first; y < end; ++y)
                        std::copy(values.begin() + long(y) * w * 3, values.begin() + long(y + 1) * w * 3, rows[y]);
                    made = end;
                });
            ASSERT_TRUE(ok);
            EXPECT_EQ(made, h);
            EXPECT_EQ(emitted, h);
            // The same values as the blur of the finished image.
            std::vector<float> plain = values, expected(values.size());
            ASSERT_TRUE(box_blur_rows(plain.data(), 3, 1, 2, unsigned(w), unsigned(h), r, 2.0 * r + 1,
                                      [&](unsigned row, const float* b) {
                                          for (long x = 0; x < w; ++x)
                                              for (int c = 0; c < 2; ++c)
                                                  expected[static_cast<std::size_t>((long(row) * w + x) * 3 + 1 + c)] =
                                                      b[2 * x + c];
                                      }));
            for (long i = 0; i < w * h; ++i)
                for (int c = 1; c <= 2; ++c) {
                    const std::size_t k = static_cast<std::size_t>(i * 3 + c);
                    ASSERT_EQ(blurred[k], expected[k]) << "h " << h << " r " << r << " i " << i;
                    // and, where the mirror stays within the image, the reference blur
                    if (long(r) < h && long(r) < w)
                        ASSERT_NEAR(blurred[k], reference_blur(values, 3, c, w, h, r, 2.0 * r + 1)[std::size_t(i)], 1e-3);
                }
        }
}

}  // namespace
}  // namespace dvk
