// Shared float colour transforms between two profiles (LittleCMS, no
// black-point compensation, one intent per profile), cached by profile pair,
// intents and pixel kinds. A transform is used by several threads at once; its
// fast form (a 3D lookup table, see lut3d.h and split_transform.h) is built on
// first use and then reused.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

#include <lcms2.h>

#include "colour/lut3d.h"
#include "colour/split_transform.h"

namespace dvk {

class Profile;

enum class PixelKind { Rgb, Lab };  // float RGB 0..1, or CIELab units

class ColourTransform {
public:
    ColourTransform(cmsHTRANSFORM t, PixelKind in, PixelKind out, int src_intent, int dst_intent,
                    std::shared_ptr<const Profile> src, std::shared_ptr<const Profile> dst);
    ~ColourTransform();
    ColourTransform(const ColourTransform&) = delete;
    ColourTransform& operator=(const ColourTransform&) = delete;

    // The LittleCMS transform itself, on one thread.
    void convert_exact(float* px, std::size_t n) const;
    // Through the fast form (built once the calls have asked for 300000
    // pixels in all, which it pays back; the calls before take the exact
    // transform), on band_thread_count threads; pixels outside its domain
    // take the exact transform.
    // `before` and `after`, when given, run on each chunk of pixels on the
    // same thread, just before and just after it is converted (a step on
    // every pixel folded into the conversion's one pass over the image, such
    // as the conversions' clamp); the chunks are small enough to stay in the
    // processor's cache in between.
    using PixelStep = void (*)(float*, std::size_t);
    void convert(float* px, std::size_t n, PixelStep after = nullptr, PixelStep before = nullptr) const;
    // The exact transform on band_thread_count threads, counted towards the
    // table as convert() counts the pixels it converts exactly.
    void convert_exact_counted(float* px, std::size_t n, PixelStep after = nullptr, PixelStep before = nullptr) const;
    // The exact transform on band_thread_count threads.
    void convert_exact_parallel(float* px, std::size_t n, PixelStep after = nullptr, PixelStep before = nullptr) const;

    // convert() in two halves, for an image converted part by part: whether
    // a call on n pixels takes the fast form (then built), counted as that
    // call would count; then the call's work on any part of the image, on
    // the calling thread, in the form chosen. Every pixel gets the value
    // convert() on the whole image gives it.
    bool choose_fast_form(std::size_t n) const;
    void convert_part(float* px, std::size_t n, bool fast, PixelStep after = nullptr,
                      PixelStep before = nullptr) const;

    // Builds the fast form on first use: the split form of a matrix/TRC and
    // Lab table pair when it checks out, else a table of the whole transform.
    void prepare() const;
    // Builds the same fast form ahead of any use (a thread with nothing else
    // to do): unlike prepare(), it does not count as a use, so small calls
    // still take the exact transform until the table would have paid back.
    // Calls meanwhile wait for the one build rather than start another.
    void prepare_ahead() const;
    bool split() const;
    // The whole-transform table (prepared), or null when the split form is used.
    const Lut3D* table() const;
    // Share of the fast form's table cells left to the exact transform.
    double exact_cell_share() const;

private:
    // The Lab-to-Lab transform whose table the split form can share, prepared;
    // null when no split form applies.
    std::shared_ptr<const ColourTransform> lab_side() const;
    void build_fast_form() const;  // once

    cmsHTRANSFORM transform_;
    PixelKind in_, out_;
    int src_intent_, dst_intent_;
    std::shared_ptr<const Profile> src_, dst_;  // kept alive with the transform
    mutable std::once_flag prepare_once_;
    mutable Lut3D lut_;
    mutable SplitTransform split_;
    mutable bool use_split_ = false;
    mutable std::shared_ptr<const ColourTransform> side_;  // owner of the split form's shared table
    mutable std::atomic<bool> prepared_{false};
    mutable std::atomic<std::size_t> exact_pixels_{0};  // pixels converted exactly before the table
};

// The transform from `src` (device to connection space, `src_intent`) to `dst`
// (connection space to device, `dst_intent`); null with a reason in *error.
std::shared_ptr<const ColourTransform> get_colour_transform(const std::shared_ptr<const Profile>& src, int src_intent,
                                                            const std::shared_ptr<const Profile>& dst, int dst_intent,
                                                            PixelKind in, PixelKind out, std::string* error);

// Builds ahead, among the cached transforms, the tables between the Lab table
// profile `lab_table` and CIELab (D50, the "Lab" entry) in both directions,
// with the perceptual intent on both ends: the transforms whose tables the
// split forms into and out of that profile share, and that Lab-to-Lab
// conversions from it run. Nothing for CIELab itself or a profile that is
// not Lab; tables already built are left as they are. Never fails: whatever
// cannot be built now is built on first use, as without this call.
void prepare_lab_side_tables(const std::shared_ptr<const Profile>& lab_table) noexcept;

}  // namespace dvk
