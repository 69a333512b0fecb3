// AHD: adaptive homogeneity-directed demosaicing in 256 x 256 tiles with three
// green candidates (horizontal, vertical, locally selected), YCbCr homogeneity
// counts and the average of the most homogeneous candidates.
//
// The 2 x 2 Bayer patterns go through tiles laid out for vector code
// (ahd_bayer_tile.h); any other pattern through tiles that ask the pattern map
// at every site (ahd_tile.h). Both give the same values for a Bayer pattern.
#include <cstdio>

// The any-pattern tile passes 256-bit vectors between always-inlined helpers,
// so the ABI note of GCC does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

#include "pipeline/demosaic/ahd_bayer_tile.h"
#include "pipeline/demosaic/ahd_tile.h"
#include "pipeline/demosaic/cfa_map.h"
#include "pipeline/demosaic/demosaic.h"
#include "pipeline/vector_math.h"

namespace dvk {

DVK_SIMD_CLONES void ahd_interpolate(DVKLib* d, float* band, unsigned width, unsigned height) {
    using namespace ahd;
    const CfaMap cfa(d);
    BayerRows bayer;
    const bool is_bayer = bayer.read(cfa);
    BayerScratch bayer_scratch;
    AhdScratch scratch;
    if (is_bayer ? !bayer_scratch.allocate() : !scratch.allocate()) {
        std::fprintf(stderr, "ahd_interpolate: cannot allocate the tile buffers\n");
        return;
    }
    if (!band || height == 0 || width == 0) return;
    const int w = int(width), h = int(height);
    static_assert((TS - 6) % 2 == 0, "the Bayer tiles start on even rows and columns");
    for (int top = 0; top < h; top += TS - 6)
        for (int left = 0; left < w; left += TS - 6) {
            if (is_bayer)
                AhdBayerTile(bayer, bayer_scratch, band, w, h, top, left).run();
            else
                AhdTile(cfa, scratch, band, w, h, top, left).run();
        }
}

}  // namespace dvk
