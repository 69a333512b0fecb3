// The loader's steps one by one, on records set up by hand.
#include <gtest/gtest.h>
#include <libraw/libraw.h>

#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/colour_pattern.h"
#include "pipeline/load/raw_loader.h"
#include "tests/support/dng_writer.h"
#include "tests/support/test_paths.h"
#include "tests/support/test_record.h"

namespace dvk::test {
namespace {

// A record whose decoder claims an iwidth x iheight image and whose working
// image holds `pixels` (4 floats each).
void install_image(TestRecord& r, unsigned iw, unsigned ih, const std::vector<float>& pixels) {
    r->libraw->imgdata.sizes.iwidth = static_cast<ushort>(iw);
    r->libraw->imgdata.sizes.iheight = static_cast<ushort>(ih);
    r->libraw->imgdata.sizes.width = static_cast<ushort>(iw);
    r->libraw->imgdata.sizes.height = static_cast<ushort>(ih);
    AlignedBuffer<float> buf = allocate_aligned<float>(pixels.size());
    std::memcpy(buf.get(), pixels.data(), pixels.size() * sizeof(float));
    set_image(r.get(), std::move(buf), pixels.size() * sizeof(float));
}

// normalize_image on an iw x ih image of `pixels` with the given black and white levels.
void normalize(TestRecord& r, unsigned iw, unsigned ih, const std::vector<float>& pixels, unsigned black,
               unsigned maximum, float scale) {
    install_image(r, iw, ih, pixels);
    r->libraw->imgdata.color.black = black;
    r->libraw->imgdata.color.maximum = maximum;
    normalize_image(r.get(), scale);
}

TEST(NormalizeImage, SubtractsBlackScalesAndRecordsPeaks) {
    TestRecord r;
    normalize(r, 2, 1, {0, 150, 600, 90, 1100, 0, 50, 300}, 100, 1100, 2.0f);
    const float f = 2.0f / 1000.0f;
    const float want[8] = {0, 50 * f, 500 * f, 0, 1000 * f, 0, 0, 200 * f};
    for (int i = 0; i < 8; ++i) EXPECT_FLOAT_EQ(r->image[i], want[i]) << i;
    for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(r->norm_scale[c], f);
    EXPECT_FLOAT_EQ(r->chan_max[0], 1.0f);   // 1000 / 1000
    EXPECT_FLOAT_EQ(r->chan_max[1], 0.05f);  // 50 / 1000
    EXPECT_FLOAT_EQ(r->chan_max[2], 0.5f);
    EXPECT_FLOAT_EQ(r->chan_max[3], 0.2f);
}

TEST(NormalizeImage, EmptyImageOnlySetsTheTwoFields) {
    TestRecord r;
    normalize(r, 0, 0, {5, 5, 5, 5}, 0, 400, 1.0f);
    EXPECT_EQ(r->image[0], 5.0f);
    EXPECT_FLOAT_EQ(r->norm_scale[2], 1.0f / 400);
    EXPECT_EQ(r->chan_max[2], 0.0f);
}

TEST(NormalizeImage, WhiteAtBlackLeavesValuesUnscaled) {
    TestRecord r;
    normalize(r, 1, 1, {10, 20, 30, 40}, 0, 0, 1.0f);
    EXPECT_EQ(r->image[3], 40.0f);
    EXPECT_TRUE(std::isfinite(r->norm_scale[0]));
}

TEST(Rotate45Degree, SamplesTheDiagonalGridBilinearly) {
    // A 12 x 20 source whose value is a linear function of position, so the
    // bilinear result is exactly that function at the rotated position.
    const unsigned iw = 12, ih = 20, fuji = 6;
    std::vector<float> px(iw * ih * 4);
    for (unsigned row = 0; row < ih; ++row)
        for (unsigned col = 0; col < iw; ++col)
            for (int c = 0; c < 4; ++c) px[(row * iw + col) * 4 + c] = float(row) * 10 + float(col) + c * 1000;
    TestRecord r;
    install_image(r, iw, ih, px);
    r->libraw->imgdata.rawdata.ioparams.fuji_width = fuji;
    r->libraw->imgdata.rawdata.ioparams.shrink = 0;
    ASSERT_TRUE(rotate_45_degree(r.get()));

    const float step = 0.70710677f;
    const unsigned fw = fuji - 1;  // (width + shrink - 1) >> shrink
    const int wide = int(float(fw) / step), high = int(float(ih - fw) / step);
    ASSERT_EQ(r.iwidth(), unsigned(wide));
    ASSERT_EQ(r.iheight(), unsigned(high));
    EXPECT_EQ(r->libraw->imgdata.sizes.width, wide);
    EXPECT_EQ(r->libraw->imgdata.sizes.height, high);
    EXPECT_EQ(r->libraw->imgdata.rawdata.ioparams.fuji_width, 0);
    EXPECT_EQ(r->image_bytes, std::size_t(wide) * high * 16);
    int filled = 0;
    for (int row = 0; row < high; ++row)
        for (int col = 0; col < wide; ++col) {
            const float rr = float(fw) + float(row - col) * step, cc = float(row + col) * step;
            const float* o = r.pixel(unsigned(row), unsigned(col));
            const bool inside = int(rr) >= 0 && int(rr) <= int(ih) - 2 && int(cc) <= int(iw) - 2;
            for (int c = 0; c < 4; ++c) {
                if (inside)
                    ASSERT_NEAR(o[c], rr * 10 + cc + c * 1000, 2e-3) << row << "," << col;
                else
                    ASSERT_EQ(o[c], 0.0f) << row << "," << col;
            }
            filled += inside;
        }
    EXPECT_GT(filled, wide * high / 3);
}

TEST(Rotate45Degree, HalfSizeHalvesTheDiagonalWidthAndNoWidthDoesNothing) {
    TestRecord r;
    std::vector<float> px(10 * 16 * 4, 1.0f);
    install_image(r, 10, 16, px);
    const float* before = r->image.get();
    r->libraw->imgdata.rawdata.ioparams.fuji_width = 0;
    ASSERT_TRUE(rotate_45_degree(r.get()));
    EXPECT_EQ(r->image.get(), before);
    EXPECT_EQ(r.iwidth(), 10u);

    r->libraw->imgdata.rawdata.ioparams.fuji_width = 9;
    r->libraw->imgdata.rawdata.ioparams.shrink = 1;
    ASSERT_TRUE(rotate_45_degree(r.get()));
    // fw = (9 + 1 - 1) >> 1 = 4: 4 / step = 5.66 wide, (16 - 4) / step = 16.97 high.
    EXPECT_EQ(r.iwidth(), 5u);
    EXPECT_EQ(r.iheight(), 16u);
}

// Two frames of the same size; multipliers mul0 for frame 0, mul1 for frame 1.
FrameMergeInput two_frames(std::vector<float>& f0, const std::vector<std::uint16_t>& f1, unsigned w, unsigned h,
                           bool same_row, float mul0, float mul1) {
    FrameMergeInput in{};
    in.frame0 = f0.data();
    in.width0 = in.width1 = w;
    in.height0 = in.height1 = h;
    in.frame1 = reinterpret_cast<const std::uint16_t(*)[4]>(f1.data());
    in.same_row = same_row;
    for (int c = 0; c < 4; ++c) {
        in.cam_mul0[c] = mul0;
        in.cam_mul1[c] = mul1;
    }
    return in;
}

TEST(MergeFrames, ClippedHighlightsComeFromTheScaledSecondFrame) {
    // Full-size mosaic, 4 x 4, one channel per site; frame 1 is frame 0 / 16
    // (ratio 16, within 10..20), except that frame 0 clips at 16000 in one place.
    const unsigned w = 4, h = 4;
    auto colour = [](unsigned row, unsigned col) { return int((row & 1) * 2 + (col & 1)); };
    std::vector<float> f0(w * h * 4, 0.0f);
    std::vector<std::uint16_t> f1(w * h * 4, 0);
    for (unsigned row = 0; row < h; ++row)
        for (unsigned col = 0; col < w; ++col) {
            // Multiples of 16 so that frame 1 is exact; row 0 is too dark to
            // count, so both frames are measured over the same sites.
            const float v = row == 0 ? 100.0f : 1600.0f + 160.0f * float(row * w + col);
            f0[(row * w + col) * 4 + colour(row, col)] = v;
        }
    // Frame 1 row r pairs with frame 0 row r + 1, in that site's channel.
    for (unsigned row = 0; row + 1 < h; ++row)
        for (unsigned col = 0; col < w; ++col) {
            const int c = colour(row + 1, col);
            f1[(row * w + col) * 4 + c] = std::uint16_t(f0[((row + 1) * w + col) * 4 + c] / 16);
        }
    // A clipped frame-0 site whose frame-1 counterpart says it is really 20000.
    const std::size_t clipped = (3 * w + 1) * 4 + std::size_t(colour(3, 1));
    f0[clipped] = 15000.0f;  // not strictly inside the usable range
    f1[(2 * w + 1) * 4 + colour(3, 1)] = 1250;
    std::vector<float> before = f0;
    merge_frames(two_frames(f0, f1, w, h, false, 1, 1), colour);
    // Only the clipped site changed, to 1250 x the measured ratio 16.
    for (std::size_t i = 0; i < f0.size(); ++i) {
        if (i == clipped) {
            EXPECT_FLOAT_EQ(f0[i], 20000.0f);
        } else {
            EXPECT_EQ(f0[i], before[i]) << i;
        }
    }
}

TEST(MergeFrames, ImplausibleRatioFallsBackToTheMultipliers) {
    // Half size (all channels, same row), frame 1 equal to frame 0: ratio 1 is
    // implausible, so factor = 14 x cam_mul1 / cam_mul0 = 7 for channel 0.
    const unsigned w = 2, h = 2;
    std::vector<float> f0(w * h * 4, 1000.0f);
    std::vector<std::uint16_t> f1(w * h * 4, 1000);
    f1[0] = 3000;  // 3000 x 7 = 21000 > 15000 and above frame 0's 1000
    merge_frames(two_frames(f0, f1, w, h, true, 2, 1), [](unsigned, unsigned) { return -1; });
    EXPECT_FLOAT_EQ(f0[0], 21000.0f);
    for (std::size_t i = 1; i < f0.size(); ++i) EXPECT_EQ(f0[i], 1000.0f) << i;  // 1000 x 7 < 15000
}

TEST(MergeFrames, AClippedChannelTakesTheWholeSecondFrame) {
    const unsigned w = 2, h = 2;
    std::vector<float> f0(w * h * 4, 16000.0f);
    std::vector<std::uint16_t> f1(w * h * 4, 100);
    merge_frames(two_frames(f0, f1, w, h, true, 1, 1), [](unsigned, unsigned) { return -1; });
    for (float v : f0) EXPECT_FLOAT_EQ(v, 1400.0f);  // 100 x 14
}

TEST(MergeSecondFrame, SingleFrameFilesAreLeftAlone) {
    TempDir dir;
    DngSpec s = gradient_dng(DngLayout::Bayer, 32, 32);
    ASSERT_TRUE(write_dng(dir / "a.dng", s));
    TestRecord r;
    ASSERT_EQ(r.load(dir / "a.dng"), 0);
    const float v = r.pixel(5, 5)[r->libraw->fcol(5, 5)];
    const unsigned maximum = r->libraw->imgdata.color.maximum;
    EXPECT_EQ(merge_second_frame(r.get(), (dir / "a.dng").c_str(), 0), 0);
    EXPECT_EQ(r.pixel(5, 5)[r->libraw->fcol(5, 5)], v);
    EXPECT_EQ(r->libraw->imgdata.color.maximum, maximum);
}

// Decodes an X-Trans DNG at half size up to the float copy, and returns the
// record ready for the rebuild.
void decode_xtrans_half(TestRecord& r, const std::filesystem::path& path) {
    LibRaw_DVK& raw = *r->libraw;
    raw.imgdata.params.half_size = 1;
    ASSERT_EQ(raw.open_file(path.c_str()), 0);
    ASSERT_EQ(raw.unpack(), 0);
    ASSERT_EQ(raw.raw2image(), 0);
    raw.subtract_black();
    std::size_t bytes = 0;
    auto img = copy_image_to_rgbg(r.get(), &bytes);
    ASSERT_TRUE(img);
    set_image(r.get(), std::move(img), bytes);
    ASSERT_EQ(raw.imgdata.idata.filters, 9u);
    ASSERT_NE(raw.imgdata.rawdata.ioparams.shrink, 0);
}

// The rebuild against LibRaw's own full-size reading of the same file (its
// sites black subtracted, the raw frame's margins skipped): per block, each
// colour's sum, greens averaged, four-green blocks with red and blue from
// their neighbours, the border trimmed. With and without margins (of any
// phase: both readings place the pattern at the image's first site).
TEST(BuildXTransHalfImage, AveragesTheImageSitesOfBlocksAndTrimsTheBorder) {
    const std::array<std::uint32_t, 4> areas[] = {{0, 0, 0, 0}, {1, 2, 33, 38}, {6, 12, 36, 48}};
    for (const auto& area : areas) {
        SCOPED_TRACE("active area from " + std::to_string(area[0]) + "," + std::to_string(area[1]));
        TempDir dir;
        DngSpec s = make_dng_spec(DngLayout::XTrans, 48, 36);
        fill_gradient(s, 21);
        s.active_area = area;
        ASSERT_TRUE(write_dng(dir / "x.dng", s));
        LibRaw_DVK full;
        ASSERT_EQ(full.open_file((dir / "x.dng").c_str()), 0);
        ASSERT_EQ(full.unpack(), 0);
        ASSERT_EQ(full.raw2image(), 0);
        ASSERT_EQ(full.subtract_black(), 0);
        const unsigned fw = full.imgdata.sizes.iwidth;
        auto site = [&](unsigned row, unsigned col) {
            const int c = full.fcol(int(row), int(col));
            return std::pair<int, float>(c, float(full.imgdata.image[row * fw + col][c]));
        };

        TestRecord r;
        decode_xtrans_half(r, dir / "x.dng");
        const unsigned iw = r.iwidth(), ih = r.iheight();
        ASSERT_EQ(iw, full.imgdata.sizes.width / 2u);
        ASSERT_EQ(ih, full.imgdata.sizes.height / 2u);
        std::vector<float> ref(iw * ih * 4, 0.0f);
        for (unsigned row = 0; row < 2 * ih; ++row)
            for (unsigned col = 0; col < 2 * iw; ++col) {
                const auto [c, v] = site(row, col);
                ref[((row / 2) * iw + col / 2) * 4 + c] += v;
            }
        std::vector<float> out = ref;
        for (unsigned hr = 1; hr < ih; ++hr)
            for (unsigned hc = 1; hc < iw; ++hc) {
                int greens = 0;
                for (unsigned k = 0; k < 4; ++k) greens += site(2 * hr + (k >> 1), 2 * hc + (k & 1)).first == 1;
                float* o = &out[(hr * iw + hc) * 4];
                const float* in = &ref[(hr * iw + hc) * 4];
                if (greens != 4) {
                    o[1] = o[3] = in[1] * 0.5f;
                    continue;
                }
                o[1] = o[3] = in[1] * 0.25f;
                const int nb[4][2] = {{-1, 0}, {1, 0}, {-1, -1}, {1, 1}};
                float sr = 0, sb = 0;
                int n = 0;
                for (auto& q : nb) {
                    const int rr = int(hr) + q[0], cc = int(hc) + q[1];
                    if (rr < 0 || cc < 0 || rr >= int(ih) || cc >= int(iw)) continue;
                    sr += ref[(rr * iw + cc) * 4 + 0];
                    sb += ref[(rr * iw + cc) * 4 + 2];
                    ++n;
                }
                o[0] = sr / n;
                o[2] = sb / n;
            }
        build_xtrans_half_image(r.get());
        ASSERT_EQ(r.iwidth(), iw - 4);
        ASSERT_EQ(r.iheight(), ih - 4);
        int four_green_blocks = 0;
        for (unsigned row = 0; row < ih - 4; ++row)
            for (unsigned col = 0; col < iw - 4; ++col) {
                const float* got = r.pixel(row, col);
                const float* want = &out[((row + 2) * iw + col + 2) * 4];
                for (int c = 0; c < 4; ++c) ASSERT_FLOAT_EQ(got[c], want[c]) << row << "," << col << " ch " << c;
                four_green_blocks += (got[0] != ref[((row + 2) * iw + col + 2) * 4]);
            }
        EXPECT_GT(four_green_blocks, 0);
    }
}

TEST(BuildXTransHalfImage, SmallImagesKeepTheirSize) {
    TempDir dir;
    // 22 x 8 sites give a half-size image of 11 x 4: too low to trim.
    DngSpec s = make_dng_spec(DngLayout::XTrans, 22, 22);
    fill_gradient(s, 3);
    ASSERT_TRUE(write_dng(dir / "x.dng", s));
    TestRecord r;
    decode_xtrans_half(r, dir / "x.dng");
    for (unsigned ih : {4u, 1u, 0u}) {
        r->libraw->imgdata.sizes.iheight = static_cast<ushort>(ih);
        const unsigned iw = r.iwidth();
        build_xtrans_half_image(r.get());
        EXPECT_EQ(r.iheight(), ih);
        EXPECT_EQ(r.iwidth(), iw);
    }
    r->libraw->imgdata.sizes.iheight = 11;
    r->libraw->imgdata.sizes.iwidth = 3;  // tall but narrow
    build_xtrans_half_image(r.get());
    EXPECT_EQ(r.iwidth(), 3u);
    EXPECT_EQ(r.iheight(), 11u);
}

// A whole half-size load of a flat X-Trans DNG whose raw frame has margins
// (brighter than the image): every pixel holds the image's own colours, black
// subtracted; the full-size load keeps the image's size.
TEST(BuildXTransHalfImage, HalfSizeLoadsGiveTheImageColours) {
    TempDir dir;
    DngSpec s = make_dng_spec(DngLayout::XTrans, 60, 48);
    fill_flat(s, {1256, 2256, 1756});
    s.active_area = {6, 12, 48, 60};
    for (unsigned row = 0; row < s.height; ++row)
        for (unsigned col = 0; col < s.width; ++col)
            if (row < 6 || col < 12) sample_at(s, row, col) = 4000;
    ASSERT_TRUE(write_dng(dir / "x.dng", s));
    TestRecord r;
    ASSERT_EQ(r.load(dir / "x.dng", 1), 0);
    ASSERT_EQ(r.iwidth(), 24u - 4);
    ASSERT_EQ(r.iheight(), 21u - 4);
    const float range = float(s.white_level - 256);
    const float want[4] = {1000 / range, 2000 / range, 1500 / range, 2000 / range};
    for (unsigned row = 0; row < r.iheight(); ++row)
        for (unsigned col = 0; col < r.iwidth(); ++col)
            for (int c = 0; c < 4; ++c) ASSERT_FLOAT_EQ(r.pixel(row, col)[c], want[c]) << row << "," << col << " ch " << c;
    ASSERT_EQ(r.load(dir / "x.dng", 0), 0);
    EXPECT_EQ(r.iwidth(), 48u);
    EXPECT_EQ(r.iheight(), 42u);
}

TEST(InsetCrop, CropSurvivesRaw2ImageAndSelectsTheArea) {
    TempDir dir;
    DngSpec s = make_dng_spec(DngLayout::Bayer, 48, 40);
    fill_gradient(s, 8);
    ASSERT_TRUE(write_dng(dir / "c.dng", s));
    LibRaw_DVK raw;
    ASSERT_EQ(raw.open_file((dir / "c.dng").c_str()), 0);
    ASSERT_EQ(raw.unpack(), 0);
    auto set_crop = [&](ushort left, ushort top, ushort w, ushort h) {
        for (libraw_image_sizes_t* S : {&raw.imgdata.sizes, &raw.imgdata.rawdata.sizes}) {
#if LIBRAW_VERSION >= LIBRAW_MAKE_VERSION(0, 21, 0)
            S->raw_inset_crops[0] = {left, top, w, h, 0};
#else
            S->raw_inset_crop = {left, top, w, h, 0};
#endif
        }
    };
    set_crop(10, 4, 10, 30);  // narrower than 55 % of 48
    EXPECT_EQ(adjust_to_raw_inset_crop(raw, 1, 0.55f), 0);
    set_crop(40, 4, 30, 30);  // beyond the right edge
    EXPECT_EQ(adjust_to_raw_inset_crop(raw, 1, 0.55f), 0);
    set_crop(0xffff, 0xffff, 30, 30);  // no crop recorded
    EXPECT_EQ(adjust_to_raw_inset_crop(raw, 1, 0.55f), 0);
    set_crop(4, 2, 30, 24);
    EXPECT_EQ(adjust_to_raw_inset_crop(raw, 0, 0.55f), 0);
    EXPECT_EQ(adjust_to_raw_inset_crop(raw, 1, 0.55f), 1);
    ASSERT_EQ(raw.raw2image(), 0);
    EXPECT_EQ(raw.imgdata.sizes.width, 30);
    EXPECT_EQ(raw.imgdata.sizes.height, 24);
    EXPECT_EQ(raw.imgdata.sizes.left_margin, 4);
    EXPECT_EQ(raw.imgdata.sizes.top_margin, 2);
    // Site (0, 0) of the image is site (2, 4) of the file.
    for (unsigned row = 0; row < 24; row += 5)
        for (unsigned col = 0; col < 30; col += 7) {
            const int ch = raw.fcol(int(row), int(col));
            EXPECT_EQ(raw.imgdata.image[row * 30 + col][ch], sample_at(s, row + 2, col + 4)) << row << "," << col;
        }
}

TEST(CopyAndNormalise, OnePassEqualsTheTwoStepsForEveryKind) {
    TempDir dir;
    for (DngLayout layout : {DngLayout::Bayer, DngLayout::XTrans, DngLayout::LinearRaw, DngLayout::Mono})
        for (int half : {0, 1}) {
            DngSpec s = make_dng_spec(layout, 34, 26);
            fill_gradient(s, 40 + unsigned(layout));
            sample_at(s, 3, 3) = 4095;
            ASSERT_TRUE(write_dng(dir / "k.dng", s));
            TestRecord a, b;
            for (TestRecord* r : {&a, &b}) {
                LibRaw_DVK& raw = *(*r)->libraw;
                raw.imgdata.params.half_size = half;
                ASSERT_EQ(raw.open_file((dir / "k.dng").c_str()), 0);
                ASSERT_EQ(raw.unpack(), 0);
                ASSERT_EQ(raw.raw2image(), 0);
                raw.subtract_black();
            }
            std::size_t bytes = 0;
            auto img = copy_image_to_rgbg(a.get(), &bytes);
            ASSERT_TRUE(img);
            set_image(a.get(), std::move(img), bytes);
            normalize_image(a.get(), 1.0f);

            auto out = allocate_aligned<float>(bytes / sizeof(float));
            ASSERT_TRUE(copy_image_normalised(b.get(), out.get(), 1.0f));
            set_image(b.get(), std::move(out), bytes);

            ASSERT_EQ(a.iwidth(), b.iwidth());
            ASSERT_EQ(a->libraw->imgdata.idata.colors, b->libraw->imgdata.idata.colors);
            const std::size_t n = std::size_t(a.iwidth()) * a.iheight() * 4;
            for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(a->image[i], b->image[i]) << int(layout) << " " << i;
            for (int c = 0; c < 4; ++c) {
                EXPECT_EQ(a->chan_max[c], b->chan_max[c]);
                EXPECT_EQ(a->norm_scale[c], b->norm_scale[c]);
            }

            // Straight from the raw samples, row by row, where the decoder
            // offers it (colour-filter files): the same image again.
            TestRecord c;
            LibRaw_DVK& raw = *c->libraw;
            raw.imgdata.params.half_size = half;
            ASSERT_EQ(raw.open_file((dir / "k.dng").c_str()), 0);
            ASSERT_EQ(raw.unpack(), 0);
            const bool mosaic = layout == DngLayout::Bayer || layout == DngLayout::XTrans;
            ASSERT_EQ(raw.begin_image_rows(), mosaic) << int(layout);
            if (!mosaic) continue;
            auto rows = allocate_aligned<float>(bytes / sizeof(float));
            ASSERT_TRUE(copy_raw_normalised(c.get(), rows.get(), 1.0f, true));
            set_image(c.get(), std::move(rows), bytes);
            // The white balance estimated on the way equals the estimate of
            // the finished image.
            estimate_auto_wb(a.get());
            for (int k = 0; k < 4; ++k) EXPECT_EQ(c->auto_wb[k], a->auto_wb[k]) << int(layout) << " " << k;
            ASSERT_EQ(c.iwidth(), a.iwidth());
            ASSERT_EQ(c.iheight(), a.iheight());
            for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(a->image[i], c->image[i]) << int(layout) << " " << i;
            for (int k = 0; k < 4; ++k) {
                EXPECT_EQ(a->chan_max[k], c->chan_max[k]);
                EXPECT_EQ(a->norm_scale[k], c->norm_scale[k]);
            }
        }
}

TEST(NoCfaConversion, AppliesWhiteBalanceAndSpreadsTheSite) {
    TestRecord r;
    install_image(r, 2, 1, {0.5f, 0, 0, 0, 0, 0.25f, 0, 0});
    r->libraw->imgdata.idata.filters = 0x94949494;  // R G / G B
    r->auto_wb[0] = 4;
    r->auto_wb[1] = 2;
    r->auto_wb[2] = 1;
    r->auto_wb[3] = 3;
    r->libraw->imgdata.color.cam_mul[3] = 9;
    convert_to_no_cfa(r.get());
    for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(r.pixel(0, 0)[c], 1.0f);   // 0.5 x 4 / 2
    for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(r.pixel(0, 1)[c], 0.25f);  // green x 1
    EXPECT_EQ(r->libraw->imgdata.idata.filters, 0u);
    EXPECT_EQ(r->auto_wb[0], 1.0);
    EXPECT_EQ(r->auto_wb[2], 1.0);
    EXPECT_EQ(r->auto_wb[3], 3.0);
    EXPECT_EQ(r->libraw->imgdata.color.cam_mul[0], 1.0f);
    EXPECT_EQ(r->libraw->imgdata.color.cam_mul[3], 9.0f);
}

}  // namespace
}  // namespace dvk::test

