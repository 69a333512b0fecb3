// The grey-world white-balance estimate of estimate_auto_wb, fed one image
// row at a time: the 8 x 8 cells the blocks are made of, summed as rows come.
#pragma once

#include <libraw/libraw.h>

#include "core/aligned_buffer.h"
#include "core/colour_pattern.h"

namespace dvk {

class AutoWbCells {
public:
    // Cell rows begin every kCellRows image rows from kFirstRow.
    static constexpr unsigned kFirstRow = 10;
    static constexpr unsigned kCellRows = 8;

    // For an iw x ih four-channel float image of the decoder's file; does
    // nothing for images under 21 pixels either way (no_estimate()).
    AutoWbCells(LibRaw& raw, unsigned iw, unsigned ih);
    bool no_estimate() const { return !cells_; }

    // Adds image row `row` (iw pixels of four floats). The rows of one cell
    // row must come in order and from one thread; different cell rows may
    // come from different threads at once.
    void add_row(unsigned row, const float* line);
    // The same for a mosaic row given as its sites' own samples (iw floats,
    // pixel x's sample being that of channel colour(row, x)).
    void add_site_row(unsigned row, const float* sites);
    // The estimate from the cells: writes auto_wb[c] for each channel with
    // samples in usable blocks.
    void finish(double auto_wb[4]) const;

    unsigned cell_rows() const { return cell_rows_; }

private:
    void add(unsigned row, const float* line, unsigned stride);
    struct Cell {
        double sum[4] = {0, 0, 0, 0};
        double count[4] = {0, 0, 0, 0};
        bool usable = true;
    };
    Cell& cell(unsigned i, unsigned j) const { return cells_[std::size_t(i) * cell_cols_ + j]; }

    ColourPattern colour_;
    unsigned iw_, ih_;
    bool mosaic_;
    unsigned cell_rows_ = 0, cell_cols_ = 0;
    AlignedBuffer<Cell> cells_;
};

}  // namespace dvk
