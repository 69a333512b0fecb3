// AHD: adaptive homogeneity-directed demosaicing in 256 x 256 tiles with three
// green candidates (horizontal, vertical, locally selected), YCbCr homogeneity
// counts and the average of the most homogeneous candidates.
//
// The 2 x 2 Bayer patterns go through tiles laid out for vector code
// (ahd_bayer_tile.h); any other pattern through tiles that ask the pattern map
// at every site (ahd_tile.h). Both give the same values for a Bayer pattern.
#include <cstdio>
#include <vector>

// The any-pattern tile passes 256-bit vectors between always-inlined helpers,
// so the ABI note of GCC does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

#include "pipeline/demosaic/ahd_bayer_tile.h"
#include "pipeline/demosaic/ahd_tile.h"
#include "pipeline/demosaic/cfa_map.h"
#include "pipeline/demosaic/demosaic.h"
#include "core/vector_math.h"

namespace dvk {

namespace {

// The Bayer tiles over a band given by its rows.
DVK_SIMD_CLONES void ahd_bayer_rows(const ahd::BayerRows& bayer, float* const* rows, int w, int h) {
    using namespace ahd;
    BayerScratch scratch;
    if (!scratch.allocate()) {
        std::fprintf(stderr, "ahd_interpolate: cannot allocate the tile buffers\n");
        return;
    }
    for (int top = 0; top < h; top += TS - 6)
        for (int left = 0; left < w; left += TS - 6) AhdBayerTile(bayer, scratch, rows, w, h, top, left).run();
}

DVK_SIMD_CLONES void ahd_any_pattern(const CfaMap& cfa, float* band, int w, int h) {
    using namespace ahd;
    AhdScratch scratch;
    if (!scratch.allocate()) {
        std::fprintf(stderr, "ahd_interpolate: cannot allocate the tile buffers\n");
        return;
    }
    for (int top = 0; top < h; top += TS - 6)
        for (int left = 0; left < w; left += TS - 6) AhdTile(cfa, scratch, band, w, h, top, left).run();
}

}  // namespace

void ahd_interpolate(DVKLib* d, float* band, unsigned width, unsigned height) {
    const CfaMap cfa(d);
    ahd::BayerRows bayer;
    if (!bayer.read(cfa)) {
        ahd_any_pattern(cfa, band, int(width), int(height));
        return;
    }
    if (!band || height == 0 || width == 0) return;
    std::vector<float*> rows(height);
    for (unsigned y = 0; y < height; ++y) rows[y] = band + std::size_t(y) * width * 4;
    ahd_bayer_rows(bayer, rows.data(), int(width), int(height));
}

bool ahd_takes_rows(DVKLib* d) {
    ahd::BayerRows bayer;
    return bayer.read(CfaMap(d));
}

bool ahd_interpolate(DVKLib* d, float* const* rows, unsigned width, unsigned height) {
    ahd::BayerRows bayer;
    if (!bayer.read(CfaMap(d))) return false;
    if (rows && height && width) ahd_bayer_rows(bayer, rows, int(width), int(height));
    return true;
}

}  // namespace dvk
