#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "colour/builtin_profiles.h"
#include "colour/profile.h"
#include "colour/profile_lookup.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

void write_file(const std::filesystem::path& p, const void* data, std::size_t n) {
    std::ofstream out(p, std::ios::binary);
    out.write(static_cast<const char*>(data), std::streamsize(n));
}

TEST(ProfileLookup, SameNameGivesTheSameProfile) {
    int i1 = -1, i2 = -1;
    auto a = getDVKProfileRef("BetaRGB2.2", &i1);
    auto b = getDVKProfileRef("BetaRGB2.2", &i2);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a.get(), b.get());
    EXPECT_EQ(i1, 3);
    EXPECT_EQ(i2, 3);
}

TEST(ProfileLookup, UnknownNameIsTheDefaultProfileSilently) {
    int index = -1;
    CaptureStderr();
    auto p = getDVKProfileRef("No Such Camera", &index);
    std::string log = GetCapturedStderr();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(index, 219);
    EXPECT_EQ(log, "");
    EXPECT_EQ(p->bytes(), getDVKProfileRef("AdobeRGB2.2", nullptr)->bytes());
    EXPECT_EQ(p.get(), getDVKProfileRef("Default Profile", nullptr).get());
}

TEST(ProfileLookup, NullAndEmptyNames) {
    int index = 77;
    EXPECT_EQ(getDVKProfileRef(nullptr, &index), nullptr);
    EXPECT_EQ(index, 77);
    CaptureStderr();
    EXPECT_EQ(getDVKProfileRef("", &index), nullptr);
    EXPECT_EQ(GetCapturedStderr(), "Error finding profile \n");
    EXPECT_EQ(index, 77);
}

TEST(ProfileLookup, LabAndUplab) {
    int index = -1;
    auto lab = getDVKProfileRef("Lab", &index);
    ASSERT_NE(lab, nullptr);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(lab->colour_space(), cmsSigLabData);
    auto up = getDVKProfileRef("Uplab", &index);
    ASSERT_NE(up, nullptr);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(up->colour_space(), cmsSigLabData);
    EXPECT_EQ(up->connection_space(), cmsSigLabData);
    EXPECT_NE(up->description().find("UPLab"), std::string::npos);
}

TEST(ProfileLookup, FilePathsAreCachedOneAtATime) {
    test::TempDir dir;
    const auto& beta = getDVKProfileRef("BetaRGB2.2", nullptr)->bytes();
    const auto& adobe = getDVKProfileRef("AdobeRGB2.2", nullptr)->bytes();
    const auto a = dir / "a.icc", b = dir / "b.icc";
    write_file(a, beta.data(), beta.size());
    write_file(b, adobe.data(), adobe.size());
    int index = 5;
    auto p1 = getDVKProfileRef(a.c_str(), &index);
    ASSERT_NE(p1, nullptr);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(p1->bytes(), beta);
    // The same path again is answered from the cache without reading the file.
    std::filesystem::remove(a);
    auto p2 = getDVKProfileRef(a.c_str(), nullptr);
    EXPECT_EQ(p1.get(), p2.get());
    // Another path replaces the cache; the first profile lives on with its holder.
    auto p3 = getDVKProfileRef(b.c_str(), nullptr);
    ASSERT_NE(p3, nullptr);
    EXPECT_EQ(p3->bytes(), adobe);
    EXPECT_EQ(p1->bytes(), beta);
    // The first path is gone from disk and from the cache now.
    CaptureStderr();
    EXPECT_EQ(getDVKProfileRef(a.c_str(), &index), nullptr);
    EXPECT_EQ(GetCapturedStderr(), "Error finding profile " + a.string() + "\n");
    EXPECT_EQ(index, -1);
}

TEST(ProfileLookup, InvalidFileLogsBothLines) {
    test::TempDir dir;
    const auto p = dir / "junk.icc";
    std::string junk(400, 'x');
    write_file(p, junk.data(), junk.size());
    int index = 3;
    CaptureStderr();
    EXPECT_EQ(getDVKProfileRef(p.c_str(), &index), nullptr);
    std::string log = GetCapturedStderr();
    EXPECT_EQ(index, -1);
    EXPECT_NE(log.find("Error finding profile " + p.string() + "\n"), std::string::npos);
    EXPECT_NE(log.find("Error while creating profile " + p.string() + ":"), std::string::npos);
}

TEST(ProfileSaturation, ReadsTheColumnByIndex) {
    EXPECT_EQ(get_profile_saturation(51), 30.0f);
    EXPECT_EQ(get_profile_saturation(3), 0.0f);
    CaptureStderr();
    EXPECT_EQ(get_profile_saturation(0xFFFFFFFFu), 0.0f);
    EXPECT_EQ(GetCapturedStderr(), "");
    CaptureStderr();
    EXPECT_EQ(get_profile_saturation(220), 0.0f);
    EXPECT_EQ(GetCapturedStderr(), "Index for saturation is out of range 220\n");
}

TEST(ProfileSaturation, FollowsTheLookupIndex) {
    int index = -1;
    ASSERT_NE(getDVKProfileRef("Nikon D700 800", &index), nullptr);
    EXPECT_EQ(index, 56);
    EXPECT_EQ(get_profile_saturation(unsigned(index)), 20.0f);
}

}  // namespace
}  // namespace dvk
