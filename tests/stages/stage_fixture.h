// An engine record without a file: a decoder whose pattern and sizes the test sets.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "core/dvklib.h"
#include "tests/support/engine_state.h"

namespace dvk::test {

// Bayer pattern R G / G2 B with a distinct second green.
inline constexpr unsigned kRG_G2B = 0xB4B4B4B4u;
// Bayer pattern R G / G B.
inline constexpr unsigned kRGGB = 0x94949494u;

class Record {
public:
    explicit Record(unsigned filters = 0, unsigned width = 0, unsigned height = 0, bool half = false) {
        EXPECT_TRUE(dvklib_new(&d));
        set_decoder_sizes(&d, width, height, filters, half);
    }
    ~Record() { dvklib_delete(&d); }
    // Gives the record an image of its size, filled from `pixels` (4 floats a pixel).
    void set_pixels(const std::vector<float>& pixels) {
        AlignedBuffer<float> buf = allocate_aligned<float>(pixels.size());
        std::copy(pixels.begin(), pixels.end(), buf.get());
        set_image(&d, std::move(buf), pixels.size() * sizeof(float));
    }
    DVKLib* operator->() { return &d; }
    DVKLib* get() { return &d; }
    DVKLib d;
};

}  // namespace dvk::test
