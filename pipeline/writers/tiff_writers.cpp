#include "pipeline/writers/tiff_writers.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <functional>
#include <unistd.h>

#include "core/dvklib.h"
#include "core/buffer_conversions.h"
#include "pipeline/writers/sample_packing.h"

namespace dvk {

namespace {

bool is_16bit_variant(char v) { return v != 'n' && v != 's'; }
bool is_studio_variant(char v) { return v == 'S' || v == 's'; }

// Opens libtiff on a duplicate of the stream's descriptor, so that TIFFClose
// and the caller's fclose each close their own descriptor.
TIFF* open_tiff_on(DVKLib* d, FILE* out) {
    const char* name = d->dest_file ? d->dest_file : "";
    std::fflush(out);
    int fd = dup(fileno(out));
    TIFF* tif = fd >= 0 ? TIFFFdOpen(fd, name, "w") : nullptr;
    if (!tif) {
        if (fd >= 0) close(fd);
        std::fprintf(stderr, "Could not open output file %s\n", name);
    }
    return tif;
}

void set_fixed_tags(DVKLib* d, TIFF* tif, unsigned width, unsigned height, int bits, int photometric, float xres,
                    float yres) {
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, static_cast<std::uint16_t>(bits));
    TIFFSetField(tif, TIFFTAG_COMPRESSION, static_cast<std::uint16_t>(COMPRESSION_NONE));
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, static_cast<std::uint16_t>(photometric));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, static_cast<std::uint16_t>(3));
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<double>(xres));
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<double>(yres));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, static_cast<std::uint16_t>(PLANARCONFIG_CONTIG));
    long long timestamp = d->libraw ? static_cast<long long>(d->libraw->imgdata.other.timestamp) : 0;
    if (timestamp != 0) {
        char text[20];
        format_exif_time(timestamp, text);
        TIFFSetField(tif, TIFFTAG_DATETIME, text);
    }
}

// The ICC tag of the RGB and float writers: the output profile, or the linear
// one when the output gamma is exactly 1.0; the size fields hold length + 1.
void set_icc_tag(DVKLib* d, TIFF* tif, int raw) {
    if (raw) return;
    const char* data = d->output_profile_data;
    std::uint32_t size = d->output_profile_size;
    if (d->output_gamma == 1.0) {
        data = d->linear_profile_data;
        size = d->linear_profile_size;
    }
    if (data && size > 1) TIFFSetField(tif, TIFFTAG_ICCPROFILE, static_cast<std::uint32_t>(size - 1), data);
}

// Flushes the directory and closes the handle after the strip went out
// (`written`); 0 or 3.
int finish_and_close(TIFF* tif, bool written) {
    if (!written) {
        std::fprintf(stderr, "Could not write the image\n");
        TIFFClose(tif);
        return 3;
    }
    // The directory goes out here; a full disk shows up now, not as a
    // silently truncated file.
    bool flushed = TIFFFlush(tif) == 1;
    TIFFClose(tif);
    if (!flushed) {
        std::fprintf(stderr, "Could not write the image\n");
        return 3;
    }
    return 0;
}

// Writes the strip and closes the handle; 0 or 3.
int write_strip_and_close(TIFF* tif, const void* data, std::size_t bytes) {
    tmsize_t written = TIFFWriteRawStrip(tif, 0, const_cast<void*>(data), static_cast<tmsize_t>(bytes));
    return finish_and_close(tif, written >= 1);
}

// Packs the image block by block and writes the blocks one after another
// into the single strip (libtiff appends to a strip written again), then
// closes the handle; 0 or 3.
// The record's own working image is consumed by the save (the writers
// convert it in place): its memory goes back to the system as it is
// packed, first the rows past the image, so that the file's data can use it.
int pack_strip_and_close(DVKLib* d, TIFF* tif, const float* image, std::size_t pixels, std::size_t out_bytes,
                         const std::function<void(const float* in, std::size_t n, std::uint8_t* out)>& pack) {
    const bool own_image = d && image && image == d->image_data();
    if (own_image)
        release_pages(const_cast<float*>(image + 3 * pixels),
                      reinterpret_cast<char*>(d->image_data()) + d->image_bytes);
    const bool written = pack_and_write(
        image, pixels, out_bytes, pack,
        [tif](const std::uint8_t* data, std::size_t n) {
            const tmsize_t cc = static_cast<tmsize_t>(n);
            return TIFFWriteRawStrip(tif, 0, const_cast<std::uint8_t*>(data), cc) == cc;
        },
        own_image);
    return finish_and_close(tif, written);
}

}  // namespace

