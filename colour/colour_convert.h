// In-place conversions of packed float triples (RGB 0..1, or CIELab with L
// 0..100 and a, b about -128..128) between profiles. Each returns non-zero on
// success; on failure the image is left unchanged. `d` (may be null) is the
// engine record whose camera matrix profile answers for "Built-in".
//
// The conversions run on band_thread_count threads through a cached 3D lookup
// table of each transform; pixels outside the table's range take the exact
// LittleCMS transform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace dvk {

struct DVKLib;
class Profile;
class ColourTransform;

int match_lab_to_rgb_colorsync_t(const DVKLib* d, float* image, unsigned width, unsigned height,
                                 const char* rgb_profile, const char* lab_profile);
int match_rgb_to_lab_colorsync_t(const DVKLib* d, float* image, unsigned width, unsigned height,
                                 const char* rgb_profile, bool uplab, bool absolute);
// As match_rgb_to_lab_colorsync_t through the exact transform whether or
// not the table has been built: the same values at every call.
int match_rgb_to_lab_colorsync_exact(const DVKLib* d, float* image, unsigned width, unsigned height,
                                     const char* rgb_profile, bool uplab, bool absolute);
// As match_rgb_to_lab_colorsync_t, with `before` run on every pixel just
// before it is converted, in the conversion's own pass over the image (the
// image is the same as after before(image, width x height) and the plain
// call). On failure `before` has still run over the whole image.
int match_rgb_to_lab_colorsync_with_step(const DVKLib* d, float* image, unsigned width, unsigned height,
                                         const char* rgb_profile, bool uplab, bool absolute,
                                         void (*before)(float* rgb, std::size_t pixels));
int match_rgb_to_rgb_colorsync_t(const DVKLib* d, float* image, unsigned width, unsigned height,
                                 const char* src_profile, const char* dst_profile);
int match_lab_to_lab_colorsync_t(const DVKLib* d, float* image, unsigned width, unsigned height,
                                 const char* profile);

// A conversion of one image run part by part (rows, blocks), in any order
// and on any thread: made for the whole image's pixel count, it takes the
// table or the exact transform for all of it as the call on the whole image
// would, so that every pixel gets the value that call gives it.
class PartConversion {
public:
    PartConversion() = default;
    // False when the call on the whole image would fail (a profile or the
    // transform missing) or would do more than convert its pixels one by one
    // (the legacy path's Lab clamp): the caller then makes that call.
    bool ok() const { return transform_ != nullptr; }
    // Converts n pixels in place on the calling thread.
    void run(float* px, std::size_t n) const;

private:
    friend PartConversion rgb_to_lab_parts(const DVKLib*, std::size_t, const char*, bool, bool,
                                           void (*)(float*, std::size_t));
    friend PartConversion lab_to_rgb_parts(const DVKLib*, std::size_t, const char*, const char*);
    std::shared_ptr<const ColourTransform> transform_;
    bool fast_ = false;
    void (*before_)(float*, std::size_t) = nullptr;
    void (*after_)(float*, std::size_t) = nullptr;
};

// match_rgb_to_lab_colorsync_with_step (or, with `before` null,
// match_rgb_to_lab_colorsync_t) on an image of `pixels` pixels, by parts.
PartConversion rgb_to_lab_parts(const DVKLib* d, std::size_t pixels, const char* rgb_profile, bool uplab,
                                bool absolute, void (*before)(float* rgb, std::size_t pixels));
// match_lab_to_rgb_colorsync_t on an image of `pixels` pixels, by parts.
PartConversion lab_to_rgb_parts(const DVKLib* d, std::size_t pixels, const char* rgb_profile,
                                const char* lab_profile);

// Builds ahead the shared tables between the Lab table profile `lab_profile`
// (null: "Uplab") and CIELab, in both directions, which the conversions into
// and out of that profile (and from it to CIELab) would otherwise build on
// first use; the same tables, so results do not change. For a thread that
// would otherwise idle (while a file is decoded). Safe alongside
// conversions, which wait for a table being built instead of building their
// own; never fails (what is not built now is built on first use).
void prepare_lab_tables(const char* lab_profile) noexcept;

// Normalised Lab (each component 0..1) to CIELab units, in place.
void scale_lab_to_cielab(float* lab, unsigned width, unsigned height);
// The data colour space signature of `profile` (header bytes 16-19), 0 for null.
std::uint32_t get_profile_color_space(const Profile* profile);

// NaN and 1 or more become 1, 0 or less become the smallest normal float.
void clamp_rgb_float_triples(float* rgb, std::size_t pixels);

}  // namespace dvk
