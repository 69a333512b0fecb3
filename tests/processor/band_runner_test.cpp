#include "core/band_runner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <numeric>
#include <vector>

namespace dvk {
namespace {

TEST(BandLayout, FourChannelThreeBandsOf1000Rows) {
    BandLayout lay = rgbg_overlap_layout(3, 1000);
    ASSERT_EQ(lay.bands, 3);
    EXPECT_EQ(lay.own_rows[0], 352u);
    EXPECT_EQ(lay.own_rows[1], 324u);
    EXPECT_EQ(lay.own_rows[2], 324u);
    EXPECT_EQ(lay.first_row[1], 352u);
    EXPECT_EQ(lay.first_row[2], 676u);
}

TEST(BandLayout, ShortImagesGetOneBand) {
    EXPECT_EQ(rgbg_overlap_layout(8, 149).bands, 1);
    EXPECT_EQ(rgbg_overlap_layout(8, 300).bands, 2);
    EXPECT_EQ(rgb_overlap_layout(8, 299).bands, 1);
    EXPECT_EQ(rgb_overlap_layout(8, 900).bands, 3);
    EXPECT_EQ(rgbg_overlap_layout(0, 10).bands, 1);
}

TEST(BandLayout, OddHeightLeavesLastRowInFourChannelRunner) {
    BandLayout lay = rgbg_overlap_layout(4, 101);
    ASSERT_EQ(lay.bands, 1);
    EXPECT_EQ(lay.own_rows[0], 100u);
    BandLayout lay2 = rgbg_overlap_layout(2, 601);
    EXPECT_EQ(lay2.own_rows[0] + lay2.own_rows[1], 600u);
    EXPECT_EQ(lay2.own_rows[1] % 12, 0u);
}

// Fills row r of a w-pixel image (c floats a pixel) with the value r.
std::vector<float> row_index_image(unsigned w, unsigned h, unsigned spare, int c) {
    std::vector<float> img(static_cast<std::size_t>(w) * (h + spare) * c, -1.0f);
    for (unsigned r = 0; r < h; ++r)
        for (unsigned i = 0; i < w * static_cast<unsigned>(c); ++i) img[static_cast<std::size_t>(r) * w * c + i] = float(r);
    return img;
}

TEST(BandRunner, OverlapBlocksHoldTheirNeighbourRowsAndCopyBack) {
    const unsigned w = 5, h = 1000;
    const int n = 3, v = 16;
    auto img = row_index_image(w, h, 2 * v * (n - 1), 4);
    std::atomic<int> bad{0};
    BandLayout lay = run_rgbg_bands_overlap(
        [&](band_record* b) {
            // Row k of the block holds image row (own start - overlap + k), except band 0.
            const float first = b->rows_with_overlap == b->own_rows + v ? -1 : 0;
            (void)first;
            const std::size_t dest_row = static_cast<std::size_t>(b->own_rows_dest - img.data()) / (w * 4);
            const long top = dest_row == 0 ? 0 : static_cast<long>(dest_row) - v;
            for (unsigned k = 0; k < b->rows_with_overlap; ++k) {
                float* row = b->band_start + static_cast<std::size_t>(k) * w * 4;
                if (row[0] != float(top + k)) ++bad;
                for (unsigned i = 0; i < w * 4; ++i) row[i] = row[i] * 2 + 1;
            }
            b->done = 1;
        },
        n, v, img.data(), w, h);
    EXPECT_EQ(bad.load(), 0);
    ASSERT_EQ(lay.bands, 3);
    for (unsigned r = 0; r < h; ++r)
        for (unsigned i = 0; i < w * 4; ++i)
            ASSERT_EQ(img[static_cast<std::size_t>(r) * w * 4 + i], float(r) * 2 + 1) << "row " << r;
}

TEST(BandRunner, OddHeightRowStaysUnprocessed) {
    const unsigned w = 3, h = 7;
    auto img = row_index_image(w, h, 0, 4);
    run_rgbg_bands_overlap(
        [&](band_record* b) {
            for (unsigned k = 0; k < b->rows_with_overlap * w * 4; ++k) b->band_start[k] = 100;
        },
        4, 4, img.data(), w, h);
    EXPECT_EQ(img[5 * w * 4], 100.0f);
    EXPECT_EQ(img[6 * w * 4], 6.0f);
}

TEST(BandRunner, OddHeightRowIsNotOverwrittenByTheBlockMoves) {
    // Several bands: the blocks are laid out from the even height on, and the
    // unprocessed last row must come back as it was.
    const unsigned w = 5, h = 601;
    const int overlap = 8;
    auto img = row_index_image(w, h, 2 * overlap, 4);
    BandLayout lay = run_rgbg_bands_overlap(
        [&](band_record* b) {
            for (std::size_t k = 0; k < std::size_t(b->rows_with_overlap) * w * 4; ++k) b->band_start[k] += 1000;
        },
        2, overlap, img.data(), w, h);
    ASSERT_EQ(lay.bands, 2);
    for (unsigned x = 0; x < w * 4; ++x) {
        EXPECT_EQ(img[std::size_t(h - 1) * w * 4 + x], float(h - 1));
        EXPECT_EQ(img[std::size_t(h - 2) * w * 4 + x], float(h - 2) + 1000);
    }
}

TEST(BandRunner, PrivateOverlapsGiveEachBandItsBlockAndWriteOnlyOwnRows) {
    const unsigned w = 4, h = 1000;
    const int overlap = 5;
    const BandLayout lay = rgbg_overlap_layout(3, h);
    auto img = row_index_image(w, h, 0, 4);
    std::atomic<int> bands{0};
    ASSERT_TRUE(run_bands_with_private_overlaps(
        [&](float* const* rows, unsigned count) {
            // The block's rows hold consecutive image rows, overlaps included.
            const float first = rows[0][0];
            for (unsigned r = 0; r < count; ++r) EXPECT_EQ(rows[r][0], first + float(r));
            for (unsigned r = 0; r < count; ++r)
                for (unsigned k = 0; k < w * 4; ++k) rows[r][k] += 1000;
            ++bands;
        },
        lay, overlap, img.data(), w, 4));
    EXPECT_EQ(bands.load(), 3);
    // Every own row was raised once: the overlap rows went to the copies.
    for (unsigned r = 0; r < h; ++r)
        for (unsigned k = 0; k < w * 4; ++k) ASSERT_EQ(img[std::size_t(r) * w * 4 + k], float(r) + 1000) << r;
}

// A vertical 5-tap box filter per column: needs two rows of neighbours.
void vertical_box(band_record* b, int c) {
    const unsigned w = b->width * static_cast<unsigned>(c), h = b->rows_with_overlap;
    std::vector<float> out(static_cast<std::size_t>(w) * h);
    for (unsigned r = 0; r < h; ++r)
        for (unsigned i = 0; i < w; ++i) {
            float s = 0;
            for (int k = -2; k <= 2; ++k) {
                long rr = static_cast<long>(r) + k;
                if (rr < 0) rr = 0;
                if (rr >= static_cast<long>(h)) rr = h - 1;
                s += b->band_start[static_cast<std::size_t>(rr) * w + i];
            }
            out[static_cast<std::size_t>(r) * w + i] = s;
        }
    std::copy(out.begin(), out.end(), b->band_start);
}

TEST(BandRunner, BandedRgbRunMatchesSingleBand) {
    const unsigned w = 7, h = 1300;
    std::vector<float> a(static_cast<std::size_t>(w) * (h + 2 * 8 * 3) * 3);
    for (std::size_t i = 0; i < a.size(); ++i) a[i] = float((i * 7919) % 1013);
    std::vector<float> b = a;
    run_rgb_bands_overlap([](band_record* r) { vertical_box(r, 3); }, 1, 8, a.data(), w, h);
    BandLayout lay = run_rgb_bands_overlap([](band_record* r) { vertical_box(r, 3); }, 4, 8, b.data(), w, h);
    EXPECT_EQ(lay.bands, 4);
    for (std::size_t i = 0; i < static_cast<std::size_t>(w) * h * 3; ++i) ASSERT_EQ(a[i], b[i]) << i;
}

TEST(BandRunner, OverlapLargerThanBandsIsLimited) {
    const unsigned w = 2, h = 620;
    std::vector<float> a(static_cast<std::size_t>(w) * (h + 2 * 4000) * 3, 1.0f);
    std::atomic<unsigned> max_rows{0};
    run_rgb_bands_overlap(
        [&](band_record* r) {
            if (r->rows_with_overlap > max_rows) max_rows = r->rows_with_overlap;
        },
        2, 4000, a.data(), w, h);
    EXPECT_LE(max_rows.load(), h);
}

TEST(BandRunner, NoOverlapRunnerGivesEmptyBandsBeforeTheLast) {
    const unsigned w = 4, h = 3;
    std::vector<float> img(w * h * 3, 0.0f);
    std::vector<unsigned> rows(8, 99);
    std::atomic<int> calls{0};
    run_rgb_bands(
        [&](band_record* b) {
            const std::size_t idx = b->rows_with_overlap == 0 ? static_cast<std::size_t>(calls.fetch_add(1)) : 7;
            rows[idx] = b->rows_with_overlap;
            for (unsigned k = 0; k < b->rows_with_overlap * w * 3; ++k) b->band_start[k] += 1;
        },
        8, img.data(), w, h);
    EXPECT_EQ(calls.load(), 7);
    EXPECT_EQ(rows[7], 3u);
    for (float v : img) EXPECT_EQ(v, 1.0f);
}

TEST(BandRunner, CurveBandsAreMultiplesOf12AndCoverAllRows) {
    const unsigned w = 2, h = 1001;
    std::vector<float> img(w * h * 4, 0.0f);
    BandLayout lay = run_rgbg_curve_bands(
        [&](band_record* b) {
            for (unsigned k = 0; k < b->rows_with_overlap * w * 4; ++k) b->band_start[k] += 1;
        },
        3, img.data(), w, h);
    EXPECT_EQ(lay.own_rows[0], 324u);
    EXPECT_EQ(lay.own_rows[2], 1001u - 648u);
    for (float v : img) ASSERT_EQ(v, 1.0f);
}

TEST(BandRunner, RefusedThreadRunsItsBandOnTheCallingThread) {
    const unsigned w = 3, h = 1200;
    std::vector<float> img(static_cast<std::size_t>(w) * (h + 2 * 4 * 7) * 4, 0.0f);
    band_runner_fail_thread_starts_after(1);
    BandLayout lay = run_rgbg_bands_overlap(
        [&](band_record* b) {
            for (unsigned k = 0; k < b->rows_with_overlap * w * 4; ++k) b->band_start[k] += 1;
        },
        8, 4, img.data(), w, h);
    band_runner_fail_thread_starts_after(-1);
    EXPECT_EQ(lay.bands, 8);
    for (std::size_t i = 0; i < static_cast<std::size_t>(w) * h * 4; ++i) ASSERT_EQ(img[i], 1.0f) << i;
}

TEST(RowChunks, EveryRowOnce) {
    std::vector<std::atomic<int>> seen(1003);
    run_row_chunks(1003, 6, [&](unsigned first, unsigned count) {
        for (unsigned r = first; r < first + count; ++r) seen[r]++;
    });
    for (auto& s : seen) ASSERT_EQ(s.load(), 1);
    int calls = 0;
    run_row_chunks(0, 4, [&](unsigned, unsigned) { ++calls; });
    EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace dvk

namespace dvk {
namespace {

TEST(IndexChunks, SmallJobsStayOnOneChunkAndRefusedThreadsStillRun) {
    int calls = 0;
    run_index_chunks(1000, 8, 4096, [&](std::size_t b, std::size_t e) {
        ++calls;
        EXPECT_EQ(b, 0u);
        EXPECT_EQ(e, 1000u);
    });
    EXPECT_EQ(calls, 1);
    std::vector<std::atomic<int>> seen(10007);
    band_runner_fail_thread_starts_after(2);
    run_index_chunks(seen.size(), 6, 100, [&](std::size_t b, std::size_t e) {
        for (std::size_t i = b; i < e; ++i) seen[i]++;
    });
    band_runner_fail_thread_starts_after(-1);
    for (auto& s : seen) ASSERT_EQ(s.load(), 1);
}

}  // namespace
}  // namespace dvk

namespace dvk {
namespace {

// Large images: the block moves and the copy-back run on several threads.
// Every band must still see its neighbours' original rows, and every row
// must come back processed exactly once.
void check_large_overlapped_run(int channels, unsigned w, unsigned h, int n, int v) {
    auto img = row_index_image(w, h, 2 * static_cast<unsigned>(v) * static_cast<unsigned>(n - 1), channels);
    const std::size_t row = static_cast<std::size_t>(w) * static_cast<std::size_t>(channels);
    std::atomic<int> bad{0};
    auto worker = [&](band_record* b) {
        const std::size_t dest_row = static_cast<std::size_t>(b->own_rows_dest - img.data()) / row;
        const std::size_t top = dest_row == 0 ? 0 : dest_row - static_cast<std::size_t>(v);
        for (unsigned k = 0; k < b->rows_with_overlap; ++k) {
            float* p = b->band_start + static_cast<std::size_t>(k) * row;
            if (p[0] != float(top + k) || p[row - 1] != float(top + k)) ++bad;
            for (std::size_t i = 0; i < row; ++i) p[i] = p[i] * 2 + 1;
        }
        b->done = 1;
    };
    const BandLayout lay = channels == 4 ? run_rgbg_bands_overlap(worker, n, v, img.data(), w, h)
                                         : run_rgb_bands_overlap(worker, n, v, img.data(), w, h);
    EXPECT_EQ(lay.bands, n);
    EXPECT_EQ(bad.load(), 0);
    const unsigned done_rows = channels == 4 ? h & ~1u : h;
    for (unsigned r = 0; r < done_rows; ++r)
        for (std::size_t i = 0; i < row; i += 97)
            ASSERT_EQ(img[r * row + i], float(r) * 2 + 1) << "row " << r << " sample " << i;
}

TEST(BandRunner, LargeFourChannelRunMovesItsBlocksOnThreads) { check_large_overlapped_run(4, 700, 1600, 8, 16); }

TEST(BandRunner, LargeRgbRunWithWideOverlapMovesItsBlocksOnThreads) {
    check_large_overlapped_run(3, 1000, 1800, 6, 150);
}

}  // namespace
}  // namespace dvk
