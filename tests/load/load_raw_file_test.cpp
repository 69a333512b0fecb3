// load_raw_file on synthetic DNG files of known content.
#include <gtest/gtest.h>
#include <libraw/libraw.h>

#include <algorithm>
#include <cerrno>
#include <cmath>

#include "pipeline/load/load_errors.h"
#include "pipeline/load/raw_loader.h"
#include "tests/load/handoff_spy.h"
#include "tests/support/dng_writer.h"
#include "tests/support/engine_state.h"
#include "tests/support/test_paths.h"
#include "tests/support/test_record.h"

namespace dvk::test {
namespace {

float normalised(const DngSpec& s, std::uint16_t v) {
    const float range = float(s.white_level) - float(s.black_level);
    const float t = std::max(0.0f, float(v) - float(s.black_level));
    return t * (1.0f / range);
}

// The colour 0..2 of a LibRaw channel (the second green is channel 3).
int colour_of_channel(int c) { return c == 3 ? 1 : c; }

class LoadRawFile : public ::testing::Test {
protected:
    TempDir dir;
    std::filesystem::path write(const DngSpec& s, const std::string& name = "f.dng") {
        auto p = dir / name;
        std::string err;
        EXPECT_TRUE(write_dng(p, s, &err)) << err;
        return p;
    }
};

class BayerPhases : public LoadRawFile, public ::testing::WithParamInterface<BayerPhase> {};

TEST_P(BayerPhases, FullSizeHoldsEachSampleInItsChannelNormalised) {
    DngSpec s = make_dng_spec(DngLayout::Bayer, 40, 30);
    s.phase = GetParam();
    fill_gradient(s, 7);
    TestRecord r;
    ASSERT_EQ(r.load(write(s)), 0);
    ASSERT_EQ(r.iwidth(), 40u);
    ASSERT_EQ(r.iheight(), 30u);
    const LibRaw& raw = *r->libraw;
    EXPECT_NE(raw.imgdata.idata.filters, 0u);
    EXPECT_EQ(raw.imgdata.idata.colors, 3);
    float peak[4] = {0, 0, 0, 0};
    for (unsigned row = 0; row < 30; ++row)
        for (unsigned col = 0; col < 40; ++col) {
            const int ch = r->libraw->fcol(int(row), int(col));
            ASSERT_EQ(colour_of_channel(ch), cfa_colour(s, row, col)) << row << "," << col;
            const float* px = r.pixel(row, col);
            const float want = normalised(s, sample_at(s, row, col));
            peak[ch] = std::max(peak[ch], want);
            for (int c = 0; c < 4; ++c) {
                if (c == ch)
                    ASSERT_FLOAT_EQ(px[c], want) << row << "," << col;
                else
                    ASSERT_EQ(px[c], 0.0f);
            }
        }
    const float range = float(s.white_level) - float(s.black_level);
    for (int c = 0; c < 4; ++c) {
        EXPECT_FLOAT_EQ(r->norm_scale[c], 1.0f / range);
        EXPECT_FLOAT_EQ(r->chan_max[c], peak[c]);
    }
}

TEST_P(BayerPhases, HalfSizeHoldsTheFourSitesOfEachBlock) {
    DngSpec s = make_dng_spec(DngLayout::Bayer, 40, 30);
    s.phase = GetParam();
    fill_gradient(s, 3);
    TestRecord r;
    ASSERT_EQ(r.load(write(s), 1), 0);
    ASSERT_EQ(r.iwidth(), 20u);
    ASSERT_EQ(r.iheight(), 15u);
    EXPECT_NE(r->libraw->imgdata.rawdata.ioparams.shrink, 0);
    for (unsigned row = 0; row < 15; ++row)
        for (unsigned col = 0; col < 20; ++col) {
            const float* px = r.pixel(row, col);
            float want[4] = {0, 0, 0, 0};
            for (unsigned k = 0; k < 4; ++k) {
                const unsigned sr = 2 * row + (k >> 1), sc = 2 * col + (k & 1);
                want[r->libraw->fcol(int(sr), int(sc))] = normalised(s, sample_at(s, sr, sc));
            }
            for (int c = 0; c < 4; ++c) ASSERT_FLOAT_EQ(px[c], want[c]) << row << "," << col << " ch " << c;
        }
}

INSTANTIATE_TEST_SUITE_P(AllPhases, BayerPhases,
                         ::testing::Values(BayerPhase::RGGB, BayerPhase::BGGR, BayerPhase::GRBG, BayerPhase::GBRG));

TEST_F(LoadRawFile, PeaksAreLimitedToOneAndEmptyChannelsGiveZero) {
    DngSpec s = make_dng_spec(DngLayout::Bayer, 32, 24);
    fill_flat(s, {1000, 2000, 3000});
    sample_at(s, 4, 4) = 4095;  // red site at the white level
    s.white_level = 3000;       // samples above white
    TestRecord r;
    ASSERT_EQ(r.load(write(s)), 0);
    const float range = 3000.0f - 256.0f;
    EXPECT_EQ(r->chan_max[0], 1.0f);
    EXPECT_FLOAT_EQ(r->chan_max[1], (2000 - 256) / range);
    EXPECT_EQ(r->chan_max[2], 1.0f);
    // Samples above the white level keep their value above 1.
    EXPECT_FLOAT_EQ(r.pixel(4, 4)[0], (4095 - 256) / range);
}

TEST_F(LoadRawFile, FlatImageGivesGreyWorldOfItsLevels) {
    DngSpec s = make_dng_spec(DngLayout::Bayer, 64, 48);
    fill_flat(s, {1256, 2256, 756});
    TestRecord r;
    ASSERT_EQ(r.load(write(s)), 0);
    const double range = 4095 - 256;
    const double want[4] = {1 / (4000 * double(float(1000 / range))), 1 / (4000 * double(float(2000 / range))),
                            1 / (4000 * double(float(500 / range))), 1 / (4000 * double(float(2000 / range)))};
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(r->auto_wb[c], want[c], want[c] * 1e-6) << c;
}

TEST_F(LoadRawFile, BlocksWithAClippedSampleAreLeftOut) {
    // A flat image whose one hot red site would raise the red mean if its
    // blocks were counted.
    DngSpec s = make_dng_spec(DngLayout::Bayer, 64, 48);
    fill_flat(s, {1256, 2256, 756});
    sample_at(s, 24, 24) = 4095;
    TestRecord r;
    ASSERT_EQ(r.load(write(s)), 0);
    const double range = 4095 - 256;
    EXPECT_NEAR(r->auto_wb[0], 1 / (4000 * double(float(1000 / range))), 1e-9);
    // And a dark site likewise.
    sample_at(s, 24, 24) = 257;  // 1 above black: 4000 / 3839 < 8
    TestRecord r2;
    ASSERT_EQ(r2.load(write(s, "g.dng")), 0);
    EXPECT_NEAR(r2->auto_wb[0], 1 / (4000 * double(float(1000 / range))), 1e-9);
}

TEST_F(LoadRawFile, AutoWbMatchesBlockGreyWorldOfAGradient) {
    // Reference computation over the same blocks, from the file's samples.
    DngSpec s = make_dng_spec(DngLayout::Bayer, 72, 56);
    fill_gradient(s, 11);
    TestRecord r;
    ASSERT_EQ(r.load(write(s)), 0);
    double sum[4] = {}, count[4] = {};
    for (unsigned top = 10; top < 56 - 10; top += 8)
        for (unsigned left = 10; left < 72 - 10; left += 8) {
            double bs[4] = {}, bc[4] = {};
            bool ok = true;
            for (unsigned row = top; row < std::min(top + 16, 56u); ++row)
                for (unsigned col = left; col < std::min(left + 16, 72u); ++col) {
                    const int ch = r->libraw->fcol(int(row), int(col));
                    const double v = double(normalised(s, sample_at(s, row, col))) * 4000;
                    if (v > 3920 || v < 8) ok = false;
                    bs[ch] += v;
                    bc[ch] += 1;
                }
            if (!ok) continue;
            for (int c = 0; c < 4; ++c) sum[c] += bs[c], count[c] += bc[c];
        }
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(r->auto_wb[c], count[c] / sum[c], 1e-12) << c;
}

// Grey world over 8 x 8 blocks of all four channels, from the loaded values.
void expect_four_channel_grey_world(const TestRecord& r) {
    const unsigned iw = r.iwidth(), ih = r.iheight();
    double sum[4] = {}, count[4] = {};
    for (unsigned top = 10; top < ih - 10; top += 8)
        for (unsigned left = 10; left < iw - 10; left += 8) {
            double bs[4] = {}, bc[4] = {};
            bool ok = true;
            for (unsigned row = top; row < std::min(top + 8, ih); ++row)
                for (unsigned col = left; col < std::min(left + 8, iw); ++col)
                    for (int c = 0; c < 4; ++c) {
                        const double v = double(r.pixel(row, col)[c]) * 4000;
                        if (v > 3920 || v < 8) ok = false;
                        bs[c] += v;
                        bc[c] += 1;
                    }
            if (!ok) continue;
            for (int c = 0; c < 4; ++c) sum[c] += bs[c], count[c] += bc[c];
        }
    for (int c = 0; c < 4; ++c) {
        ASSERT_NE(sum[c], 0.0);
        EXPECT_NEAR(r.d.auto_wb[c], count[c] / sum[c], 1e-12) << c;
    }
}

TEST_F(LoadRawFile, AutoWbOfHalfSizeAndLinearImagesUsesAllFourChannels) {
    DngSpec s = make_dng_spec(DngLayout::Bayer, 90, 70);
    fill_gradient(s, 12);
    sample_at(s, 40, 41) = 4095;  // one clipped block
    TestRecord half;
    ASSERT_EQ(half.load(write(s), 1), 0);
    expect_four_channel_grey_world(half);

    DngSpec l = make_dng_spec(DngLayout::LinearRaw, 50, 45);
    fill_gradient(l, 13);
    sample_at(l, 20, 20, 2) = 258;  // one dark block
    TestRecord lin;
    ASSERT_EQ(lin.load(write(l, "l.dng")), 0);
    expect_four_channel_grey_world(lin);
}

TEST_F(LoadRawFile, ImageUnder21RowsKeepsThePreviousWhiteBalance) {
    // LibRaw refuses sensors under 22 sites, so a half-size load makes the
    // short image: 40 rows become 20.
    DngSpec s = make_dng_spec(DngLayout::Bayer, 64, 40);
    fill_flat(s, {1256, 2256, 756});
    TestRecord r;
    for (int c = 0; c < 4; ++c) r->auto_wb[c] = 7 + c;
    ASSERT_EQ(r.load(write(s), 1), 0);
    ASSERT_EQ(r.iheight(), 20u);
    for (int c = 0; c < 4; ++c) EXPECT_EQ(r->auto_wb[c], 7 + c);
    // 42 rows give 21 half-size rows, which is enough.
    s = make_dng_spec(DngLayout::Bayer, 64, 42);
    fill_flat(s, {1256, 2256, 756});
    ASSERT_EQ(r.load(write(s, "g.dng"), 1), 0);
    ASSERT_EQ(r.iheight(), 21u);
    EXPECT_NE(r->auto_wb[0], 7.0);
}

TEST_F(LoadRawFile, XTransFullSizeKeepsSitesInTheirChannels) {
    DngSpec s = make_dng_spec(DngLayout::XTrans, 36, 30);
    fill_gradient(s, 5);
    TestRecord r;
    ASSERT_EQ(r.load(write(s)), 0);
    EXPECT_EQ(r->libraw->imgdata.idata.filters, 9u);
    ASSERT_EQ(r.iwidth(), 36u);
    for (unsigned row = 0; row < 30; ++row)
        for (unsigned col = 0; col < 36; ++col) {
            const int ch = r->libraw->fcol(int(row), int(col));
            ASSERT_EQ(ch, cfa_colour(s, row, col));
            ASSERT_FLOAT_EQ(r.pixel(row, col)[ch], normalised(s, sample_at(s, row, col)));
        }
}

TEST_F(LoadRawFile, LinearRawFillsRgbAndRepeatsGreen) {
    DngSpec s = make_dng_spec(DngLayout::LinearRaw, 24, 22);
    fill_gradient(s, 9);
    TestRecord r;
    ASSERT_EQ(r.load(write(s), 1), 0);  // no colour filter: half size does not apply
    EXPECT_EQ(r->libraw->imgdata.idata.filters, 0u);
    ASSERT_EQ(r.iwidth(), 24u);
    ASSERT_EQ(r.iheight(), 22u);
    // LibRaw keeps the black of a three-colour file per channel and leaves the
    // white level as it is, so the range is the white level itself.
    const float factor = 1.0f / 4095.0f;
    EXPECT_FLOAT_EQ(r->norm_scale[0], factor);
    for (unsigned row = 0; row < 22; ++row)
        for (unsigned col = 0; col < 24; ++col) {
            const float* px = r.pixel(row, col);
            for (unsigned c = 0; c < 3; ++c)
                ASSERT_FLOAT_EQ(px[c], float(sample_at(s, row, col, c) - 256) * factor) << row << "," << col;
            ASSERT_EQ(px[3], px[1]);
        }
}

TEST_F(LoadRawFile, MonochromeFillsAllFourChannelsAndCountsThreeColours) {
    DngSpec s = make_dng_spec(DngLayout::Mono, 30, 24);
    fill_gradient(s, 2);
    TestRecord r;
    ASSERT_EQ(r.load(write(s)), 0);
    EXPECT_EQ(r->libraw->imgdata.idata.colors, 3);
    EXPECT_EQ(r->libraw->imgdata.idata.filters, 0u);
    for (unsigned row = 0; row < 24; ++row)
        for (unsigned col = 0; col < 30; ++col) {
            const float* px = r.pixel(row, col);
            ASSERT_FLOAT_EQ(px[0], normalised(s, sample_at(s, row, col)));
            ASSERT_EQ(px[1], px[0]);
            ASSERT_EQ(px[2], px[0]);
            ASSERT_EQ(px[3], px[0]);
        }
}

TEST_F(LoadRawFile, NoCfaLoadsFullSizeWithEqualChannelsAndNoFilter) {
    DngSpec s = make_dng_spec(DngLayout::Bayer, 48, 40);
    fill_gradient(s, 4);
    TestRecord r;
    r->no_cfa = true;
    ASSERT_EQ(r.load(write(s), 1), 0);
    ASSERT_EQ(r.iwidth(), 48u);
    ASSERT_EQ(r.iheight(), 40u);
    EXPECT_EQ(r->libraw->imgdata.idata.filters, 0u);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(r->libraw->imgdata.color.cam_mul[c], 1.0f);
        EXPECT_EQ(r->auto_wb[c], 1.0);
    }
    // The white balance applied is the grey world of the same file.
    TestRecord plain;
    ASSERT_EQ(plain.load(dir / "f.dng"), 0);
    const double* wb = plain->auto_wb;
    EXPECT_EQ(r->auto_wb[3], wb[3]);
    for (unsigned row = 0; row < 40; ++row)
        for (unsigned col = 0; col < 48; ++col) {
            const int ch = plain->libraw->fcol(int(row), int(col));
            const float mul = ch == 1 ? 1.0f : float(wb[ch] / wb[1]);
            const float want = plain.pixel(row, col)[ch] * mul;
            const float* px = r.pixel(row, col);
            ASSERT_FLOAT_EQ(px[0], want);
            ASSERT_EQ(px[1], px[0]);
            ASSERT_EQ(px[2], px[0]);
            ASSERT_EQ(px[3], px[0]);
        }
}

TEST_F(LoadRawFile, WorkingImageHasSpareRowsForTheBandRunner) {
    DngSpec s = gradient_dng(DngLayout::Bayer, 40, 30);
    BandThreadCount threads(4);
    TestRecord r;
    ASSERT_EQ(r.load(write(s)), 0);
    // The float RGB image of the conversion with its spare rows, 3 x 220 + 30
    // rounded to 16 = 704 rows of 48 pixels at 12 bytes, needs more than the
    // four-channel runners' (4 x 32 - 32 + 30) rounded to 16 = 128 rows at 16
    // bytes: 704 x 3/4 = 528 rows at 16 bytes.
    EXPECT_EQ(r->image_bytes, 528u * 48u * 16u);
    EXPECT_EQ(working_image_bytes(40, 30), 528u * 48u * 16u);
    // A tall image: the four-channel rows are the larger need.
    EXPECT_EQ(working_image_bytes(40, 3000), (96u + 3008u) * 48u * 16u);
    band_thread_count = 1;
    EXPECT_EQ(working_image_bytes(40, 30), 32u * 48u * 16u);
    EXPECT_EQ(working_image_bytes(48, 32), 32u * 48u * 16u);
}

TEST_F(LoadRawFile, MissingFourthAsShotMultiplierTakesGreen) {
    DngSpec s = gradient_dng(DngLayout::Bayer, 32, 24);
    TestRecord r;
    ASSERT_EQ(r.load(write(s)), 0);
    const float* mul = r->libraw->imgdata.rawdata.color.cam_mul;
    EXPECT_NE(mul[1], 0.0f);
    EXPECT_EQ(mul[3], mul[1]);
}

TEST_F(LoadRawFile, MatrixForD65IsHandedOnFromEitherRecord) {
    DngSpec s = gradient_dng(DngLayout::Bayer, 32, 24);
    s.color_matrix1 = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    s.illuminant1 = 17;
    s.color_matrix2 = {0.5, 0.25, 0.125, -0.5, 1.5, 0.25, -0.125, 0.25, 0.75};
    s.illuminant2 = 21;
    TestRecord r;
    last_hand_off = HandOff();
    ASSERT_EQ(r.load(write(s)), 0);
    ASSERT_EQ(last_hand_off.calls, 1);
    EXPECT_EQ(last_hand_off.record, r.get());
    EXPECT_EQ(last_hand_off.camera, "Acme Fixture 1");
    for (int i = 0; i < 9; ++i) EXPECT_FLOAT_EQ(last_hand_off.matrix[i / 3][i % 3], float(s.color_matrix2[i])) << i;

    s.illuminant1 = 21;
    s.illuminant2 = 17;
    last_hand_off = HandOff();
    ASSERT_EQ(r.load(write(s, "g.dng")), 0);
    ASSERT_EQ(last_hand_off.calls, 1);
    EXPECT_FLOAT_EQ(last_hand_off.matrix[0][0], 1.0f);
    EXPECT_FLOAT_EQ(last_hand_off.matrix[1][1], 1.0f);
    EXPECT_FLOAT_EQ(last_hand_off.matrix[0][1], 0.0f);
}

TEST_F(LoadRawFile, DngWithoutD65MatrixSaysSoAndStillLoads) {
    DngSpec s = gradient_dng(DngLayout::Bayer, 32, 24);
    s.illuminant1 = 17;
    s.color_matrix2 = s.color_matrix1;
    s.illuminant2 = 23;
    TestRecord r;
    last_hand_off = HandOff();
    ::testing::internal::CaptureStderr();
    const int ret = r.load(write(s));
    const std::string err = ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(ret, 0);
    EXPECT_EQ(last_hand_off.calls, 0);
    // A log line of its own: the next one does not run into it.
    EXPECT_NE(err.find("No DNG camera matrix found, Acme Fixture 1\n"), std::string::npos) << err;
}

TEST_F(LoadRawFile, LeicaSl2DngLosesItsLastFourRows) {
    DngSpec s = gradient_dng(DngLayout::Bayer, 32, 30);
    s.make = "leica";
    s.model = "SL2";
    const auto path = write(s);
    // The height LibRaw itself gives the file.
    LibRaw_DVK plain;
    ASSERT_EQ(plain.open_file(path.c_str()), 0);
    const unsigned height = plain.imgdata.sizes.height;
    ASSERT_GT(height, 8u);
    TestRecord r;
    ASSERT_EQ(r.load(path), 0);
    EXPECT_EQ(r.iheight(), height - 4);
    EXPECT_EQ(r.iwidth(), 32u);
    ASSERT_EQ(r.load(path, 1), 0);
    EXPECT_EQ(r.iheight(), (height + 1) / 2 - 4);

    s.model = "SL";
    ASSERT_EQ(r.load(write(s, "g.dng")), 0);
    EXPECT_EQ(r.iheight(), 30u);
}

TEST_F(LoadRawFile, SigmaDngDecodesItsDefaultCropWhereLibRawRecordsIt) {
    DngSpec s = make_dng_spec(DngLayout::Bayer, 64, 48);
    fill_gradient(s, 6);
    s.make = "SIGMA";
    s.model = "fp";
    s.crop_left = 4;
    s.crop_top = 2;
    s.crop_width = 50;
    s.crop_height = 40;
    TestRecord r;
    ASSERT_EQ(r.load(write(s)), 0);
#if LIBRAW_VERSION >= LIBRAW_MAKE_VERSION(0, 21, 0)
    EXPECT_EQ(r.iwidth(), 50u);
    EXPECT_EQ(r.iheight(), 40u);
    const int ch = r->libraw->fcol(0, 0);
    EXPECT_FLOAT_EQ(r.pixel(0, 0)[ch], normalised(s, sample_at(s, 2, 4)));
#else
    // LibRaw 0.20 does not record DNG default crops: the whole area loads.
    EXPECT_EQ(r.iwidth(), 64u);
    EXPECT_EQ(r.iheight(), 48u);
#endif
    // Other makes never crop.
    s.make = "Acme";
    ASSERT_EQ(r.load(write(s, "g.dng")), 0);
    EXPECT_EQ(r.iwidth(), 64u);
}

TEST_F(LoadRawFile, SmallestSensorsLoadAtBothSizes) {
    // LibRaw accepts sensors from 22 x 22 sites; at half size that is 11 x 11.
    for (DngLayout layout : {DngLayout::Bayer, DngLayout::XTrans, DngLayout::LinearRaw, DngLayout::Mono})
        for (unsigned w : {22u, 23u})
            for (int half : {0, 1}) {
                DngSpec s = make_dng_spec(layout, w, 22);
                fill_gradient(s, w);
                const auto path = write(s, "small.dng");
                LibRaw_DVK plain;  // the size LibRaw's own decode gives
                plain.imgdata.params.half_size = half;
                ASSERT_EQ(plain.open_file(path.c_str()), 0);
                ASSERT_EQ(plain.unpack(), 0);
                ASSERT_EQ(plain.raw2image(), 0);
                const unsigned iwidth = plain.imgdata.sizes.iwidth, iheight = plain.imgdata.sizes.iheight;
                TestRecord r;
                ASSERT_EQ(r.load(path, half), 0) << int(layout) << " " << w << " " << half;
                const bool shrinks = half && (layout == DngLayout::Bayer || layout == DngLayout::XTrans);
                // (Half-size X-Trans images are rebuilt without their two-pixel border.)
                const unsigned trim = half && layout == DngLayout::XTrans ? 4 : 0;
                EXPECT_EQ(r.iwidth(), iwidth - trim);
                EXPECT_EQ(r.iheight(), iheight - trim);
                EXPECT_EQ(iheight, shrinks ? 11u : 22u);
                EXPECT_GE(iwidth, shrinks ? 11u : 22u);
                ASSERT_NE(r->image, nullptr);
                for (int c = 0; c < 4; ++c) EXPECT_LE(r->chan_max[c], 1.0f);
            }
    // Below that LibRaw refuses the file.
    DngSpec s = gradient_dng(DngLayout::Bayer, 21, 40);
    TestRecord r;
    EXPECT_EQ(r.load(write(s, "narrow.dng")), LIBRAW_FILE_UNSUPPORTED);
    EXPECT_EQ(r->image, nullptr);
}

TEST_F(LoadRawFile, FailedLoadLeavesThePreviousImageAndRecord) {
    DngSpec s = gradient_dng(DngLayout::Bayer, 40, 30);
    TestRecord r;
    ASSERT_EQ(r.load(write(s)), 0);
    const float* image = r->image.get();
    const LibRaw_DVK* decoder = r->libraw.get();
    const double wb0 = r->auto_wb[0];
    const float px = r.pixel(3, 3)[r->libraw->fcol(3, 3)];

    auto empty = dir / "empty.dng";
    write_bytes(empty, {});
    auto text = dir / "text.dng";
    write_bytes(text, std::vector<std::uint8_t>(1000, 'x'));
    auto bytes = read_bytes(dir / "f.dng");
    auto cut = dir / "cut.dng";
    write_bytes(cut, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 200));

