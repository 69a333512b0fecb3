// Engine state that tests set by hand: the band runner's thread count and the
// special forms of the develop steps for the length of a scope, the decoder
// sizes a stage reads from a record that has no file behind it, and a band
// record for calling a stage's worker directly.
#pragma once

#include "core/band_runner.h"
#include "core/dvklib.h"
#include "core/fast_paths.h"

namespace dvk::test {

// Sets band_thread_count and puts the previous value back when it goes out of scope.
class BandThreadCount {
public:
    explicit BandThreadCount(int n) : saved_(band_thread_count) { band_thread_count = n; }
    ~BandThreadCount() { band_thread_count = saved_; }
    BandThreadCount(const BandThreadCount&) = delete;
    BandThreadCount& operator=(const BandThreadCount&) = delete;

private:
    int saved_;
};

// Turns the special forms of the develop steps on or off for the length of a
// scope (see core/fast_paths.h).
class FastPaths {
public:
    explicit FastPaths(bool on) : saved_(fast_paths_enabled()) { set_fast_paths_enabled(on); }
    ~FastPaths() { set_fast_paths_enabled(saved_); }
    FastPaths(const FastPaths&) = delete;
    FastPaths& operator=(const FastPaths&) = delete;

private:
    bool saved_;
};

// An iwidth x iheight image of three colours under the colour-filter code
// `filters` (0: none), at half size (shrink) when `half`.
inline void set_decoder_sizes(DVKLib* d, unsigned width, unsigned height, unsigned filters, bool half) {
    libraw_data_t& id = d->libraw->imgdata;
    id.sizes.iwidth = static_cast<unsigned short>(width);
    id.sizes.iheight = static_cast<unsigned short>(height);
    id.idata.filters = filters;
    id.idata.colors = 3;
    id.rawdata.ioparams.shrink = half ? 1 : 0;
}

// One band of `rows` rows of `width` pixels from `start`, with no overlap
// rows, as a runner would hand it to a worker.
inline band_record one_band(float* start, unsigned width, unsigned rows) {
    band_record b;
    b.band_start = start;
    b.width = width;
    b.rows_with_overlap = rows;
    return b;
}

}  // namespace dvk::test
