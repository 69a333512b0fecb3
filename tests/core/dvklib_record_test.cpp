#include <gtest/gtest.h>

#include <cstring>

#include "core/dvklib.h"

namespace dvk {
namespace {

TEST(RoundUpToMultiple, RoundsToNextMultipleOf16) {
    EXPECT_EQ(round_up_to_multiple(32, 16), 32u);
    EXPECT_EQ(round_up_to_multiple(33, 16), 48u);
    EXPECT_EQ(round_up_to_multiple(0, 16), 0u);
    EXPECT_EQ(round_up_to_multiple(1, 16), 16u);
}

TEST(DvkLibRecord, NewSetsInitialValuesAndDecoder) {
    DVKLib d;
    d.gamma = 9;
    ASSERT_TRUE(dvklib_new(&d));
    EXPECT_NE(d.libraw, nullptr);
    EXPECT_EQ(d.image, nullptr);
    EXPECT_DOUBLE_EQ(d.gamma, 2.2);
    EXPECT_DOUBLE_EQ(d.output_gamma, 2.2);
    EXPECT_EQ(d.writer_variant, 'n');
    const int picks[7] = {-1, -1, 1, 1, -1, -1, 1};
    EXPECT_EQ(std::memcmp(d.view_picks, picks, sizeof picks), 0);
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(d.norm_scale[c], 1.0f);
        EXPECT_EQ(d.chan_max[c], 1.0f);
        EXPECT_EQ(d.auto_wb[c], 1.0);
    }
    dvklib_delete(&d);
    EXPECT_EQ(d.libraw, nullptr);
}

TEST(DvkLibRecord, SetImageWithStoredPointerKeepsIt) {
    DVKLib d;
    ASSERT_TRUE(dvklib_new(&d));
    set_image(&d, allocate_aligned<float>(64), 256);
    float* held = d.image.get();
    held[3] = 7.0f;
    set_image(&d, AlignedBuffer<float>(held), 256);
    EXPECT_EQ(d.image.get(), held);
    EXPECT_EQ(d.image[3], 7.0f);
    dvklib_delete(&d);
}

TEST(DvkLibRecord, ReallocKeepsContentAndIgnoresMissingImage) {
    DVKLib d;
    ASSERT_TRUE(dvklib_new(&d));
    EXPECT_TRUE(realloc_image(&d, 1024));
    EXPECT_EQ(d.image, nullptr);
    set_image(&d, allocate_aligned<float>(4), 16);
    for (int i = 0; i < 4; ++i) d.image[i] = float(i + 1);
    ASSERT_TRUE(realloc_image(&d, 4096));
    EXPECT_EQ(d.image_bytes, 4096u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(d.image[i], float(i + 1));
    dvklib_delete(&d);
}

TEST(DvkLibRecord, SourceFileIsCopiedAndSelfAssignmentIsANoOp) {
    DVKLib d;
    ASSERT_TRUE(dvklib_new(&d));
    char path[] = "/tmp/a.dng";
    set_source_file(&d, path);
    path[5] = 'b';
    EXPECT_STREQ(d.source_file.get(), "/tmp/a.dng");
    const char* stored = d.source_file.get();
    set_source_file(&d, stored);
    EXPECT_EQ(d.source_file.get(), stored);
    set_source_file(&d, nullptr);
    EXPECT_EQ(d.source_file, nullptr);
    dvklib_delete(&d);
}

}  // namespace
}  // namespace dvk
