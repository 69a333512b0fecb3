#include "pipeline/writers/save_formats.h"

#include "pipeline/writers/jpeg_writer.h"
#include "pipeline/writers/tiff_writers.h"

namespace dvk {

namespace {

constexpr SaveWriter kRgb = write_tiff_rgb;
constexpr SaveWriter kLab = write_tiff_cielab;
constexpr SaveWriter kFloat = write_tiff_float_rgb;
constexpr SaveWriter kJpeg = write_jpeg;

const SaveFormat kFormats[kSaveFormatCount] = {
    {kRgb, 'N', 2.2, -1, 0, 0, "tiff"},    // 0
    {kRgb, 'n', 2.2, -1, 0, 0, "tiff"},    // 1
    {kLab, 'N', 0.0, -1, 0, 0, "tiff"},    // 2
    {kJpeg, 0, 2.2, 85, 0, 0, "jpeg"},     // 3
    {kJpeg, 0, 2.2, 95, 0, 0, "jpeg"},     // 4
    {kFloat, 0, 1.0, -1, 0, 0, "tiff"},    // 5
    {kJpeg, 0, 2.2, 85, 1, 0, "jpeg"},     // 6
    {kJpeg, 0, 2.2, 95, 1, 0, "jpeg"},     // 7
    {kRgb, 'N', 2.2, -1, 2, 0, "tiff"},    // 8
    {kJpeg, 0, 2.2, 85, 3, 0, "jpeg"},     // 9
    {kJpeg, 0, 2.2, 95, 3, 0, "jpeg"},     // 10
    {kRgb, 'N', 2.2, -1, 4, 0, "tiff"},    // 11
    {kRgb, 'N', 2.2, -1, 0, 0, "tiff"},    // 12
    {kJpeg, 0, 2.2, 70, 0, 0, "jpeg"},     // 13
    {kJpeg, 0, 2.2, 70, 1, 0, "jpeg"},     // 14
    {kJpeg, 0, 2.2, 70, 3, 0, "jpeg"},     // 15
    {kRgb, 'N', 2.2, -1, 6, 0, "tiff"},    // 16
    {kRgb, 'N', 2.2, -1, 0, 1, "tiff"},    // 17
    {kFloat, 0, 1.0, -1, 0, 1, "tiff"},    // 18
    {kRgb, 'S', 2.2, -1, 8, 0, "tiff"},    // 19
    {kRgb, 's', 2.2, -1, 8, 0, "tiff"},    // 20
    {kJpeg, 0, 2.2, 100, 8, 0, "jpeg"},    // 21
    {kRgb, 'N', 2.2, -1, 1, 0, "tiff"},    // 22
    {kRgb, 'n', 2.2, -1, 1, 0, "tiff"},    // 23
};

}  // namespace

const SaveFormat* save_format(int code) {
    if (code < 0 || code >= kSaveFormatCount) return nullptr;
    return &kFormats[code];
}

bool is_jpeg_writer(SaveWriter writer) { return writer == kJpeg; }
bool is_cielab_writer(SaveWriter writer) { return writer == kLab; }

}  // namespace dvk
