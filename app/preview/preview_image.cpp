#include "app/preview/preview_image.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <tiffio.h>

#include "colour/colour_transform.h"
#include "colour/profile.h"
#include "colour/profile_lookup.h"
#include "core/libraw_dvk.h"
#include "pipeline/load/load_errors.h"
#include "pipeline/load/raw_probe.h"

namespace dvk {

namespace {

struct TiffCloser {
    void operator()(TIFF* t) const {
        if (t) TIFFClose(t);
    }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

std::nullopt_t none(std::string* error, std::string why) {
    if (error) *error = std::move(why);
    return std::nullopt;
}

struct TiffKind {
    std::uint32_t width = 0, height = 0;
    std::uint16_t bits = 0, samples = 0, photometric = 0, format = SAMPLEFORMAT_UINT, planar = PLANARCONFIG_CONTIG;
    bool lab() const { return photometric == PHOTOMETRIC_CIELAB; }
    bool floats() const { return format == SAMPLEFORMAT_IEEEFP; }
};

TiffKind readKind(TIFF* tif) {
    TiffKind k;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &k.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &k.height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &k.bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &k.samples);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &k.photometric);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &k.format);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &k.planar);
    return k;
}

// One scanline's pixel p as three floats in the source's units: CIELab
// (L 0..100, a and b about -128..127) or RGB.
void samplePixel(const TiffKind& k, const std::uint8_t* row, std::uint32_t p, float out[3]) {
    const std::size_t base = std::size_t(p) * k.samples;
    if (k.floats()) {
        const float* f = reinterpret_cast<const float*>(row) + base;
        for (int c = 0; c < 3; ++c) out[c] = std::isfinite(f[c]) ? std::max(f[c], 0.0f) : 0.0f;
    } else if (k.bits == 16) {
        const std::uint16_t* s = reinterpret_cast<const std::uint16_t*>(row) + base;
        out[0] = float(s[0]) * (100.0f / 65535.0f);
        out[1] = float(std::int16_t(s[1])) / 256.0f;
        out[2] = float(std::int16_t(s[2])) / 256.0f;
    } else {
        const std::uint8_t* s = row + base;
        out[0] = float(s[0]) * (100.0f / 255.0f);
        out[1] = float(std::int8_t(s[1]));
        out[2] = float(std::int8_t(s[2]));
    }
}

std::shared_ptr<const Profile> srgbProfile() {
    static const std::shared_ptr<const Profile> srgb = Profile::adopt(cmsCreate_sRGBProfile());
    return srgb;
}

std::shared_ptr<const Profile> sourceProfile(TIFF* tif, const TiffKind& k, std::string* error) {
    if (k.lab()) return getDVKProfileRef("Lab", nullptr);
    std::uint32_t size = 0;
    void* data = nullptr;
    if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &size, &data) && data && size > 0) {
        auto embedded = Profile::from_bytes(data, size, error);
        if (embedded && embedded->colour_space() == cmsSigRgbData) return embedded;
    }
    return getDVKProfileRef("BetaRGB1.0", nullptr);
}

int quarterTurnsForFlip(int flip) {
    switch (flip) {
        case 3: return 2;
        case 5: return 3;
        case 6: return 1;
        default: return 0;
    }
}

}  // namespace

bool isColourTiff(const std::string& path) {
    TIFFErrorHandler quiet = TIFFSetWarningHandler(nullptr);
    TiffPtr tif(TIFFOpen(path.c_str(), "r"));
    TIFFSetWarningHandler(quiet);
    if (!tif) return false;
    const TiffKind k = readKind(tif.get());
    return k.lab() || k.floats();
}

