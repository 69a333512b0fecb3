// Decoding files for the preview dialog where the common image readers cannot:
// the TIFF kinds DVK writes that they refuse (CIELab, 32-bit float RGB) are
// read through libtiff and converted to sRGB by the colour layer, and raw
// files give the thumbnail their camera embedded (through LibRaw).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dvk {

// 8-bit sRGB, three samples per pixel, rows packed.
struct PreviewBitmap {
    unsigned width = 0, height = 0;
    std::vector<std::uint8_t> rgb;
};

// True for a TIFF with CIELab samples or floating-point samples.
bool isColourTiff(const std::string& path);

// Such a TIFF reduced (by whole-pixel box averages) until neither side
// exceeds `maxSide`, then converted to sRGB: CIELab through the CIELab
// profile, float RGB through its embedded profile (the linear "BetaRGB1.0"
// when it has none). nullopt and a reason in *error for other kinds.
std::optional<PreviewBitmap> decodeColourTiff(const std::string& path, unsigned maxSide, std::string* error);

// A raw file's embedded thumbnail: JPEG bytes, or a decoded bitmap (8-bit
// RGB). `quarterTurns` is how many times to turn it clockwise to stand as
// the camera was held.
struct RawThumbnail {
    bool isJpeg = false;
    std::vector<std::uint8_t> jpeg;
    PreviewBitmap bitmap;
    int quarterTurns = 0;
};
std::optional<RawThumbnail> rawThumbnail(const std::string& path, std::string* error);

}  // namespace dvk
