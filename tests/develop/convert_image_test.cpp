// The conversion and preview sequences: progress steps, orientation, raw
// mode, Lab decoding with uplab off, and overlaps wider than the spare rows.
#include <gtest/gtest.h>

#include <cmath>

#include <algorithm>
#include <lcms2.h>

#include "develop_test_support.h"
#include "pipeline/stages/gamut_map.h"
#include "core/dvklib.h"
#include "tests/support/dng_writer.h"
#include "tests/support/engine_state.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

namespace fs = std::filesystem;

TEST(ConvertImage, ProgressSteps) {
    test::TempDir dir;
    const fs::path raw = test::write_scene_dng(dir.path(), 64, 48);
    RawProcessor p;
    p.setInterpolation(0);
    p.setSaveFormat(0);
    p.setFileName(raw.string());
    ASSERT_EQ(p.initDoubleImageFromRawFile(raw.string(), 0), 0);
    p.setProgress(0);
    ASSERT_TRUE(p.convertImage());
    // balance 5 + 5, curve 5, green mix 5, demosaic 5, rotation 5, orientation 5,
    // first Lab stage 5, chroma blur 5 (blurAB is on), second stage 5, output 10, end 5.
    EXPECT_EQ(p.progress(), 65.0);
    ASSERT_EQ(p.saveImage(), 0);
    EXPECT_EQ(p.progress(), 75.0);

    RawProcessor q;
    q.setInterpolation(5);  // no rotation step
    q.setSaveFormat(17);    // raw: no Lab stages
    q.setFileName(raw.string());
    ASSERT_EQ(q.initDoubleImageFromRawFile(raw.string(), 0), 0);
    q.setProgress(0);
    ASSERT_TRUE(q.convertImage());
    EXPECT_EQ(q.progress(), 35.0);
}

TEST(ConvertImage, RawModeIsCameraRgbWithoutProfile) {
    test::TempDir dir;
    const fs::path raw = test::write_scene_dng(dir.path(), 64, 48);
    RawProcessor p;
    p.setInterpolation(0);
    p.setSaveFormat(18);  // raw float TIFF
    ASSERT_EQ(test::develop(p, raw, (dir / "raw.tiff").string()), 0);
    test::Image img = test::read_tiff_image(dir / "raw.tiff");
    ASSERT_TRUE(img.ok);
    EXPECT_TRUE(img.icc.empty());
    for (float v : img.px) {
        ASSERT_GT(v, 0.0f);
        ASSERT_LE(v, 1.0f);
    }
}

TEST(ConvertImage, RotationFollowsOrIgnoresOrOverridesTheFile) {
    test::TempDir dir;
    const fs::path raw = test::write_scene_dng(dir.path(), 96, 64);
    struct Case {
        int rotation;
        unsigned w, h;
    } cases[] = {{0, 96, 64}, {10, 96, 64}, {13, 96, 64}, {15, 64, 96}, {16, 64, 96}};
    test::Image first;
    for (const Case& c : cases) {
        RawProcessor p;
        p.setInterpolation(0);
        p.setSaveFormat(1);
        p.setRotation(c.rotation);
        const std::string name = std::string("r") + std::to_string(c.rotation) + ".tiff";
        ASSERT_EQ(test::develop(p, raw, (dir / name).string()), 0);
        test::Image img = test::read_tiff_image(dir / name);
        ASSERT_TRUE(img.ok);
        EXPECT_EQ(img.width, c.w) << c.rotation;
        EXPECT_EQ(img.height, c.h) << c.rotation;
        if (c.rotation == 0) first = img;
        if (c.rotation == 13) {
            // Flip code 3 turns the picture by 180 degrees.
            for (unsigned y = 0; y < 64; y += 7)
                for (unsigned x = 0; x < 96; x += 5)
                    for (int k = 0; k < 3; ++k)
                        ASSERT_EQ(img.px[(y * 96 + x) * 3 + k], first.px[((63 - y) * 96 + (95 - x)) * 3 + k]);
        }
    }
}

// With uplab off the Lab data is plain CIELab and every decode must read it
// as such: the output then matches the uplab road closely.
TEST(ConvertImage, LabWithoutUplabDecodesAsLab) {
    test::TempDir dir;
    const fs::path raw = test::write_scene_dng(dir.path(), 96, 64);
    test::Image images[2];
    for (int uplab = 0; uplab < 2; ++uplab) {
        for (int format : {0, 2}) {
            RawProcessor p;
            p.setInterpolation(0);
            p.setSaveFormat(format);
            p.setUplab(uplab);
            const std::string name = std::string("u") + std::to_string(uplab) + "-" + std::to_string(format) + ".tiff";
            ASSERT_EQ(test::develop(p, raw, (dir / name).string(), test::balance_on_grey_square), 0);
            test::Image img = test::read_tiff_image(dir / name);
            ASSERT_TRUE(img.ok);
            if (format == 0) images[uplab] = img;
            if (format == 2) {
                // CIELab output either way: the grey square is neutral.
                auto lab = test::patch_mean(img, 24, 16, 4);
                EXPECT_LT(std::hypot(lab[1], lab[2]), 4.0) << "uplab " << uplab;
            }
        }
    }
    double worst = 0;
    for (std::size_t i = 0; i < images[0].px.size(); ++i)
        worst = std::max(worst, static_cast<double>(std::fabs(images[0].px[i] - images[1].px[i])));
    EXPECT_LT(worst, 0.03);
}

