// The synthetic DNG files as LibRaw 0.20 reads them: every layout opens, and
// the metadata written is the metadata LibRaw reports.
#include <gtest/gtest.h>
#include <libraw/libraw.h>

#include <ctime>

#include "core/libraw_dvk.h"
#include "tests/support/dng_writer.h"
#include "tests/support/test_paths.h"

namespace dvk::test {
namespace {

TEST(FixtureWriter, LibRawReadsTheShotData) {
    TempDir dir;
    DngSpec s = gradient_dng(DngLayout::Bayer, 40, 30);
    s.make = "Acme";
    s.model = "Meta 7";
    s.iso = 1600;
    s.exposure_time = 1.0 / 250;
    s.f_number = 8;
    s.focal_length = 35;
    s.datetime = "2022:03:04 05:06:07";
    s.black_level = 128;
    s.white_level = 16000;
    s.color_matrix1 = {0.9, 0.1, -0.1, -0.4, 1.3, 0.1, 0.0, 0.2, 0.7};
    s.illuminant1 = 17;
    s.color_matrix2 = {0.8, 0.0, -0.2, -0.5, 1.4, 0.2, -0.1, 0.3, 0.6};
    s.illuminant2 = 21;
    s.as_shot_neutral = {0.5, 1.0, 0.625};
    ASSERT_TRUE(write_dng(dir / "m.dng", s));
    LibRaw_DVK raw;
    ASSERT_EQ(raw.open_file((dir / "m.dng").c_str()), 0);
    const libraw_data_t& id = raw.imgdata;
    EXPECT_STREQ(id.idata.make, "Acme");
    EXPECT_STREQ(id.idata.model, "Meta 7");
    EXPECT_NE(id.idata.dng_version, 0u);
    EXPECT_EQ(id.idata.raw_count, 1u);
    EXPECT_FLOAT_EQ(id.other.iso_speed, 1600);
    EXPECT_NEAR(id.other.shutter, 1.0 / 250, 1e-6);
    EXPECT_FLOAT_EQ(id.other.aperture, 8);
    EXPECT_FLOAT_EQ(id.other.focal_len, 35);
    std::tm tm{};
    tm.tm_year = 122;
    tm.tm_mon = 2;
    tm.tm_mday = 4;
    tm.tm_hour = 5;
    tm.tm_min = 6;
    tm.tm_sec = 7;
    tm.tm_isdst = -1;
    EXPECT_EQ(id.other.timestamp, std::mktime(&tm));
    EXPECT_EQ(id.sizes.width, 40);
    EXPECT_EQ(id.sizes.height, 30);
    EXPECT_EQ(id.color.black, 128u);
    EXPECT_EQ(id.color.maximum, 16000u);
    EXPECT_EQ(id.color.dng_color[0].illuminant, 17);
    EXPECT_EQ(id.color.dng_color[1].illuminant, 21);
    for (int i = 0; i < 9; ++i) {
        EXPECT_NEAR(id.color.dng_color[0].colormatrix[i / 3][i % 3], s.color_matrix1[i], 1e-6) << i;
        EXPECT_NEAR(id.color.dng_color[1].colormatrix[i / 3][i % 3], s.color_matrix2[i], 1e-6) << i;
    }
    // As-shot multipliers are the inverse neutral, green 1.
    EXPECT_FLOAT_EQ(id.color.cam_mul[0] / id.color.cam_mul[1], 2.0f);
    EXPECT_FLOAT_EQ(id.color.cam_mul[2] / id.color.cam_mul[1], 1.6f);
}

struct KindCase {
    DngLayout layout;
    int colors;
    bool mosaic;
};

class FixtureKinds : public ::testing::TestWithParam<KindCase> {};

TEST_P(FixtureKinds, OpenUnpackAndDecode) {
    TempDir dir;
    DngSpec s = make_dng_spec(GetParam().layout, 36, 24);
    fill_gradient(s, 5);
    ASSERT_TRUE(write_dng(dir / "k.dng", s));
    LibRaw_DVK raw;
    ASSERT_EQ(raw.open_file((dir / "k.dng").c_str()), 0);
    ASSERT_EQ(raw.unpack(), 0);
    ASSERT_EQ(raw.raw2image(), 0);
    EXPECT_EQ(raw.imgdata.idata.colors, GetParam().colors);
    EXPECT_EQ(raw.imgdata.idata.filters != 0, GetParam().mosaic);
    if (GetParam().layout == DngLayout::XTrans) {
        EXPECT_EQ(raw.imgdata.idata.filters, 9u);
    }
    // The raw image holds the written samples.
    for (unsigned row = 0; row < 24; row += 3)
        for (unsigned col = 0; col < 36; col += 5) {
            const auto* px = raw.imgdata.image[row * 36 + col];
            if (GetParam().mosaic) {
                const int ch = raw.fcol(int(row), int(col));
                EXPECT_EQ(ch == 3 ? 1 : ch, cfa_colour(s, row, col));
                EXPECT_EQ(px[ch], sample_at(s, row, col));
            } else {
                for (unsigned c = 0; c < samples_per_pixel(s); ++c) EXPECT_EQ(px[c], sample_at(s, row, col, c));
            }
        }
}

INSTANTIATE_TEST_SUITE_P(AllKinds, FixtureKinds,
                         ::testing::Values(KindCase{DngLayout::Bayer, 3, true}, KindCase{DngLayout::XTrans, 3, true},
                                           KindCase{DngLayout::LinearRaw, 3, false},
                                           KindCase{DngLayout::Mono, 1, false}));

TEST(FixtureWriter, SceneFillPutsEachColourAtItsSites) {
    DngSpec s = make_dng_spec(DngLayout::Bayer, 4, 4);
    s.phase = BayerPhase::GBRG;
    s.black_level = 100;
    s.white_level = 1100;
    fill_from_scene(s, [](unsigned, unsigned) { return std::array<double, 3>{0.1, 0.5, 0.9}; });
    EXPECT_EQ(sample_at(s, 0, 0), 600);  // G
    EXPECT_EQ(sample_at(s, 0, 1), 1000); // B
    EXPECT_EQ(sample_at(s, 1, 0), 200);  // R
    EXPECT_EQ(sample_at(s, 1, 1), 600);  // G
}

TEST(FixtureWriter, InconsistentDescriptionsAreRefused) {
    TempDir dir;
    DngSpec s = make_dng_spec(DngLayout::Bayer, 8, 8);
    s.samples.pop_back();
    std::string err;
    EXPECT_FALSE(write_dng(dir / "a.dng", s, &err));
    EXPECT_FALSE(err.empty());
    s = make_dng_spec(DngLayout::Bayer, 8, 8);
    s.color_matrix1 = {1, 2};
    EXPECT_FALSE(write_dng(dir / "a.dng", s));
}

}  // namespace
}  // namespace dvk::test
