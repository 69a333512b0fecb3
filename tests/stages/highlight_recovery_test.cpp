#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "pipeline/stages/highlight_recovery.h"
#include "tests/stages/stage_fixture.h"

namespace dvk {
namespace {

using test::Record;

TEST(RecoverHighlights, FullColourWorkedExample) {
    Record r(0, 1, 1);
    std::vector<float> px = {0.99f, 0.4f, 0.3f, 0.4f};
    recover_highlights(r.get(), px.data(), 1, 1, 0, 1.0f, 2.0f, 1.0f, 1.5f, 1.0f);
    EXPECT_FLOAT_EQ(px[0], 0.15f);
    EXPECT_FLOAT_EQ(px[1], 0.3f);
    EXPECT_FLOAT_EQ(px[2], 0.2f);
    EXPECT_FLOAT_EQ(px[3], 0.3f);
}

TEST(RecoverHighlights, BelowClipIsUnchanged) {
    Record r(0, 2, 1);
    std::vector<float> px = {0.96f, 0.4f, 0.3f, 0.4f, 0.5f, 0.5f, 0.5f, 0.5f};
    auto before = px;
    recover_highlights(r.get(), px.data(), 2, 1, 0, 1.0f, 2.0f, 1.0f, 1.5f, 1.0f);
    EXPECT_EQ(px, before);
}

TEST(RecoverHighlights, GuessedToneAndItsFallback) {
    Record r(0, 3, 1);
    // Pixel 0 is near clipping but not clipped: it gives the tone (0.955, 0.5, 0.25, 0.5).
    std::vector<float> px = {0.955f, 0.5f, 0.25f, 0.5f, 1.0f, 0.8f, 0.4f, 0.8f, 0.2f, 0.2f, 0.2f, 0.2f};
    recover_highlights(r.get(), px.data(), 3, 1, 1, 1.0f, 2.0f, 1.0f, 1.5f, 1.0f);
    EXPECT_FLOAT_EQ(px[4], 0.955f * 0.4f / 0.5f);
    EXPECT_FLOAT_EQ(px[6], 0.25f * 0.4f / 0.5f);
    EXPECT_EQ(px[8], 0.2f);
    // Without near-clipping pixels the neutral tone is used.
    std::vector<float> px2 = {0.99f, 0.4f, 0.3f, 0.4f};
    recover_highlights(r.get(), px2.data(), 1, 1, 1, 1.0f, 2.0f, 1.0f, 1.5f, 1.0f);
    EXPECT_FLOAT_EQ(px2[0], 0.15f);
}

TEST(RecoverHighlights, MosaicBlockRebuiltAtTheLeastClippedLevel) {
    Record r(test::kRGGB, 6, 6);
    std::vector<float> img(6 * 6 * 4, 0.0f);
    auto site = [&](unsigned y, unsigned x) -> float& {
        return img[(y * 6 + x) * 4 + static_cast<unsigned>(r->libraw->fcol(int(y), int(x)))];
    };
    for (unsigned y = 0; y < 6; ++y)
        for (unsigned x = 0; x < 6; ++x) site(y, x) = 0.3f;
    site(2, 2) = 1.0f;  // red clipped
    site(2, 3) = 0.6f;
    site(3, 2) = 0.7f;
    site(3, 3) = 0.4f;  // blue, the least
    site(0, 0) = 1.0f;  // clipped but outside the blocks from row/col 2
    recover_highlights(r.get(), img.data(), 6, 6, 0, 2.0f, 2.0f, 1.0f, 1.6f, 1.0f);
    // tone = 1 / multiplier; m = 2 * 0.4 = 0.8
    EXPECT_FLOAT_EQ(site(2, 2), 0.5f * 0.8f / 1.0f);
    EXPECT_FLOAT_EQ(site(2, 3), 0.8f);
    EXPECT_FLOAT_EQ(site(3, 3), 0.625f * 0.8f);
    EXPECT_EQ(site(0, 0), 1.0f);
    EXPECT_EQ(site(4, 4), 0.3f);
}

TEST(RecoverHighlights, ChannelPeaksScaleTheThresholds) {
    Record r(0, 1, 1);
    r->chan_max[0] = 2.0f;
    std::vector<float> px = {1.5f, 0.4f, 0.3f, 0.4f};  // below 0.966 x 2
    auto before = px;
    recover_highlights(r.get(), px.data(), 1, 1, 0, 1.0f, 2.0f, 1.0f, 1.5f, 1.0f);
    EXPECT_EQ(px, before);
}

TEST(Min3, Smallest) {
    EXPECT_EQ(min3(3, 1, 2), 1);
    EXPECT_EQ(min3(-1, 0, -2), -2);
}

TEST(BalanceAtArea, RectangleMeans) {
    Record r(0, 4, 4);
    std::vector<float> px(4 * 4 * 4);
    for (std::size_t p = 0; p < 16; ++p) {
        px[p * 4] = 0.2f;
        px[p * 4 + 1] = 0.4f;
        px[p * 4 + 2] = 0.1f;
        px[p * 4 + 3] = 0.8f;  // ignored: no pattern, the fourth value is G again
    }
    r.set_pixels(px);
    balance_at_rect(r.get(), 1, 1, 2, 2);
    EXPECT_FLOAT_EQ(r->area_wb_ev[0], 1.0f);
    EXPECT_EQ(r->area_wb_ev[1], 0.0f);
    EXPECT_FLOAT_EQ(r->area_wb_ev[2], 2.0f);
    EXPECT_FLOAT_EQ(r->area_wb_ev[3], 0.0f);
}

TEST(BalanceAtArea, PointNearTheCornerAndZeroSamples) {
    Record r(test::kRG_G2B, 4, 4);
    std::vector<float> px(4 * 4 * 4, 0.0f);
    // Only pixel (0, 0) holds all four channels; (1, 1) holds red 10 (outside the clipped square).
    px[0] = 0.5f;
    px[1] = 0.25f;
    px[2] = 0.125f;
    px[3] = 1.0f;
    px[(1 * 4 + 1) * 4] = 10.0f;
    r.set_pixels(px);
    balance_at_point(r.get(), 0, 0, 2);  // rows and columns max(0, -1) .. 0
    EXPECT_FLOAT_EQ(r->area_wb_ev[0], -1.0f);
    EXPECT_FLOAT_EQ(r->area_wb_ev[2], 1.0f);
    EXPECT_FLOAT_EQ(r->area_wb_ev[3], -2.0f);
    // An area black in a channel stores nothing.
    r->area_wb_ev[0] = 7;
    balance_at_rect(r.get(), 2, 2, 2, 2);
    EXPECT_EQ(r->area_wb_ev[0], 7.0f);
}

}  // namespace
}  // namespace dvk
