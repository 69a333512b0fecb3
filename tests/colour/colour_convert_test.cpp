#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include <lcms2.h>

#include "colour/camera_profile.h"
#include "colour/colour_convert.h"
#include "colour/colour_transform.h"
#include "colour/profile.h"
#include "colour/profile_lookup.h"
#include "core/dvklib.h"

namespace dvk {
namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

double delta_e(const float* a, const float* b) {
    return std::sqrt(double(a[0] - b[0]) * (a[0] - b[0]) + double(a[1] - b[1]) * (a[1] - b[1]) +
                     double(a[2] - b[2]) * (a[2] - b[2]));
}

TEST(ScaleLabToCielab, ScalesEveryTriple) {
    float px[6] = {0.5f, 0.5f, 0.5f, 1.0f, 0.0f, 1.0f};
    scale_lab_to_cielab(px, 2, 1);
    EXPECT_FLOAT_EQ(px[0], 50.0f);
    EXPECT_FLOAT_EQ(px[1], 0.0f);
    EXPECT_FLOAT_EQ(px[2], 0.0f);
    EXPECT_FLOAT_EQ(px[3], 100.0f);
    EXPECT_FLOAT_EQ(px[4], -128.0f);
    EXPECT_FLOAT_EQ(px[5], 128.0f);
    float keep[3] = {0.5f, 0.5f, 0.5f};
    scale_lab_to_cielab(keep, 0, 1);
    scale_lab_to_cielab(keep, 1, 0);
    EXPECT_FLOAT_EQ(keep[0], 0.5f);
}

TEST(ProfileColorSpace, ReadsTheHeader) {
    EXPECT_EQ(get_profile_color_space(nullptr), 0u);
    auto cmyk = Profile::adopt(cmsCreateInkLimitingDeviceLink(cmsSigCmykData, 300));
    ASSERT_NE(cmyk, nullptr);
    EXPECT_EQ(get_profile_color_space(cmyk.get()), 0x434D594Bu);
    EXPECT_EQ(get_profile_color_space(getDVKProfileRef("BetaRGB2.2", nullptr).get()), 0x52474220u);
    EXPECT_EQ(get_profile_color_space(getDVKProfileRef("Uplab", nullptr).get()), 0x4C616220u);
}

TEST(ClampRgb, LimitsToSmallestNormalAndOne) {
    float v[6] = {-1.0f, 0.0f, 0.5f, 1.0f, 7.0f, NAN};
    clamp_rgb_float_triples(v, 2);
    EXPECT_EQ(v[0], 1.1754944e-38f);
    EXPECT_EQ(v[1], 1.1754944e-38f);
    EXPECT_EQ(v[2], 0.5f);
    EXPECT_EQ(v[3], 1.0f);
    EXPECT_EQ(v[4], 1.0f);
    EXPECT_EQ(v[5], 1.0f);
}

TEST(MatchLabToRgb, NeutralGreyInBetaRgb) {
    // L 50 is Y = (66/116)^3; Beta RGB encodes it with gamma 563/256.
    const double y = std::pow(66.0 / 116.0, 3.0);
    const double v = std::pow(y, 256.0 / 563.0);
    std::vector<float> px = {50, 0, 0, 100, 0, 0, 0, 0, 0};
    ASSERT_NE(match_lab_to_rgb_colorsync_t(nullptr, px.data(), 3, 1, "BetaRGB2.2", "Lab"), 0);
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(px[c], v, 2e-3) << c;
        EXPECT_NEAR(px[3 + c], 1.0, 1e-3);
        EXPECT_LE(px[6 + c], 1e-3);
        EXPECT_GT(px[6 + c], 0.0f);  // clamped to the smallest normal, never 0
    }
}

TEST(MatchLabToRgb, OutOfGamutIsClamped) {
    std::vector<float> px = {50, 127, -127, 100, 0, 0, 5, -128, 128};
    ASSERT_NE(match_lab_to_rgb_colorsync_t(nullptr, px.data(), 3, 1, "sRGBwithBPC2.2", "Lab"), 0);
    for (float v : px) {
        EXPECT_GE(v, 1.1754944e-38f);
        EXPECT_LE(v, 1.0f);
    }
}

TEST(MatchRgbToLab, LabAndUplabOfWhiteAndGrey) {
    std::vector<float> px = {1, 1, 1, 0.5f, 0.5f, 0.5f};
    std::vector<float> up = px;
    ASSERT_NE(match_rgb_to_lab_colorsync_t(nullptr, px.data(), 2, 1, "BetaRGB2.2", false, false), 0);
    ASSERT_NE(match_rgb_to_lab_colorsync_t(nullptr, up.data(), 2, 1, "BetaRGB2.2", true, false), 0);
    EXPECT_NEAR(px[0], 100.0f, 0.05f);
    EXPECT_NEAR(px[1], 0.0f, 0.05f);
    const double l = 116 * std::cbrt(std::pow(0.5, 563.0 / 256.0)) - 16;
    EXPECT_NEAR(px[3], l, 0.05);
    // UPLab keeps L* and leaves neutrals neutral.
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(up[i], px[i], 0.1) << i;
}

