// The engine's raw decoder class and the few LibRaw calls whose names differ
// between LibRaw 0.20 (Debian 12) and 0.21.
#pragma once

#include <libraw/libraw.h>

namespace dvk {

// Every LibRaw object the program makes is a LibRaw_DVK, built with flags 0 and
// destroyed through its (virtual) deleting destructor.
class LibRaw_DVK : public LibRaw {
public:
    LibRaw_DVK() : LibRaw(0) {}
    ~LibRaw_DVK() override = default;

    int is_phaseone_compressed() override { return LibRaw::is_phaseone_compressed(); }

    LibRaw_DVK(const LibRaw_DVK&) = delete;
    LibRaw_DVK& operator=(const LibRaw_DVK&) = delete;
};

// --- LibRaw version compatibility ------------------------------------------

// Selects which frame of a multi-frame file the next open_file decodes.
void set_shot_select(LibRaw& raw, unsigned shot);

// Crops the raw area to the DNG default crop (the "inset crop"): mask bit 0
// enables the crop, and a crop smaller than `maxcrop` of the image size in
// either direction is refused. Returns the index of the crop applied, or -1.
int adjust_to_raw_inset_crop(LibRaw& raw, unsigned mask, float maxcrop);

}  // namespace dvk
