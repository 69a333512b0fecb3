// The colour-filter layout of the decoded file as a small lookup table.
//
// Every colour-filter pattern LibRaw knows repeats within 48 x 48 sites (Bayer
// 8 x 2, X-Trans 6 x 6, the 16 x 16 pattern), so one call of LibRaw::fcol per
// table cell answers every later question without leaving the band's loops.
#pragma once

#include <cstdint>

#include "core/dvklib.h"

namespace dvk {

class CfaMap {
public:
    static constexpr unsigned kPeriod = 48;

    explicit CfaMap(DVKLib* d) {
        LibRaw& raw = d->raw();
        for (unsigned r = 0; r < kPeriod; ++r)
            for (unsigned c = 0; c < kPeriod; ++c) tab_[r][c] = static_cast<std::uint8_t>(raw.fcol(int(r), int(c)));
        for (unsigned r = 0; r < kPeriod; ++r)
            for (unsigned k = 0; k < kPeriod + 2 * kReach; ++k) ext_[r][k] = tab_[r][(k + kPeriod - kReach) % kPeriod];
        colors_ = raw.imgdata.idata.colors;
        filters_ = raw.imgdata.idata.filters;
    }

    // Colour index of the site (0 red, 1 green, 2 blue, 3 second green).
    int operator()(unsigned row, unsigned col) const { return tab_[row % kPeriod][col % kPeriod]; }
    // The colours of one row, indexed by col % kPeriod.
    const std::uint8_t* row(unsigned row) const { return tab_[row % kPeriod]; }
    // The colours of one row around a column: row_around(r)[col % kPeriod + dx]
    // is the colour of (r, col + dx) for |dx| <= kReach.
    static constexpr unsigned kReach = 8;
    const std::uint8_t* row_around(unsigned row) const { return ext_[row % kPeriod] + kReach; }
    int colors() const { return colors_; }
    unsigned filters() const { return filters_; }

private:
    std::uint8_t tab_[kPeriod][kPeriod];
    std::uint8_t ext_[kPeriod][kPeriod + 2 * kReach];
    int colors_ = 3;
    unsigned filters_ = 0;
};

}  // namespace dvk
