// Row-band threading: the one place in the program that makes threads.
//
// A runner cuts an image into horizontal bands, starts one thread per band
// (band 0 first), runs a worker on each band's `band_record` and returns when
// every band is done. The overlapping runners first lay each band's block (its
// own rows with `overlap` rows of its neighbours above and below) one after
// another behind band 0, so the buffer must hold (bands - 1) x 2 x overlap
// rows more than the image; afterwards they copy each band's own rows back.
// A band whose thread cannot be started is run on the calling thread.
//
// `run_row_chunks` is the generic form for code that only needs its rows split
// among threads (colour conversions, benchmarks).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace dvk {

struct band_record {
    float* band_start = nullptr;     // first row of the band's block (overlap rows included)
    std::uint32_t width = 0;         // pixels per row
    std::uint32_t rows_with_overlap = 0;  // rows in the block; the worker processes this many
    float* own_rows_dest = nullptr;  // where the band's own rows belong (overlapping runners)
    std::uint32_t own_rows = 0;      // number of the band's own rows (overlapping runners)
    std::uint32_t done = 0;          // 0 when started; the worker sets 1 as its last action
};

using BandWorker = std::function<void(band_record*)>;

// How a run was cut, for callers and tests.
struct BandLayout {
    int bands = 0;
    std::vector<unsigned> first_row;  // first own row of each band in the image
    std::vector<unsigned> own_rows;   // own rows of each band
};

// Four-channel float image (4 floats a pixel), with overlap. Bands of at least
// 150 rows; the height is rounded down to even; every band but the first has a
// multiple of 12 own rows.
BandLayout run_rgbg_bands_overlap(const BandWorker& worker, int threads, int overlap, float* image,
                                  unsigned width, unsigned height);
// Float RGB image (3 floats a pixel), with overlap. Bands of at least 300 rows;
// every band but the first has floor(height / bands) own rows.
BandLayout run_rgb_bands_overlap(const BandWorker& worker, int threads, int overlap, float* image,
                                 unsigned width, unsigned height);
// Float RGB image, in place without overlap: every band but the last has
// floor(height / threads) rows, the last takes the rest.
BandLayout run_rgb_bands(const BandWorker& worker, int threads, float* image, unsigned width, unsigned height);
// Four-channel image, in place without overlap, cut for the tone-curve stage:
// every band but the last has 12 x floor(floor(height / threads) / 12) rows,
// the last takes the rest.
BandLayout run_rgbg_curve_bands(const BandWorker& worker, int threads, float* image, unsigned width,
                                unsigned height);

// The overlapping runs without moving the image: each band's block is given
// as row pointers (rows[0..count)): the overlap rows of its neighbours point
// into copies of the band's own, taken before any band starts, and its own
// rows are the image's rows in place. For workers that compute each row of
// the block from the block alone, the image ends as after the overlapping
// runner with the same layout and overlap (results in the overlap rows stay
// in the copies). Returns false, running nothing, when the copies cannot be
// allocated.
using RowBandWorker = std::function<void(float* const* rows, unsigned count)>;
bool run_bands_with_private_overlaps(const RowBandWorker& worker, const BandLayout& lay, int overlap, float* image,
                                     unsigned width, int channels);

// Band counts and heights alone (no threads), as the runners above cut them.
BandLayout rgbg_overlap_layout(int threads, unsigned height);
BandLayout rgb_overlap_layout(int threads, unsigned height);

// Runs fn(first_row, row_count) over `rows` rows split into at most `threads`
// nearly equal chunks: chunk 0 on the calling thread, every other chunk on a
// thread of its own (or on the calling thread when its thread cannot start).
void run_row_chunks(unsigned rows, int threads, const std::function<void(unsigned first, unsigned count)>& fn);
// The same over `count` items (pixels, samples) as [begin, end) ranges, with
// chunks of at least `min_chunk` items, so small jobs stay on one thread.
void run_index_chunks(std::size_t count, int threads, std::size_t min_chunk,
                      const std::function<void(std::size_t begin, std::size_t end)>& fn);

// Runs task(i) for i in [0, count) on one new thread each and waits for all.
// A task whose thread cannot be started (and every later one) runs on the
// calling thread after the message is logged.
void run_on_threads(int count, const std::function<void(int index)>& task);

// For tests: the next `n` thread starts succeed and the ones after fail as if
// the system refused them; a negative n (the default) lets every start succeed.
void band_runner_fail_thread_starts_after(int n);

}  // namespace dvk