namespace dvk::test {
namespace {

TEST(ColourPatternTable, EqualsTheDecoderForEveryLayoutAndPhase) {
    TempDir dir;
    std::vector<DngSpec> fixtures;
    for (BayerPhase p : {BayerPhase::RGGB, BayerPhase::BGGR, BayerPhase::GRBG, BayerPhase::GBRG}) {
        DngSpec s = make_dng_spec(DngLayout::Bayer, 32, 32);
        s.phase = p;
        fixtures.push_back(s);
    }
    fixtures.push_back(make_dng_spec(DngLayout::XTrans, 36, 36));
    for (const DngSpec& s : fixtures) {
        ASSERT_TRUE(write_dng(dir / "p.dng", s));
        LibRaw_DVK raw;
        ASSERT_EQ(raw.open_file((dir / "p.dng").c_str()), 0);
        const ColourPattern pattern(raw);
        for (unsigned row = 0; row < 200; row += 3)
            for (unsigned col = 0; col < 200; col += 1) ASSERT_EQ(pattern(row, col), raw.fcol(int(row), int(col)));
    }
    // The Leaf code, whose table depends on the margins.
    LibRaw_DVK raw;
    raw.imgdata.idata.filters = 1;
    raw.imgdata.sizes.top_margin = 5;
    raw.imgdata.sizes.left_margin = 3;
    const ColourPattern leaf(raw);
    for (unsigned row = 0; row < 100; ++row)
        for (unsigned col = 0; col < 100; ++col) ASSERT_EQ(leaf(row, col), raw.fcol(int(row), int(col)));
}

}  // namespace
}  // namespace dvk::test
