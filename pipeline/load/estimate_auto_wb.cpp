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

#include "pipeline/load/auto_wb_cells.h"
#include "core/band_runner.h"
#include "core/colour_pattern.h"
#include "core/image_view.h"
#include "pipeline/load/raw_loader.h"

namespace dvk {
namespace {

constexpr double kSampleScale = 4000.0;
constexpr double kHighest = 3920.0;
constexpr double kLowest = 8.0;

bool out_of_range(double v) { return v > kHighest || v < kLowest; }

}  // namespace

AutoWbCells::AutoWbCells(LibRaw& raw, unsigned iw, unsigned ih)
    : colour_(raw), iw_(iw), ih_(ih), mosaic_(raw.imgdata.idata.filters && !raw.imgdata.rawdata.ioparams.shrink) {
    if (ih < 21 || iw < 21) return;
    // Cells start at every block origin and also cover the rows and columns a
    // 16-site block reaches beyond the last origin.
    cell_rows_ = (ih - kFirstRow + kCellRows - 1) / kCellRows;
    cell_cols_ = (iw - kFirstRow + kCellRows - 1) / kCellRows;
    // Each cell is set up by the thread that sums it, at its first row.
    cells_ = allocate_aligned<Cell>(std::size_t(cell_rows_) * cell_cols_);
}

void AutoWbCells::add_row(unsigned row, const float* line) { add(row, line, 4); }

void AutoWbCells::add_site_row(unsigned row, const float* sites) {
    if (!mosaic_) return;  // only mosaic rows come as sites
    add(row, sites, 0);
}

// A row of four-channel pixels (`stride` 4), or of the sites' own samples
// of a mosaic (`stride` 0: sample x is at x).
void AutoWbCells::add(unsigned row, const float* line, unsigned stride) {
    if (!cells_ || row < kFirstRow) return;
    const unsigned i = (row - kFirstRow) / kCellRows;
    if (i >= cell_rows_) return;
    const bool first_row_of_cell = (row - kFirstRow) % kCellRows == 0;
    const unsigned char* pat = colour_.row(row);
    // A row whose colours alternate with the column's parity (every Bayer
    // row): the colour of a column without the pattern's period.
    bool two_colours = true;
    for (unsigned k = 2; k < ColourPattern::kPeriod; ++k) two_colours = two_colours && pat[k] == pat[k & 1];
    for (unsigned j = 0; j < cell_cols_; ++j) {
        Cell& k = cell(i, j);
        if (first_row_of_cell) k = Cell{};
        if (!k.usable) continue;
        const unsigned left = kFirstRow + kCellRows * j, right = std::min(left + kCellRows, iw_);
        if (mosaic_) {
            // Each site adds to its own channel, in column order; a cell
            // with a sample out of range is never used (its sums are not read).
            double v[kCellRows];
            int cs[kCellRows];
            bool usable = true;
            const unsigned n = right - left;
            for (unsigned q = 0; q < n; ++q) {
                const unsigned col = left + q;
                cs[q] = two_colours ? pat[col & 1] : pat[col % ColourPattern::kPeriod];
                const float s = stride ? line[stride * col + static_cast<unsigned>(cs[q])] : line[col];
                v[q] = double(s) * kSampleScale;
                usable = usable && !out_of_range(v[q]);
            }
            if (!usable) {
                k.usable = false;
                continue;
            }
            for (unsigned q = 0; q < n; ++q) {
                k.sum[cs[q]] += v[q];
                k.count[cs[q]] += 1;
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

void AutoWbCells::finish(double auto_wb[4]) const {
    if (!cells_) return;
    double sum[4] = {0, 0, 0, 0}, count[4] = {0, 0, 0, 0};
    const unsigned span = mosaic_ ? 2 : 1;  // cells per block side
    for (unsigned i = 0; kFirstRow + kCellRows * i < ih_ - kFirstRow; ++i) {
        for (unsigned j = 0; kFirstRow + kCellRows * j < iw_ - kFirstRow; ++j) {
            bool usable = true;
            for (unsigned a = 0; a < span && usable; ++a)
                for (unsigned b = 0; b < span; ++b)
                    if (i + a < cell_rows_ && j + b < cell_cols_ && !cell(i + a, j + b).usable) usable = false;
            if (!usable) continue;
            for (unsigned a = 0; a < span; ++a)
                for (unsigned b = 0; b < span; ++b) {
                    if (i + a >= cell_rows_ || j + b >= cell_cols_) continue;
                    const Cell& k = cell(i + a, j + b);
                    for (int c = 0; c < 4; ++c) {
                        sum[c] += k.sum[c];
                        count[c] += k.count[c];
                    }
                }
        }
    }
    for (int c = 0; c < 4; ++c)
        if (sum[c] != 0) auto_wb[c] = count[c] / sum[c];
}

void estimate_auto_wb(DVKLib* d) {
    LibRaw_DVK& raw = *d->libraw;
    const unsigned iw = raw.imgdata.sizes.iwidth, ih = raw.imgdata.sizes.iheight;
    if (!d->image_data()) return;
    AutoWbCells cells(raw, iw, ih);
    if (cells.no_estimate()) return;
    RgbgView img(d->image_data(), iw, ih);
    // Each cell row is summed on its own, so cell rows go to the band threads.
    run_row_chunks(cells.cell_rows(), band_thread_count, [&](unsigned first_cell_row, unsigned cell_row_count) {
        const unsigned top = AutoWbCells::kFirstRow + AutoWbCells::kCellRows * first_cell_row;
        const unsigned bottom =
            std::min(ih, AutoWbCells::kFirstRow + AutoWbCells::kCellRows * (first_cell_row + cell_row_count));
        for (unsigned row = top; row < bottom; ++row) cells.add_row(row, img.row(row));
    });
    cells.finish(d->auto_wb);
}

}  // namespace dvk
