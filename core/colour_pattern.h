// The colour-filter pattern of a decoded file as a lookup table, so that
// per-site loops need no call into the decoder: colour(row, col) equals
// LibRaw::fcol(row, col) for every row and column >= 0.
#pragma once

#include <libraw/libraw.h>

namespace dvk {

class ColourPattern {
public:
    // Every pattern LibRaw knows repeats within 48 rows and columns (Bayer
    // codes 8 x 2, X-Trans 6 x 6, the Leaf code 16 x 16).
    static constexpr unsigned kPeriod = 48;

    explicit ColourPattern(LibRaw& raw) {
        for (unsigned r = 0; r < kPeriod; ++r)
            for (unsigned c = 0; c < kPeriod; ++c) table_[r][c] = static_cast<unsigned char>(raw.fcol(int(r), int(c)) & 3);
    }
    int operator()(unsigned row, unsigned col) const { return table_[row % kPeriod][col % kPeriod]; }
    // The colours of one row, repeating every kPeriod columns.
    const unsigned char* row(unsigned row) const { return table_[row % kPeriod]; }

private:
    unsigned char table_[kPeriod][kPeriod];
};

}  // namespace dvk
