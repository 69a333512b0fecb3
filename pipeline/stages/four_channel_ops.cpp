#include "pipeline/stages/four_channel_ops.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "core/band_runner.h"
#include "core/dvklib.h"

namespace dvk {

void scale_channels(float* image, std::size_t pixels, double r, double g, double b, double g2) {
    const float f0 = static_cast<float>(r), f1 = static_cast<float>(g), f2 = static_cast<float>(b),
                f3 = static_cast<float>(g2);
    for (std::size_t i = 0; i < pixels; ++i) {
        float* p = image + 4 * i;
        p[0] *= f0;
        p[1] *= f1;
        p[2] *= f2;
        p[3] *= f3;
    }
}

void multiply_channels(DVKLib* d, float* image, unsigned width, int height, double r, double g, double b,
                       double g2) {
    if (!image || width == 0 || height <= 0) return;
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    run_index_chunks(n, band_thread_count, std::size_t(1) << 16, [=](std::size_t begin, std::size_t end) {
        scale_channels(image + 4 * begin, end - begin, r, g, b, g2);
    });
}

bool copy_rgbg_image(DVKLib* d, float* dest) {
    if (!d || !d->image || !d->libraw || !dest) return false;
    const std::size_t n = static_cast<std::size_t>(d->libraw->imgdata.sizes.iwidth) * d->libraw->imgdata.sizes.iheight;
    std::memcpy(dest, d->image.get(), n * 4 * sizeof(float));
    return true;
}

AlignedBuffer<float> copy_rgbg_image(DVKLib* d) {
    if (!d || !d->image || !d->libraw) return AlignedBuffer<float>();
    const std::uint64_t w = d->libraw->imgdata.sizes.iwidth, h = d->libraw->imgdata.sizes.iheight;
    const std::size_t count = static_cast<std::size_t>(round_up_to_multiple(h, 16) * round_up_to_multiple(w, 16) * 4);
    AlignedBuffer<float> buf = allocate_aligned<float>(count);
    if (!buf) {
        std::fprintf(stderr, "Can't allocate %lu bytes in copy_rgbg_image\n",
                     static_cast<unsigned long>(count * sizeof(float)));
        return buf;
    }
    copy_rgbg_image(d, buf.get());
    return buf;
}

namespace {

// Writes the flipped image by tiles of the destination, tile rows split among
// the band threads: each destination pixel is read from its source pixel.
template <int C>
void flip_pixels(const float* src, float* dst, unsigned w, unsigned h, unsigned flip) {
    const bool transpose = flip & 4;
    const unsigned dw = transpose ? h : w, dh = transpose ? w : h;
    constexpr unsigned kTile = 64;
    const unsigned tile_rows = (dh + kTile - 1) / kTile;
    run_row_chunks(tile_rows, band_thread_count, [=](unsigned first, unsigned count) {
        for (unsigned t = first; t < first + count; ++t) {
            const unsigned r0 = t * kTile, r1 = std::min(dh, r0 + kTile);
            for (unsigned c0 = 0; c0 < dw; c0 += kTile) {
                const unsigned c1 = std::min(dw, c0 + kTile);
                for (unsigned r = r0; r < r1; ++r) {
                    float* o = dst + (static_cast<std::size_t>(r) * dw + c0) * C;
                    for (unsigned c = c0; c < c1; ++c, o += C) {
                        // Destination (r, c) is (cp, rp) when transposed, else (rp, cp).
                        const unsigned cp = transpose ? r : c, rp = transpose ? c : r;
                        const unsigned row = (flip & 2) ? h - 1 - rp : rp;
                        const unsigned col = (flip & 1) ? w - 1 - cp : cp;
                        const float* s = src + (static_cast<std::size_t>(row) * w + col) * C;
                        for (int k = 0; k < C; ++k) o[k] = s[k];
                    }
                }
            }
        }
    });
}

}  // namespace

void flip_image(DVKLib* d, int fourChannels, unsigned flip) {
    if (!d || !d->image || !d->libraw) return;
    libraw_image_sizes_t& s = d->libraw->imgdata.sizes;
    const unsigned h = s.iheight, w = s.iwidth;
    const int channels = fourChannels ? 4 : 3;
    const std::size_t count = static_cast<std::size_t>(h) * w * static_cast<std::size_t>(channels);
    // The new buffer keeps the old one's room for spare rows.
    const std::size_t floats = std::max(count, d->image_bytes / sizeof(float));
    AlignedBuffer<float> out = allocate_aligned<float>(floats);
    if (!out) {
        // Nothing changes when memory is short.
        std::fprintf(stderr, "Can't allocate %lu bytes in flip_image\n", static_cast<unsigned long>(count * sizeof(float)));
        return;
    }
    if (fourChannels)
        flip_pixels<4>(d->image.get(), out.get(), w, h, flip);
    else
        flip_pixels<3>(d->image.get(), out.get(), w, h, flip);
    set_image(d, std::move(out), floats * sizeof(float));
    if (flip & 4) std::swap(s.iwidth, s.iheight);
}

void mix_green_channels(DVKLib* d) {
    if (!d || !d->libraw) return;
    mix_green_channels(d, 0, d->libraw->imgdata.sizes.iheight);
}

bool mix_green_copies_second_greens(DVKLib* d) {
    if (!d || !d->libraw) return false;
    const libraw_data_t& id = d->libraw->imgdata;
    if (id.idata.filters < 1001 || id.idata.colors != 3 || id.params.four_color_rgb != 0) return false;
    LibRaw_DVK& raw = *d->libraw;
    const int first_row = raw.fcol(1, 0) >> 1;
    for (int r = 0; r < 48; ++r) {
        const int first_col = raw.fcol(r, 1) & 1;
        for (int c = 0; c < 48; ++c) {
            const bool copied = r >= first_row && (r - first_row) % 2 == 0 && c >= first_col && (c - first_col) % 2 == 0;
            if (copied != (raw.fcol(r, c) == 3)) return false;
        }
    }
    return true;
}

void mix_green_channels(DVKLib* d, unsigned first_row_wanted, unsigned end_row) {
    if (!d || !d->libraw) return;
    libraw_data_t& id = d->libraw->imgdata;
    if (id.idata.filters < 1001 || id.idata.colors != 3) return;
    if (id.params.four_color_rgb != 0) {
        id.idata.colors = 4;
        return;
    }
    float* img = d->image.get();
    const unsigned w = id.sizes.iwidth, h = std::min<unsigned>(id.sizes.iheight, end_row);
    if (img) {
        // Every other row from the first, split among the band threads.
        unsigned first_row = static_cast<unsigned>(d->libraw->fcol(1, 0)) >> 1;
        if (first_row_wanted > first_row) first_row += (first_row_wanted - first_row + 1) & ~1u;
        const unsigned rows = h > first_row ? (h - first_row + 1) / 2 : 0;
        LibRaw_DVK* raw = d->libraw.get();
        run_row_chunks(rows, band_thread_count, [=](unsigned first, unsigned count) {
            for (unsigned k = first; k < first + count; ++k) {
                const unsigned row = first_row + 2 * k;
                for (unsigned col = static_cast<unsigned>(raw->fcol(static_cast<int>(row), 1)) & 1; col < w; col += 2) {
                    float* p = img + (static_cast<std::size_t>(row) * w + col) * 4;
                    p[1] = p[3];
                }
            }
        });
    }
    const unsigned f = id.idata.filters;
    id.idata.filters = f & ~((f & 0x55555555u) << 1);
}

}  // namespace dvk
