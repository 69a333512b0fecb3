// LibRaw_DVK::begin_image_rows / image_rows_on_threads: LibRaw's four-channel
// image, black subtracted, one row at a time on the band threads, without
// the whole image ever being held.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "core/aligned_buffer.h"
#include "core/band_runner.h"
#include "core/dvklib.h"
#include "core/libraw_dvk.h"

namespace dvk {

namespace {

// What a run over row groups found: the largest value of its rows, and
// whether every chunk could run (each needs its scratch buffer).
struct RowGroupsRun {
    int maximum = 0;
    bool complete = true;
};

// Runs chunk(first, count, buffer) on the band threads over rows [0, rows) in
// whole groups: group 0 holds the rows before `origin` (possibly none), group
// k >= 1 the `group_rows` rows from origin + (k - 1) x group_rows. Each chunk
// gets a scratch buffer of `buffer_samples` samples and returns the largest
// value of its rows.
template <class Chunk>
RowGroupsRun run_row_groups(unsigned rows, unsigned origin, unsigned group_rows, std::size_t buffer_samples,
                            Chunk&& chunk) {
    RowGroupsRun run;
    std::mutex lock;
    if (group_rows == 0) group_rows = 1;
    if (origin > rows) origin = rows;
    const unsigned groups = 1 + (rows - origin + group_rows - 1) / group_rows;
    const auto group_start = [&](unsigned k) { return k == 0 ? 0u : std::min(rows, origin + (k - 1) * group_rows); };
    run_row_chunks(groups, band_thread_count, [&](unsigned first_group, unsigned group_count) {
        const unsigned first = group_start(first_group);
        const unsigned count = group_start(first_group + group_count) - first;
        AlignedBuffer<std::uint16_t> buffer = allocate_aligned<std::uint16_t>(buffer_samples);
        if (!buffer) {
            std::lock_guard<std::mutex> hold(lock);
            run.complete = false;
            return;
        }
        const int m = chunk(first, count, buffer.get());
        std::lock_guard<std::mutex> hold(lock);
        run.maximum = std::max(run.maximum, m);
    });
    return run;
}

}  // namespace

bool LibRaw_DVK::begin_image_rows() {
    if ((imgdata.progress_flags & LIBRAW_PROGRESS_THUMB_MASK) < LIBRAW_PROGRESS_LOAD_RAW) return false;
    const libraw_rawdata_t& rd = imgdata.rawdata;
    if (!rd.raw_image || !rd.iparams.filters || rd.ioparams.fuji_width || is_phaseone_compressed() || is_canon_600())
        return false;
    raw2image_start();
    if (imgdata.image) {
        free(imgdata.image);
        imgdata.image = nullptr;
    }
    imgdata.progress_flags = LIBRAW_PROGRESS_START | LIBRAW_PROGRESS_OPEN | LIBRAW_PROGRESS_RAW2_IMAGE |
                             LIBRAW_PROGRESS_IDENTIFY | LIBRAW_PROGRESS_SIZE_ADJUST | LIBRAW_PROGRESS_LOAD_RAW;
    // The black levels as subtract_black_on_threads() finds and clears them.
    adjust_bl();
    libraw_colordata_t& C = imgdata.color;
    row_black_ = RowBlack();
    if (C.cblack[0] || C.cblack[1] || C.cblack[2] || C.cblack[3] || (C.cblack[4] && C.cblack[5])) {
        row_black_.subtract = true;
        for (int c = 0; c < 4; ++c) row_black_.channel[c] = C.cblack[c];
        if (C.cblack[4] && C.cblack[5]) {
            row_black_.rows = C.cblack[4];
            row_black_.cols = C.cblack[5];
            row_black_.pattern.assign(C.cblack + 6, C.cblack + 6 + std::size_t(C.cblack[4]) * C.cblack[5]);
        }
        C.maximum -= C.black;
        std::memset(C.cblack, 0, sizeof C.cblack);
        C.black = 0;
    }
    return true;
}

bool LibRaw_DVK::image_rows_on_threads(const ImageRowFn& row_fn, unsigned group_origin, unsigned group_rows) {
    const libraw_image_sizes_t& S = imgdata.sizes;
    const unsigned shrink = libraw_internal_data.internal_output_params.shrink;
    // A site's colour repeats every 2 (Bayer), 16 (Leaf) or 6 (X-Trans)
    // columns: one row of 48 colours serves the whole row.
    constexpr unsigned kPeriod = 48;
    const std::uint16_t* raw = imgdata.rawdata.raw_image;
    const std::size_t pitch = S.raw_pitch / 2;
    const unsigned height = S.height, width = S.width, iwidth = S.iwidth;
    const unsigned top = S.top_margin, left = S.left_margin;
    const RowBlack& black = row_black_;
    const unsigned rows = S.iheight;
    const auto chunk = [&](unsigned first, unsigned count, std::uint16_t* buffer) {
        auto* px = reinterpret_cast<std::uint16_t(*)[4]>(buffer);
        int m = 0;
        for (unsigned y = first; y < first + count; ++y) {
            std::memset(buffer, 0, std::size_t(iwidth) * 4 * sizeof(std::uint16_t));
            // The raw rows of this image row (two at half size), in order.
            const unsigned row_end = std::min(height, (y + 1) << shrink);
            for (unsigned row = y << shrink; row < row_end; ++row) {
                unsigned char colour[kPeriod];
                for (unsigned k = 0; k < kPeriod; ++k) colour[k] = static_cast<unsigned char>(fcol(int(row), int(k)));
                const std::uint16_t* src = raw + (std::size_t(row) + top) * pitch + left;
                if (shrink) {
                    for (unsigned col = 0; col < width; ++col) px[col >> 1][colour[col % kPeriod]] = src[col];
                } else {
                    for (unsigned col = 0; col < width; ++col) px[col][colour[col % kPeriod]] = src[col];
                }
            }
            if (!black.subtract) {
                for (unsigned x = 0; x < iwidth; ++x)
                    for (int c = 0; c < 4; ++c) m = std::max(m, int(px[x][c]));
            } else if (black.rows && black.cols) {
                const unsigned* pattern = black.pattern.data() + std::size_t(y % black.rows) * black.cols;
                for (unsigned x = 0; x < iwidth; ++x) {
                    const unsigned b = pattern[x % black.cols];
                    for (int c = 0; c < 4; ++c) {
                        const int val = int(px[x][c] - b - black.channel[c]);
                        px[x][c] = std::uint16_t(std::clamp(val, 0, 65535));
                        m = std::max(m, val);
                    }
                }
            } else {
                const unsigned b0 = black.channel[0], b1 = black.channel[1];
                const unsigned b2 = black.channel[2], b3 = black.channel[3];
                for (unsigned x = 0; x < iwidth; ++x) {
                    const int v0 = int(px[x][0] - b0), v1 = int(px[x][1] - b1);
                    const int v2 = int(px[x][2] - b2), v3 = int(px[x][3] - b3);
                    px[x][0] = std::uint16_t(std::clamp(v0, 0, 65535));
                    px[x][1] = std::uint16_t(std::clamp(v1, 0, 65535));
                    px[x][2] = std::uint16_t(std::clamp(v2, 0, 65535));
                    px[x][3] = std::uint16_t(std::clamp(v3, 0, 65535));
                    m = std::max(m, std::max(std::max(v0, v1), std::max(v2, v3)));
                }
            }
            row_fn(y, px);
        }
        return m;
    };
    const RowGroupsRun run = run_row_groups(rows, group_origin, group_rows, std::size_t(iwidth) * 4, chunk);
    imgdata.color.data_maximum = black.subtract ? unsigned(run.maximum) & 0xffff : unsigned(run.maximum);
    return run.complete;
}

bool LibRaw_DVK::image_site_rows_on_threads(const SiteRowFn& row_fn, unsigned group_origin, unsigned group_rows) {
    const libraw_image_sizes_t& S = imgdata.sizes;
    if (libraw_internal_data.internal_output_params.shrink) return false;
    constexpr unsigned kPeriod = 48;
    const std::uint16_t* raw = imgdata.rawdata.raw_image;
    const std::size_t pitch = S.raw_pitch / 2;
    const unsigned width = S.width, iwidth = S.iwidth;
    const unsigned top = S.top_margin, left = S.left_margin;
    const RowBlack& black = row_black_;
    // Row y of the image is raw row y (rows past the raw frame stay 0, as
    // the four-channel rows leave them).
    const unsigned rows = S.iheight, raw_rows = S.height;
    const auto chunk = [&](unsigned first, unsigned count, std::uint16_t* out) {
        int m = 0;
        for (unsigned y = first; y < first + count; ++y) {
            unsigned char colour[kPeriod];
            for (unsigned k = 0; k < kPeriod; ++k) colour[k] = static_cast<unsigned char>(fcol(int(y), int(k)));
            const unsigned n = y < raw_rows ? std::min(width, iwidth) : 0;
            const std::uint16_t* src = raw + (std::size_t(y) + top) * pitch + left;
            if (!black.subtract) {
                for (unsigned x = 0; x < n; ++x) {
                    out[x] = src[x];
                    m = std::max(m, int(src[x]));
                }
            } else if (black.rows && black.cols) {
                const unsigned* pattern = black.pattern.data() + std::size_t(y % black.rows) * black.cols;
                for (unsigned x = 0, j = 0; x < n; ++x) {
                    const int val = int(src[x]) - int(pattern[x % black.cols]) - black.channel[colour[j]];
                    out[x] = std::uint16_t(std::clamp(val, 0, 65535));
                    m = std::max(m, val);
                    if (++j == kPeriod) j = 0;
                }
            } else {
                for (unsigned x = 0, j = 0; x < n; ++x) {
                    const int val = int(src[x]) - black.channel[colour[j]];
                    out[x] = std::uint16_t(std::clamp(val, 0, 65535));
                    m = std::max(m, val);
                    if (++j == kPeriod) j = 0;
                }
            }
            if (n < iwidth) std::memset(out + n, 0, std::size_t(iwidth - n) * sizeof(std::uint16_t));
            row_fn(y, out, colour);
        }
        return m;
    };
    const RowGroupsRun run = run_row_groups(rows, group_origin, group_rows, iwidth, chunk);
    imgdata.color.data_maximum = black.subtract ? unsigned(run.maximum) & 0xffff : unsigned(run.maximum);
    return run.complete;
}

}  // namespace dvk
