// The methods on a mosaic decoded by LibRaw from a DNG file: the decoder's own
// colour layout (here a GRBG sensor) must match where the loader put the values.
#include <gtest/gtest.h>

#include "pipeline/demosaic/demosaic.h"
#include "core/dvklib.h"
#include "pipeline/load/load_raw_file.h"
#include "pipeline/stages/four_channel_ops.h"
#include "tests/demosaic/mosaic_fixture.h"
#include "tests/support/dng_writer.h"
#include "tests/support/test_paths.h"

namespace dvk::test {
namespace {

TEST(DecodedDng, FlatGrbgSensorComesBackFlatWithEveryMethod) {
    TempDir dir;
    DngSpec dng = make_dng_spec(DngLayout::Bayer, 64, 48);
    dng.phase = BayerPhase::GRBG;
    fill_flat(dng, {2256, 1256, 3256});
    ASSERT_TRUE(write_dng(dir / "flat.dng", dng));

    for (const DemosaicMethod& m : kDemosaicMethods) {
        DVKLib d;
        ASSERT_TRUE(dvklib_new(&d));
        ASSERT_EQ(load_raw_file(&d, (dir / "flat.dng").c_str(), 0), 0);
        mix_green_channels(&d);
        const unsigned w = d.raw().imgdata.sizes.iwidth, h = d.raw().imgdata.sizes.iheight;
        ASSERT_GE(w, 40u);
        ASSERT_GE(h, 30u);
        float* img = d.image_data();
        // The measured value of each colour, taken from the decoded mosaic.
        float measured[3] = {-1, -1, -1};
        for (unsigned y = 0; y < 2; ++y)
            for (unsigned x = 0; x < 2; ++x) {
                const int f = d.raw().fcol(int(y), int(x));
                ASSERT_LT(f, 3);
                measured[f] = img[(y * w + x) * 4 + f];
            }
        EXPECT_EQ(d.raw().fcol(0, 0), 1);  // GRBG
        EXPECT_EQ(d.raw().fcol(0, 1), 0);
        for (float v : measured) ASSERT_GT(v, 0.0f);
        ::testing::internal::CaptureStderr();
        run_whole(m, &d, img, w, h);
        ::testing::internal::GetCapturedStderr();
        double worst = 0;
        for (unsigned y = 10; y + 10 < h; ++y)
            for (unsigned x = 10; x + 10 < w; ++x)
                for (int c = 0; c < 3; ++c) worst = std::max(worst, std::fabs(double(img[(y * w + x) * 4 + c]) - measured[c]));
        EXPECT_LT(worst, 2e-5) << m.name;
        dvklib_delete(&d);
    }
}

}  // namespace
}  // namespace dvk::test
