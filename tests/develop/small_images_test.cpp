// Images of a few pixels through every interpolation code and several save
// formats, as the save road develops them: each is developed into a flat
// picture of the size its code gives, or refused before anything changes
// with the real reason (too small for that interpolation): never a writer's
// failure, never an empty file. LibRaw reads no file under 22 pixels a side;
// the smaller images are cut from a loaded one, as a decoder's crop could
// leave them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>

#include "develop_test_support.h"
#include "tests/support/dng_writer.h"
#include "tests/support/test_paths.h"

namespace dvk {
namespace {

namespace fs = std::filesystem;

// Keeps the top-left width x height pixels of the loaded image; every site
// keeps its colour.
void keep_top_left(RawProcessor& p, unsigned width, unsigned height) {
    libraw_image_sizes_t& s = p.dvklib()->libraw->imgdata.sizes;
    const unsigned loaded = s.iwidth;
    ASSERT_LE(width, loaded);
    ASSERT_LE(height, s.iheight);
    float* image = p.dvklib()->image_data();
    for (unsigned y = 0; y < height; ++y)
        std::memmove(image + std::size_t(y) * width * 4, image + std::size_t(y) * loaded * 4,
                     std::size_t(width) * 4 * sizeof(float));
    s.iwidth = static_cast<unsigned short>(width);
    s.iheight = static_cast<unsigned short>(height);
}

struct Case {
    unsigned width, height;  // of the loaded image (the half-size one for code 2)
    int code;
    unsigned out_width, out_height;  // 0 x 0: refused
    const char* reason = "";         // words of the refusal
};

TEST(SmallImages, DevelopFlatOrAreRefusedWithTheRealReason) {
    test::TempDir dir;
    test::DngSpec spec = test::make_dng_spec(test::DngLayout::Bayer, 112, 48);
    test::fill_flat(spec, {1200, 2400, 1900});
    const fs::path raw = dir / "flat.dng";
    ASSERT_TRUE(test::write_dng(raw, spec));
    const char* kPattern = "too small to interpolate";
    const char* kBinning = "too small for two-thirds binning";
    const Case cases[] = {
        // A Bayer mosaic needs two rows and columns for every colour; AHD and
        // VCD keep the size, VNG keeps a multiple of 12 rows (all rows below
        // 12), LMMSE crops 3 a side (nothing from 6 or fewer).
        {54, 3, 0, 54, 3},      {2, 2, 0, 2, 2},      {1, 9, 0, 0, 0, kPattern}, {9, 1, 3, 0, 0, kPattern},
        {25, 11, 1, 25, 11},    {3, 3, 1, 3, 3},      {54, 14, 1, 54, 12},       {2, 2, 3, 2, 2},
        {25, 11, 4, 19, 5},     {7, 7, 4, 1, 1},      {6, 9, 4, 6, 9},           {2, 2, 4, 2, 2},
        {1, 1, 4, 0, 0, kPattern},
        // The half-size image has every colour in every pixel.
        {1, 1, 2, 1, 1},        {25, 11, 2, 25, 11},
        // Binning makes 2 x 2 pixels of each 3 x 3 block after four columns.
        {9, 3, 5, 2, 2},        {25, 11, 5, 12, 6},   {8, 20, 5, 0, 0, kBinning}, {20, 2, 5, 0, 0, kBinning},
    };
    for (const Case& c : cases)
        for (int format : {0, 2, 3, 5}) {
            SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height) + ", interpolation " +
                         std::to_string(c.code) + ", format " + std::to_string(format));
            RawProcessor p;
            p.setInterpolation(c.code);
            p.setSaveFormat(format);
            const fs::path out = dir / (format == 3 ? "out.jpeg" : "out.tiff");
            fs::remove(out);
            ::testing::internal::CaptureStderr();
            const int rc = test::develop(p, raw, out.string(),
                                         [&](RawProcessor& loaded) { keep_top_left(loaded, c.width, c.height); });
            ::testing::internal::GetCapturedStderr();
            if (c.out_width == 0) {
                EXPECT_EQ(rc, -2);  // convertImage refused it
                EXPECT_NE(p.convertError().find(c.reason), std::string::npos) << p.convertError();
                EXPECT_EQ(p.imageWidth(), c.width);  // as loaded
                EXPECT_FALSE(fs::exists(out));
                continue;
            }
            ASSERT_EQ(rc, 0) << p.convertError() << p.saveError();
            const test::Image img = format == 3 ? test::read_jpeg_image(out) : test::read_tiff_image(out);
            ASSERT_TRUE(img.ok);
            EXPECT_EQ(img.width, c.out_width);
            EXPECT_EQ(img.height, c.out_height);
            // Flat in, flat out (JPEG within its rounding).
            const double tolerance = format == 3 ? 1.5 / 255 : 1e-6;
            for (std::size_t i = 3; i < img.px.size(); ++i)
                ASSERT_NEAR(img.px[i], img.px[i % 3], tolerance) << "pixel " << i / 3;
        }
}

}  // namespace
}  // namespace dvk