    for (const auto& bad : {dir / "missing.dng", empty, text, cut}) {
        ::testing::internal::CaptureStderr();
        const int ret = r.load(bad);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << "a failed load logs nothing: " << bad;
        EXPECT_NE(ret, 0) << bad;
        EXPECT_EQ(r->image.get(), image) << bad;
        EXPECT_EQ(r->libraw.get(), decoder) << bad;
        EXPECT_EQ(r.iwidth(), 40u) << bad;
        EXPECT_EQ(r.iheight(), 30u) << bad;
        EXPECT_EQ(r->auto_wb[0], wb0) << bad;
        EXPECT_EQ(r.pixel(3, 3)[r->libraw->fcol(3, 3)], px) << bad;
        EXPECT_STREQ(r->libraw->imgdata.idata.make, "Acme");
    }
    EXPECT_EQ(r.load(dir / "missing.dng"), load_code_for_errno(ENOENT));
    EXPECT_EQ(r.load(text), LIBRAW_FILE_UNSUPPORTED);
}

TEST_F(LoadRawFile, FailedFloatAllocationEndsTheLoadWithAnError) {
    DngSpec s = gradient_dng(DngLayout::Bayer, 1024, 24);
    auto p = write(s);
    TestRecord r;
    ASSERT_EQ(r.load(p), 0);
    const float* image = r->image.get();
    int ret;
    {
        BandThreadCount threads(1 << 30);  // the spare rows alone exceed any address space
        ret = r.load(p);
    }
    // Refused before anything is allocated at that size.
    EXPECT_EQ(ret, kLoadLargerThanData);
    EXPECT_EQ(r->image.get(), image);
    EXPECT_EQ(r.iwidth(), 1024u);
}

