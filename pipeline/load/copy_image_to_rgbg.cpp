// copy_image_to_rgbg: LibRaw's 16-bit four-channel image into floats.
#include <algorithm>
#include <cstring>

#include "core/band_runner.h"
#include "pipeline/load/raw_loader.h"

namespace dvk {

std::size_t working_image_bytes(unsigned iwidth, unsigned iheight) {
    const int threads = band_thread_count > 0 ? band_thread_count : 1;
    const std::uint64_t spare = static_cast<std::uint64_t>(threads - 1);
    // Rows for the four-channel runners, and enough for the float RGB image
    // (12 bytes a pixel) the conversion later makes in the same buffer with
    // its own spare rows, so that it need not grow the buffer.
    const std::uint64_t rgbg_rows = round_up_to_multiple(spare * 32 + iheight, 16);
    const std::uint64_t rgb_rows = round_up_to_multiple(spare * kRgbSpareRowsPerThread + iheight, 16);
    const std::uint64_t rows = std::max(rgbg_rows, round_up_to_multiple((rgb_rows * 3 + 3) / 4, 16));
    const std::uint64_t cols = round_up_to_multiple(iwidth, 16);
    return std::size_t(rows * cols * 16);
}

namespace {

// Mosaic: the four channels as they are. Written as one flat loop so that it
// vectorises (8 or 16 samples at a time).
void copy_four(const std::uint16_t* __restrict src, float* __restrict dst, std::size_t samples) {
    for (std::size_t i = 0; i < samples; ++i) dst[i] = static_cast<float>(src[i]);
}

// Three colours: R, G, B and the green again as second green.
void copy_three(const std::uint16_t (*__restrict src)[4], float* __restrict dst, std::size_t pixels) {
    for (std::size_t i = 0; i < pixels; ++i) {
        const float g = static_cast<float>(src[i][1]);
        dst[4 * i + 0] = static_cast<float>(src[i][0]);
        dst[4 * i + 1] = g;
        dst[4 * i + 2] = static_cast<float>(src[i][2]);
        dst[4 * i + 3] = g;
    }
}

// One colour: channel 0 into all four.
void copy_one(const std::uint16_t (*__restrict src)[4], float* __restrict dst, std::size_t pixels) {
    for (std::size_t i = 0; i < pixels; ++i) {
        const float v = static_cast<float>(src[i][0]);
        dst[4 * i + 0] = v;
        dst[4 * i + 1] = v;
        dst[4 * i + 2] = v;
        dst[4 * i + 3] = v;
    }
}

}  // namespace

float* copy_image_to_rgbg(DVKLib* d, float* dest) {
    LibRaw_DVK& raw = *d->libraw;
    const std::uint16_t(*src)[4] = raw.imgdata.image;
    if (!src || !dest) return nullptr;
    const std::size_t pixels = std::size_t(raw.imgdata.sizes.iwidth) * raw.imgdata.sizes.iheight;
    if (raw.imgdata.idata.filters) {
        run_index_chunks(pixels * 4, band_thread_count, std::size_t(1) << 18, [&](std::size_t b, std::size_t e) {
            copy_four(&src[0][0] + b, dest + b, e - b);
        });
    } else if (raw.imgdata.idata.colors == 1) {
        copy_one(src, dest, pixels);
        raw.imgdata.idata.colors = 3;
    } else {
        copy_three(src, dest, pixels);
    }
    return dest;
}

AlignedBuffer<float> copy_image_to_rgbg(DVKLib* d, std::size_t* bytes) {
    LibRaw_DVK& raw = *d->libraw;
    if (bytes) *bytes = 0;
    if (!raw.imgdata.image) return {};
    const std::size_t size = working_image_bytes(raw.imgdata.sizes.iwidth, raw.imgdata.sizes.iheight);
    AlignedBuffer<float> buf = allocate_aligned<float>(size / sizeof(float));
    if (!buf) return {};
    copy_image_to_rgbg(d, buf.get());
    if (bytes) *bytes = size;
    return buf;
}

}  // namespace dvk
