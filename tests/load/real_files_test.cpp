// The loader on the real files of the shared test data.
#include <gtest/gtest.h>
#include <libraw/libraw.h>

#include <cmath>

#include "pipeline/load/raw_loader.h"
#include "tests/load/handoff_spy.h"
#include "tests/support/dng_writer.h"
#include "tests/support/test_paths.h"
#include "tests/support/test_record.h"

namespace dvk::test {
namespace {

std::filesystem::path gpr() { return testdata_dir() / "raw" / "hero7.gpr"; }

TEST(RealFiles, CanonChartDngLoadsAtFullSize) {
    TestRecord r;
    ::testing::internal::CaptureStderr();
    ASSERT_EQ(r.load(chart_dng()), 0);
    const std::string err = ::testing::internal::GetCapturedStderr();
    const LibRaw& raw = *r->libraw;
    EXPECT_STREQ(raw.imgdata.idata.make, "Canon");
    EXPECT_STREQ(raw.imgdata.idata.model, "EOS Kiss X4");
    EXPECT_EQ(r.iwidth(), 1734u);
    EXPECT_EQ(r.iheight(), 1156u);
    EXPECT_NE(raw.imgdata.idata.filters, 0u);
    EXPECT_EQ(raw.imgdata.idata.colors, 3);
    // Its only colour matrix has no calibration illuminant: no profile.
    EXPECT_NE(err.find("No DNG camera matrix found, Canon EOS Kiss X4"), std::string::npos) << err;

    // Every value is a normalised sample: 0..(white - black) / range, and the
    // sites outside their own channel are empty.
    double sum[4] = {};
    for (unsigned row = 0; row < r.iheight(); row += 7)
        for (unsigned col = 0; col < r.iwidth(); col += 5) {
            const int ch = r->libraw->fcol(int(row), int(col));
            const float* px = r.pixel(row, col);
            for (int c = 0; c < 4; ++c) {
                if (c != ch) {
                    ASSERT_EQ(px[c], 0.0f);
                }
                ASSERT_GE(px[c], 0.0f);
                ASSERT_LE(px[c], r->chan_max[c] + 1e-6f);
            }
            sum[ch] += px[ch];
        }
    for (int c = 0; c < 4; ++c) {
        EXPECT_GT(r->chan_max[c], 0.2f) << c;
        EXPECT_LE(r->chan_max[c], 1.0f) << c;
        EXPECT_GT(sum[c], 0.0) << c;
    }

    // The grey world of a colour chart under the shot's light lies near the
    // camera's own as-shot balance.
    const float* mul = raw.imgdata.rawdata.color.cam_mul;
    EXPECT_EQ(mul[3], mul[1]);  // the file has no fourth multiplier
    const double as_shot_r = mul[0] / mul[1], as_shot_b = mul[2] / mul[1];
    const double awb_r = r->auto_wb[0] / r->auto_wb[1], awb_b = r->auto_wb[2] / r->auto_wb[1];
    EXPECT_GT(awb_r, as_shot_r * 0.6);
    EXPECT_LT(awb_r, as_shot_r * 1.6);
    EXPECT_GT(awb_b, as_shot_b * 0.6);
    EXPECT_LT(awb_b, as_shot_b * 1.6);
    EXPECT_NEAR(r->auto_wb[3] / r->auto_wb[1], 1.0, 0.05);  // both greens alike
}

TEST(RealFiles, CanonChartDngHalfSizeMatchesFullSize) {
    TestRecord full, half;
    ::testing::internal::CaptureStderr();
    ASSERT_EQ(full.load(chart_dng()), 0);
    ASSERT_EQ(half.load(chart_dng(), 1), 0);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(half.iwidth(), 867u);
    EXPECT_EQ(half.iheight(), 578u);
    // Each half-size pixel holds the four sites of its 2 x 2 block.
    for (unsigned row = 0; row < half.iheight(); row += 31)
        for (unsigned col = 0; col < half.iwidth(); col += 17)
            for (unsigned k = 0; k < 4; ++k) {
                const unsigned fr = 2 * row + (k >> 1), fc = 2 * col + (k & 1);
                const int ch = full->libraw->fcol(int(fr), int(fc));
                ASSERT_EQ(half.pixel(row, col)[ch], full.pixel(fr, fc)[ch]);
            }
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(half->auto_wb[c] / full->auto_wb[c], 1.0, 0.02);
}

TEST(RealFiles, GoProRawIsRefusedAndThePreviousImageStays) {
    TempDir dir;
    DngSpec s = gradient_dng(DngLayout::Bayer, 32, 32);
    ASSERT_TRUE(write_dng(dir / "a.dng", s));
    TestRecord r;
    ASSERT_EQ(r.load(dir / "a.dng"), 0);
    const float* image = r->image.get();
    ::testing::internal::CaptureStderr();
    const int ret = r.load(gpr());
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(ret, LIBRAW_FILE_UNSUPPORTED);
    EXPECT_TRUE(err.empty()) << err;  // the loader itself logs nothing
    EXPECT_EQ(r->image.get(), image);
    EXPECT_EQ(r.iwidth(), 32u);
    EXPECT_STREQ(r->libraw->imgdata.idata.make, "Acme");
    char name[256] = "";
    EXPECT_EQ(identify_camera(gpr().c_str(), name), 1);
    EXPECT_EQ(identify_camera(chart_dng().c_str(), name), 0);
    EXPECT_STREQ(name, "Canon EOS Kiss X4");
}

}  // namespace
}  // namespace dvk::test
