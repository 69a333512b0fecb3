#include "core/band_runner.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <system_error>
#include <thread>

#include "core/aligned_buffer.h"
#include "platform/log.h"
#include "platform/stage_timer.h"

namespace dvk {

namespace {

std::atomic<int> g_fail_after{-1};

// Starts a thread unless the test knob says this start fails.
std::thread start_thread(std::function<void()> fn) {
    int left = g_fail_after.load();
    if (left == 0) throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                                           "thread start refused");
    if (left > 0) g_fail_after.store(left - 1);
    return std::thread(std::move(fn));
}

void run_records(const BandWorker& worker, std::vector<band_record>& recs) {
    run_on_threads(static_cast<int>(recs.size()), [&](int i) { worker(&recs[static_cast<std::size_t>(i)]); });
}

// One block move of the overlapping runners, in rows.
struct RowMove {
    std::size_t src, dst, rows;
};

// Runs `moves` with the result of memmoves in the given order, where that
// order lets every move read its source before any other move writes over it
// (as the runners' orders do). Large moves run one per thread: first the rows
// of each source that another move's destination covers are put aside, then
// every move copies its other rows and its rows put aside. Small moves, a
// layout where the covered rows are not at the end the move copies last, or
// a failed allocation give the plain memmoves in order.
// `aside` is the buffer for the rows put aside; it is grown when too small
// and kept for the caller's next moves (fresh pages cost more than the copies).
void run_row_moves(float* image, std::size_t row_floats, const std::vector<RowMove>& moves,
                   AlignedBuffer<float>& aside, std::size_t& aside_floats) {
    const std::size_t row_bytes = row_floats * sizeof(float);
    auto serial = [&] {
        for (const RowMove& m : moves)
            if (m.rows && m.src != m.dst)
                std::memmove(image + m.dst * row_floats, image + m.src * row_floats, m.rows * row_bytes);
    };
    std::size_t total = 0;
    for (const RowMove& m : moves) total += m.rows;
    constexpr std::size_t kParallelBytes = std::size_t(16) << 20;
    if (moves.size() < 2 || total * row_bytes < kParallelBytes) return serial();
    // Rows put aside: a head of a forward move, a tail of a backward one.
    std::vector<std::size_t> keep(moves.size(), 0), keep_at(moves.size(), 0);
    std::size_t kept = 0;
    for (std::size_t k = 0; k < moves.size(); ++k) {
        const RowMove& m = moves[k];
        std::size_t lo = m.rows, hi = 0;  // covered source rows, relative to m.src
        for (std::size_t j = 0; j < moves.size(); ++j) {
            if (j == k || moves[j].rows == 0) continue;
            const std::size_t a = std::max(m.src, moves[j].dst), b = std::min(m.src + m.rows, moves[j].dst + moves[j].rows);
            if (a >= b) continue;
            lo = std::min(lo, a - m.src);
            hi = std::max(hi, b - m.src);
        }
        if (hi <= lo) continue;
        if (m.dst >= m.src && lo == 0) {
            keep[k] = hi;
            keep_at[k] = 0;
        } else if (m.dst < m.src && hi == m.rows) {
            keep[k] = m.rows - lo;
            keep_at[k] = lo;
        } else {
            return serial();
        }
        kept += keep[k];
    }
    if (kept && aside_floats < kept * row_floats) {
        aside.reset();
        aside = allocate_aligned<float>(kept * row_floats);
        aside_floats = aside ? kept * row_floats : 0;
        if (!aside) return serial();
    }
    std::vector<std::size_t> aside_row(moves.size(), 0);
    for (std::size_t k = 0, pos = 0; k < moves.size(); ++k) {
        aside_row[k] = pos;
        pos += keep[k];
    }
    const int n = static_cast<int>(moves.size());
    run_on_threads(n, [&](int i) {
        const std::size_t k = static_cast<std::size_t>(i);
        if (keep[k])
            std::memcpy(aside.get() + aside_row[k] * row_floats, image + (moves[k].src + keep_at[k]) * row_floats,
                        keep[k] * row_bytes);
    });
    run_on_threads(n, [&](int i) {
        const std::size_t k = static_cast<std::size_t>(i);
        const RowMove& m = moves[k];
        if (m.rows == 0) return;
        // The rows not put aside lie before or after the kept ones.
        const std::size_t first = keep_at[k] == 0 ? keep[k] : 0;
        const std::size_t rest = m.rows - keep[k];
        if (rest) std::memmove(image + (m.dst + first) * row_floats, image + (m.src + first) * row_floats, rest * row_bytes);
        if (keep[k])
            std::memcpy(image + (m.dst + keep_at[k]) * row_floats, aside.get() + aside_row[k] * row_floats,
                        keep[k] * row_bytes);
    });
}

// The block moves, threads and copy-back shared by the two overlapping runners.
void run_overlapped(const BandWorker& worker, const BandLayout& lay, int overlap, float* image, unsigned width,
                    int channels) {
    const int n = lay.bands;
    const std::size_t row_floats = static_cast<std::size_t>(width) * static_cast<std::size_t>(channels);
    // An overlap larger than a band would read rows outside the image: it is
    // limited to the smallest band (which gives the same rows to every band).
    std::size_t v = overlap > 0 ? static_cast<std::size_t>(overlap) : 0;
    for (unsigned own : lay.own_rows) v = std::min<std::size_t>(v, own);
    std::vector<band_record> recs(static_cast<std::size_t>(n));
    if (n == 1) {
        recs[0].band_start = image;
        recs[0].width = width;
        recs[0].rows_with_overlap = lay.own_rows[0];
        recs[0].own_rows_dest = image;
        recs[0].own_rows = lay.own_rows[0];
        run_records(worker, recs);
        return;
    }
    // Block positions: band 0 in place (own rows plus v below), then every
    // other band's block (v above, own rows, v below except for the last).
    std::vector<std::size_t> block_row(static_cast<std::size_t>(n));
    std::vector<std::size_t> block_len(static_cast<std::size_t>(n));
    std::size_t pos = 0;
    for (int i = 0; i < n; ++i) {
        const std::size_t own = lay.own_rows[static_cast<std::size_t>(i)];
        const std::size_t len = i == 0 ? own + v : (i == n - 1 ? v + own : 2 * v + own);
        block_row[static_cast<std::size_t>(i)] = pos;
        block_len[static_cast<std::size_t>(i)] = len;
        pos += len;
    }
    // Move the blocks from the last to the first: each destination lies at or
    // after its source, and no block overwrites rows a lower band still needs.
    std::vector<RowMove> moves;
    AlignedBuffer<float> aside;  // shared by the moves and the copy-back
    std::size_t aside_floats = 0;
    for (int i = n - 1; i >= 1; --i) {
        const std::size_t src_row = lay.first_row[static_cast<std::size_t>(i)] - v;
        moves.push_back({src_row, block_row[static_cast<std::size_t>(i)], block_len[static_cast<std::size_t>(i)]});
    }
    StageTimer timer("  block moves");
    run_row_moves(image, row_floats, moves, aside, aside_floats);
    timer.lap("  band workers");
    for (int i = 0; i < n; ++i) {
        band_record& r = recs[static_cast<std::size_t>(i)];
        r.band_start = image + block_row[static_cast<std::size_t>(i)] * row_floats;
        r.width = width;
        r.rows_with_overlap = static_cast<std::uint32_t>(block_len[static_cast<std::size_t>(i)]);
        r.own_rows_dest = image + static_cast<std::size_t>(lay.first_row[static_cast<std::size_t>(i)]) * row_floats;
        r.own_rows = lay.own_rows[static_cast<std::size_t>(i)];
    }
    run_records(worker, recs);
    timer.lap("  copy back");
    // Copy back in increasing band order: every destination lies before its
    // source and ends before the next block begins.
    moves.clear();
    for (int i = 1; i < n; ++i) {
        const band_record& r = recs[static_cast<std::size_t>(i)];
        moves.push_back({static_cast<std::size_t>(r.band_start - image) / row_floats + v,
                         static_cast<std::size_t>(r.own_rows_dest - image) / row_floats, r.own_rows});
    }
    run_row_moves(image, row_floats, moves, aside, aside_floats);
}

// Overlapping runners: every band but the first has `rest` rows, and the first
// takes what is left of `rows`.
void lay_first_takes_rest(BandLayout& lay, unsigned rows, unsigned rest) {
    const unsigned first = rows - rest * static_cast<unsigned>(lay.bands - 1);
    lay.first_row.push_back(0);
    lay.own_rows.push_back(first);
    for (int i = 1; i < lay.bands; ++i) {
        lay.first_row.push_back(first + static_cast<unsigned>(i - 1) * rest);
        lay.own_rows.push_back(rest);
    }
}

BandLayout in_place_layout(int n, unsigned height, unsigned step) {
    BandLayout lay;
    lay.bands = n;
    for (int i = 0; i < n; ++i) {
        const unsigned first = static_cast<unsigned>(i) * step;
        const unsigned rows = i == n - 1 ? (height > first ? height - first : 0) : step;
        lay.first_row.push_back(first);
        lay.own_rows.push_back(rows);
    }
    return lay;
}

BandLayout run_in_place(const BandWorker& worker, const BandLayout& lay, float* image, unsigned width,
                        int channels) {
    std::vector<band_record> recs(static_cast<std::size_t>(lay.bands));
    const std::size_t row_floats = static_cast<std::size_t>(width) * static_cast<std::size_t>(channels);
    for (int i = 0; i < lay.bands; ++i) {
        band_record& r = recs[static_cast<std::size_t>(i)];
        r.band_start = image + static_cast<std::size_t>(lay.first_row[static_cast<std::size_t>(i)]) * row_floats;
        r.width = width;
        r.rows_with_overlap = lay.own_rows[static_cast<std::size_t>(i)];
        r.own_rows_dest = r.band_start;
        r.own_rows = r.rows_with_overlap;
    }
    run_records(worker, recs);
    return lay;
}

}  // namespace

