// DVKLib: the engine record shared by every engine function.
//
// One RawProcessor owns one DVKLib. The record owns the raw decoder, the
// four-channel float working image (R, G, B, second G per pixel, row stride
// iwidth) and the source path; profile names and bytes point into tables or
// buffers owned elsewhere. The record has no lock: band workers only read it
// while the caller keeps loading, flipping and writing on one thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "core/aligned_buffer.h"
#include "core/libraw_dvk.h"

namespace dvk {

class Profile;  // colour/profile.h
struct DVKLib;

// The image writer chosen by the save format: output stream, image, width,
// height, raw flag, JPEG quality, x and y resolution; returns 0 on success.
using SaveWriter = int (*)(DVKLib* d, FILE* out, float* image, unsigned width, unsigned height, int raw,
                           int quality, float xres, float yres);

struct DVKLib {
    std::unique_ptr<LibRaw_DVK> libraw;
    AlignedBuffer<float> image;      // the rgbg_image (4 floats a pixel); owned
    std::size_t image_bytes = 0;     // allocated size of `image`
    float norm_scale[4] = {1, 1, 1, 1};
    float chan_max[4] = {1, 1, 1, 1};
    double auto_wb[4] = {1, 1, 1, 1};
    double gamma = 2.2;
    double output_gamma = 2.2;
    float area_wb_ev[4] = {1, 1, 1, 1};
    double black_shift = 0;
    int view_picks[7] = {-1, -1, 1, 1, -1, -1, 1};
    const char* custom_profile_name = nullptr;
    const void* custom_profile_data = nullptr;
    std::uint32_t custom_profile_size = 0;
    std::unique_ptr<char[]> source_file;   // owned copy of the source path
    const char* dest_file = nullptr;
    bool no_cfa = false;
    char writer_variant = 'n';
    const char* output_profile_name = nullptr;
    const char* output_profile_data = nullptr;
    std::uint32_t output_profile_size = 0;   // byte length + 1
    const char* linear_profile_name = nullptr;
    const char* linear_profile_data = nullptr;
    std::uint32_t linear_profile_size = 0;   // byte length + 1
    SaveWriter save_writer = nullptr;
    // The camera matrix profile made by the last load of this record; "Built-in"
    // resolves through it for conversions run on this record.
    std::shared_ptr<const Profile> camera_profile;

    float* image_data() const { return image.get(); }
    LibRaw_DVK& raw() const { return *libraw; }
};

// Process-wide values set once at start-up (band_thread_count, legacy_colorsync)
// or by the last curve-type change (skip_rgb_compression).
extern int band_thread_count;
extern bool legacy_colorsync;
extern bool skip_rgb_compression;

// Sets every field to its initial value and creates the decoder. Returns false
// when the decoder cannot be made.
bool dvklib_new(DVKLib* d);
// Deletes the decoder, the image and the source path; the record itself stays.
void dvklib_delete(DVKLib* d);
// Stores a copy of `path` (nullptr clears it) unless it is the stored pointer.
void set_source_file(DVKLib* d, const char* path);
// Replaces the working image with `image` (of `bytes` bytes) unless it is the
// one already held; the old buffer is freed.
void set_image(DVKLib* d, AlignedBuffer<float> image, std::size_t bytes);
// Grows or shrinks the working image to `bytes`, keeping its contents. Returns
// false, keeping the old buffer, when memory is short; does nothing (true)
// without an image.
bool realloc_image(DVKLib* d, std::size_t bytes);
std::uint64_t round_up_to_multiple(std::uint64_t value, std::uint64_t multiple);

// File probes (file_probes.cpp).
int file_exists(const char* path);
int file_writable_state(const char* path);

}  // namespace dvk
