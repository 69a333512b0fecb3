#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <string>

#include "pipeline/processor/raw_processor.h"
#include "tests/support/dng_writer.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

using namespace dvk::test;

std::string write_fixture(const TempDir& dir, const std::string& name, DngSpec dng) {
    const std::string path = (dir / name).string();
    std::string error;
    EXPECT_TRUE(write_dng(path, dng, &error)) << error;
    return path;
}

DngSpec gradient_spec(unsigned w, unsigned h) {
    DngSpec s = gradient_dng(DngLayout::Bayer, w, h);
    return s;
}

TEST(RawProcessorLoading, PreviewLoadFillsTheTextsAndBuffers) {
    TempDir dir;
    DngSpec dng = gradient_spec(64, 48);
    dng.exposure_time = 0.25;
    const std::string path = write_fixture(dir, "a.dng", dng);
    RawProcessor p;
    ASSERT_EQ(p.initFloatPreviewFromRawFile(path), 0);
    EXPECT_EQ(p.fileName(), path);
    EXPECT_EQ(p.camera(), "Acme Fixture 1");
    const unsigned w = p.imageWidth(), h = p.imageHeight();
    ASSERT_GT(w, 0u);
    EXPECT_TRUE(p.isHalfSize());
    EXPECT_EQ(p.image32Floats(), round_up_to_multiple(w, 16) * round_up_to_multiple(h, 16) * 4);
    const std::uint64_t n = static_cast<std::uint64_t>(band_thread_count);
    EXPECT_EQ(p.previewFloats(), round_up_to_multiple(w, 16) * round_up_to_multiple(h + 110 * n - 110, 16) * 3);
    EXPECT_NE(p.image32(), nullptr);
    EXPECT_NE(p.labPreview(), nullptr);
    EXPECT_EQ(p.sharpnessRadius(), 1.0f);
    const libraw_data_t& id = p.dvklib()->libraw->imgdata;
    char stamp[64];
    const time_t t = id.other.timestamp;
    ctime_r(&t, stamp);
    const std::string expected = "File: " + path + "\nCamera: Acme Fixture 1\nTimestamp: " + stamp +
                                 "\nISO speed: 400\nShutter: 1/4\nAperture: f/5.6\nFocal Length: 50\n";
    EXPECT_EQ(p.cameraInfo(), expected);
    const double* a = p.dvklib()->auto_wb;
    if (p.cfa() != 0 && a[1] > 0 && a[3] > 0)
        EXPECT_EQ(p.greenDelta(), std::log2(a[1] / a[3]));
    else
        EXPECT_EQ(p.greenDelta(), 0.0);
}

TEST(RawProcessorLoading, NoPathReloadsTheFileName) {
    TempDir dir;
    const std::string path = write_fixture(dir, "a.dng", gradient_spec(32, 32));
    RawProcessor p;
    p.setFileName(path);
    ASSERT_EQ(p.initFloatPreviewFromRawFile(), 0);
    EXPECT_EQ(p.camera(), "Acme Fixture 1");
}

TEST(RawProcessorLoading, FailureKeepsThePreviousState) {
    TempDir dir;
    const std::string path = write_fixture(dir, "a.dng", gradient_spec(32, 32));
    RawProcessor p;
    ASSERT_EQ(p.initFloatPreviewFromRawFile(path), 0);
    const std::string info = p.cameraInfo();
    float* img = p.image32();
    const std::string missing = (dir / "missing.dng").string();
    testing::internal::CaptureStderr();
    const int rc = p.initFloatPreviewFromRawFile(missing);
    // The log says the reason, not the loader's code for it.
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Can't open " + missing + ": No such file or directory\n");
    EXPECT_NE(rc, 0);
    EXPECT_EQ(p.cameraInfo(), info);
    EXPECT_EQ(p.image32(), img);
    EXPECT_EQ(p.camera(), "Acme Fixture 1");
}

TEST(RawProcessorLoading, ZeroShutterShowsZero) {
    TempDir dir;
    DngSpec s = gradient_spec(32, 32);
    s.exposure_time = 0;
    const std::string path = write_fixture(dir, "a.dng", s);
    RawProcessor p;
    ASSERT_EQ(p.initFloatPreviewFromRawFile(path), 0);
    EXPECT_NE(p.cameraInfo().find("Shutter: 1/0\n"), std::string::npos) << p.cameraInfo();
}

TEST(RawProcessorLoading, NoPatternGivesZeroGreenDelta) {
    TempDir dir;
    DngSpec s = gradient_dng(DngLayout::LinearRaw, 32, 32);
    const std::string path = write_fixture(dir, "lin.dng", s);
    RawProcessor p;
    ASSERT_EQ(p.initDoubleImageFromRawFile(path, 0), 0);
    EXPECT_EQ(p.cfa(), 0u);
    EXPECT_EQ(p.greenDelta(), 0.0);
    EXPECT_FALSE(p.isFileNameDefined());  // the full load keeps fileName
    EXPECT_EQ(p.image32(), nullptr);
}

