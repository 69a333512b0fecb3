// Shared float colour transforms between two profiles (LittleCMS, no
// black-point compensation, one intent per profile), cached by profile pair,
// intents and pixel kinds. A transform is used by several threads at once; its
// 3D lookup table is built on first use and then reused.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

#include <lcms2.h>

#include "colour/lut3d.h"

namespace dvk {

class Profile;

enum class PixelKind { Rgb, Lab };  // float RGB 0..1, or CIELab units

class ColourTransform {
public:
    ColourTransform(cmsHTRANSFORM t, PixelKind in, PixelKind out, std::shared_ptr<const Profile> src,
                    std::shared_ptr<const Profile> dst);
    ~ColourTransform();
    ColourTransform(const ColourTransform&) = delete;
    ColourTransform& operator=(const ColourTransform&) = delete;

    // The LittleCMS transform itself, on one thread.
    void convert_exact(float* px, std::size_t n) const;
    // Through the lookup table (built on first call), on band_thread_count
    // threads; pixels outside the table's domain take the exact transform.
    void convert(float* px, std::size_t n) const;
    // The exact transform on band_thread_count threads.
    void convert_exact_parallel(float* px, std::size_t n) const;

    const Lut3D& lut() const;

private:
    cmsHTRANSFORM transform_;
    PixelKind in_, out_;
    std::shared_ptr<const Profile> src_, dst_;  // kept alive with the transform
    mutable std::once_flag lut_once_;
    mutable Lut3D lut_;
};

// The transform from `src` (device to connection space, `src_intent`) to `dst`
// (connection space to device, `dst_intent`); null with a reason in *error.
std::shared_ptr<const ColourTransform> get_colour_transform(const std::shared_ptr<const Profile>& src, int src_intent,
                                                            const std::shared_ptr<const Profile>& dst, int dst_intent,
                                                            PixelKind in, PixelKind out, std::string* error);

}  // namespace dvk
