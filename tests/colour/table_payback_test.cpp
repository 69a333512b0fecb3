#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include <lcms2.h>

#include "colour/colour_transform.h"
#include "colour/profile.h"
#include "colour/profile_lookup.h"
#include "core/dvklib.h"
#include "tests/support/test_pixels.h"

namespace dvk {
namespace {

bool same_as_exact(const ColourTransform& t, std::size_t n) {
    std::vector<float> fast = test::cube_pixels(n), exact = fast;
    t.convert(fast.data(), n);
    t.convert_exact(exact.data(), n);
    return std::memcmp(fast.data(), exact.data(), fast.size() * sizeof(float)) == 0;
}

// Small conversions take the exact transform until they add up to what a
// table costs; from then on the table serves every call, small ones too.
TEST(TablePayback, SmallCallsTakeTheExactTransformUntilTheTablePaysBack) {
    const int saved = band_thread_count;
    band_thread_count = 4;
    // A profile of this test alone, so that no other test has tabled the pair.
    cmsCIExyY white = {0.3127, 0.3290, 1.0};
    cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* g = cmsBuildGamma(nullptr, 2.2);
    cmsToneCurve* curves[3] = {g, g, g};
    auto rgb = Profile::adopt(cmsCreateRGBProfile(&white, &primaries, curves));
    cmsFreeToneCurve(g);
    ASSERT_NE(rgb, nullptr);
    std::string error;
    auto t = get_colour_transform(rgb, INTENT_RELATIVE_COLORIMETRIC, getDVKProfileRef("Lab", nullptr),
                                  INTENT_PERCEPTUAL, PixelKind::Rgb, PixelKind::Lab, &error);
    ASSERT_NE(t, nullptr) << error;
    for (int call = 0; call < 5; ++call) EXPECT_TRUE(same_as_exact(*t, 50000)) << call;  // 250000 in all
    // The call that reaches 300000 builds the table and uses it.
    EXPECT_FALSE(same_as_exact(*t, 60000));
    EXPECT_FALSE(same_as_exact(*t, 2000));
    band_thread_count = saved;
}

// An image converted part by part (rows in reverse order, on several
// threads) gets the values of the call on the whole image, on either side of
// the table's payback: exact when the image is small, the table when large.
TEST(TablePayback, PartsGetTheWholeCallsValues) {
    const int saved = band_thread_count;
    band_thread_count = 3;
    // Two transforms of the same pair of profiles that no other test uses
    // (two profile objects: two cache entries), each fresh.
    const auto make = [] {
        cmsCIExyY white = {0.3127, 0.3290, 1.0};
        cmsCIExyYTRIPLE primaries = {{0.66, 0.32, 1.0}, {0.29, 0.61, 1.0}, {0.15, 0.07, 1.0}};
        cmsToneCurve* g = cmsBuildGamma(nullptr, 1.8);
        cmsToneCurve* curves[3] = {g, g, g};
        auto rgb = Profile::adopt(cmsCreateRGBProfile(&white, &primaries, curves));
        cmsFreeToneCurve(g);
        std::string error;
        return get_colour_transform(rgb, INTENT_RELATIVE_COLORIMETRIC, getDVKProfileRef("Uplab", nullptr),
                                    INTENT_PERCEPTUAL, PixelKind::Rgb, PixelKind::Lab, &error);
    };
    const auto whole_call = make(), by_parts = make();
    ASSERT_NE(whole_call, nullptr);
    ASSERT_NE(by_parts, nullptr);
    ASSERT_NE(whole_call.get(), by_parts.get());
    constexpr std::size_t kWidth = 1000;
    for (std::size_t rows : {std::size_t(1), std::size_t(400)}) {
        const std::size_t n = rows * kWidth;
        std::vector<float> whole = test::cube_pixels(n), parts = whole, exact = whole;
        whole_call->convert(whole.data(), n);
        by_parts->convert_exact(exact.data(), n);
        const bool fast = by_parts->choose_fast_form(n);
        EXPECT_EQ(fast, n >= 300000u);
        std::vector<std::thread> threads;
        for (int t = 0; t < 3; ++t)
            threads.emplace_back([&, t] {
                for (std::size_t r = rows; r-- > 0;)
                    if (r % 3 == std::size_t(t)) by_parts->convert_part(parts.data() + r * kWidth * 3, kWidth, fast);
            });
        for (std::thread& th : threads) th.join();
        EXPECT_EQ(std::memcmp(whole.data(), parts.data(), whole.size() * sizeof(float)), 0) << n;
        // The large image took the table, the small one the exact transform.
        EXPECT_EQ(std::memcmp(whole.data(), exact.data(), whole.size() * sizeof(float)) == 0, !fast) << n;
    }
    band_thread_count = saved;
}

}  // namespace
}  // namespace dvk