void band_runner_fail_thread_starts_after(int n) { g_fail_after.store(n); }

void run_on_threads(int count, const std::function<void(int index)>& task) {
    if (count <= 0) return;
    std::vector<std::thread> threads;
    threads.reserve(static_cast<std::size_t>(count));
    int started = 0;
    try {
        for (; started < count; ++started) {
            const int index = started;
            threads.push_back(start_thread([&task, index] { task(index); }));
        }
    } catch (const std::exception& e) {
        log_line("%s", e.what());
    }
    // Bands that never got a thread are not waited for: they run here.
    for (int i = started; i < count; ++i) task(i);
    for (std::thread& t : threads) t.join();
}

void run_index_chunks(std::size_t count, int threads, std::size_t min_chunk,
                      const std::function<void(std::size_t begin, std::size_t end)>& fn) {
    if (count == 0) return;
    std::size_t n = threads < 1 ? 1 : static_cast<std::size_t>(threads);
    const std::size_t most = (count + std::max<std::size_t>(min_chunk, 1) - 1) / std::max<std::size_t>(min_chunk, 1);
    n = std::min(n, std::max<std::size_t>(most, 1));
    if (n == 1) {
        fn(0, count);
        return;
    }
    const std::size_t base = count / n, extra = count % n;
    auto range = [&](std::size_t i, std::size_t& b, std::size_t& e) {
        b = i * base + std::min(i, extra);
        e = b + base + (i < extra ? 1 : 0);
    };
    std::vector<std::thread> workers;
    workers.reserve(n - 1);
    std::size_t started = 1;
    try {
        for (; started < n; ++started) {
            std::size_t b, e;
            range(started, b, e);
            workers.push_back(start_thread([&fn, b, e] { fn(b, e); }));
        }
    } catch (const std::exception& ex) {
        log_line("%s", ex.what());
    }
    std::size_t b0, e0;
    range(0, b0, e0);
    fn(b0, e0);
    for (std::size_t i = started; i < n; ++i) {
        std::size_t b, e;
        range(i, b, e);
        fn(b, e);
    }
    for (std::thread& t : workers) t.join();
}