TEST(MatchRgbToLab, MissingFileIsReplacedByAdobeRgb) {
    std::vector<float> px = {0.2f, 0.5f, 0.7f};
    std::vector<float> adobe = px;
    CaptureStderr();
    ASSERT_NE(match_rgb_to_lab_colorsync_t(nullptr, px.data(), 1, 1, "/no/such/profile.icc", false, false), 0);
    std::string log = GetCapturedStderr();
    EXPECT_NE(log.find("Profile not found. Substitute with AdobeRGB"), std::string::npos);
    ASSERT_NE(match_rgb_to_lab_colorsync_t(nullptr, adobe.data(), 1, 1, "AdobeRGB2.2", false, false), 0);
    for (int c = 0; c < 3; ++c) EXPECT_FLOAT_EQ(px[c], adobe[c]);
    // A name the table does not carry is the default profile: no substitution.
    CaptureStderr();
    ASSERT_NE(match_rgb_to_lab_colorsync_t(nullptr, adobe.data(), 1, 1, "Unknown Camera", false, false), 0);
    EXPECT_EQ(GetCapturedStderr(), "");
}

TEST(MatchRgbToLab, LegacyPathClampsTheLab) {
    // Linear Beta RGB above 1 gives L above 100 without the clamp.
    std::vector<float> px = {1, 1, 1};
    // Values outside 0..1 go to the exact transform, which does not clip.
    std::vector<float> over = {1.5f, 1.5f, 1.5f};
    std::vector<float> over_legacy = over;
    ASSERT_NE(match_rgb_to_lab_colorsync_t(nullptr, over.data(), 1, 1, "BetaRGB1.0", false, false), 0);
    EXPECT_GT(over[0], 100.5f);
    legacy_colorsync = true;
    ASSERT_NE(match_rgb_to_lab_colorsync_t(nullptr, over_legacy.data(), 1, 1, "BetaRGB1.0", false, false), 0);
    legacy_colorsync = false;
    EXPECT_FLOAT_EQ(over_legacy[0], 100.0f);
    (void)px;
}

TEST(MatchFunctions, FailureLeavesTheImageAndLogs) {
    std::vector<float> px = {50, 10, 10};
    const std::vector<float> before = px;
    CaptureStderr();
    EXPECT_EQ(match_lab_to_lab_colorsync_t(nullptr, px.data(), 1, 1, "BetaRGB2.2"), 0);
    EXPECT_NE(GetCapturedStderr().find("Exception in match_lab_to_lab_colorsync_t"), std::string::npos);
    EXPECT_EQ(px, before);
    CaptureStderr();
    EXPECT_EQ(match_rgb_to_rgb_colorsync_t(nullptr, px.data(), 1, 1, "/missing.icc", "BetaRGB2.2"), 0);
    std::string log = GetCapturedStderr();
    EXPECT_NE(log.find("Error finding profile /missing.icc"), std::string::npos);
    EXPECT_NE(log.find("Exception in match_rgb_to_rgb_colorsync_t"), std::string::npos);
    EXPECT_EQ(px, before);
    // "Built-in" with no camera loaded anywhere is no profile either.
    DVKLib d;
    ASSERT_TRUE(dvklib_new(&d));
    EXPECT_EQ(match_lab_to_lab_colorsync_t(&d, nullptr, 0, 0, "Uplab"), 1);  // width 0: nothing, success
    dvklib_delete(&d);
}

TEST(MatchFunctions, EmptyImageSucceeds) {
    float px[3] = {1, 2, 3};
    EXPECT_NE(match_lab_to_rgb_colorsync_t(nullptr, px, 0, 10, "BetaRGB2.2", nullptr), 0);
    EXPECT_NE(match_rgb_to_rgb_colorsync_t(nullptr, px, 10, 0, "BetaRGB2.2", "sRGBv4"), 0);
    EXPECT_EQ(px[0], 1.0f);
}

