#include "pipeline/four_channel_ops.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "pipeline/band_runner.h"
#include "pipeline/dvklib.h"

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

template <int C>
void flip_pixels(const float* src, float* dst, unsigned w, unsigned h, unsigned flip) {
    for (unsigned row = 0; row < h; ++row) {
        const unsigned rp = (flip & 2) ? h - 1 - row : row;
        for (unsigned col = 0; col < w; ++col) {
            const unsigned cp = (flip & 1) ? w - 1 - col : col;
            const std::size_t di = (flip & 4) ? static_cast<std::size_t>(cp) * h + rp : static_cast<std::size_t>(rp) * w + cp;
            const float* s = src + (static_cast<std::size_t>(row) * w + col) * C;
            float* o = dst + di * C;
            for (int c = 0; c < C; ++c) o[c] = s[c];
        }
    }
}

}  // namespace

void flip_image(DVKLib* d, int fourChannels, unsigned flip) {
    if (!d || !d->image || !d->libraw) return;
    libraw_image_sizes_t& s = d->libraw->imgdata.sizes;
    const unsigned h = s.iheight, w = s.iwidth;
    const int channels = fourChannels ? 4 : 3;
    const std::size_t count = static_cast<std::size_t>(h) * w * static_cast<std::size_t>(channels);
    AlignedBuffer<float> out = allocate_aligned<float>(count);
    if (!out) {
        // Nothing changes when memory is short.
        std::fprintf(stderr, "Can't allocate %lu bytes in flip_image\n", static_cast<unsigned long>(count * sizeof(float)));
        return;
    }
    if (fourChannels)
        flip_pixels<4>(d->image.get(), out.get(), w, h, flip);
    else
        flip_pixels<3>(d->image.get(), out.get(), w, h, flip);
    set_image(d, std::move(out), count * sizeof(float));
    if (flip & 4) std::swap(s.iwidth, s.iheight);
}

void mix_green_channels(DVKLib* d) {
    if (!d || !d->libraw) return;
    libraw_data_t& id = d->libraw->imgdata;
    if (id.idata.filters < 1001 || id.idata.colors != 3) return;
    if (id.params.four_color_rgb != 0) {
        id.idata.colors = 4;
        return;
    }
    float* img = d->image.get();
    const unsigned w = id.sizes.iwidth, h = id.sizes.iheight;
    if (img) {
        // Every other row from the first, split among the band threads.
        const unsigned first_row = static_cast<unsigned>(d->libraw->fcol(1, 0)) >> 1;
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
