#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <lcms2.h>

#include "colour/colour_transform.h"
#include "colour/profile.h"
#include "colour/profile_lookup.h"
#include "pipeline/dvklib.h"
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

}  // namespace
}  // namespace dvk
