// JPEG output through libjpeg-turbo, with the SaveWriter signature of
// dvklib.h. The float RGB image is converted in place to 8 bits (studio range
// for the 's' variant) and written at `quality` with the DPI of xres / yres,
// the output ICC profile (the linear one when the output gamma is 1.0; none
// when `raw` is set) as APP2 chunks, and an EXIF APP1 segment holding
// DateTimeOriginal when the loaded file has a timestamp. Returns 0 when the
// image was finalised, 1 when writing failed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace dvk {

struct DVKLib;

int write_jpeg(DVKLib* d, FILE* out, float* image, unsigned width, unsigned height, int raw, int quality,
               float xres, float yres);

// The body of an EXIF APP1 segment ("Exif\0\0" and a little-endian TIFF
// structure) whose Exif IFD holds DateTimeOriginal of `timestamp` (UTC).
std::vector<std::uint8_t> make_exif_datetime_segment(long long timestamp);

}  // namespace dvk