std::optional<PreviewBitmap> decodeColourTiff(const std::string& path, unsigned maxSide, std::string* error) {
    TiffPtr tif(TIFFOpen(path.c_str(), "r"));
    if (!tif) return none(error, "not a readable TIFF file");
    const TiffKind k = readKind(tif.get());
    const bool labKind = k.lab() && !k.floats() && (k.bits == 8 || k.bits == 16);
    const bool floatKind = k.photometric == PHOTOMETRIC_RGB && k.floats() && k.bits == 32;
    if (!labKind && !floatKind) return none(error, "not a CIELab or float RGB TIFF");
    if (k.samples < 3 || k.planar != PLANARCONFIG_CONTIG || k.width == 0 || k.height == 0)
        return none(error, "an image layout that is not read here");
    if (std::uint64_t(TIFFScanlineSize64(tif.get())) < std::uint64_t(k.width) * k.samples * (k.bits / 8))
        return none(error, "a damaged TIFF directory");

    std::string why;
    auto src = sourceProfile(tif.get(), k, &why);
    auto transform = src ? get_colour_transform(src, INTENT_RELATIVE_COLORIMETRIC, srgbProfile(),
                                                INTENT_RELATIVE_COLORIMETRIC, k.lab() ? PixelKind::Lab : PixelKind::Rgb,
                                                PixelKind::Rgb, &why)
                         : nullptr;
    if (!transform) return none(error, "no colour conversion for this file: " + why);

    // Box-average blocks of step x step pixels.
    const unsigned side = std::max(maxSide, 1u);
    const std::uint32_t step = std::max<std::uint32_t>(1, (std::max(k.width, k.height) + side - 1) / side);
    const std::uint32_t ow = (k.width + step - 1) / step, oh = (k.height + step - 1) / step;
    std::vector<float> image(std::size_t(ow) * oh * 3, 0.0f);
    std::vector<float> weight(std::size_t(ow) * oh, 0.0f);
    std::vector<std::uint8_t> row(std::size_t(TIFFScanlineSize64(tif.get())));
    for (std::uint32_t y = 0; y < k.height; ++y) {
        if (TIFFReadScanline(tif.get(), row.data(), y, 0) < 0) return none(error, "the image data cannot be read");
        float* out = &image[std::size_t(y / step) * ow * 3];
        float* w = &weight[std::size_t(y / step) * ow];
        for (std::uint32_t x = 0; x < k.width; ++x) {
            float px[3];
            samplePixel(k, row.data(), x, px);
            const std::uint32_t ox = x / step;
            for (int c = 0; c < 3; ++c) out[ox * 3 + c] += px[c];
            w[ox] += 1.0f;
        }
    }
    for (std::size_t i = 0; i < weight.size(); ++i)
        for (int c = 0; c < 3; ++c) image[i * 3 + c] /= weight[i];

    transform->convert(image.data(), weight.size());
    PreviewBitmap bitmap;
    bitmap.width = ow;
    bitmap.height = oh;
    bitmap.rgb.resize(image.size());
    for (std::size_t i = 0; i < image.size(); ++i) {
        const float v = std::isfinite(image[i]) ? std::clamp(image[i], 0.0f, 1.0f) : 0.0f;
        bitmap.rgb[i] = std::uint8_t(std::lround(v * 255.0f));
    }
    return bitmap;
}

std::optional<RawThumbnail> rawThumbnail(const std::string& path, std::string* error) {
    // The decoder opens only a file whose first reading went well.
    if (const int refused = first_reading_refusal(path)) return none(error, load_error_reason(refused));
    auto raw = std::make_unique<LibRaw_DVK>();
    int rc = raw->open_file(path.c_str());
    if (rc != LIBRAW_SUCCESS) return none(error, libraw_strerror(rc));
    rc = raw->unpack_thumb();
    if (rc != LIBRAW_SUCCESS) return none(error, libraw_strerror(rc));
    int err = 0;
    libraw_processed_image_t* image = raw->dcraw_make_mem_thumb(&err);
    if (!image) return none(error, libraw_strerror(err));
    std::unique_ptr<libraw_processed_image_t, void (*)(libraw_processed_image_t*)> owned(
        image, [](libraw_processed_image_t* p) { LibRaw::dcraw_clear_mem(p); });

    RawThumbnail thumb;
    thumb.quarterTurns = quarterTurnsForFlip(raw->imgdata.sizes.flip);
    if (image->type == LIBRAW_IMAGE_JPEG) {
        thumb.isJpeg = true;
        thumb.jpeg.assign(image->data, image->data + image->data_size);
        return thumb;
    }
    const unsigned bytes = image->bits == 16 ? 2 : 1;
    const std::size_t pixels = std::size_t(image->width) * image->height;
    if (image->type != LIBRAW_IMAGE_BITMAP || (image->colors != 1 && image->colors != 3) ||
        (image->bits != 8 && image->bits != 16) || image->data_size < pixels * image->colors * bytes)
        return none(error, "an embedded preview of an unknown kind");
    thumb.bitmap.width = image->width;
    thumb.bitmap.height = image->height;
    thumb.bitmap.rgb.resize(pixels * 3);
    for (std::size_t i = 0; i < pixels; ++i) {
        for (int c = 0; c < 3; ++c) {
            const std::size_t at = i * image->colors + (image->colors == 3 ? c : 0);
            std::uint8_t v;
            if (bytes == 2) {
                std::uint16_t s;
                std::memcpy(&s, image->data + at * 2, 2);
                v = std::uint8_t(s >> 8);
            } else {
                v = image->data[at];
            }
            thumb.bitmap.rgb[i * 3 + c] = v;
        }
    }
    return thumb;
}

}  // namespace dvk