// Black-and-white looks take every colour to a neutral.
TEST(FilmLooks, BlackAndWhiteLooksHaveNoChroma) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> u(0.02f, 0.98f);
    std::vector<float> rgb(3 * 500);
    for (float& v : rgb) v = u(rng);
    for (const char* look : {"BetaRGBGrey", "BetaRGBA25", "BetaRGBP50"}) {
        std::vector<float> px = rgb;
        ASSERT_NE(match_rgb_to_lab_colorsync_t(nullptr, px.data(), 500, 1, look, false, false), 0) << look;
        for (int i = 0; i < 500; ++i) {
            EXPECT_NEAR(px[3 * i + 1], 0.0f, 0.02f) << look;
            EXPECT_NEAR(px[3 * i + 2], 0.0f, 0.02f) << look;
        }
    }
    std::uniform_real_distribution<float> ab(-90.0f, 90.0f), l(2.0f, 98.0f);
    std::vector<float> lab(3 * 500);
    for (int i = 0; i < 500; ++i) {
        lab[3 * i] = l(rng);
        lab[3 * i + 1] = ab(rng);
        lab[3 * i + 2] = ab(rng);
    }
    for (const char* look : {"KL25 B&W", "TP25 B&W"}) {
        std::vector<float> px = lab;
        ASSERT_NE(match_lab_to_lab_colorsync_t(nullptr, px.data(), 500, 1, look), 0) << look;
        for (int i = 0; i < 500; ++i) {
            EXPECT_NEAR(px[3 * i + 1], 0.0f, 0.02f) << look;
            EXPECT_NEAR(px[3 * i + 2], 0.0f, 0.02f) << look;
        }
    }
}

TEST(FilmLooks, ColourAndTonedLooksChangeTheImage) {
    std::vector<float> lab = {60, 40, 30, 50, 0, 0};
    std::vector<float> sepia = {0.5f, 0.5f, 0.5f};
    ASSERT_NE(match_rgb_to_lab_colorsync_t(nullptr, sepia.data(), 1, 1, "BetaRGBSepia", false, false), 0);
    EXPECT_GT(sepia[2], 3.0f);  // warm: b* positive
    std::vector<float> plain = lab, v50 = lab;
    ASSERT_NE(match_lab_to_lab_colorsync_t(nullptr, plain.data(), 2, 1, nullptr), 0);
    ASSERT_NE(match_lab_to_lab_colorsync_t(nullptr, v50.data(), 2, 1, "V50v2"), 0);
    EXPECT_GT(std::hypot(v50[1], v50[2]), std::hypot(plain[1], plain[2]) + 3);
}

TEST(Uplab, RoundTripWithinTwoTenthsDeltaE) {
    auto lab = getDVKProfileRef("Lab", nullptr);
    auto up = getDVKProfileRef("Uplab", nullptr);
    std::string error;
    auto to_up = get_colour_transform(lab, INTENT_PERCEPTUAL, up, INTENT_PERCEPTUAL, PixelKind::Lab, PixelKind::Lab,
                                      &error);
    auto from_up = get_colour_transform(up, INTENT_PERCEPTUAL, lab, INTENT_PERCEPTUAL, PixelKind::Lab,
                                        PixelKind::Lab, &error);
    ASSERT_NE(to_up, nullptr) << error;
    ASSERT_NE(from_up, nullptr) << error;
    std::vector<float> in;
    for (float l = 5; l <= 95; l += 7.5f)
        for (float a = -100; a <= 100; a += 12.5f)
            for (float b = -100; b <= 100; b += 12.5f) {
                if (std::hypot(a, b) > 110) continue;
                in.insert(in.end(), {l, a, b});
            }
    std::vector<float> mid = in;
    to_up->convert_exact(mid.data(), mid.size() / 3);
    std::vector<float> back = mid;
    from_up->convert_exact(back.data(), back.size() / 3);
    double worst = 0;
    for (std::size_t i = 0; i < in.size(); i += 3) {
        worst = std::max(worst, delta_e(&in[i], &back[i]));
        // L* kept, chroma kept.
        EXPECT_NEAR(mid[i], in[i], 0.25);
        EXPECT_NEAR(std::hypot(mid[i + 1], mid[i + 2]), std::hypot(in[i + 1], in[i + 2]), 1.2);
    }
    EXPECT_LT(worst, 0.2);
    // Blue hues move (IPT straightens the blue hue line); it is not the identity.
    float blue[3] = {35, 30, -90};
    to_up->convert_exact(blue, 1);
    const double h_in = std::atan2(-90.0, 30.0), h_up = std::atan2(double(blue[2]), double(blue[1]));
    EXPECT_GT(std::fabs(h_up - h_in) * 180 / 3.14159265, 2.0);
}

// The fast path against the exact LittleCMS transform over the range the
// pipeline feeds it: camera RGB 0..1 into Lab or UPLab, and the UPLab that
// camera colours become (with L stretched over 0..100 as the second Lab
// stage does) into the output spaces.
struct LutCase {
    const char* src;
    const char* dst;
    PixelKind in, out;
};

