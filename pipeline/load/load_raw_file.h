// What the loader offers the rest of the program: a raw file decoded into a
// record's four-channel float working image, and the camera name of a file.
// The loading steps themselves are in raw_loader.h.
#pragma once

#include "core/dvklib.h"

namespace dvk {

// Loads `path` into `d` (at half size when `halfSize` is non-zero). Returns 0
// or a non-zero error code: LibRaw's negative codes unchanged, or one of
// load_errors.h (the file is missing, unreadable or no regular file, its
// first reading was unsafe, the image it declares is larger than its data or
// this computer's memory; load_error_text says which). A failed load leaves
// the record's previous image, sizes and white balance as they were.
int load_raw_file(DVKLib* d, const char* path, int halfSize);
// Writes the camera of `path` ("Make Model", at most 256 bytes with its NUL)
// into `out` (may be null). Returns 0, or 1 when LibRaw cannot open the file
// or finds no raw image in it (identify_raw_file in raw_probe.h says why).
int identify_camera(const char* path, char* out);

}  // namespace dvk