void format_exif_time(long long timestamp, char out[20]) {
    std::time_t t = static_cast<std::time_t>(timestamp);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[64];
    std::snprintf(text, sizeof text, "%04d:%02d:%02d %02d:%02d:%02d", (tm.tm_year + 1900) % 10000,
                  (tm.tm_mon + 1) % 100, tm.tm_mday % 100, tm.tm_hour % 100, tm.tm_min % 100, tm.tm_sec % 100);
    std::memcpy(out, text, 19);
    out[19] = '\0';
}

double tiff_open_output(DVKLib* d, TIFF* tif, int quality) {
    TIFFSetField(tif, TIFFTAG_COMPRESSION, static_cast<std::uint16_t>(COMPRESSION_NONE));
    bool wide = is_16bit_variant(d->writer_variant);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, static_cast<std::uint16_t>(wide ? 16 : 8));
    return wide ? 65535.0 : 255.0;
}

int write_tiff_rgb(DVKLib* d, FILE* out, float* image, unsigned width, unsigned height, int raw, int quality,
                   float xres, float yres) {
    TIFF* tif = open_tiff_on(d, out);
    if (!tif) return 2;
    bool wide = is_16bit_variant(d->writer_variant);
    set_fixed_tags(d, tif, width, height, wide ? 16 : 8, PHOTOMETRIC_RGB, xres, yres);
    double top = tiff_open_output(d, tif, quality);
    set_icc_tag(d, tif, raw);
    unsigned bits = static_cast<unsigned>(std::log2(top + 1.0) + 0.5);
    bool studio = is_studio_variant(d->writer_variant);
    const std::size_t pixels = static_cast<std::size_t>(width) * height;
    if (bits != 8 && bits != 16) return finish_and_close(tif, false);
    return pack_strip_and_close(d, tif, image, pixels, 3 * (bits / 8),
                                [bits, studio](const float* in, std::size_t n, std::uint8_t* out) {
                                    convert_rgb_float_to_bits(in, static_cast<unsigned>(n), 1, out, bits, studio);
                                });
}

namespace {

void cielab16_samples(const float* in, std::size_t n, std::uint8_t* out_bytes) {
    for (std::size_t i = 0; i < n; ++i) {
        const float L = in[3 * i], a = in[3 * i + 1], b = in[3 * i + 2];
        std::int32_t v[3];
        if (L > 100.0f) v[0] = 65535;
        else if (L < 0.0f) v[0] = 0;
        else v[0] = static_cast<std::int32_t>(std::lround(L * 655.35f));
        if (a > 127.0f) v[1] = 32767;
        else if (a < -128.0f) v[1] = -32768;
        else v[1] = static_cast<std::int32_t>(std::lround(a * 256.0f));
        if (b > 127.0f) v[2] = 32767;
        else if (b < -128.0f) v[2] = -32768;
        else v[2] = static_cast<std::int32_t>(std::lround(b * 256.0f));
        // L unsigned, a and b two's complement, 16 bits each in host order.
        for (int k = 0; k < 3; ++k) {
            const std::uint16_t u = static_cast<std::uint16_t>(v[k] & 0xffff);
            std::memcpy(out_bytes + 6 * i + 2 * k, &u, 2);
        }
    }
}

}  // namespace

void pack_cielab16(float* image, std::size_t pixels) { pack_in_place(image, pixels, 6, cielab16_samples); }

int write_tiff_cielab(DVKLib* d, FILE* out, float* image, unsigned width, unsigned height, int raw, int quality,
                      float xres, float yres) {
    TIFF* tif = open_tiff_on(d, out);
    if (!tif) return 2;
    set_fixed_tags(d, tif, width, height, 16, PHOTOMETRIC_CIELAB, xres, yres);
    tiff_open_output(d, tif, quality);
    // CIELab output is always 16 bits, whatever the variant.
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, static_cast<std::uint16_t>(16));
    std::size_t pixels = static_cast<std::size_t>(width) * height;
    return pack_strip_and_close(d, tif, image, pixels, 6, cielab16_samples);
}

int write_tiff_float_rgb(DVKLib* d, FILE* out, float* image, unsigned width, unsigned height, int raw, int quality,
                         float xres, float yres) {
    TIFF* tif = open_tiff_on(d, out);
    if (!tif) return 2;
    set_fixed_tags(d, tif, width, height, 32, PHOTOMETRIC_RGB, xres, yres);
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, static_cast<std::uint16_t>(SAMPLEFORMAT_IEEEFP));
    set_icc_tag(d, tif, raw);
    return write_strip_and_close(tif, image, static_cast<std::size_t>(width) * height * 3 * 4);
}

}  // namespace dvk
