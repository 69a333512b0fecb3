// The colours of a DisplayImage on the screen: one cached LittleCMS transform
// from the image's profile (sRGB for an image without one) to the screen's
// profile (sRGB unless one is set), run in bands of rows into 32-bit pixels
// 0xffRRGGBB. The transform is sampled once into a table of 33 points a side
// that the pixels are interpolated in (tetrahedrally): within a level of the
// transform itself on 8-bit output, at a fraction of its cost.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include <lcms2.h>

#include "app/preview/display_interpolation.h"

namespace dvk {

struct DisplayImage;

class DisplayConverter {
public:
    DisplayConverter();
    ~DisplayConverter();
    DisplayConverter(const DisplayConverter&) = delete;
    DisplayConverter& operator=(const DisplayConverter&) = delete;

    // The screen's ICC bytes (empty: sRGB). False, keeping sRGB, for bytes
    // LittleCMS refuses.
    bool setScreenProfile(const std::vector<std::uint8_t>& icc);
    const std::vector<std::uint8_t>& screenProfile() const { return screenBytes_; }

    // Converts `image` into `out`: image.height rows of image.width pixels,
    // `stride` pixels apart. False when no transform can be made (the rows
    // then hold the samples' high bytes, unconverted).
    bool convert(const DisplayImage& image, std::uint32_t* out, std::size_t stride);
    // The transform alone, one pixel (16-bit RGB in, 8-bit out), for tests.
    bool convertExactly(const std::vector<std::uint8_t>& profile, const std::uint16_t in[3], std::uint8_t out[3]);

    static constexpr int kGrid = kDisplayGrid;

private:
    cmsHTRANSFORM transformFor(const std::vector<std::uint8_t>& source);
    void dropTransform();

    std::mutex mutex_;
    std::vector<std::uint8_t> screenBytes_;
    cmsHPROFILE screen_ = nullptr;
    std::vector<std::uint8_t> cachedSource_;
    bool cachedValid_ = false;
    cmsHTRANSFORM transform_ = nullptr;
    std::vector<float> table_;  // the display table (display_interpolation.h)
};

}  // namespace dvk
