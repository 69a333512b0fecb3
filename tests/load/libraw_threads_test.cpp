// raw2image_on_threads and subtract_black_on_threads against LibRaw's own
// raw2image and subtract_black on the real chart file: the same image, sizes
// and the same black, maximum and data_maximum.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <mutex>
#include <vector>

#include "core/dvklib.h"
#include "core/libraw_dvk.h"
#include "tests/support/test_paths.h"

namespace dvk::test {
namespace {

// Opens, unpacks and fills the four-channel image, then lets `tweak` change
// the black levels before the subtraction.
bool prepare(LibRaw_DVK& raw, const std::function<void(libraw_colordata_t&)>& tweak) {
    if (raw.open_file(chart_dng().c_str()) != LIBRAW_SUCCESS) return false;
    if (raw.unpack() != LIBRAW_SUCCESS) return false;
    if (raw.raw2image() != LIBRAW_SUCCESS) return false;
    if (tweak) tweak(raw.imgdata.color);
    return raw.imgdata.image != nullptr;
}

void expect_same_subtraction(const std::function<void(libraw_colordata_t&)>& tweak, int threads) {
    const int saved = band_thread_count;
    band_thread_count = threads;
    LibRaw_DVK ours, theirs;
    ASSERT_TRUE(prepare(ours, tweak));
    ASSERT_TRUE(prepare(theirs, tweak));
    EXPECT_EQ(ours.subtract_black_on_threads(), 0);
    theirs.subtract_black();
    band_thread_count = saved;
    const libraw_colordata_t &a = ours.imgdata.color, &b = theirs.imgdata.color;
    EXPECT_EQ(a.black, b.black);
    EXPECT_EQ(a.maximum, b.maximum);
    EXPECT_EQ(a.data_maximum, b.data_maximum);
    EXPECT_EQ(std::memcmp(a.cblack, b.cblack, sizeof a.cblack), 0);
    const std::size_t n = std::size_t(ours.imgdata.sizes.iwidth) * ours.imgdata.sizes.iheight;
    ASSERT_EQ(n, std::size_t(theirs.imgdata.sizes.iwidth) * theirs.imgdata.sizes.iheight);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(std::memcmp(ours.imgdata.image, theirs.imgdata.image, n * 8), 0);
}

TEST(SubtractBlackOnThreads, FileBlackLevelsAsLibRaw) {
    expect_same_subtraction(nullptr, 4);
    expect_same_subtraction(nullptr, 1);
}

TEST(SubtractBlackOnThreads, PerChannelLevelsBeyondSomeSamplesAsLibRaw) {
    // Levels high enough that many samples clip at zero.
    expect_same_subtraction(
        [](libraw_colordata_t& c) {
            c.cblack[0] = 300;
            c.cblack[1] = 2100;
            c.cblack[2] = 900;
            c.cblack[3] = 2500;
        },
        3);
    // Levels a damaged file may declare: the differences wrap as LibRaw's do.
    expect_same_subtraction(
        [](libraw_colordata_t& c) {
            c.cblack[0] = 0x80000000u;
            c.cblack[1] = 0xfffffff0u;
            c.cblack[2] = 7;
            c.cblack[3] = 0x7fffffffu;
        },
        2);
}

TEST(SubtractBlackOnThreads, BlackPatternAsLibRaw) {
    // A 2 x 3 pattern of levels over the image.
    expect_same_subtraction(
        [](libraw_colordata_t& c) {
            c.cblack[4] = 2;
            c.cblack[5] = 3;
            const unsigned pattern[6] = {100, 2000, 30, 4000, 0, 1500};
            for (int i = 0; i < 6; ++i) c.cblack[6 + i] = pattern[i];
        },
        5);
}

TEST(SubtractBlackOnThreads, NoBlackOnlyRecordsTheLargestSample) {
    expect_same_subtraction(
        [](libraw_colordata_t& c) {
            std::memset(c.cblack, 0, sizeof c.cblack);
            c.black = 0;
        },
        4);
}

// Opens and unpacks the chart, at half size when asked.
bool open_chart(LibRaw_DVK& raw, bool half) {
    raw.imgdata.params.half_size = half ? 1 : 0;
    return raw.open_file(chart_dng().c_str()) == LIBRAW_SUCCESS && raw.unpack() == LIBRAW_SUCCESS;
}

void expect_same_image(bool half, int threads) {
    const int saved = band_thread_count;
    band_thread_count = threads;
    LibRaw_DVK ours, theirs;
    ASSERT_TRUE(open_chart(ours, half));
    ASSERT_TRUE(open_chart(theirs, half));
    EXPECT_EQ(ours.raw2image_on_threads(), 0);
    ASSERT_EQ(theirs.raw2image(), 0);
    band_thread_count = saved;
    const libraw_image_sizes_t &a = ours.imgdata.sizes, &b = theirs.imgdata.sizes;
    EXPECT_EQ(a.iwidth, b.iwidth);
    EXPECT_EQ(a.iheight, b.iheight);
    EXPECT_EQ(a.flip, b.flip);
    EXPECT_EQ(ours.imgdata.idata.filters, theirs.imgdata.idata.filters);
    EXPECT_EQ(ours.imgdata.progress_flags, theirs.imgdata.progress_flags);
    const std::size_t n = std::size_t(b.iwidth) * b.iheight;
    ASSERT_GT(n, 0u);
    ASSERT_NE(ours.imgdata.image, nullptr);
    EXPECT_EQ(std::memcmp(ours.imgdata.image, theirs.imgdata.image, n * 8), 0);
    // The black subtraction that follows accepts the image.
    EXPECT_EQ(ours.subtract_black_on_threads(), 0);
}

TEST(Raw2ImageOnThreads, FullSizeAsLibRaw) {
    expect_same_image(false, 4);
    expect_same_image(false, 1);
}

TEST(Raw2ImageOnThreads, HalfSizeAsLibRaw) {
    expect_same_image(true, 3);
    expect_same_image(true, 8);
}

TEST(Raw2ImageOnThreads, BeforeUnpackIsOutOfOrder) {
    LibRaw_DVK raw;
    EXPECT_EQ(raw.raw2image_on_threads(), LIBRAW_OUT_OF_ORDER_CALL);
}

// The image rows of begin_image_rows / image_rows_on_threads against LibRaw's
// raw2image and subtract_black: every row equals LibRaw's image row, each is
// delivered once, and the colour data and progress flags end the same.
void expect_same_rows(bool half, int threads, const std::function<void(libraw_colordata_t&)>& tweak) {
    const int saved = band_thread_count;
    band_thread_count = threads;
    LibRaw_DVK ours, theirs;
    ASSERT_TRUE(open_chart(ours, half));
    ASSERT_TRUE(open_chart(theirs, half));
    if (tweak) {
        tweak(ours.imgdata.rawdata.color);
        tweak(theirs.imgdata.rawdata.color);
    }
    ASSERT_TRUE(ours.begin_image_rows());
    ASSERT_EQ(theirs.raw2image(), 0);
    theirs.subtract_black();
    const libraw_image_sizes_t& s = theirs.imgdata.sizes;
    ASSERT_EQ(ours.imgdata.sizes.iwidth, s.iwidth);
    ASSERT_EQ(ours.imgdata.sizes.iheight, s.iheight);
    // Before the rows come, the levels the normalisation reads are final.
    EXPECT_EQ(ours.imgdata.color.black, theirs.imgdata.color.black);
    EXPECT_EQ(ours.imgdata.color.maximum, theirs.imgdata.color.maximum);
    std::vector<std::uint16_t> rows(std::size_t(s.iwidth) * s.iheight * 4, 0xABCD);
    std::vector<int> delivered(s.iheight, 0);
    std::mutex lock;
    EXPECT_TRUE(ours.image_rows_on_threads([&](unsigned y, const std::uint16_t(*px)[4]) {
        std::memcpy(rows.data() + std::size_t(y) * s.iwidth * 4, px, std::size_t(s.iwidth) * 8);
        std::lock_guard<std::mutex> hold(lock);
        ++delivered[y];
    }));
    band_thread_count = saved;
    EXPECT_EQ(ours.imgdata.image, nullptr);
    for (unsigned y = 0; y < s.iheight; ++y) ASSERT_EQ(delivered[y], 1) << y;
    EXPECT_EQ(std::memcmp(rows.data(), theirs.imgdata.image, rows.size() * 2), 0);
    const libraw_colordata_t &a = ours.imgdata.color, &b = theirs.imgdata.color;
    EXPECT_EQ(a.data_maximum, b.data_maximum);
    EXPECT_EQ(std::memcmp(a.cblack, b.cblack, sizeof a.cblack), 0);
    EXPECT_EQ(ours.imgdata.progress_flags & LIBRAW_PROGRESS_THUMB_MASK,
              theirs.imgdata.progress_flags & LIBRAW_PROGRESS_THUMB_MASK);

    // At full size the same rows as their sites alone: each sample is its
    // site's channel of LibRaw's row, whose other channels are 0.
    LibRaw_DVK sites;
    ASSERT_TRUE(open_chart(sites, half));
    if (tweak) tweak(sites.imgdata.rawdata.color);
    ASSERT_TRUE(sites.begin_image_rows());
    band_thread_count = threads;
    std::vector<int> site_rows(s.iheight, 0);
    const bool delivered_sites = sites.image_site_rows_on_threads(
        [&](unsigned y, const std::uint16_t* samples, const unsigned char* colour) {
            for (unsigned x = 0; x < s.iwidth; ++x) {
                const std::uint16_t* want = theirs.imgdata.image[std::size_t(y) * s.iwidth + x];
                const int c = colour[x % 48];
                ASSERT_EQ(c, theirs.fcol(int(y), int(x)));
                ASSERT_EQ(samples[x], want[c]) << y << " " << x;
                for (int k = 0; k < 4; ++k)
                    if (k != c) ASSERT_EQ(want[k], 0) << y << " " << x;
            }
            std::lock_guard<std::mutex> hold(lock);
            ++site_rows[y];
        });
    band_thread_count = saved;
    EXPECT_EQ(delivered_sites, !half);
    if (half) return;
    for (unsigned y = 0; y < s.iheight; ++y) ASSERT_EQ(site_rows[y], 1) << y;
    EXPECT_EQ(sites.imgdata.color.data_maximum, b.data_maximum);
}

TEST(ImageRowsOnThreads, FullAndHalfSizeAsLibRaw) {
    expect_same_rows(false, 4, nullptr);
    expect_same_rows(false, 1, nullptr);
    expect_same_rows(true, 3, nullptr);
}

TEST(ImageRowsOnThreads, PerChannelPatternAndNoBlackAsLibRaw) {
    expect_same_rows(false, 5, [](libraw_colordata_t& c) {
        c.cblack[0] = 300;
        c.cblack[1] = 2100;
        c.cblack[2] = 900;
        c.cblack[3] = 2500;
    });
    expect_same_rows(true, 2, [](libraw_colordata_t& c) {
        c.cblack[4] = 2;
        c.cblack[5] = 3;
        const unsigned pattern[6] = {100, 2000, 30, 4000, 0, 1500};
        for (int i = 0; i < 6; ++i) c.cblack[6 + i] = pattern[i];
    });
    expect_same_rows(false, 8, [](libraw_colordata_t& c) {
        std::memset(c.cblack, 0, sizeof c.cblack);
        c.black = 0;
    });
    // Levels a damaged file may declare: the differences wrap as LibRaw's do.
    expect_same_rows(true, 3, [](libraw_colordata_t& c) {
        c.cblack[0] = 0x80000000u;
        c.cblack[1] = 0xfffffff0u;
        c.cblack[2] = 7;
        c.cblack[3] = 0x7fffffffu;
        c.cblack[4] = 1;
        c.cblack[5] = 2;
        c.cblack[6] = 0xfffffffeu;
        c.cblack[7] = 0x80000001u;
    });
}

TEST(ImageRowsOnThreads, BeforeUnpackIsRefused) {
    LibRaw_DVK raw;
    EXPECT_FALSE(raw.begin_image_rows());
}

}  // namespace
}  // namespace dvk::test
