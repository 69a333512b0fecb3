#include "develop_test_support.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <tiffio.h>

#include "tests/support/dng_writer.h"

namespace dvk::test {

Image read_tiff_image(const std::filesystem::path& path) {
    Image img;
    TIFF* tif = TIFFOpen(path.c_str(), "rc");
    if (!tif) return img;
    std::uint32_t w = 0, h = 0;
    std::uint16_t bps = 0, spp = 0, photo = 0, fmt = 1;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bps);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photo);
    TIFFGetField(tif, TIFFTAG_SAMPLEFORMAT, &fmt);
    std::uint32_t icc_len = 0;
    void* icc = nullptr;
    if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &icc_len, &icc) && icc)
        img.icc.assign(static_cast<unsigned char*>(icc), static_cast<unsigned char*>(icc) + icc_len);
    char* dt = nullptr;
    if (TIFFGetField(tif, TIFFTAG_DATETIME, &dt) && dt) img.datetime = dt;
    img.width = w;
    img.height = h;
    img.bits = bps;
    img.photometric = photo;
    img.sample_format = fmt;
    if (spp != 3 || TIFFNumberOfStrips(tif) != 1) {
        TIFFClose(tif);
        return img;
    }
    tmsize_t n = TIFFRawStripSize(tif, 0);
    std::vector<unsigned char> raw(static_cast<std::size_t>(n));
    TIFFReadRawStrip(tif, 0, raw.data(), n);
    TIFFClose(tif);
    const std::size_t samples = std::size_t(w) * h * 3;
    if (raw.size() < samples * (bps / 8)) return img;
    img.px.resize(samples);
    for (std::size_t i = 0; i < samples; ++i) {
        if (photo == PHOTOMETRIC_CIELAB) {
            std::uint16_t u;
            std::memcpy(&u, &raw[2 * i], 2);
            if (i % 3 == 0) img.px[i] = static_cast<float>(u / 655.35);
            else img.px[i] = static_cast<float>(static_cast<std::int16_t>(u) / 256.0);
        } else if (bps == 32) {
            std::memcpy(&img.px[i], &raw[4 * i], 4);
        } else if (bps == 16) {
            std::uint16_t u;
            std::memcpy(&u, &raw[2 * i], 2);
            img.px[i] = static_cast<float>(u / 65535.0);
        } else {
            img.px[i] = static_cast<float>(raw[i] / 255.0);
        }
    }
    img.ok = true;
    return img;
}

Image read_jpeg_image(const std::filesystem::path& path) {
    Image img;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return img;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 2, 0xffff);
    jpeg_read_header(&cinfo, TRUE);
    JOCTET* icc = nullptr;
    unsigned icc_len = 0;
    if (jpeg_read_icc_profile(&cinfo, &icc, &icc_len)) {
        img.icc.assign(icc, icc + icc_len);
        std::free(icc);
    }
    img.photometric = 6;
    img.bits = 8;
    jpeg_start_decompress(&cinfo);
    img.width = cinfo.output_width;
    img.height = cinfo.output_height;
    std::vector<unsigned char> row(std::size_t(img.width) * 3);
    img.px.reserve(std::size_t(img.width) * img.height * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW r = row.data();
        jpeg_read_scanlines(&cinfo, &r, 1);
        for (unsigned char c : row) img.px.push_back(static_cast<float>(c / 255.0));
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
    img.ok = cinfo.output_components == 3;
    return img;
}

std::array<double, 3> patch_mean(const Image& img, unsigned x, unsigned y, unsigned r) {
    std::array<double, 3> sum{0, 0, 0};
    std::size_t n = 0;
    for (unsigned yy = y - r; yy <= y + r; ++yy)
        for (unsigned xx = x - r; xx <= x + r; ++xx) {
            if (xx >= img.width || yy >= img.height || img.px.empty()) continue;
            const float* p = &img.px[(std::size_t(yy) * img.width + xx) * 3];
            for (int c = 0; c < 3; ++c) sum[c] += p[c];
            ++n;
        }
    for (double& s : sum) s /= n ? double(n) : 1.0;
    return sum;
}

int develop(RawProcessor& p, const std::filesystem::path& raw, const std::string& destination,
            const std::function<void(RawProcessor&)>& after_load) {
    p.setFileName(raw.string());
    p.setDestinationFile(destination);
    if (p.initDoubleImageFromRawFile(raw.string(), p.interpolation() == 2 ? 1 : 0) != 0) return -1;
    p.setUseCameraWB(p.useCameraWB());
    if (after_load) after_load(p);
    if (!p.convertImage()) return -2;
    return p.saveImage();
}

std::filesystem::path write_scene_dng(const std::filesystem::path& dir, unsigned width, unsigned height,
                                      const std::string& name) {
    DngSpec s = make_dng_spec(DngLayout::Bayer, width, height);
    fill_gradient(s, 3);
    // A neutral grey square in the top-left quarter and a saturated red one
    // in the top-right quarter (levels in camera space).
    const double black = s.black_level, span = double(s.white_level) - black;
    for (unsigned row = height / 8; row < height * 3 / 8; ++row)
        for (unsigned col = width / 8; col < width * 3 / 8; ++col) {
            const int c = cfa_colour(s, row, col);
            // Levels in the ratio of the file's as-shot neutral.
            const double neutral = s.as_shot_neutral[c];
            sample_at(s, row, col) = static_cast<std::uint16_t>(black + 0.3 * span * neutral);
        }
    for (unsigned row = height / 8; row < height * 3 / 8; ++row)
        for (unsigned col = width * 5 / 8; col < width * 7 / 8; ++col) {
            const int c = cfa_colour(s, row, col);
            const double level = c == 0 ? 0.5 : 0.08;
            sample_at(s, row, col) = static_cast<std::uint16_t>(black + level * span * s.as_shot_neutral[c]);
        }
    const std::filesystem::path path = dir / name;
    write_dng(path, s);
    return path;
}

void balance_on_grey_square(RawProcessor& p) {
    const double w = p.imageWidth(), h = p.imageHeight();
    p.rgbgImageCalcBalanceAtRect(w / 8 + 2, h / 8 + 2, w / 4 - 4, h / 4 - 4);
}

double hue_degrees(double a, double b) { return std::atan2(b, a) * 180.0 / M_PI; }

double hue_distance(double h1, double h2) {
    double d = std::fabs(h1 - h2);
    while (d > 360.0) d -= 360.0;
    return d > 180.0 ? 360.0 - d : d;
}

}  // namespace dvk::test
