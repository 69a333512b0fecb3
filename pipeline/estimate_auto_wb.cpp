// estimate_auto_wb: grey-world white balance over small blocks that are
// neither nearly black nor nearly clipped.
//
// Block origins lie every 8 rows and columns from (10, 10). Full-size mosaic
// images use 16 x 16 blocks, so neighbouring blocks overlap; each block is
// the union of the 8 x 8 cells at its origin and the three cells after it, so
// the sites are read once, cell by cell, and the blocks are put together from
// the cell sums.
#include <algorithm>
#include <vector>

#include "pipeline/band_runner.h"
#include "pipeline/colour_pattern.h"
#include "pipeline/image_view.h"
#include "pipeline/raw_loader.h"

namespace dvk {
namespace {

constexpr double kSampleScale = 4000.0;
constexpr double kHighest = 3920.0;
constexpr double kLowest = 8.0;

struct Cell {
    double sum[4] = {0, 0, 0, 0};
    double count[4] = {0, 0, 0, 0};
    bool usable = true;
};

bool out_of_range(double v) { return v > kHighest || v < kLowest; }

}  // namespace

void estimate_auto_wb(DVKLib* d) {
    LibRaw_DVK& raw = *d->libraw;
    const unsigned iw = raw.imgdata.sizes.iwidth, ih = raw.imgdata.sizes.iheight;
    if (ih < 21 || iw < 21 || !d->image_data()) return;
    RgbgView img(d->image_data(), iw, ih);
    const bool mosaic = raw.imgdata.idata.filters && !raw.imgdata.rawdata.ioparams.shrink;

    const ColourPattern colour(raw);

    // Cells start at every block origin and also cover the rows and columns a
    // 16-site block reaches beyond the last origin.
    const unsigned cell_rows = (ih - 10 + 7) / 8, cell_cols = (iw - 10 + 7) / 8;
    // Each cell is set up by the thread that sums it (no serial pass over
    // the whole array first).
    AlignedBuffer<Cell> cells = allocate_aligned<Cell>(std::size_t(cell_rows) * cell_cols);
    if (!cells) return;
    auto cell = [&](unsigned i, unsigned j) -> Cell& { return cells[std::size_t(i) * cell_cols + j]; };
    // Mosaic blocks need cells past the last origin; others only the origins.
    // Each cell is summed on its own, so rows of cells go to the band threads.
    run_row_chunks(cell_rows, band_thread_count, [&](unsigned first_cell_row, unsigned cell_row_count) {
        for (unsigned i = first_cell_row; i < first_cell_row + cell_row_count; ++i) {
            const unsigned top = 10 + 8 * i, bottom = std::min(top + 8, ih);
            for (unsigned j = 0; j < cell_cols; ++j) {
                const unsigned left = 10 + 8 * j, right = std::min(left + 8, iw);
                Cell& k = cell(i, j);
                k = Cell{};
                for (unsigned row = top; row < bottom && k.usable; ++row) {
                    const float* line = img.row(row);
                    if (mosaic) {
                        const unsigned char* pat = colour.row(row);
                        for (unsigned col = left; col < right; ++col) {
                            const int c = pat[col % ColourPattern::kPeriod];
                            const double v = double(line[4 * col + c]) * kSampleScale;
                            if (out_of_range(v)) {
                                k.usable = false;
                                break;
                            }
                            k.sum[c] += v;
                            k.count[c] += 1;
                        }
                    } else {
                        for (unsigned col = left; col < right; ++col)
                            for (int c = 0; c < 4; ++c) {
                                const double v = double(line[4 * col + c]) * kSampleScale;
                                if (out_of_range(v)) k.usable = false;
                                k.sum[c] += v;
                                k.count[c] += 1;
                            }
                    }
                }
            }
        }
    });

    double sum[4] = {0, 0, 0, 0}, count[4] = {0, 0, 0, 0};
    const unsigned span = mosaic ? 2 : 1;  // cells per block side
    for (unsigned i = 0; 10 + 8 * i < ih - 10; ++i) {
        for (unsigned j = 0; 10 + 8 * j < iw - 10; ++j) {
            bool usable = true;
            for (unsigned a = 0; a < span && usable; ++a)
                for (unsigned b = 0; b < span; ++b)
                    if (i + a < cell_rows && j + b < cell_cols && !cell(i + a, j + b).usable) usable = false;
            if (!usable) continue;
            for (unsigned a = 0; a < span; ++a)
                for (unsigned b = 0; b < span; ++b) {
                    if (i + a >= cell_rows || j + b >= cell_cols) continue;
                    const Cell& k = cell(i + a, j + b);
                    for (int c = 0; c < 4; ++c) {
                        sum[c] += k.sum[c];
                        count[c] += k.count[c];
                    }
                }
        }
    }
    for (int c = 0; c < 4; ++c)
        if (sum[c] != 0) d->auto_wb[c] = count[c] / sum[c];
}

}  // namespace dvk