void run_row_chunks(unsigned rows, int threads, const std::function<void(unsigned first, unsigned count)>& fn) {
    run_index_chunks(rows, threads, 1, [&](std::size_t b, std::size_t e) {
        fn(static_cast<unsigned>(b), static_cast<unsigned>(e - b));
    });
}

BandLayout rgbg_overlap_layout(int threads, unsigned height) {
    int n = threads < 1 ? 1 : threads;
    if (height / static_cast<unsigned>(n) < 150) n = static_cast<int>(height / 150);
    if (n < 1) n = 1;
    const unsigned h2 = height & ~1u;
    BandLayout lay;
    lay.bands = n;
    if (n == 1) {
        lay.first_row.push_back(0);
        lay.own_rows.push_back(h2);
        return lay;
    }
    const unsigned rest = 12 * ((h2 / static_cast<unsigned>(n)) / 12);
    lay_first_takes_rest(lay, h2, rest);
    return lay;
}

BandLayout rgb_overlap_layout(int threads, unsigned height) {
    int n = threads < 1 ? 1 : threads;
    if (height / static_cast<unsigned>(n) < 300) n = static_cast<int>(height / 300);
    if (n < 1) n = 1;
    BandLayout lay;
    lay.bands = n;
    lay_first_takes_rest(lay, height, height / static_cast<unsigned>(n));
    return lay;
}

