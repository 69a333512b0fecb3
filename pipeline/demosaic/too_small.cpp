// Whether a working image is large enough for the interpolation asked of it.
//
// Demosaicing fills each pixel's missing colours from sites of those colours
// nearby: a mosaic a single site high or wide, or cut so that some colour of
// its pattern has no site in it, has nothing to fill them from. Two-thirds
// binning makes 2 x 2 pixels of each 3 x 3 block of sites after its first
// four columns: below 9 x 3 sites it makes none.
#include <cstdio>
#include <string>

#include "pipeline/demosaic/cfa_map.h"
#include "pipeline/demosaic/demosaic.h"

namespace dvk {

namespace {

std::string size_text(unsigned width, unsigned height) {
    char text[48];
    std::snprintf(text, sizeof text, "%u x %u pixels", width, height);
    return text;
}

// Whether the top-left width x height sites hold red, green and blue.
bool holds_every_colour(DVKLib* d, unsigned width, unsigned height) {
    const CfaMap cfa(d);
    bool seen[3] = {false, false, false};
    for (unsigned r = 0; r < height && r < CfaMap::kPeriod; ++r)
        for (unsigned c = 0; c < width && c < CfaMap::kPeriod; ++c) {
            const int colour = cfa(r, c);
            seen[colour == 3 ? 1 : colour] = true;
        }
    return seen[0] && seen[1] && seen[2];
}

}  // namespace

std::string too_small_to_develop(DVKLib* d, int interpolation, bool half_size, unsigned width, unsigned height) {
    if (width == 0 || height == 0) return "the image is empty (" + size_text(width, height) + ")";
    if (interpolation == 5) {
        if (width < 9 || height < 3)
            return "the image is too small for two-thirds binning (" + size_text(width, height) +
                   "; it takes at least 9 x 3)";
        return {};
    }
    const bool demosaiced = interpolation != 2 && !half_size && d && d->libraw && d->libraw->imgdata.idata.filters != 0;
    if (demosaiced && !holds_every_colour(d, width, height))
        return "the image is too small to interpolate (" + size_text(width, height) +
               " do not hold every colour of the sensor's pattern)";
    return {};
}

}  // namespace dvk