TEST(RawProcessorLoading, FullLoadFailureFreesTheBuffers) {
    TempDir dir;
    const std::string path = write_fixture(dir, "a.dng", gradient_spec(32, 32));
    RawProcessor p;
    ASSERT_EQ(p.initFloatPreviewFromRawFile(path), 0);
    ASSERT_NE(p.image32(), nullptr);
    testing::internal::CaptureStderr();
    EXPECT_NE(p.initDoubleImageFromRawFile(dir.path().string(), 0), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Can't open " + dir.path().string() + ": a folder, not a file\n");
    EXPECT_EQ(p.image32(), nullptr);
    EXPECT_EQ(p.preview(), nullptr);
    ASSERT_EQ(p.initDoubleImageFromRawFile(path, 0), 0);
    EXPECT_FALSE(p.isHalfSize());
    EXPECT_EQ(p.imageWidth(), 32u);
}

TEST(RawProcessorLoading, AutoWhiteBalanceOfAnotherFileLeavesTheLoadedOne) {
    TempDir dir;
    const std::string a = write_fixture(dir, "a.dng", gradient_spec(32, 32));
    DngSpec other = make_dng_spec(DngLayout::Bayer, 96, 96);  // the auto balance needs 21 half-size rows
    other.model = "Other";
    fill_flat(other, {1000, 2000, 500});
    const std::string b = write_fixture(dir, "b.dng", other);
    RawProcessor p;
    ASSERT_EQ(p.initFloatPreviewFromRawFile(a), 0);
    DVKLib* record = p.dvklib();
    const float* image = record->image_data();
    const double wb1 = record->auto_wb[1];
    std::optional<AutoWhiteBalance> awb = p.calcAWBFromRawFile(b);
    ASSERT_TRUE(awb.has_value());
    EXPECT_EQ(awb->camera, "Acme Other");
    EXPECT_EQ(awb->fileName, b);
    EXPECT_EQ(awb->G1, 0.0);
    // Flat samples of 1000, 2000, 500 over a black level of 256.
    EXPECT_NEAR(awb->R, std::log2(1744.0 / 744.0), 0.01);
    EXPECT_NEAR(awb->B, std::log2(1744.0 / 244.0), 0.01);
    EXPECT_EQ(p.dvklib(), record);
    EXPECT_EQ(record->image_data(), image);
    EXPECT_EQ(record->auto_wb[1], wb1);
    EXPECT_EQ(p.camera(), "Acme Fixture 1");
    // A failed probe leaves everything as it was, too.
    EXPECT_FALSE(p.calcAWBFromRawFile((dir / "none.dng").string()).has_value());
    EXPECT_EQ(p.dvklib(), record);
    EXPECT_EQ(record->image_data(), image);
    EXPECT_EQ(std::string(record->libraw->imgdata.idata.model), "Fixture 1");
}

TEST(RawProcessorBalance, PointOnAFileWithoutPatternKeepsGreen2AtZero) {
    TempDir dir;
    DngSpec s = make_dng_spec(DngLayout::LinearRaw, 32, 32);
    fill_flat(s, {1000, 2000, 500});
    const std::string path = write_fixture(dir, "lin.dng", s);
    RawProcessor p;
    ASSERT_EQ(p.initDoubleImageFromRawFile(path, 0), 0);
    p.setManualGreen2(1);
    p.setEvGreen2(0.7);
    p.rgbgImageCalcBalanceAtPoint(10.7, 10.2, 6);
    EXPECT_EQ(p.evGreen2(), 0.0);
    EXPECT_EQ(p.evGreen(), 0.0);
    // Flat samples of 1000, 2000, 500 over a black level of 256.
    EXPECT_NEAR(p.evRed(), std::log2(1744.0 / 744.0), 0.01);
    EXPECT_NEAR(p.evBlue(), std::log2(1744.0 / 244.0), 0.01);
    p.setEvRed(0);
    p.rgbgImageCalcBalanceAtRect(0, 0, 32, 32);
    EXPECT_NEAR(p.evRed(), std::log2(1744.0 / 744.0), 0.01);
    // A point left of the image measures nothing: the last measurement stays.
    p.dvklib()->area_wb_ev[0] = 5;
    p.rgbgImageCalcBalanceAtPoint(-20.0, 4.0, 6);
    EXPECT_EQ(p.evRed(), 5.0);
}

}  // namespace
}  // namespace dvk
