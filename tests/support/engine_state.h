// Engine state that tests set by hand: the band runner's thread count for the
// length of a scope, and the decoder sizes a stage reads from a record that
// has no file behind it.
#pragma once

#include "pipeline/dvklib.h"

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

}  // namespace dvk::test
