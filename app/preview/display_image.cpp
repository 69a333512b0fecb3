#include "app/preview/display_image.h"

#include <atomic>
#include <cstring>

#include "core/band_runner.h"
#include "core/buffer_conversions.h"
#include "core/dvklib.h"

namespace dvk {

namespace {

int threads() { return band_thread_count > 0 ? band_thread_count : 1; }

}  // namespace

std::shared_ptr<DisplayImage> makeDisplayImage(const float* preview, unsigned width, unsigned height,
                                               std::vector<std::uint8_t> profile) {
    if (!preview || width == 0 || height == 0) return nullptr;
    static std::atomic<std::uint64_t> serials{0};
    auto image = std::make_shared<DisplayImage>();
    image->width = width;
    image->height = height;
    const std::size_t samples = round_up_to_multiple(width, 16) * round_up_to_multiple(height, 16) * 3;
    image->pixels = allocate_aligned<std::uint16_t>(samples);
    if (!image->pixels) return nullptr;
    // The rows are written below; the spare room after them is zero.
    const std::size_t used = static_cast<std::size_t>(width) * height * 3;
    std::memset(image->pixels.get() + used, 0, (samples - used) * sizeof(std::uint16_t));
    image->profile = std::move(profile);
    image->serial = ++serials;
    const std::size_t rowFloats = static_cast<std::size_t>(width) * 3;
    run_row_chunks(height, threads(), [&](unsigned first, unsigned count) {
        convert_rgb_float_to_bits(preview + first * rowFloats, width, count, image->row(first), 16, false);
    });
    return image;
}

void invertClippedSamples(DisplayImage& image) {
    if (!image.pixels) return;
    const std::size_t rowSamples = static_cast<std::size_t>(image.width) * 3;
    run_row_chunks(image.height, threads(), [&](unsigned first, unsigned count) {
        std::uint16_t* p = image.row(first);
        const std::size_t n = rowSamples * count;
        for (std::size_t i = 0; i < n; ++i)
            if (p[i] <= 500 || p[i] >= 65035) p[i] = static_cast<std::uint16_t>(~p[i]);
    });
}

}  // namespace dvk
