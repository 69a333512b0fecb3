// The loader builds the develop's Lab-side colour tables while LibRaw
// unpacks the file; the load's results and failures are those of the unpack.
#include <gtest/gtest.h>
#include <libraw/libraw.h>

#include <filesystem>
#include <string>
#include <vector>

#include <lcms2.h>

#include "colour/colour_convert.h"
#include "colour/lut3d.h"
#include "core/band_runner.h"
#include "pipeline/load/raw_loader.h"
#include "tests/support/hostile_raw_files.h"
#include "tests/support/test_paths.h"
#include "tests/support/test_record.h"

namespace dvk::test {
namespace {

// An RGB profile file that no conversion has used yet.
std::string write_rgb_profile(const TempDir& dir) {
    cmsCIExyY white = {0.3127, 0.3290, 1.0};
    cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* g = cmsBuildGamma(nullptr, 2.2);
    cmsToneCurve* curves[3] = {g, g, g};
    cmsHPROFILE p = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(g);
    const std::string path = (dir / "loader_rgb.icc").string();
    const bool saved = p && cmsSaveProfileToFile(p, path.c_str());
    if (p) cmsCloseProfile(p);
    return saved ? path : std::string();
}

// After a load, the develop's first conversions into and out of "Uplab"
// build no Lab table: the load built them.
TEST(LabTablesOnLoad, UplabConversionsAfterALoadBuildNoTable) {
    TempDir dir;
    const std::string rgb = write_rgb_profile(dir);
    ASSERT_FALSE(rgb.empty());
    TestRecord r;
    ::testing::internal::CaptureStderr();
    ASSERT_EQ(r.load(chart_dng()), 0);
    ::testing::internal::GetCapturedStderr();
    const std::size_t before = Lut3D::builds();
    const unsigned w = 600, h = 520;  // past the point where a table pays back
    std::vector<float> px(std::size_t(3) * w * h);
    for (std::size_t i = 0; i < px.size(); ++i) px[i] = float(i % 251) / 250.0f;
    ASSERT_EQ(match_rgb_to_lab_colorsync_t(r.get(), px.data(), w, h, rgb.c_str(), true, false), 1);
    ASSERT_EQ(match_lab_to_rgb_colorsync_t(r.get(), px.data(), w, h, rgb.c_str(), nullptr), 1);
    EXPECT_EQ(Lut3D::builds(), before);
}

// A file LibRaw opens but cannot unpack (a lossless DNG of two-bit codes cut
// short, which still holds a bit a sample) fails the load with the unpack's
// own code, as does every load when no thread can be started (the unpack and
// the tables then run one after the other on the calling thread).
TEST(LabTablesOnLoad, TheUnpackDecidesTheLoad) {
    TempDir dir;
    const std::filesystem::path cut = dir / "cut.dng";
    write_lossless_dng(cut, 256, 192, 2);
    std::filesystem::resize_file(cut, std::filesystem::file_size(cut) * 3 / 4);
    LibRaw plain;
    ::testing::internal::CaptureStderr();  // LibRaw reports the early end itself
    ASSERT_EQ(plain.open_file(cut.c_str()), LIBRAW_SUCCESS);
    const int unpack_code = plain.unpack();
    ::testing::internal::GetCapturedStderr();
    ASSERT_NE(unpack_code, LIBRAW_SUCCESS);
    for (int refuse : {0, 1}) {
        band_runner_fail_thread_starts_after(refuse ? 0 : -1);
        TestRecord r;
        ::testing::internal::CaptureStderr();
        const int first = r.load(chart_dng());
        const unsigned width = r.iwidth();
        const float* image = r->image.get();
        const int cut_code = r.load(cut);
        ::testing::internal::GetCapturedStderr();
        band_runner_fail_thread_starts_after(-1);
        EXPECT_EQ(first, 0) << refuse;
        EXPECT_EQ(width, 1734u) << refuse;
        EXPECT_EQ(cut_code, unpack_code) << refuse;
        EXPECT_EQ(r->image.get(), image) << refuse;  // the failed load left the image
    }
}

}  // namespace
}  // namespace dvk::test
