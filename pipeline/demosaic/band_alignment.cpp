// Band threading and colour-filter periods.
//
// The methods colour each site by LibRaw::fcol with rows counted from their
// band's first row, so a band must start on a row where the pattern starts
// again. The four-channel runner lays its bands at multiples of 12 rows for VNG
// (height cut to 12k, overlap 12) and at even rows for the other methods; a
// pattern whose period does not divide that step runs in one band.
#include "pipeline/demosaic/demosaic.h"

namespace dvk {

unsigned cfa_row_period(unsigned filters) {
    if (filters == 1) return 16;  // the 16 x 16 pattern
    if (filters == 9) return 6;   // X-Trans
    if (filters == (filters & 0xffu) * 0x01010101u) return 2;
    if (filters == (filters & 0xffffu) * 0x00010001u) return 4;
    return 8;
}

int demosaic_band_threads(unsigned filters, unsigned band_row_step, int threads) {
    if (threads < 1) return 1;
    return band_row_step % cfa_row_period(filters) == 0 ? threads : 1;
}

}  // namespace dvk
