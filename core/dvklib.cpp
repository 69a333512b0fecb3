#include "core/dvklib.h"

#include <algorithm>
#include <cstring>

namespace dvk {

int band_thread_count = 2;
bool legacy_colorsync = false;
bool skip_rgb_compression = false;

bool dvklib_new(DVKLib* d) {
    *d = DVKLib();
    d->libraw.reset(new (std::nothrow) LibRaw_DVK());
    return d->libraw != nullptr;
}

void dvklib_delete(DVKLib* d) {
    d->libraw.reset();
    d->image.reset();
    d->image_bytes = 0;
    d->source_file.reset();
    d->camera_profile.reset();
}

void set_source_file(DVKLib* d, const char* path) {
    if (path == d->source_file.get()) return;
    if (!path) {
        d->source_file.reset();
        return;
    }
    std::size_t n = std::strlen(path) + 1;
    std::unique_ptr<char[]> copy(new char[n]);
    std::memcpy(copy.get(), path, n);
    d->source_file = std::move(copy);
}

void set_image(DVKLib* d, AlignedBuffer<float> image, std::size_t bytes) {
    if (image.get() == d->image.get()) {
        (void)image.release();  // the same buffer: keep it, free nothing
        if (d->image) d->image_bytes = bytes;
        return;
    }
    d->image = std::move(image);
    d->image_bytes = d->image ? bytes : 0;
}

bool realloc_image(DVKLib* d, std::size_t bytes) {
    if (!d->image) return true;
    if (bytes == d->image_bytes) return true;
    AlignedBuffer<float> grown = allocate_aligned<float>((bytes + sizeof(float) - 1) / sizeof(float));
    if (!grown) return false;
    std::memcpy(grown.get(), d->image.get(), std::min(bytes, d->image_bytes));
    d->image = std::move(grown);
    d->image_bytes = bytes;
    return true;
}

std::uint64_t round_up_to_multiple(std::uint64_t value, std::uint64_t multiple) {
    std::uint64_t rest = value % multiple;
    return rest == 0 ? value : value + (multiple - rest);
}

}  // namespace dvk
