#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include <lcms2.h>

#include "core/dvklib.h"
#include "pipeline/stages/gamut_map.h"

namespace dvk {
namespace {

// The whole map against a plain one-point-at-a-time LittleCMS conversion of
// the profile's ICC bytes to a D50 Lab profile: every byte within one step (the
// float results may fall on either side of a whole number) and nearly all equal.
void expect_map_matches_littlecms(const char* name) {
    std::vector<std::uint8_t> map(kGamutMapBytes, 0);
    ASSERT_TRUE(fill_gamut_map(nullptr, name, map.data())) << name;
    const IccBytes bytes = builtin_icc_bytes(name);
    ASSERT_NE(bytes.data, nullptr) << name;
    cmsHPROFILE rgb = cmsOpenProfileFromMem(bytes.data, bytes.size);
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM t = cmsCreateTransform(rgb, TYPE_RGB_FLT, lab, TYPE_Lab_FLT, cmsGetHeaderRenderingIntent(rgb),
                                         cmsFLAGS_NOCACHE);
    ASSERT_NE(t, nullptr) << name;
    std::vector<float> pts(kGamutPoints * 3);
    gamut_surface_points(pts.data());
    cmsDoTransform(t, pts.data(), pts.data(), cmsUInt32Number(kGamutPoints));
    cmsDeleteTransform(t);
    cmsCloseProfile(rgb);
    cmsCloseProfile(lab);
    const auto byte = [](float v) { return v > 0.0f ? (v >= 255.0f ? 255 : int(v)) : 0; };
    std::size_t differing = 0;
    for (std::size_t i = 0; i < kGamutPoints; ++i) {
        const int want[3] = {byte(pts[3 * i] * 2.55f), byte(pts[3 * i + 1] + 128.0f), byte(pts[3 * i + 2] + 128.0f)};
        for (int c = 0; c < 3; ++c) {
            const int got = map[3 * i + std::size_t(c)];
            ASSERT_LE(std::abs(got - want[c]), 1) << name << " point " << i << " channel " << c;
            differing += got != want[c];
        }
    }
    EXPECT_LT(differing, kGamutPoints / 1000) << name;
    for (std::size_t i = kGamutPoints * 3; i < kGamutMapBytes; ++i) ASSERT_EQ(map[i], 0) << name;
}

TEST(GamutMapWhole, MatrixProfilesMatchLittleCms) {
    expect_map_matches_littlecms("BetaRGB2.2");
    expect_map_matches_littlecms("sRGBwithBPC2.2");
    expect_map_matches_littlecms("ProPhotoStar");
}

TEST(GamutMapWhole, TableProfileMatchesLittleCms) { expect_map_matches_littlecms("sRGBv4"); }

}  // namespace
}  // namespace dvk
