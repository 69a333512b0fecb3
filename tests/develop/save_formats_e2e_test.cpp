// Every save format, end to end on a synthetic raw file: the file that
// comes out reads back with the right size, depth, photometric, profile and
// tags.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <lcms2.h>

#include "develop_test_support.h"
#include "pipeline/stages/filters.h"
#include "pipeline/stages/gamut_map.h"
#include "pipeline/writers/save_formats.h"
#include "pipeline/writers/tiff_writers.h"
#include "tests/support/test_paths.h"
#include "tests/writers/writer_test_support.h"

namespace dvk {
namespace {

class EverySaveFormat : public test::SceneFileSuite<::testing::TestWithParam<int>> {};

TEST_P(EverySaveFormat, WritesAReadableFileWithTheRightProfileAndTags) {
    const int code = GetParam();
    const SaveFormat* row = save_format(code);
    ASSERT_NE(row, nullptr);
    const bool jpeg = is_jpeg_writer(row->writer);
    RawProcessor p;
    p.setInterpolation(0);
    p.setSaveFormat(code);
    const std::string name = "out-" + std::to_string(code) + "." + row->extension;
    ASSERT_EQ(test::develop(p, raw_, (dir_->path() / name).string()), 0);
    EXPECT_EQ(p.destinationFile(), (dir_->path() / name).string());
    const std::filesystem::path out = dir_->path() / name;

    char stamp[20];
    format_exif_time(static_cast<long long>(p.dvklib()->libraw->imgdata.other.timestamp), stamp);
    ASSERT_NE(p.dvklib()->libraw->imgdata.other.timestamp, 0);

    test::Image img = jpeg ? test::read_jpeg_image(out) : test::read_tiff_image(out);
    ASSERT_TRUE(img.ok) << name;
    EXPECT_EQ(img.width, 96u);
    EXPECT_EQ(img.height, 64u);

    // The profile that should be embedded, if any.
    const char* expected_profile = nullptr;
    if (row->writer == &write_tiff_cielab) {
        EXPECT_EQ(img.photometric, 8u);
        EXPECT_EQ(img.bits, 16u);
    } else if (row->writer == &write_tiff_float_rgb) {
        EXPECT_EQ(img.photometric, 2u);
        EXPECT_EQ(img.bits, 32u);
        EXPECT_EQ(img.sample_format, 3u);
        if (!row->raw) expected_profile = kLinearProfileName;
    } else if (jpeg) {
        expected_profile = output_profile_name_for_code(row->output_profile);
        EXPECT_EQ(test::exiftool_tag(out.string(), "DateTimeOriginal"), stamp);
        EXPECT_EQ(test::exiftool_tag(out.string(), "ImageSize"), "96x64");
    } else {
        EXPECT_EQ(img.photometric, 2u);
        EXPECT_EQ(img.bits, (row->variant == 'n' || row->variant == 's') ? 8u : 16u);
        if (!row->raw) expected_profile = output_profile_name_for_code(row->output_profile);
    }
    if (!jpeg) {
        EXPECT_EQ(img.datetime, stamp);
        EXPECT_EQ(test::exiftool_tag(out.string(), "ModifyDate"), stamp);
        EXPECT_EQ(test::exiftool_tag(out.string(), "Compression"), "Uncompressed");
    }

    if (expected_profile) {
        const IccBytes want = builtin_icc_bytes(expected_profile);
        ASSERT_NE(want.data, nullptr) << expected_profile;
        ASSERT_EQ(img.icc.size(), want.size) << name;
        EXPECT_EQ(0, std::memcmp(img.icc.data(), want.data, want.size)) << name;
        EXPECT_TRUE(test::lcms_opens(img.icc.data(), img.icc.size()));
        EXPECT_FALSE(test::exiftool_tag(out.string(), "ProfileDescription").empty());
    } else {
        EXPECT_TRUE(img.icc.empty()) << name;
        EXPECT_EQ(test::exiftool_tag(out.string(), "ProfileDescription"), "");
    }

    // Sample ranges: studio range variants stay inside 16..240 (of 255).
    auto [lo, hi] = std::minmax_element(img.px.begin(), img.px.end());
    if (row->variant == 's' || row->variant == 'S') {
        EXPECT_GE(*lo, 16.0f / 255.0f - 1e-4f);
        EXPECT_LE(*hi, 240.0f / 255.0f + 1e-4f);
    } else if (row->writer != &write_tiff_cielab) {
        EXPECT_GE(*lo, 0.0f);
        EXPECT_LE(*hi, 1.0f);
        EXPECT_GT(*hi - *lo, 0.1f) << "a flat image";
    }
}

INSTANTIATE_TEST_SUITE_P(Codes, EverySaveFormat, ::testing::Range(0, kSaveFormatCount));

}  // namespace
}  // namespace dvk
