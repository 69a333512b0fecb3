// The window of a streaming running-sum blur over mirrored edges (internal to
// the box blur and the mosaic unsharp mask): the columns a running sum across
// a row adds and drops, and the rows down the image as the window reads them.
#pragma once

#include <cstddef>
#include <cstring>
#include <vector>

#include "core/aligned_buffer.h"
#include "pipeline/stages/box_blur.h"

namespace dvk {

// The columns of a running sum of radius r across a row of `width` columns,
// mirrored at both ends: at column x it adds column add[x] and drops sub[x];
// it starts as the sum of columns start[] (x from -r - 1 to r - 1).
struct MirroredColumns {
    std::vector<long> add, sub, start;
};

inline MirroredColumns mirrored_columns(long width, long r) {
    MirroredColumns c;
    c.add.resize(static_cast<std::size_t>(width));
    c.sub.resize(static_cast<std::size_t>(width));
    for (long x = 0; x < width; ++x) {
        c.add[static_cast<std::size_t>(x)] = mirror_index(x + r, width);
        c.sub[static_cast<std::size_t>(x)] = mirror_index(x - r - 1, width);
    }
    for (long x = -r - 1; x <= r - 1; ++x) c.start.push_back(mirror_index(x, width));
    return c;
}

// The rows of a band as a blur of radius r reads them, mirrored at the top
// and bottom. Rows are handed to `ready` (when given) before they are first
// read, every row once, in increasing order. When the band is too short for
// the mirror to stay within it (height < r + 2), a copy of the whole band,
// made after every row is ready, serves instead.
class MirroredRows {
public:
    MirroredRows(float* const* rows, long height, std::size_t row_floats, long r, const RowsReady& ready)
        : rows_(rows), height_(height), row_floats_(row_floats), ready_(ready), whole_copy_(height < r + 2) {
        if (whole_copy_) copy_ = allocate_aligned<float>(static_cast<std::size_t>(height) * row_floats);
    }
    // False when the copy could not be allocated.
    bool ok() const { return !whole_copy_ || copy_; }
    // Before the first read: the copy, when there is one.
    void begin() {
        if (!whole_copy_) return;
        make_through(height_ - 1);
        for (long y = 0; y < height_; ++y)
            std::memcpy(copy_.get() + static_cast<std::size_t>(y) * row_floats_, rows_[y], row_floats_ * sizeof(float));
    }
    // Rows up to m are handed to `ready` (those not handed yet).
    void make_through(long m) {
        if (ready_ && m >= made_) {
            ready_(static_cast<unsigned>(made_), static_cast<unsigned>(m + 1));
            made_ = m + 1;
        }
    }
    // The original values of row y (mirrored).
    const float* row(long y) {
        const long m = mirror_index(y, height_);
        if (whole_copy_) return copy_.get() + static_cast<std::size_t>(m) * row_floats_;
        make_through(m);
        return rows_[m];
    }

private:
    float* const* rows_;
    long height_;
    std::size_t row_floats_;
    const RowsReady& ready_;
    bool whole_copy_;
    AlignedBuffer<float> copy_;
    long made_ = 0;  // rows [0, made_) have been handed to `ready`
};

}  // namespace dvk
