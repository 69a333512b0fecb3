#include "image_io.h"

#include <png.h>
#include <tiffio.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

namespace dvk::quality {

namespace {

bool read_png(const std::string& path, RgbImage& out, std::string& error) {
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str())) {
        error = img.message;
        return false;
    }
    // Keep the file's samples as they are: 16-bit files as linear 16-bit
    // would be converted by libpng, so read 8-bit files as 8-bit sRGB values.
    const bool sixteen = (img.format & PNG_FORMAT_FLAG_LINEAR) != 0;
    img.format = sixteen ? PNG_FORMAT_LINEAR_RGB : PNG_FORMAT_RGB;
    std::vector<unsigned char> buf(PNG_IMAGE_SIZE(img));
    if (!png_image_finish_read(&img, nullptr, buf.data(), 0, nullptr)) {
        error = img.message;
        png_image_free(&img);
        return false;
    }
    out.width = img.width;
    out.height = img.height;
    out.pixels.resize(std::size_t(img.width) * img.height * 3);
    if (sixteen) {
        const auto* s = reinterpret_cast<const unsigned short*>(buf.data());
        for (std::size_t i = 0; i < out.pixels.size(); ++i) out.pixels[i] = s[i] / 65535.0f;
    } else {
        for (std::size_t i = 0; i < out.pixels.size(); ++i) out.pixels[i] = buf[i] / 255.0f;
    }
    return true;
}

bool read_tiff(const std::string& path, RgbImage& out, std::string& error) {
    std::unique_ptr<TIFF, void (*)(TIFF*)> tif(TIFFOpen(path.c_str(), "r"), TIFFClose);
    if (!tif) {
        error = "cannot open TIFF";
        return false;
    }
    uint32_t w = 0, h = 0;
    uint16_t bps = 0, spp = 0, planar = PLANARCONFIG_CONTIG;
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &h);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bps);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PLANARCONFIG, &planar);
    if ((bps != 8 && bps != 16) || spp < 3 || planar != PLANARCONFIG_CONTIG) {
        error = "unsupported TIFF layout";
        return false;
    }
    out.width = w;
    out.height = h;
    out.pixels.resize(std::size_t(w) * h * 3);
    std::vector<unsigned char> line(TIFFScanlineSize(tif.get()));
    for (uint32_t y = 0; y < h; ++y) {
        if (TIFFReadScanline(tif.get(), line.data(), y, 0) < 0) {
            error = "TIFF read error";
            return false;
        }
        for (uint32_t x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                const std::size_t i = std::size_t(x) * spp + c;
                float v;
                if (bps == 16) {
                    unsigned short s;
                    std::memcpy(&s, line.data() + i * 2, 2);
                    v = s / 65535.0f;
                } else {
                    v = line[i] / 255.0f;
                }
                out.pixels[(std::size_t(y) * w + x) * 3 + c] = v;
            }
    }
    return true;
}

}  // namespace

bool read_photo(const std::string& path, RgbImage& out, std::string& error) {
    const auto dot = path.rfind('.');
    const std::string ext = dot == std::string::npos ? "" : path.substr(dot + 1);
    if (ext == "png" || ext == "PNG") return read_png(path, out, error);
    if (ext == "tif" || ext == "tiff" || ext == "TIF") return read_tiff(path, out, error);
    error = "unknown image type";
    return false;
}

bool write_cfa_dng(const std::string& path, unsigned width, unsigned height, const unsigned char cfa[4],
                   const std::vector<unsigned short>& samples, std::string& error) {
    TIFF* t = TIFFOpen(path.c_str(), "w");
    if (!t) {
        error = "cannot create " + path;
        return false;
    }
    bool ok = true;
    ok &= TIFFSetField(t, TIFFTAG_SUBFILETYPE, 0) == 1;
    ok &= TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(width)) == 1;
    ok &= TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(height)) == 1;
    ok &= TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 16) == 1;
    ok &= TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE) == 1;
    ok &= TIFFSetField(t, TIFFTAG_PHOTOMETRIC, 32803) == 1;  // colour filter array
    ok &= TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1) == 1;
    ok &= TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) == 1;
    ok &= TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) == 1;
    ok &= TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, uint32_t(height)) == 1;
    ok &= TIFFSetField(t, TIFFTAG_MAKE, "DVK") == 1;
    ok &= TIFFSetField(t, TIFFTAG_MODEL, "Mosaic") == 1;
    const uint16_t dim[2] = {2, 2};
    ok &= TIFFSetField(t, TIFFTAG_CFAREPEATPATTERNDIM, dim) == 1;
    ok &= TIFFSetField(t, TIFFTAG_CFAPATTERN, uint16_t(4), cfa) == 1;
    const uint8_t version[4] = {1, 4, 0, 0};
    ok &= TIFFSetField(t, TIFFTAG_DNGVERSION, version) == 1;
    ok &= TIFFSetField(t, TIFFTAG_UNIQUECAMERAMODEL, "DVK Mosaic") == 1;
    const float matrix[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    ok &= TIFFSetField(t, TIFFTAG_COLORMATRIX1, uint16_t(9), matrix) == 1;
    ok &= TIFFSetField(t, TIFFTAG_CALIBRATIONILLUMINANT1, uint16_t(21)) == 1;
    const float neutral[3] = {1, 1, 1};
    ok &= TIFFSetField(t, TIFFTAG_ASSHOTNEUTRAL, uint16_t(3), neutral) == 1;
    const uint32_t white = 65535;
    ok &= TIFFSetField(t, TIFFTAG_WHITELEVEL, uint16_t(1), &white) == 1;
    if (!ok) {
        TIFFClose(t);
        error = "cannot set the DNG tags";
        return false;
    }
    const tmsize_t bytes = tmsize_t(samples.size() * 2);
    if (TIFFWriteRawStrip(t, 0, const_cast<unsigned short*>(samples.data()), bytes) != bytes) ok = false;
    TIFFClose(t);
    if (!ok) error = "cannot write the DNG strip";
    return ok;
}

bool read_ppm16(const std::string& path, RgbImage& out, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    unsigned maxval = 0;
    in >> magic >> out.width >> out.height >> maxval;
    in.get();
    if (!in || magic != "P6" || maxval != 65535) {
        error = "not a 16-bit P6 file: " + path;
        return false;
    }
    std::vector<unsigned char> raw(std::size_t(out.width) * out.height * 6);
    in.read(reinterpret_cast<char*>(raw.data()), std::streamsize(raw.size()));
    if (!in) {
        error = "short PPM file: " + path;
        return false;
    }
    out.pixels.resize(std::size_t(out.width) * out.height * 3);
    for (std::size_t i = 0; i < out.pixels.size(); ++i) out.pixels[i] = ((raw[2 * i] << 8) | raw[2 * i + 1]) / 65535.0f;
    return true;
}

}  // namespace dvk::quality
