// Filters, input and output profiles, the gamut map, the decompression
// points and the grey strip of RawProcessor.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <lcms2.h>

#include "colour/profile_lookup.h"
#include "pipeline/stages/gamut_map.h"
#include "pipeline/stages/lab_adjust.h"
#include "pipeline/processor/raw_processor.h"
#include "tests/support/test_paths.h"
#include "tests/writers/writer_test_support.h"

namespace dvk {
namespace {

TEST(FilterSettings, NamesCodesAndRgbMode) {
    RawProcessor p;
    p.setFilterName("Lightness (Lab)");
    EXPECT_EQ(p.bwMode(), 6);
    EXPECT_FALSE(p.bwModeRGB());
    p.setFilterName("KL25 B&W");
    EXPECT_EQ(p.bwMode(), 1003);
    EXPECT_FALSE(p.bwModeRGB());
    EXPECT_EQ(p.labFilterProfile(), "KL25 B&W");
    p.setFilterName("Photobrom B&W");
    EXPECT_EQ(p.bwMode(), 1);
    EXPECT_TRUE(p.bwModeRGB());
    p.setFilterName("Custom AdobeRGB");
    EXPECT_EQ(p.bwMode(), 100);
    EXPECT_TRUE(p.bwModeRGB());
    p.setUplab2labProfiles({"a.icc", "b.icc", "Mine.icc"});
    p.setFilterName("Mine.icc");
    EXPECT_EQ(p.bwMode(), 2002);
    EXPECT_EQ(p.filterName(), "Mine.icc");
    EXPECT_EQ(p.labFilterProfile(), "/tmp/Mine.icc");
    p.setFilterName("nothing of that name");
    EXPECT_EQ(p.bwMode(), 0);
    EXPECT_EQ(p.filterName(), "Color");
    p.setBwMode(5);
    EXPECT_EQ(p.filterName(), "Color");
}

TEST(OutputProfile, CodesNamesAndBytes) {
    RawProcessor p;
    for (int code = 0; code <= 9; ++code) {
        p.setOutputProfile(code);
        const DVKLib* d = p.dvklib();
        const char* want = code >= 1 && code <= 8 ? nullptr : "BetaRGB2.2";
        if (want) {
            EXPECT_STREQ(d->output_profile_name, want);
        }
        EXPECT_EQ(p.outputProfile(), code <= 8 ? code : 0) << code;
        const IccBytes b = builtin_icc_bytes(d->output_profile_name);
        ASSERT_NE(b.data, nullptr);
        EXPECT_EQ(d->output_profile_data, b.data);
        EXPECT_EQ(d->output_profile_size, b.size + 1);
        // The size in the ICC header is the byte length.
        const auto* h = reinterpret_cast<const unsigned char*>(b.data);
        EXPECT_EQ((std::uint32_t(h[0]) << 24 | std::uint32_t(h[1]) << 16 | std::uint32_t(h[2]) << 8 | h[3]), b.size);
        EXPECT_STREQ(d->linear_profile_name, "BetaRGB1.0");
        EXPECT_EQ(d->linear_profile_size, builtin_icc_bytes("BetaRGB1.0").size + 1);
    }
    p.setOutputProfile(1);
    EXPECT_STREQ(p.dvklib()->output_profile_name, "sRGBwithBPC2.2");
    p.setOutputProfile(8);
    EXPECT_STREQ(p.dvklib()->output_profile_name, "HD709");
}

TEST(GamutMap, SurfacePointsInOrder) {
    std::vector<float> pts(kGamutPoints * 3);
    gamut_surface_points(pts.data());
    std::size_t n = 0;
    for (int r = 0; r < 256; ++r)
        for (int g = 0; g < 256; ++g)
            for (int b = 0; b < 256; ++b) {
                const bool surface = r == 0 || r == 255 || g == 0 || g == 255 || b == 0 || b == 255;
                if (!surface) continue;
                ASSERT_LT(n, kGamutPoints);
                ASSERT_EQ(pts[3 * n], r / 255.0f);
                ASSERT_EQ(pts[3 * n + 1], g / 255.0f);
                ASSERT_EQ(pts[3 * n + 2], b / 255.0f);
                ++n;
            }
    EXPECT_EQ(n, kGamutPoints);
    EXPECT_EQ(kGamutPoints, 256u * 256 * 256 - 254u * 254 * 254);
}

TEST(GamutMap, MatchesAnIndependentConversion) {
    RawProcessor p;
    p.setOutputProfile(0);
    const std::uint8_t* map = p.gamutArr();
    ASSERT_NE(map, nullptr);
    const IccBytes b = builtin_icc_bytes("BetaRGB2.2");
    cmsHPROFILE rgb = cmsOpenProfileFromMem(b.data, b.size);
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM t = cmsCreateTransform(rgb, TYPE_RGB_FLT, lab, TYPE_Lab_FLT, cmsGetHeaderRenderingIntent(rgb), 0);
    ASSERT_NE(t, nullptr);
    std::vector<float> pts(kGamutPoints * 3);
    gamut_surface_points(pts.data());
    for (std::size_t i : {std::size_t(0), std::size_t(65536), std::size_t(70001), std::size_t(324616),
                          std::size_t(200000), kGamutPoints - 1}) {
        float in[3] = {pts[3 * i], pts[3 * i + 1], pts[3 * i + 2]};
        float lab_out[3];
        cmsDoTransform(t, in, lab_out, 1);
        struct {
            double L, a, b;
        } out{lab_out[0], lab_out[1], lab_out[2]};
        auto byte = [](double v) { return v <= 0 ? 0.0 : v >= 255 ? 255.0 : std::floor(v); };
        EXPECT_NEAR(map[3 * i], byte(out.L * 2.55), 1.0) << i;
        EXPECT_NEAR(map[3 * i + 1], byte(out.a + 128), 1.0) << i;
        EXPECT_NEAR(map[3 * i + 2], byte(out.b + 128), 1.0) << i;
    }
    cmsDeleteTransform(t);
    cmsCloseProfile(rgb);
    cmsCloseProfile(lab);
    // The first triple is the profile's black, the last its white.
    EXPECT_LE(map[0], 1);
    EXPECT_NEAR(map[1], 128, 1);
    EXPECT_NEAR(map[2], 128, 1);
    EXPECT_GE(map[3 * (kGamutPoints - 1)], 254);
    // Padding past the last point stays zero.
    for (std::size_t i = kGamutPoints * 3; i < kGamutMapBytes; ++i) ASSERT_EQ(map[i], 0);
}

TEST(CustomRawProfile, FilePathOrBuiltInName) {
    test::TempDir dir;
    const auto icc = test::make_icc_profile(false);
    const std::string path = (dir / "camera.icc").string();
    std::ofstream(path, std::ios::binary).write(icc.data(), static_cast<std::streamsize>(icc.size()));
    RawProcessor p;
    p.setCustomRawProfile(path);
    EXPECT_EQ(p.customRawProfile(), path);
    ASSERT_NE(p.dvklib()->custom_profile_data, nullptr);
    EXPECT_EQ(p.dvklib()->custom_profile_size, icc.size());
    EXPECT_EQ(p.dvklib()->custom_profile_name, nullptr);
    EXPECT_EQ(p.inputProfileName(), path);

    p.setCustomRawProfile("Default");
    EXPECT_EQ(p.customRawProfile(), "Default");
    EXPECT_EQ(p.dvklib()->custom_profile_data, nullptr);
    ASSERT_NE(p.dvklib()->custom_profile_name, nullptr);
    EXPECT_STREQ(p.dvklib()->custom_profile_name, "Default");

    p.setCustomRawProfile("");
    EXPECT_EQ(p.dvklib()->custom_profile_name, nullptr);
    EXPECT_EQ(p.customRawProfile(), "");
}

TEST(DecompressionPoints, BlackAndWhiteOfTheInputProfile) {
    RawProcessor p;
    p.setCustomRawProfile("BetaRGB2.2");  // a known input profile
    p.setUplab(0);                        // plain CIELab, to compare with LittleCMS
    p.fillDecompressionPoints();
    // Independently: the range compression, then BetaRGB2.2 to CIELab.
    float px[6] = {0, 0, 0, 1, 1, 1};
    compress_rgb_range(p.dvklib(), px, 2, 1);
    const IccBytes b = builtin_icc_bytes("BetaRGB2.2");
    cmsHPROFILE rgb = cmsOpenProfileFromMem(b.data, b.size);
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM t = cmsCreateTransform(rgb, TYPE_RGB_FLT, lab, TYPE_Lab_FLT, INTENT_ABSOLUTE_COLORIMETRIC, 0);
    ASSERT_NE(t, nullptr);
    float out[6];
    cmsDoTransform(t, px, out, 2);
    cmsDeleteTransform(t);
    cmsCloseProfile(rgb);
    cmsCloseProfile(lab);
    EXPECT_NEAR(p.decompressionBlackPoint(), out[0], 0.2);
    EXPECT_NEAR(p.decompressionWhitePoint(), out[3], 0.2);
    EXPECT_LT(p.decompressionBlackPoint(), p.decompressionWhitePoint());
}

TEST(GrayScale, RampAndLightnessScale) {
    RawProcessor p;
    p.setCustomRawProfile("BetaRGB2.2");
    p.fillDecompressionPoints();
    p.fillGrayScale();
    ASSERT_NE(p.grayScale(), nullptr);
    const float* L = p.LScale();
    // Lightness rises along the ramp from black to white.
    EXPECT_LT(L[0], 2.0f);
    EXPECT_GT(L[65534], 95.0f);
    for (int i = 1000; i < 65535; i += 1000) EXPECT_GE(L[i], L[i - 1000] - 0.01f) << i;
    // The strip is grey output RGB after the conversion.
    const float* g = p.grayScale();
    for (int i = 0; i < 65535 * 3; i += 3 * 4099) {
        EXPECT_NEAR(g[i], g[i + 1], 0.02f) << i / 3;
        EXPECT_NEAR(g[i + 1], g[i + 2], 0.02f) << i / 3;
    }
}

}  // namespace
}  // namespace dvk