// Local contrast above 50 asks for overlaps wider than the usual spare rows;
// the conversion grows its buffer and the preview clamps, neither overruns
// (the sanitizer build checks), and the bands agree with a single band.
TEST(ConvertImage, WideLocalContrastOverlapsStayInTheBuffer) {
    test::TempDir dir;
    const fs::path raw = test::write_scene_dng(dir.path(), 64, 1300);
    test::Image results[2];
    for (int threads : {1, 4}) {
        test::BandThreadCount n(threads);
        RawProcessor p;
        p.setInterpolation(0);
        p.setSaveFormat(1);
        p.setLocalContrast(100);
        const std::string name = "lc" + std::to_string(threads) + ".tiff";
        ASSERT_EQ(test::develop(p, raw, (dir / name).string()), 0);
        results[threads == 1 ? 0 : 1] = test::read_tiff_image(dir / name);
        ASSERT_TRUE(results[threads == 1 ? 0 : 1].ok);
    }
    ASSERT_EQ(results[0].px.size(), results[1].px.size());
    double worst = 0;
    for (std::size_t i = 0; i < results[0].px.size(); ++i)
        worst = std::max(worst, static_cast<double>(std::fabs(results[0].px[i] - results[1].px[i])));
    EXPECT_LT(worst, 2.5 / 255.0);
}

TEST(MakePreview, BuildsRgbAndLabPreviews) {
    test::TempDir dir;
    // 1200 preview rows in 4 bands: a local-contrast overlap of 105 rows
    // needs 630 spare rows, the preview buffer has 330; the overlap is clamped.
    const fs::path raw = test::write_scene_dng(dir.path(), 128, 2400);
    test::BandThreadCount n(4);
    for (double lc : {0.0, 100.0}) {
        RawProcessor p;
        p.setLocalContrast(lc);
        p.setSharpness(50);
        ASSERT_EQ(p.initFloatPreviewFromRawFile(raw.string()), 0);
        const unsigned w = p.imageWidth(), h = p.imageHeight();
        ASSERT_EQ(w, 64u);
        ASSERT_EQ(h, 1200u);
        test::balance_on_grey_square(p);
        p.rgbgImageReset();
        std::vector<float> kept(p.image32(), p.image32() + std::size_t(w) * h * 4);
        p.rgbgImageApplyBalance(p.image32());
        p.rgbgImageApplyCurve(p.image32());
        std::vector<float> curved(p.image32(), p.image32() + std::size_t(w) * h * 4);
        p.setProgress(0);
        p.makePreview();
        // image32 is left as it was for the next preview.
        EXPECT_TRUE(std::equal(curved.begin(), curved.end(), p.image32()));
        EXPECT_EQ(p.progress(), lc > 0 ? 50.0 : 40.0);  // chroma blur is on
        // The Lab preview of the grey square is neutral; the RGB preview grey.
        const float* lab = p.labPreview() + (std::size_t(h / 4) * w + w / 4) * 3;
        EXPECT_LT(std::hypot(lab[1], lab[2]), 4.0);
        EXPECT_GT(lab[0], 5.0f);
        const float* rgb = p.preview() + (std::size_t(h / 4) * w + w / 4) * 3;
        EXPECT_NEAR(rgb[0], rgb[1], 0.03f);
        EXPECT_NEAR(rgb[1], rgb[2], 0.03f);
        // The red square is red in both.
        const float* red = p.labPreview() + (std::size_t(h / 4) * w + w * 3 / 4) * 3;
        EXPECT_GT(red[1], 15.0f);
        const float* red_rgb = p.preview() + (std::size_t(h / 4) * w + w * 3 / 4) * 3;
        EXPECT_GT(red_rgb[0], red_rgb[1] + 0.1f);
    }
}

}  // namespace
}  // namespace dvk

namespace dvk {
namespace {

// The output workers on known CIELab values, against LittleCMS directly.
TEST(ColourWorkers, PlainLabIsDecodedAsLab) {
    const float lab[3][3] = {{30, 20, -60}, {60, 50, 40}, {50, 0, 0}};
    RawProcessor p;
    p.setSaveFormat(0);  // output "BetaRGB2.2"
    p.setUplab(0);
    std::vector<float> px(16 * 3, 50.0f);
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k) px[i * 3 + k] = lab[i][k];
    band_record band = test::one_band(px.data(), 3, 1);
    p.lab2rgbInThread(&band);
    EXPECT_EQ(band.done, 1u);

    const IccBytes b = builtin_icc_bytes("BetaRGB2.2");
    cmsHPROFILE rgb = cmsOpenProfileFromMem(b.data, b.size);
    cmsHPROFILE labp = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM t = cmsCreateTransform(labp, TYPE_Lab_FLT, rgb, TYPE_RGB_FLT, INTENT_PERCEPTUAL, 0);
    ASSERT_NE(t, nullptr);
    for (int i = 0; i < 3; ++i) {
        float want[3];
        cmsDoTransform(t, lab[i], want, 1);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(px[i * 3 + k], std::clamp(want[k], 0.0f, 1.0f), 0.01f) << i << k;
    }
    cmsDeleteTransform(t);
    cmsCloseProfile(rgb);
    cmsCloseProfile(labp);

    // Lab to Lab with uplab off and no filter keeps the values.
    std::vector<float> same(16 * 3, 50.0f);
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k) same[i * 3 + k] = lab[i][k];
    band.band_start = same.data();
    p.lab2labInThread(&band);
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(same[i * 3 + k], lab[i][k], 0.2f) << i << k;
}

}  // namespace
}  // namespace dvk