bool run_bands_with_private_overlaps(const RowBandWorker& worker, const BandLayout& lay, int overlap, float* image,
                                     unsigned width, int channels) {
    const int n = lay.bands;
    if (!image || width == 0 || n < 1 || lay.own_rows.empty() || lay.own_rows[0] == 0) return true;
    const std::size_t row_floats = static_cast<std::size_t>(width) * static_cast<std::size_t>(channels);
    // The overlap of the moving runner, limited to the smallest band.
    std::size_t v = overlap > 0 && n > 1 ? static_cast<std::size_t>(overlap) : 0;
    for (unsigned own : lay.own_rows) v = std::min<std::size_t>(v, own);
    struct Band {
        AlignedBuffer<float> above, below;
        std::vector<float*> rows;
    };
    std::vector<Band> bands(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        Band& b = bands[static_cast<std::size_t>(i)];
        const std::size_t first = lay.first_row[static_cast<std::size_t>(i)];
        const std::size_t own = lay.own_rows[static_cast<std::size_t>(i)];
        const std::size_t up = i > 0 ? v : 0, down = i < n - 1 ? v : 0;
        if (up) {
            b.above = allocate_aligned<float>(up * row_floats);
            if (!b.above) return false;
            std::memcpy(b.above.get(), image + (first - up) * row_floats, up * row_floats * sizeof(float));
        }
        if (down) {
            b.below = allocate_aligned<float>(down * row_floats);
            if (!b.below) return false;
            std::memcpy(b.below.get(), image + (first + own) * row_floats, down * row_floats * sizeof(float));
        }
        b.rows.reserve(up + own + down);
        for (std::size_t k = 0; k < up; ++k) b.rows.push_back(b.above.get() + k * row_floats);
        for (std::size_t k = 0; k < own; ++k) b.rows.push_back(image + (first + k) * row_floats);
        for (std::size_t k = 0; k < down; ++k) b.rows.push_back(b.below.get() + k * row_floats);
    }
    run_on_threads(n, [&](int i) {
        Band& b = bands[static_cast<std::size_t>(i)];
        worker(b.rows.data(), static_cast<unsigned>(b.rows.size()));
    });
    return true;
}

BandLayout run_rgbg_bands_overlap(const BandWorker& worker, int threads, int overlap, float* image, unsigned width,
                                  unsigned height) {
    BandLayout lay = rgbg_overlap_layout(threads, height);
    if (!image || !width || lay.own_rows[0] == 0) return lay;
    // The blocks are laid out from the even height on, over the last row of an
    // odd-height image, which no band processes: it is kept aside meanwhile.
    const std::size_t row_floats = static_cast<std::size_t>(width) * 4;
    const unsigned h2 = height & ~1u;
    std::vector<float> last_row;
    if (h2 < height && lay.bands > 1 && overlap > 0)
        last_row.assign(image + h2 * row_floats, image + height * row_floats);
    run_overlapped(worker, lay, overlap, image, width, 4);
    if (!last_row.empty()) std::copy(last_row.begin(), last_row.end(), image + h2 * row_floats);
    return lay;
}

BandLayout run_rgb_bands_overlap(const BandWorker& worker, int threads, int overlap, float* image, unsigned width,
                                 unsigned height) {
    BandLayout lay = rgb_overlap_layout(threads, height);
    if (image && width && height) run_overlapped(worker, lay, overlap, image, width, 3);
    return lay;
}

BandLayout run_rgb_bands(const BandWorker& worker, int threads, float* image, unsigned width, unsigned height) {
    const int n = threads < 1 ? 1 : threads;
    BandLayout lay = in_place_layout(n, height, height / static_cast<unsigned>(n));
    return run_in_place(worker, lay, image, width, 3);
}

BandLayout run_rgbg_curve_bands(const BandWorker& worker, int threads, float* image, unsigned width,
                                unsigned height) {
    const int n = threads < 1 ? 1 : threads;
    BandLayout lay = in_place_layout(n, height, 12 * ((height / static_cast<unsigned>(n)) / 12));
    return run_in_place(worker, lay, image, width, 4);
}

}  // namespace dvk
