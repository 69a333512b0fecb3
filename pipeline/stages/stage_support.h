// Small helpers shared by the engine stages: which form (mosaic or
// full-colour) a stage takes for a record, and the colour of each site.
#pragma once

#include <cstddef>
#include <vector>

#include "core/dvklib.h"

namespace dvk {

// The mosaic form applies to a full-size decode with a colour-filter pattern.
inline bool mosaic_form(const DVKLib* d) {
    return d && d->libraw && d->libraw->imgdata.rawdata.ioparams.shrink == 0 && d->libraw->imgdata.idata.filters != 0;
}

// LibRaw::fcol over one period of every pattern the decoder knows (Bayer
// codes repeat within 8 x 2, X-Trans within 6 x 6, the 16 x 16 table within
// 16): 48 x 48 sites.
class SiteColours {
public:
    static constexpr unsigned kPeriod = 48;
    explicit SiteColours(const DVKLib* d) {
        for (unsigned r = 0; r < kPeriod; ++r)
            for (unsigned c = 0; c < kPeriod; ++c)
                colour_[r][c] = static_cast<unsigned char>(d->libraw->fcol(static_cast<int>(r), static_cast<int>(c)) & 3);
    }
    int at(unsigned row, unsigned col) const { return colour_[row % kPeriod][col % kPeriod]; }
    // The colours of one row (index with col % kPeriod).
    const unsigned char* row(unsigned row) const { return colour_[row % kPeriod]; }

private:
    unsigned char colour_[kPeriod][kPeriod];
};

// Applies a per-sample curve to an image of four floats a pixel; `apply`
// (float* values, std::size_t n) changes n contiguous samples in place.
// Full-colour form: every sample in one call. Mosaic form: only the site's
// own channel of every site (an odd last row or column included), gathered
// row by row into a contiguous array so that the curve runs vectorised. The
// curve must be a pure function of each sample.
template <typename Apply>
void map_samples(const DVKLib* d, float* image, unsigned width, unsigned height, Apply apply) {
    if (!image || width == 0 || height == 0) return;
    if (!mosaic_form(d)) {
        apply(image, static_cast<std::size_t>(width) * height * 4);
        return;
    }
    const unsigned rows = height;
    const unsigned cols = width;
    std::vector<float> line(cols);
    std::vector<unsigned> index(cols);
    // The colours of the rows in use only (the curve worker calls this on a
    // few rows at a time).
    const unsigned colour_rows = rows < SiteColours::kPeriod ? rows : SiteColours::kPeriod;
    std::vector<unsigned char> colour_of(static_cast<std::size_t>(colour_rows) * SiteColours::kPeriod);
    for (unsigned r = 0; r < colour_rows; ++r)
        for (unsigned c = 0; c < SiteColours::kPeriod; ++c)
            colour_of[r * SiteColours::kPeriod + c] =
                static_cast<unsigned char>(d->libraw->fcol(static_cast<int>(r), static_cast<int>(c)) & 3);
    for (unsigned row = 0; row < rows; ++row) {
        const unsigned char* colour = colour_of.data() + (row % SiteColours::kPeriod) * SiteColours::kPeriod;
        float* px = image + static_cast<std::size_t>(row) * width * 4;
        for (unsigned col = 0, j = 0; col < cols; ++col) {
            index[col] = col * 4 + colour[j];
            if (++j == SiteColours::kPeriod) j = 0;
        }
        for (unsigned col = 0; col < cols; ++col) line[col] = px[index[col]];
        apply(line.data(), static_cast<std::size_t>(cols));
        for (unsigned col = 0; col < cols; ++col) px[index[col]] = line[col];
    }
}

}  // namespace dvk
