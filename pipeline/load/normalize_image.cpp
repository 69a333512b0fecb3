// normalize_image: black-subtracted samples scaled so that the white level is 1.
#include <xmmintrin.h>

#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

#include "pipeline/load/auto_wb_cells.h"
#include "core/band_runner.h"
#include "core/fast_paths.h"
#include "pipeline/load/raw_loader.h"

namespace dvk {
namespace {

struct Normalisation {
    float black;
    float range;
    float factor;
};

Normalisation normalisation_of(const LibRaw& raw, float scale) {
    Normalisation n;
    n.black = static_cast<float>(raw.imgdata.color.black);
    n.range = static_cast<float>(raw.imgdata.color.maximum) - n.black;
    // A white level at or below the black level (a damaged file) would divide
    // by zero or flip the image; such files are left unscaled.
    if (!(n.range > 0)) n.range = 1.0f;
    n.factor = scale / n.range;
    return n;
}

// Clamps at the black level, tracks each channel's peak and scales, one
// pixel (four lanes) at a time so that the loop vectorises. `in(i, c)` gives
// channel c of pixel i in raw units. Zeros (sites without data) stay zero.
template <typename In>
void normalise_pixels(In in, float* __restrict out, std::size_t pixels, const Normalisation& n, float peak[4]) {
    const float black = n.black, factor = n.factor;
    float p0 = 0, p1 = 0, p2 = 0, p3 = 0;
    auto lane = [&](std::size_t i, int c, float& peak_c) {
        float t = in(i, c) - black;
        t = t > 0 ? t : 0;
        peak_c = t > peak_c ? t : peak_c;
        out[4 * i + c] = t * factor;
    };
    for (std::size_t i = 0; i < pixels; ++i) {
        lane(i, 0, p0);
        lane(i, 1, p1);
        lane(i, 2, p2);
        lane(i, 3, p3);
    }
    peak[0] = p0;
    peak[1] = p1;
    peak[2] = p2;
    peak[3] = p3;
}

// normalise_pixels over all pixels on the band threads; the peaks of the
// chunks are combined afterwards (a maximum, so the order does not matter).
template <typename In>
void normalise_in_chunks(In in, float* out, std::size_t pixels, const Normalisation& n, float peak[4]) {
    constexpr std::size_t kMinChunk = std::size_t(1) << 16;
    float p[4] = {0, 0, 0, 0};
    std::mutex lock;
    run_index_chunks(pixels, band_thread_count, kMinChunk, [&](std::size_t begin, std::size_t end) {
        float q[4];
        normalise_pixels([&in, begin](std::size_t i, int c) { return in(begin + i, c); }, out + 4 * begin,
                         end - begin, n, q);
        std::lock_guard<std::mutex> hold(lock);
        for (int c = 0; c < 4; ++c) p[c] = q[c] > p[c] ? q[c] : p[c];
    });
    for (int c = 0; c < 4; ++c) peak[c] = p[c];
}

// normalise_pixels for a row whose pixels hold one sample each (the site's
// own channel `colour[x % 48]`, the others 0): the same values, peaks and
// zeros. A 0 sample (any other channel) normalises to 0 and raises no peak.
// The site values also go to `sites` (one float a pixel). The row is
// written past the caches (it is not read again soon, and a 16-byte row
// start keeps every pixel a 16-byte store).
void normalise_sites(const std::uint16_t* __restrict in, const unsigned char* colour, float* __restrict out,
                     float* __restrict sites, std::size_t pixels, const Normalisation& n, float peak[4]) {
    const float black = n.black, factor = n.factor;
    float p[4] = {0, 0, 0, 0};
    bool two_colours = true;  // the row's colours alternate with the column's parity
    for (int k = 2; k < 48; ++k) two_colours = two_colours && colour[k] == colour[k & 1];
    const bool aligned = (reinterpret_cast<std::uintptr_t>(out) & 15) == 0;
    std::size_t i = 0;
    if (two_colours && aligned) {
        const int ce = colour[0], co = colour[1];
        float pe = 0, po = 0;
        for (; i + 1 < pixels; i += 2) {
            float a = float(in[i]) - black, b = float(in[i + 1]) - black;
            a = a > 0 ? a : 0;
            b = b > 0 ? b : 0;
            pe = a > pe ? a : pe;
            po = b > po ? b : po;
            sites[i] = a * factor;
            sites[i + 1] = b * factor;
            alignas(16) float px[8] = {0, 0, 0, 0, 0, 0, 0, 0};
            px[ce] = sites[i];
            px[4 + co] = sites[i + 1];
            _mm_stream_ps(out + 4 * i, _mm_load_ps(px));
            _mm_stream_ps(out + 4 * i + 4, _mm_load_ps(px + 4));
        }
        _mm_sfence();
        p[ce] = pe;
        p[co] = po > p[co] ? po : p[co];
    }
    for (std::size_t j = i % 48; i < pixels; ++i) {
        const int c = colour[j];
        if (++j == 48) j = 0;
        float t = float(in[i]) - black;
        t = t > 0 ? t : 0;
        p[c] = t > p[c] ? t : p[c];
        float* o = out + 4 * i;
        o[0] = o[1] = o[2] = o[3] = 0.0f;
        o[c] = t * factor;
        sites[i] = o[c];
    }
    for (int c = 0; c < 4; ++c) peak[c] = p[c];
}

void store_results(DVKLib* d, const Normalisation& n, const float peak[4]) {
    for (int c = 0; c < 4; ++c) {
        d->norm_scale[c] = n.factor;
        const float m = peak[c] / n.range;
        d->chan_max[c] = m > 1.0f ? 1.0f : m;
    }
}

}  // namespace

void normalize_image(DVKLib* d, float scale) {
    const LibRaw& raw = *d->libraw;
    const Normalisation n = normalisation_of(raw, scale);
    float peak[4] = {0, 0, 0, 0};
    float* data = d->image_data();
    const std::size_t pixels = std::size_t(raw.imgdata.sizes.iwidth) * raw.imgdata.sizes.iheight;
    if (data) normalise_in_chunks([data](std::size_t i, int c) { return data[4 * i + c]; }, data, pixels, n, peak);
    store_results(d, n, peak);
}

bool copy_image_normalised(DVKLib* d, float* dest, float scale) {
    LibRaw_DVK& raw = *d->libraw;
    const std::uint16_t(*src)[4] = raw.imgdata.image;
    if (!src || !dest) return false;
    const Normalisation n = normalisation_of(raw, scale);
    const std::size_t pixels = std::size_t(raw.imgdata.sizes.iwidth) * raw.imgdata.sizes.iheight;
    float peak[4] = {0, 0, 0, 0};
    if (raw.imgdata.idata.filters) {
        normalise_in_chunks([src](std::size_t i, int c) { return float(src[i][c]); }, dest, pixels, n, peak);
    } else if (raw.imgdata.idata.colors == 1) {
        normalise_in_chunks([src](std::size_t i, int) { return float(src[i][0]); }, dest, pixels, n, peak);
        raw.imgdata.idata.colors = 3;
    } else {
        static const int from[4] = {0, 1, 2, 1};
        normalise_in_chunks([src](std::size_t i, int c) { return float(src[i][from[c]]); }, dest, pixels, n, peak);
    }
    store_results(d, n, peak);
    return true;
}

bool copy_raw_normalised(DVKLib* d, float* dest, float scale, bool estimate_wb) {
    LibRaw_DVK& raw = *d->libraw;
    if (!dest) return false;
    const Normalisation n = normalisation_of(raw, scale);
    const unsigned iwidth = raw.imgdata.sizes.iwidth, iheight = raw.imgdata.sizes.iheight;
    float peak[4] = {0, 0, 0, 0};
    std::mutex lock;
    // The white-balance cells take each row as it is made; a cell row's rows
    // stay on one thread.
    AutoWbCells cells(raw, estimate_wb ? iwidth : 0, estimate_wb ? iheight : 0);
    const auto site_row = [&](unsigned y, const std::uint16_t* samples, const unsigned char* colour) {
        float q[4];
        float* row = dest + std::size_t(y) * iwidth * 4;
        thread_local std::vector<float> sites;
        sites.resize(iwidth);
        normalise_sites(samples, colour, row, sites.data(), iwidth, n, q);
        cells.add_site_row(y, sites.data());
        std::lock_guard<std::mutex> hold(lock);
        for (int c = 0; c < 4; ++c) peak[c] = q[c] > peak[c] ? q[c] : peak[c];
    };
    const auto pixel_row = [&](unsigned y, const std::uint16_t(*px)[4]) {
        float q[4];
        float* row = dest + std::size_t(y) * iwidth * 4;
        normalise_pixels([px](std::size_t i, int c) { return float(px[i][c]); }, row, iwidth, n, q);
        cells.add_row(y, row);
        std::lock_guard<std::mutex> hold(lock);
        for (int c = 0; c < 4; ++c) peak[c] = q[c] > peak[c] ? q[c] : peak[c];
    };
    // At full size each pixel holds its site's sample alone: the rows come
    // as those samples (half size merges four sites into a pixel).
    const unsigned origin = AutoWbCells::kFirstRow, group = AutoWbCells::kCellRows;
    const bool complete = fast_paths_enabled() && !raw.half_size_decode()
                              ? raw.image_site_rows_on_threads(site_row, origin, group)
                              : raw.image_rows_on_threads(pixel_row, origin, group);
    if (!complete) return false;
    store_results(d, n, peak);
    cells.finish(d->auto_wb);
    return true;
}

}  // namespace dvk
