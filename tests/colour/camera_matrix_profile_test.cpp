#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include <lcms2.h>

#include "colour/camera_matrix.h"
#include "colour/camera_profile.h"
#include "colour/colour_convert.h"
#include "colour/profile.h"
#include "colour/profile_lookup.h"
#include "core/dvklib.h"
#include "pipeline/load/raw_loader.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

std::uint32_t be32(const std::vector<std::uint8_t>& b, std::size_t o) {
    return (std::uint32_t(b[o]) << 24) | (std::uint32_t(b[o + 1]) << 16) | (std::uint32_t(b[o + 2]) << 8) | b[o + 3];
}
std::uint16_t be16(const std::vector<std::uint8_t>& b, std::size_t o) { return std::uint16_t((b[o] << 8) | b[o + 1]); }

// Offset and size of a tag, or {0, 0}.
std::pair<std::size_t, std::size_t> find_tag(const std::vector<std::uint8_t>& b, const char* sig) {
    const std::uint32_t want = (std::uint32_t(std::uint8_t(sig[0])) << 24) | (std::uint8_t(sig[1]) << 16) |
                               (std::uint8_t(sig[2]) << 8) | std::uint8_t(sig[3]);
    const std::uint32_t n = be32(b, 128);
    for (std::uint32_t i = 0; i < n; ++i)
        if (be32(b, 132 + 12 * i) == want) return {be32(b, 136 + 12 * i), be32(b, 140 + 12 * i)};
    return {0, 0};
}

double s15(const std::vector<std::uint8_t>& b, std::size_t o) { return std::int32_t(be32(b, o)) / 65536.0; }

const float kIdentity[4][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}};
// A camera matrix of the kind the decoder carries (XYZ to camera, D65).
const float kCamera[4][3] = {{0.6847f, -0.0614f, -0.1014f}, {-0.4669f, 1.2737f, 0.2139f},
                             {-0.1197f, 0.2488f, 0.6846f}, {0, 0, 0}};

TEST(CameraMatrixProfile, HeaderIsWrittenByteForByte) {
    DVKLib d;
    ASSERT_TRUE(dvklib_new(&d));
    create_camera_matrix_profile(&d, "Test Camera", kCamera);
    ASSERT_NE(d.camera_profile, nullptr);
    const auto& b = d.camera_profile->bytes();
    EXPECT_EQ(be32(b, 0), b.size());
    EXPECT_EQ(std::memcmp(&b[4], "appl", 4), 0);
    EXPECT_EQ(be32(b, 8), 0x02200000u);
    EXPECT_EQ(std::memcmp(&b[12], "scnrRGB XYZ ", 12), 0);
    const std::uint16_t date[6] = {2016, 7, 16, 10, 0, 0};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(be16(b, 24 + 2 * i), date[i]);
    EXPECT_EQ(std::memcmp(&b[36], "acspAPPL", 8), 0);
    for (std::size_t i = 44; i < 68; ++i) EXPECT_EQ(b[i], 0) << i;
    EXPECT_EQ(be32(b, 68), 63193u);
    EXPECT_EQ(be32(b, 72), 65536u);
    EXPECT_EQ(be32(b, 76), 54075u);
    EXPECT_EQ(std::memcmp(&b[80], "DNG ", 4), 0);
    for (std::size_t i = 84; i < 128; ++i) EXPECT_EQ(b[i], 0) << i;
    // Tags in the order they are set; the three curves share one data block.
    const char* order[8] = {"rXYZ", "gXYZ", "bXYZ", "wtpt", "rTRC", "gTRC", "bTRC", "desc"};
    ASSERT_EQ(be32(b, 128), 8u);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(std::memcmp(&b[132 + 12 * i], order[i], 4), 0) << order[i];
    auto r = find_tag(b, "rTRC"), g = find_tag(b, "gTRC"), bl = find_tag(b, "bTRC");
    EXPECT_EQ(r, g);
    EXPECT_EQ(r, bl);
    EXPECT_EQ(r.second, 14u);
    EXPECT_EQ(std::memcmp(&b[r.first], "curv\0\0\0\0\0\0\0\1\x02\x5A", 14), 0);
    auto w = find_tag(b, "wtpt");
    EXPECT_EQ(w.second, 20u);
    EXPECT_EQ(be32(b, w.first + 8), 63193u);
    EXPECT_EQ(be32(b, w.first + 12), 65536u);
    EXPECT_EQ(be32(b, w.first + 16), 54075u);
    auto desc = find_tag(b, "desc");
    EXPECT_EQ(desc.second, 13u + 11u);
    EXPECT_EQ(be32(b, desc.first + 8), 12u);
    EXPECT_STREQ(reinterpret_cast<const char*>(&b[desc.first + 12]), "Test Camera");
    EXPECT_EQ(desc.first + desc.second, b.size());
    dvklib_delete(&d);
}

