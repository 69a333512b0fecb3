// The save-format codes 0 to 23: writer, writer variant, output gamma, JPEG
// quality, output-profile code, raw flag and file extension of each.
#pragma once

#include "core/dvklib.h"

namespace dvk {

struct SaveFormat {
    SaveWriter writer;
    char variant;          // 'N', 'n', 'S', 's', or 0 for JPEG and float output
    double output_gamma;   // 0: leave the output gamma unchanged
    int jpeg_quality;      // -1: leave the quality unchanged
    int output_profile;    // output-profile code
    int raw;
    const char* extension; // "tiff" or "jpeg"
};

inline constexpr int kSaveFormatCount = 24;

// The row of `code`, or null for codes outside 0..23.
const SaveFormat* save_format(int code);
bool is_jpeg_writer(SaveWriter writer);
bool is_cielab_writer(SaveWriter writer);

}  // namespace dvk