TEST(LookupTable, MatchesTheExactTransformWithinATenthDeltaE) {
    DVKLib d;
    ASSERT_TRUE(dvklib_new(&d));
    const float cam[4][3] = {{0.6847f, -0.0614f, -0.1014f}, {-0.4669f, 1.2737f, 0.2139f},
                             {-0.1197f, 0.2488f, 0.6846f}, {0, 0, 0}};
    create_camera_matrix_profile(&d, "Test Camera", cam);
    const LutCase cases[] = {
        {"Built-in", "Uplab", PixelKind::Rgb, PixelKind::Lab},
        {"Built-in", "Lab", PixelKind::Rgb, PixelKind::Lab},
        {"Nikon D700 800", "Uplab", PixelKind::Rgb, PixelKind::Lab},
        {"Uplab", "BetaRGB2.2", PixelKind::Lab, PixelKind::Rgb},
        {"Uplab", "sRGBwithBPC2.2", PixelKind::Lab, PixelKind::Rgb},
        {"Uplab", "ECIRGBv4", PixelKind::Lab, PixelKind::Rgb},
        {"Uplab", "BetaRGB1.0", PixelKind::Lab, PixelKind::Rgb},
        {"Uplab", "Lab", PixelKind::Lab, PixelKind::Lab},
    };
    auto lab = getDVKProfileRef("Lab", nullptr);
    std::string error;
    auto camera = get_colour_transform(getDVKProfileRef(&d, "Built-in", nullptr), INTENT_RELATIVE_COLORIMETRIC,
                                       getDVKProfileRef("Uplab", nullptr), INTENT_PERCEPTUAL, PixelKind::Rgb,
                                       PixelKind::Lab, &error);
    ASSERT_NE(camera, nullptr) << error;
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (const LutCase& c : cases) {
        auto src = getDVKProfileRef(&d, c.src, nullptr);
        auto dst = getDVKProfileRef(&d, c.dst, nullptr);
        auto t = get_colour_transform(src, c.in == PixelKind::Rgb ? INTENT_RELATIVE_COLORIMETRIC : INTENT_PERCEPTUAL,
                                      dst, INTENT_PERCEPTUAL, c.in, c.out, &error);
        ASSERT_NE(t, nullptr) << error;
        const std::size_t n = 10000;
        std::vector<float> px(3 * n);
        for (float& v : px) v = unit(rng);
        if (c.in == PixelKind::Lab) {
            camera->convert_exact(px.data(), n);
            for (std::size_t i = 0; i < n; ++i) {
                float& l = px[3 * i];
                l = std::fmin(100.0f, std::fmax(0.0f, l));
                px[3 * i + 1] = std::fmin(127.0f, std::fmax(-128.0f, px[3 * i + 1]));
                px[3 * i + 2] = std::fmin(127.0f, std::fmax(-128.0f, px[3 * i + 2]));
            }
        }
        std::vector<float> fast = px, exact = px;
        t->prepare();  // the fast form, also for this small test image
        t->convert(fast.data(), n);
        t->convert_exact(exact.data(), n);
        if (c.out == PixelKind::Rgb) {
            // Compare what the output shows: the clamped RGB, seen as CIELab.
            clamp_rgb_float_triples(fast.data(), n);
            clamp_rgb_float_triples(exact.data(), n);
            auto back = get_colour_transform(dst, INTENT_RELATIVE_COLORIMETRIC, lab, INTENT_PERCEPTUAL,
                                             PixelKind::Rgb, PixelKind::Lab, &error);
            ASSERT_NE(back, nullptr);
            back->convert_exact(fast.data(), n);
            back->convert_exact(exact.data(), n);
        }
        std::vector<double> errors(n);
        double sum = 0;
        for (std::size_t i = 0; i < n; ++i) {
            errors[i] = delta_e(&fast[3 * i], &exact[3 * i]);
            sum += errors[i];
        }
        std::sort(errors.begin(), errors.end());
        // Nearly every pixel within a tenth; the rare ones left are in cells
        // where the transform clips and the probes found nothing.
        EXPECT_LT(errors[n * 999 / 1000], 0.1) << c.src << " -> " << c.dst;
        EXPECT_LT(sum / n, 0.02) << c.src << " -> " << c.dst;
        EXPECT_LT(errors.back(), 1.5) << c.src << " -> " << c.dst;
        // The pipeline's two main transforms take the split form, whose table is exact.
        const std::string pair = std::string(c.src) + " -> " + c.dst;
        if (pair == "Built-in -> Uplab" || pair == "Uplab -> BetaRGB2.2") {
            EXPECT_TRUE(t->split()) << pair;
        }
    }
    dvklib_delete(&d);
}

}  // namespace
}  // namespace dvk