TEST_F(LoadRawFile, DecodeOptionsOfTheRecordCarryOver) {
    DngSpec s = gradient_dng(DngLayout::Bayer, 32, 24);
    TestRecord r;
    r->libraw->imgdata.params.four_color_rgb = 1;
    ASSERT_EQ(r.load(write(s)), 0);
    EXPECT_EQ(r->libraw->imgdata.params.four_color_rgb, 1);
    EXPECT_EQ(r->libraw->imgdata.params.use_fuji_rotate, 0);
}

TEST(IdentifyCamera, ReportsMakeAndModel) {
    TempDir dir;
    DngSpec s = gradient_dng(DngLayout::Bayer, 32, 32);
    s.make = "Acme";
    s.model = std::string(300, 'M');
    ASSERT_TRUE(write_dng(dir / "a.dng", s));
    char out[256];
    std::fill(std::begin(out), std::end(out), '#');
    EXPECT_EQ(identify_camera((dir / "a.dng").c_str(), out), 0);
    const std::string got(out);
    EXPECT_LE(got.size(), 255u);
    EXPECT_EQ(got.rfind("Acme M", 0), 0u) << got;
    EXPECT_EQ(identify_camera((dir / "a.dng").c_str(), nullptr), 0);
    EXPECT_EQ(identify_camera((dir / "none.dng").c_str(), out), 1);
    EXPECT_EQ(identify_camera(nullptr, out), 1);
    write_bytes(dir / "t.txt", std::vector<std::uint8_t>(100, 'a'));
    EXPECT_EQ(identify_camera((dir / "t.txt").c_str(), out), 1);
}

}  // namespace
}  // namespace dvk::test
