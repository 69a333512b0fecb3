// LibRaw_DVK::subtract_black_on_threads: the black subtraction of LibRaw's
// four-channel image on the band threads.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "core/band_runner.h"
#include "core/dvklib.h"
#include "core/libraw_dvk.h"

namespace dvk {

namespace {

constexpr std::size_t kMinChunk = std::size_t(1) << 16;  // pixels

// Runs fn(begin, end) over the pixels in chunks, each returning the largest
// value it saw; the result is the largest of all (at least `floor`).
template <typename Fn>
int max_over_chunks(std::size_t pixels, int floor, Fn fn) {
    int dmax = floor;
    std::mutex lock;
    run_index_chunks(pixels, band_thread_count, kMinChunk, [&](std::size_t begin, std::size_t end) {
        const int m = fn(begin, end);
        std::lock_guard<std::mutex> hold(lock);
        dmax = std::max(dmax, m);
    });
    return dmax;
}

// Subtracts the four channel levels from `pixels` pixels, clipping at 0;
// returns the largest difference before clipping (at least 0). The levels
// are LibRaw's unsigned values and the differences wrap as LibRaw's own do
// (a damaged file may declare any level), taken as ints.
int subtract_levels(std::uint16_t* __restrict p, std::size_t pixels, const unsigned cblk[4]) {
    const unsigned b0 = cblk[0], b1 = cblk[1], b2 = cblk[2], b3 = cblk[3];
    int m0 = 0, m1 = 0, m2 = 0, m3 = 0;
    for (std::size_t i = 0; i < pixels; ++i) {
        const int v0 = int(p[4 * i] - b0), v1 = int(p[4 * i + 1] - b1);
        const int v2 = int(p[4 * i + 2] - b2), v3 = int(p[4 * i + 3] - b3);
        p[4 * i] = std::uint16_t(std::clamp(v0, 0, 65535));
        p[4 * i + 1] = std::uint16_t(std::clamp(v1, 0, 65535));
        p[4 * i + 2] = std::uint16_t(std::clamp(v2, 0, 65535));
        p[4 * i + 3] = std::uint16_t(std::clamp(v3, 0, 65535));
        m0 = std::max(m0, v0);
        m1 = std::max(m1, v1);
        m2 = std::max(m2, v2);
        m3 = std::max(m3, v3);
    }
    return std::max(std::max(m0, m1), std::max(m2, m3));
}

}  // namespace

int LibRaw_DVK::subtract_black_on_threads() {
    if ((imgdata.progress_flags & LIBRAW_PROGRESS_THUMB_MASK) < LIBRAW_PROGRESS_RAW2_IMAGE)
        return LIBRAW_OUT_OF_ORDER_CALL;
    adjust_bl();
    libraw_colordata_t& C = imgdata.color;
    std::uint16_t(*image)[4] = imgdata.image;
    const unsigned iwidth = imgdata.sizes.iwidth;
    const std::size_t pixels = std::size_t(imgdata.sizes.iheight) * iwidth;
    if (!image) return 0;
    if (!is_phaseone_compressed() &&
        (C.cblack[0] || C.cblack[1] || C.cblack[2] || C.cblack[3] || (C.cblack[4] && C.cblack[5]))) {
        const unsigned cblk[4] = {C.cblack[0], C.cblack[1], C.cblack[2], C.cblack[3]};
        int dmax;
        if (C.cblack[4] && C.cblack[5]) {
            const unsigned rows = C.cblack[4], cols = C.cblack[5];
            const unsigned* pattern = C.cblack + 6;
            dmax = max_over_chunks(pixels, 0, [&](std::size_t begin, std::size_t end) {
                int m = 0;
                for (std::size_t i = begin; i < end; ++i) {
                    const unsigned b = pattern[i / iwidth % rows * cols + i % iwidth % cols];
                    for (int c = 0; c < 4; ++c) {
                        const int val = int(image[i][c] - b - cblk[c]);
                        image[i][c] = std::uint16_t(std::clamp(val, 0, 65535));
                        m = std::max(m, val);
                    }
                }
                return m;
            });
        } else {
            dmax = max_over_chunks(pixels, 0, [&](std::size_t begin, std::size_t end) {
                return subtract_levels(&image[begin][0], end - begin, cblk);
            });
        }
        C.data_maximum = unsigned(dmax) & 0xffff;
        C.maximum -= C.black;
        std::memset(C.cblack, 0, sizeof C.cblack);
        C.black = 0;
    } else {
        // No black level: only the largest sample is recorded.
        C.data_maximum = unsigned(max_over_chunks(pixels, 0, [&](std::size_t begin, std::size_t end) {
            int m = 0;
            const std::uint16_t* p = &image[begin][0];
            const std::size_t n = (end - begin) * 4;
            for (std::size_t k = 0; k < n; ++k) m = std::max(m, int(p[k]));
            return m;
        }));
    }
    return 0;
}

}  // namespace dvk
