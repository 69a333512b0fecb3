// TIFF output: three writers with the SaveWriter signature of dvklib.h.
//
// Every writer writes a classic, uncompressed TIFF in host byte order with the
// whole image in one strip, through libtiff on the already opened `out`:
//   write_tiff_rgb       8 or 16 bits per sample (by DVKLib.writer_variant,
//                        'S'/'s' studio range), output ICC profile unless raw;
//   write_tiff_cielab    16-bit CIELab, never a profile;
//   write_tiff_float_rgb 32-bit IEEE float RGB, the output profile or the
//                        linear one (output gamma 1.0) unless raw.
// The image (float triples) is packed block by block into scratch buffers and
// left as it is. Results: 0 written, 2 the
// TIFF handle could not be made, 3 the image could not be written.
#pragma once

#include <cstdio>
#include <tiffio.h>

namespace dvk {

struct DVKLib;

int write_tiff_rgb(DVKLib* d, FILE* out, float* image, unsigned width, unsigned height, int raw, int quality,
                   float xres, float yres);
int write_tiff_cielab(DVKLib* d, FILE* out, float* image, unsigned width, unsigned height, int raw, int quality,
                      float xres, float yres);
int write_tiff_float_rgb(DVKLib* d, FILE* out, float* image, unsigned width, unsigned height, int raw, int quality,
                         float xres, float yres);

// Sets Compression 1 and BitsPerSample from the writer variant; returns the
// largest sample value (65535.0 for 16 bits, 255.0 for 8 bits).
double tiff_open_output(DVKLib* d, TIFF* tif, int quality);

// Packs CIELab float triples in place into signed 16-bit TIFF CIELab samples.
void pack_cielab16(float* image, std::size_t pixels);

// "%04d:%02d:%02d %02d:%02d:%02d" of `timestamp` in UTC into `out` (20 bytes).
void format_exif_time(long long timestamp, char out[20]);

}  // namespace dvk
