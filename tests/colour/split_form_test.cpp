#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include <lcms2.h>

#include "colour/colour_transform.h"
#include "colour/profile.h"
#include "colour/profile_lookup.h"
#include "core/dvklib.h"

namespace dvk {
namespace {

// Pixels the split form refuses (not numbers, infinities, far outside the
// Lab encoding) come back from the exact transform, among ordinary ones.
TEST(SplitForm, RefusedLabPixelsTakeTheExactTransform) {
    const int saved = band_thread_count;
    band_thread_count = 2;
    std::string error;
    auto t = get_colour_transform(getDVKProfileRef("Uplab", nullptr), INTENT_PERCEPTUAL,
                                  getDVKProfileRef("BetaRGB2.2", nullptr), INTENT_PERCEPTUAL, PixelKind::Lab,
                                  PixelKind::Rgb, &error);
    ASSERT_NE(t, nullptr) << error;
    ASSERT_TRUE(t->split());
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const std::size_t n = 3000;
    std::vector<float> px(3 * n);
    for (std::size_t i = 0; i < n; ++i) {
        px[3 * i] = 100.0f * float(i % 101) / 100.0f;
        px[3 * i + 1] = float(i % 61) - 30.0f;
        px[3 * i + 2] = float(i % 53) - 26.0f;
    }
    const float odd[][3] = {{nan, 0, 0}, {50, nan, 0}, {inf, 0, 0}, {-inf, 10, 10}, {50, inf, -inf}, {300, 0, 0}};
    for (std::size_t k = 0; k < std::size(odd); ++k)
        for (int c = 0; c < 3; ++c) px[3 * (k * 401 + 7) + std::size_t(c)] = odd[k][c];
    std::vector<float> fast = px, exact = px;
    t->convert(fast.data(), n);
    t->convert_exact(exact.data(), n);
    for (std::size_t k = 0; k < std::size(odd); ++k) {
        const std::size_t i = k * 401 + 7;
        for (int c = 0; c < 3; ++c) {
            const float a = fast[3 * i + std::size_t(c)], b = exact[3 * i + std::size_t(c)];
            EXPECT_TRUE(a == b || (std::isnan(a) && std::isnan(b))) << "pixel " << i << " channel " << c;
        }
    }
    for (std::size_t i = 0; i < n; ++i)
        for (int c = 0; c < 3; ++c) {
            const float b = exact[3 * i + std::size_t(c)];
            if (std::isfinite(b)) {
                EXPECT_NEAR(fast[3 * i + std::size_t(c)], b, 2e-3f) << i;
            }
        }
    band_thread_count = saved;
}

// RGB to plain CIELab has no Lab table: the curves, the matrix and the CIELab
// formulas are the whole transform, close to LittleCMS's; pixels outside the
// RGB cube and colours beyond the Lab encoding take the exact transform.
TEST(SplitForm, PlainLabNeedsNoTable) {
    const int saved = band_thread_count;
    band_thread_count = 2;
    std::string error;
    auto t = get_colour_transform(getDVKProfileRef("ProPhotoStar", nullptr), INTENT_RELATIVE_COLORIMETRIC,
                                  getDVKProfileRef("Lab", nullptr), INTENT_PERCEPTUAL, PixelKind::Rgb, PixelKind::Lab,
                                  &error);
    ASSERT_NE(t, nullptr) << error;
    ASSERT_TRUE(t->split());
    EXPECT_EQ(t->exact_cell_share(), 0.0);
    const std::size_t n = 20000;
    std::vector<float> px(3 * n);
    for (std::size_t i = 0; i < 3 * n; ++i) px[i] = float((i * 7919) % 1201) / 1000.0f - 0.1f;  // -0.1 .. 1.1
    std::vector<float> fast = px, exact = px;
    t->convert(fast.data(), n);
    t->convert_exact(exact.data(), n);
    for (std::size_t i = 0; i < n; ++i) {
        const float* in = &px[3 * i];
        const bool outside = in[0] < 0 || in[0] > 1 || in[1] < 0 || in[1] > 1 || in[2] < 0 || in[2] > 1;
        for (int c = 0; c < 3; ++c) {
            if (outside) {
                EXPECT_EQ(fast[3 * i + std::size_t(c)], exact[3 * i + std::size_t(c)]) << i;
            } else {
                EXPECT_NEAR(fast[3 * i + std::size_t(c)], exact[3 * i + std::size_t(c)], 0.01f) << i;
            }
        }
    }
    band_thread_count = saved;
}

}  // namespace
}  // namespace dvk
