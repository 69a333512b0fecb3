#include "tests/support/dng_writer.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>

namespace dvk::test {
namespace {

// DNG CFAPattern codes of the top-left 2 x 2 block of each phase.
std::array<std::uint8_t, 4> bayer_block(BayerPhase phase) {
    switch (phase) {
        case BayerPhase::RGGB: return {0, 1, 1, 2};
        case BayerPhase::BGGR: return {2, 1, 1, 0};
        case BayerPhase::GRBG: return {1, 0, 2, 1};
        case BayerPhase::GBRG: return {1, 2, 0, 1};
    }
    return {0, 1, 1, 2};
}

struct TiffCloser {
    void operator()(TIFF* t) const { TIFFClose(t); }
};

bool fail(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

std::vector<float> as_floats(const std::vector<double>& v) { return std::vector<float>(v.begin(), v.end()); }

}  // namespace

unsigned samples_per_pixel(const DngSpec& dng) { return dng.layout == DngLayout::LinearRaw ? 3 : 1; }

unsigned colour_count(const DngSpec& dng) {
    if (dng.layout == DngLayout::Mono) return 1;
    return dng.layout == DngLayout::Bayer && !dng.cfa_planes.empty() ? unsigned(dng.cfa_planes.size()) : 3;
}

DngSpec make_dng_spec(DngLayout layout, unsigned width, unsigned height) {
    DngSpec s;
    s.layout = layout;
    s.width = width;
    s.height = height;
    if (layout == DngLayout::Mono) {
        s.color_matrix1 = {0.3, 1.0, 0.1};
        s.as_shot_neutral = {1.0};
    }
    s.samples.assign(std::size_t(width) * height * samples_per_pixel(s), static_cast<std::uint16_t>(s.black_level));
    return s;
}

int cfa_colour(const DngSpec& dng, unsigned row, unsigned col) {
    switch (dng.layout) {
        case DngLayout::Bayer:
            if (dng.cfa_block.size() == 4) return dng.cfa_block[(row & 1) * 2 + (col & 1)];
            return bayer_block(dng.phase)[(row & 1) * 2 + (col & 1)];
        case DngLayout::XTrans: return dng.xtrans[(row % 6) * 6 + col % 6];
        default: return -1;
    }
}

std::uint16_t& sample_at(DngSpec& dng, unsigned row, unsigned col, unsigned c) {
    const unsigned spp = samples_per_pixel(dng);
    return dng.samples[(std::size_t(row) * dng.width + col) * spp + c];
}

void fill_gradient(DngSpec& dng, std::uint32_t seed) {
    const unsigned spp = samples_per_pixel(dng);
    dng.samples.resize(std::size_t(dng.width) * dng.height * spp);
    const double black = dng.black_level;
    const double span = double(dng.white_level) - black;
    std::uint32_t state = seed * 2654435761u + 12345u;
    for (unsigned row = 0; row < dng.height; ++row)
        for (unsigned col = 0; col < dng.width; ++col)
            for (unsigned c = 0; c < spp; ++c) {
                const int colour = spp == 3 ? int(c) : (cfa_colour(dng, row, col) < 0 ? 1 : cfa_colour(dng, row, col));
                state = state * 1664525u + 1013904223u;
                const double noise = double(state >> 24) / 255.0;  // 0..1
                const double level = 0.15 + 0.2 * colour + 0.3 * double(col) / dng.width +
                                     0.1 * double(row) / dng.height + 0.04 * noise;
                double v = black + level * span * 0.8;
                if (v > dng.white_level) v = dng.white_level;
                sample_at(dng, row, col, c) = static_cast<std::uint16_t>(v);
            }
}

void fill_flat(DngSpec& dng, const std::array<std::uint16_t, 3>& value) {
    const unsigned spp = samples_per_pixel(dng);
    dng.samples.resize(std::size_t(dng.width) * dng.height * spp);
    for (unsigned row = 0; row < dng.height; ++row)
        for (unsigned col = 0; col < dng.width; ++col)
            for (unsigned c = 0; c < spp; ++c) {
                int colour = spp == 3 ? int(c) : cfa_colour(dng, row, col);
                sample_at(dng, row, col, c) = value[colour < 0 ? 0 : colour > 2 ? 1 : colour];
            }
}

void fill_from_scene(DngSpec& dng, const std::function<std::array<double, 3>(unsigned, unsigned)>& scene) {
    const unsigned spp = samples_per_pixel(dng);
    dng.samples.resize(std::size_t(dng.width) * dng.height * spp);
    const double black = dng.black_level, span = double(dng.white_level) - black;
    auto level = [&](double v) {
        v = black + v * span;
        if (v < 0) v = 0;
        if (v > 65535) v = 65535;
        return static_cast<std::uint16_t>(v + 0.5);
    };
    for (unsigned row = 0; row < dng.height; ++row)
        for (unsigned col = 0; col < dng.width; ++col) {
            const auto rgb = scene(row, col);
            if (spp == 3) {
                for (unsigned c = 0; c < 3; ++c) sample_at(dng, row, col, c) = level(rgb[c]);
            } else {
                const int colour = cfa_colour(dng, row, col);
                sample_at(dng, row, col) = level(rgb[colour < 0 || colour > 2 ? 1 : colour]);
            }
        }
}

bool write_dng(const std::filesystem::path& path, const DngSpec& dng, std::string* error) {
    const unsigned spp = samples_per_pixel(dng);
    const unsigned colours = colour_count(dng);
    if (dng.width == 0 || dng.height == 0) return fail(error, "empty image");
    if (dng.samples.size() != std::size_t(dng.width) * dng.height * spp) return fail(error, "sample count");
    if (!dng.color_matrix1.empty() && dng.color_matrix1.size() != colours * 3u) return fail(error, "matrix 1 size");
    if (!dng.color_matrix2.empty() && dng.color_matrix2.size() != colours * 3u) return fail(error, "matrix 2 size");
    if (!dng.as_shot_neutral.empty() && dng.as_shot_neutral.size() != colours) return fail(error, "neutral size");

    if (dng.masked_areas.size() % 4 != 0) return fail(error, "masked areas size");
    if (!dng.cfa_block.empty() && dng.cfa_block.size() != 4) return fail(error, "CFA block size");
    if (dng.cfa_planes.size() > 4) return fail(error, "CFA plane count");
    std::unique_ptr<TIFF, TiffCloser> tif(TIFFOpen(path.c_str(), dng.big_endian ? "wb" : "w"));
    if (!tif) return fail(error, "cannot create " + path.string());
    TIFF* t = tif.get();

    const bool mosaic = dng.layout == DngLayout::Bayer || dng.layout == DngLayout::XTrans;
    TIFFSetField(t, TIFFTAG_SUBFILETYPE, 0u);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, dng.width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, dng.height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 16);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, spp);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, mosaic ? 32803 : 34892);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, dng.height);
    TIFFSetField(t, TIFFTAG_MAKE, dng.make.c_str());
    TIFFSetField(t, TIFFTAG_MODEL, dng.model.c_str());
    TIFFSetField(t, TIFFTAG_SOFTWARE, "dvk fixture writer");
    std::string datetime = dng.datetime;
    datetime.resize(19, ' ');
    TIFFSetField(t, TIFFTAG_DATETIME, datetime.c_str());

    const std::uint8_t dng_version[4] = {1, 4, 0, 0};
    const std::uint8_t dng_backward[4] = {1, 1, 0, 0};
    TIFFSetField(t, TIFFTAG_DNGVERSION, dng_version);
    TIFFSetField(t, TIFFTAG_DNGBACKWARDVERSION, dng_backward);
    const std::string unique = dng.unique_model.empty() ? dng.make + " " + dng.model : dng.unique_model;
    TIFFSetField(t, TIFFTAG_UNIQUECAMERAMODEL, unique.c_str());

    if (mosaic) {
        const bool xt = dng.layout == DngLayout::XTrans;
        const std::uint16_t dim[2] = {std::uint16_t(xt ? 6 : 2), std::uint16_t(xt ? 6 : 2)};
        TIFFSetField(t, TIFFTAG_CFAREPEATPATTERNDIM, dim);
        if (xt) {
            TIFFSetField(t, TIFFTAG_CFAPATTERN, std::uint16_t(36), dng.xtrans.data());
        } else {
            std::array<std::uint8_t, 4> block = bayer_block(dng.phase);
            if (dng.cfa_block.size() == 4) std::copy(dng.cfa_block.begin(), dng.cfa_block.end(), block.begin());
            TIFFSetField(t, TIFFTAG_CFAPATTERN, std::uint16_t(4), block.data());
        }
        std::vector<std::uint8_t> planes = {0, 1, 2};
        if (!xt && !dng.cfa_planes.empty()) planes = dng.cfa_planes;
        TIFFSetField(t, TIFFTAG_CFAPLANECOLOR, std::uint16_t(planes.size()), planes.data());
        TIFFSetField(t, TIFFTAG_CFALAYOUT, std::uint16_t(1));
    }

    const std::uint16_t black_dim[2] = {1, 1};
    TIFFSetField(t, TIFFTAG_BLACKLEVELREPEATDIM, black_dim);
    std::vector<float> black(spp, static_cast<float>(dng.black_level));
    TIFFSetField(t, TIFFTAG_BLACKLEVEL, std::uint16_t(spp), black.data());
    std::vector<std::uint32_t> white(spp, dng.white_level);
    TIFFSetField(t, TIFFTAG_WHITELEVEL, std::uint16_t(spp), white.data());

    if (!dng.color_matrix1.empty()) {
        auto m = as_floats(dng.color_matrix1);
        TIFFSetField(t, TIFFTAG_COLORMATRIX1, std::uint16_t(m.size()), m.data());
        TIFFSetField(t, TIFFTAG_CALIBRATIONILLUMINANT1, dng.illuminant1);
    }
    if (!dng.color_matrix2.empty()) {
        auto m = as_floats(dng.color_matrix2);
        TIFFSetField(t, TIFFTAG_COLORMATRIX2, std::uint16_t(m.size()), m.data());
        TIFFSetField(t, TIFFTAG_CALIBRATIONILLUMINANT2, dng.illuminant2);
    }
    if (!dng.as_shot_neutral.empty()) {
        auto n = as_floats(dng.as_shot_neutral);
        TIFFSetField(t, TIFFTAG_ASSHOTNEUTRAL, std::uint16_t(n.size()), n.data());
    }
    if (dng.crop_width) {
        const float origin[2] = {float(dng.crop_left), float(dng.crop_top)};
        const float size[2] = {float(dng.crop_width), float(dng.crop_height)};
        TIFFSetField(t, TIFFTAG_DEFAULTCROPORIGIN, origin);
        TIFFSetField(t, TIFFTAG_DEFAULTCROPSIZE, size);
    }
    if (!dng.linearization.empty())
        TIFFSetField(t, TIFFTAG_LINEARIZATIONTABLE, std::uint16_t(dng.linearization.size()), dng.linearization.data());
    if (dng.active_area[2] != 0) TIFFSetField(t, TIFFTAG_ACTIVEAREA, dng.active_area.data());
    if (!dng.masked_areas.empty())
        TIFFSetField(t, TIFFTAG_MASKEDAREAS, std::uint16_t(dng.masked_areas.size()), dng.masked_areas.data());
    TIFFSetField(t, TIFFTAG_EXIFIFD, std::uint64_t(0));  // patched below

    const tmsize_t bytes = tmsize_t(dng.samples.size() * sizeof(std::uint16_t));
    // libtiff swaps the bytes of a big-endian file's strip in the buffer it is given.
    std::vector<std::uint16_t> strip = dng.samples;
    if (TIFFWriteEncodedStrip(t, 0, strip.data(), bytes) != bytes)
        return fail(error, "strip write failed");
    if (!TIFFWriteDirectory(t)) return fail(error, "directory write failed");

    // Shot data in the EXIF sub-directory.
    if (TIFFCreateEXIFDirectory(t) != 0) return fail(error, "EXIF directory");
    TIFFSetField(t, EXIFTAG_EXPOSURETIME, dng.exposure_time);
    TIFFSetField(t, EXIFTAG_FNUMBER, dng.f_number);
    const std::uint16_t iso = static_cast<std::uint16_t>(dng.iso);
    TIFFSetField(t, EXIFTAG_ISOSPEEDRATINGS, std::uint16_t(1), &iso);
    TIFFSetField(t, EXIFTAG_FOCALLENGTH, dng.focal_length);
    TIFFSetField(t, EXIFTAG_DATETIMEORIGINAL, datetime.c_str());
    std::uint64_t exif_offset = 0;
    if (!TIFFWriteCustomDirectory(t, &exif_offset)) return fail(error, "EXIF write failed");

    // Back to the image directory to point at the EXIF data.
    if (!TIFFSetDirectory(t, 0)) return fail(error, "reopen directory");
    TIFFSetField(t, TIFFTAG_EXIFIFD, exif_offset);
    if (!TIFFRewriteDirectory(t)) return fail(error, "directory rewrite failed");
    return true;
}

std::vector<std::uint8_t> read_bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool write_bytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

DngSpec gradient_dng(DngLayout layout, unsigned width, unsigned height) {
    DngSpec dng = make_dng_spec(layout, width, height);
    fill_gradient(dng);
    return dng;
}

}  // namespace dvk::test