TEST(CameraMatrixProfile, IdentityMatrixGivesBradfordTimesWhite) {
    DVKLib d;
    ASSERT_TRUE(dvklib_new(&d));
    create_camera_matrix_profile(&d, "Identity", kIdentity);
    ASSERT_NE(d.camera_profile, nullptr);
    const auto& b = d.camera_profile->bytes();
    const char* tags[3] = {"rXYZ", "gXYZ", "bXYZ"};
    for (int c = 0; c < 3; ++c) {
        auto t = find_tag(b, tags[c]);
        ASSERT_EQ(t.second, 20u);
        for (int i = 0; i < 3; ++i) {
            const double want = kBradfordD65ToD50[i][c] * kCameraD65White[c];
            EXPECT_EQ(std::int32_t(be32(b, t.first + 8 + 4 * i)), std::int32_t(std::round(want * 65536))) << c << i;
        }
    }
    // Camera (1, 1, 1) is the D50 white: B W.
    double sum[3] = {0, 0, 0};
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 3; ++i) sum[i] += s15(b, find_tag(b, tags[c]).first + 8 + 4 * i);
    for (int i = 0; i < 3; ++i) {
        double bw = 0;
        for (int c = 0; c < 3; ++c) bw += kBradfordD65ToD50[i][c] * kCameraD65White[c];
        EXPECT_NEAR(sum[i], bw, 3.0 / 65536);
    }
    EXPECT_NEAR(sum[1], 1.0, 1e-4);
    dvklib_delete(&d);
}

TEST(CameraMatrixProfile, WhiteMapsToNeutralLab) {
    DVKLib d;
    ASSERT_TRUE(dvklib_new(&d));
    create_camera_matrix_profile(&d, "Test Camera", kCamera);
    float px[3] = {1, 1, 1};
    ASSERT_NE(match_rgb_to_lab_colorsync_t(&d, px, 1, 1, "Built-in", false, false), 0);
    EXPECT_NEAR(px[0], 100.0f, 0.05f);
    EXPECT_NEAR(px[1], 0.0f, 0.05f);
    EXPECT_NEAR(px[2], 0.0f, 0.05f);
    dvklib_delete(&d);
}

TEST(CameraMatrixProfile, LongNamesAreCutTo255Bytes) {
    DVKLib d;
    ASSERT_TRUE(dvklib_new(&d));
    std::string name(300, 'N');
    name[254] = 'x';
    name[255] = 'y';
    create_camera_matrix_profile(&d, name.c_str(), kCamera);
    ASSERT_NE(d.camera_profile, nullptr);
    const auto& b = d.camera_profile->bytes();
    auto desc = find_tag(b, "desc");
    EXPECT_EQ(desc.second, 13u + 255u);
    EXPECT_EQ(be32(b, desc.first + 8), 256u);
    std::string text(reinterpret_cast<const char*>(&b[desc.first + 12]));
    EXPECT_EQ(text, name.substr(0, 255));
    dvklib_delete(&d);
}

TEST(CameraMatrixProfile, SingularOrNonFiniteMatrixInstallsNothing) {
    DVKLib d;
    ASSERT_TRUE(dvklib_new(&d));
    create_camera_matrix_profile(&d, "Good", kCamera);
    auto before = d.camera_profile;
    ASSERT_NE(before, nullptr);
    const float singular[4][3] = {{1, 2, 3}, {2, 4, 6}, {0, 1, 1}, {0, 0, 0}};
    CaptureStderr();
    create_camera_matrix_profile(&d, "Singular", singular);
    EXPECT_NE(GetCapturedStderr().find("No camera profile for Singular"), std::string::npos);
    EXPECT_EQ(d.camera_profile, before);
    const float nan_matrix[4][3] = {{NAN, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}};
    CaptureStderr();
    create_camera_matrix_profile(&d, "NaN", nan_matrix);
    EXPECT_NE(GetCapturedStderr().find("No camera profile for NaN"), std::string::npos);
    EXPECT_EQ(d.camera_profile, before);
    EXPECT_EQ(getDVKProfileRef("Built-in", nullptr).get(), before.get());
    dvklib_delete(&d);
}

