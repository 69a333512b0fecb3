// Whether a file's colour filter has four colours.
//
// Cyan, yellow, green and magenta sensors and red, green, blue and emerald
// ones give LibRaw four colours; a DNG may also name a fourth colour index in
// its pattern that is no second green. The methods here interpolate red,
// green and blue (a colour index of 3 is the second green, folded into the
// green channel before demosaicing), so such files are not developed.
#include "pipeline/demosaic/cfa_map.h"
#include "pipeline/demosaic/demosaic.h"

namespace dvk {

namespace {

int as_green(int colour) { return colour == 3 ? 1 : colour; }

// With the second greens read as green: a pattern that repeats every two rows
// and columns, the greens on one diagonal, one red and one blue site.
bool bayer_with_second_greens(const CfaMap& cfa) {
    for (unsigned r = 0; r < CfaMap::kPeriod; ++r)
        for (unsigned c = 0; c < CfaMap::kPeriod; ++c)
            if (as_green(cfa(r, c)) != as_green(cfa(r & 1, c & 1))) return false;
    const int a = as_green(cfa(0, 0)), b = as_green(cfa(0, 1)), c = as_green(cfa(1, 0)), d = as_green(cfa(1, 1));
    if (a == 1 && d == 1) return (b == 0 && c == 2) || (b == 2 && c == 0);
    if (b == 1 && c == 1) return (a == 0 && d == 2) || (a == 2 && d == 0);
    return false;
}

}  // namespace

bool four_colour_pattern(DVKLib* d) {
    if (!d || !d->libraw) return false;
    const libraw_data_t& id = d->libraw->imgdata;
    if (id.idata.colors > 3) return true;
    if (id.idata.filters == 0) return false;
    const CfaMap cfa(d);
    for (unsigned r = 0; r < CfaMap::kPeriod; ++r)
        for (unsigned c = 0; c < CfaMap::kPeriod; ++c)
            if (cfa(r, c) == 3) return !bayer_with_second_greens(cfa);
    return false;
}

}  // namespace dvk
