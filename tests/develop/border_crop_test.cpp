#include <gtest/gtest.h>

#include "pipeline/stages/border_crop.h"
#include "core/dvklib.h"

namespace dvk {
namespace {

struct Record {
    DVKLib d;
    Record(unsigned w, unsigned h) {
        dvklib_new(&d);
        d.libraw->imgdata.sizes.iwidth = static_cast<unsigned short>(w);
        d.libraw->imgdata.sizes.iheight = static_cast<unsigned short>(h);
        std::size_t n = static_cast<std::size_t>(w) * h * 4;
        auto buf = allocate_aligned<float>(n);
        for (std::size_t i = 0; i < n; ++i) buf[i] = static_cast<float>(i);
        set_image(&d, std::move(buf), n * sizeof(float));
    }
    ~Record() { dvklib_delete(&d); }
};

TEST(BorderCrop, MovesTheInnerPixelsToTheFront) {
    const unsigned w = 11, h = 9;
    Record rec(w, h);
    ASSERT_TRUE(crop_rgbg_border(&rec.d, 3));
    EXPECT_EQ(rec.d.libraw->imgdata.sizes.iwidth, 5);
    EXPECT_EQ(rec.d.libraw->imgdata.sizes.iheight, 3);
    const float* img = rec.d.image_data();
    for (unsigned y = 0; y < 3; ++y)
        for (unsigned x = 0; x < 5; ++x)
            for (unsigned c = 0; c < 4; ++c)
                ASSERT_EQ(img[(y * 5 + x) * 4 + c], static_cast<float>(((y + 3) * w + x + 3) * 4 + c));
}

TEST(BorderCrop, TooSmallIsLeftAlone) {
    Record rec(6, 20);
    EXPECT_FALSE(crop_rgbg_border(&rec.d, 3));
    EXPECT_EQ(rec.d.libraw->imgdata.sizes.iwidth, 6);
    EXPECT_EQ(rec.d.image_data()[5], 5.0f);
}

}  // namespace
}  // namespace dvk