TEST(CameraMatrixProfile, EachRecordKeepsItsOwnCameraAndBuiltInFollowsTheLastLoad) {
    DVKLib a, b;
    ASSERT_TRUE(dvklib_new(&a));
    ASSERT_TRUE(dvklib_new(&b));
    create_camera_matrix_profile(&a, "Camera A", kCamera);
    auto held = getDVKProfileRef(&a, "Built-in", nullptr);  // a conversion in flight
    create_camera_matrix_profile(&b, "Camera B", kIdentity);
    int index = -1;
    auto global = getDVKProfileRef("Built-in", &index);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(global.get(), b.camera_profile.get());
    EXPECT_EQ(getDVKProfileRef(&a, "Built-in", nullptr).get(), a.camera_profile.get());
    EXPECT_EQ(getDVKProfileRef(&b, "Built-in", nullptr).get(), b.camera_profile.get());
    EXPECT_EQ(held->description(), "Camera A");
    // A record without a camera profile takes the process-wide entry.
    DVKLib c;
    ASSERT_TRUE(dvklib_new(&c));
    EXPECT_EQ(getDVKProfileRef(&c, "Built-in", nullptr).get(), global.get());
    dvklib_delete(&a);
    dvklib_delete(&b);
    dvklib_delete(&c);
}

}  // namespace
}  // namespace dvk

namespace dvk {
namespace {

// The loader hands each file's matrix over; a DNG without a D65 colour
// matrix (the test chart's) makes no profile: "Built-in" is then the last
// camera's, through the process-wide entry.
TEST(CameraMatrixProfile, TheLoaderHandsItsMatrixOver) {
    DVKLib d;
    ASSERT_TRUE(dvklib_new(&d));
    hand_off_camera_matrix(&d, "Handed Over", kCamera);
    ASSERT_NE(d.camera_profile, nullptr);
    EXPECT_EQ(d.camera_profile->description(), "Handed Over");
    auto before = d.camera_profile;
    const auto path = test::testdata_dir() / "raw" / "colorchart.dng";
    if (std::filesystem::exists(path)) {
        CaptureStderr();
        ASSERT_EQ(load_raw_file(&d, path.c_str(), 1), 0);
        GetCapturedStderr();
        EXPECT_EQ(d.camera_profile, nullptr);
        EXPECT_EQ(getDVKProfileRef(&d, "Built-in", nullptr), before);  // the process-wide entry answers
        EXPECT_STREQ(camera_builtin_profile_name(&d), "Canon 450D");  // "EOS Kiss X4": the KISS rule
    }
    dvklib_delete(&d);
}

}  // namespace
}  // namespace dvk

namespace dvk {
namespace {

// Run alone (as ctest runs every test), the process has loaded no camera yet.
TEST(CameraMatrixProfile, BuiltInBeforeAnyLoadIsNullWithoutALogLine) {
    int index = -1;
    CaptureStderr();
    auto p = getDVKProfileRef("Built-in", &index);
    const std::string log = GetCapturedStderr();
    if (p) GTEST_SKIP() << "an earlier test of this process installed a camera profile";
    EXPECT_EQ(index, 2);
    EXPECT_EQ(log, "");
}

TEST(CameraMatrixProfile, ASecondLoadReleasesTheFirstProfile) {
    DVKLib d;
    ASSERT_TRUE(dvklib_new(&d));
    create_camera_matrix_profile(&d, "First", kCamera);
    std::weak_ptr<const Profile> first = d.camera_profile;
    ASSERT_FALSE(first.expired());
    create_camera_matrix_profile(&d, "Second", kIdentity);
    EXPECT_TRUE(first.expired());  // neither the record nor the "Built-in" entry holds it
    EXPECT_EQ(getDVKProfileRef("Built-in", nullptr)->description(), "Second");
    dvklib_delete(&d);
}

}  // namespace
}  // namespace dvk
