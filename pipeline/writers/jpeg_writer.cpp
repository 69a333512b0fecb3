#include "pipeline/writers/jpeg_writer.h"

#include <csetjmp>
#include <cstring>

#include <jpeglib.h>

#include "core/dvklib.h"
#include "pipeline/writers/sample_packing.h"
#include "pipeline/writers/tiff_writers.h"

namespace dvk {

namespace {

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

[[noreturn]] void on_jpeg_error(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegError*>(cinfo->err);
    (*cinfo->err->output_message)(cinfo);
    std::longjmp(err->jump, 1);
}

void put16(std::vector<std::uint8_t>& v, std::size_t at, unsigned x) {
    v[at] = static_cast<std::uint8_t>(x & 0xff);
    v[at + 1] = static_cast<std::uint8_t>((x >> 8) & 0xff);
}
void put32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = static_cast<std::uint8_t>((x >> (8 * i)) & 0xff);
}

std::uint16_t density(float dpi) {
    if (!(dpi > 0.0f)) return 72;
    if (dpi > 65535.0f) return 65535;
    return static_cast<std::uint16_t>(dpi + 0.5f);
}

// libjpeg keeps state across setjmp; everything it touches after the jump
// lives in this object, not in locals of the function that called setjmp.
struct Encoder {
    jpeg_compress_struct cinfo{};
    JpegError err{};
};

int encode(Encoder& enc, FILE* out, const std::uint8_t* rgb, unsigned width, unsigned height, int quality,
           float xres, float yres, const JOCTET* icc, unsigned icc_len, const std::vector<std::uint8_t>& exif) {
    jpeg_compress_struct& cinfo = enc.cinfo;
    if (setjmp(enc.err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return 1;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, out);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality < 0 ? 0 : (quality > 100 ? 100 : quality), TRUE);
    cinfo.write_JFIF_header = TRUE;
    cinfo.density_unit = 1;  // dots per inch
    cinfo.X_density = density(xres);
    cinfo.Y_density = density(yres);
    jpeg_start_compress(&cinfo, TRUE);
    if (!exif.empty()) jpeg_write_marker(&cinfo, JPEG_APP0 + 1, exif.data(), static_cast<unsigned>(exif.size()));
    if (icc && icc_len) jpeg_write_icc_profile(&cinfo, icc, icc_len);
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb + cinfo.next_scanline * stride);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return std::fflush(out) == 0 && !std::ferror(out) ? 0 : 1;
}

}  // namespace

std::vector<std::uint8_t> make_exif_datetime_segment(long long timestamp) {
    // "Exif\0\0", TIFF header (8), IFD0 with the Exif IFD pointer (18), the
    // Exif IFD with DateTimeOriginal (18), then the 20-byte date text.
    std::vector<std::uint8_t> v(6 + 64, 0);
    std::memcpy(v.data(), "Exif\0\0", 6);
    const std::size_t t = 6;  // TIFF offsets count from here
    v[t] = 'I';
    v[t + 1] = 'I';
    put16(v, t + 2, 42);
    put32(v, t + 4, 8);
    put16(v, t + 8, 1);           // IFD0: one entry
    put16(v, t + 10, 0x8769);     // ExifIFDPointer
    put16(v, t + 12, 4);          // LONG
    put32(v, t + 14, 1);
    put32(v, t + 18, 26);
    put32(v, t + 22, 0);          // no next IFD
    put16(v, t + 26, 1);          // Exif IFD: one entry
    put16(v, t + 28, 0x9003);     // DateTimeOriginal
    put16(v, t + 30, 2);          // ASCII
    put32(v, t + 32, 20);
    put32(v, t + 36, 44);
    put32(v, t + 40, 0);
    char text[20];
    format_exif_time(timestamp, text);
    std::memcpy(v.data() + t + 44, text, 20);
    return v;
}

int write_jpeg(DVKLib* d, FILE* out, float* image, unsigned width, unsigned height, int raw, int quality,
               float xres, float yres) {
    pack_rgb_samples(image, static_cast<std::size_t>(width) * height, 8, d->writer_variant == 's');

    const JOCTET* icc = nullptr;
    unsigned icc_len = 0;
    if (!raw) {
        const char* data = d->output_gamma == 1.0 ? d->linear_profile_data : d->output_profile_data;
        std::uint32_t size = d->output_gamma == 1.0 ? d->linear_profile_size : d->output_profile_size;
        if (data && size > 1) {
            icc = reinterpret_cast<const JOCTET*>(data);
            icc_len = size - 1;
        }
    }
    long long timestamp = d->libraw ? static_cast<long long>(d->libraw->imgdata.other.timestamp) : 0;
    std::vector<std::uint8_t> exif;
    if (timestamp != 0) exif = make_exif_datetime_segment(timestamp);

    Encoder enc;
    enc.cinfo.err = jpeg_std_error(&enc.err.mgr);
    enc.err.mgr.error_exit = on_jpeg_error;
    return encode(enc, out, reinterpret_cast<const std::uint8_t*>(image), width, height, quality, xres, yres, icc,
                  icc_len, exif);
}

}  // namespace dvk
