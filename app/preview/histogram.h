// The histogram image: 256 columns (one per 8-bit level) x 128 rows, RGB
// bytes, row 0 at the top. Red, green, blue and lightness bars of the
// preview's pixels inside a rectangle, markers at the readout's values, the
// lightness zones, the rendered positions of the exposure stops and of the
// grey point.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/window/geometry.h"

namespace dvk {

inline constexpr int kHistogramWidth = 256, kHistogramHeight = 128;

struct HistogramInput {
    const float* preview = nullptr;     // float RGB 0..1, width x height x 3
    const float* labPreview = nullptr;  // CIELab, same layout (null: none)
    unsigned width = 0, height = 0;
    RectD rect;                         // preview pixels; empty: the whole preview
    bool raw = false;                   // no colour management: no lightness
    bool histR = false, histG = false, histB = false, histL = false;
    // The readout's values ("infoR", "infoG", "infoB" as integers, "infoL").
    int markerR = 0, markerG = 0, markerB = 0;
    double markerL = 0;
    // The grey-scale rendering of 65535 neutral levels, RGB triples (null:
    // no exposure marks, no grey point).
    const float* grayScale = nullptr;
    float grayPoint = 12.5f;
};

// Bin counts (floats) of the pixels inside the rectangle: red, green, blue,
// lightness. A value v counts in bin trunc(v x 255) kept within 0..255.
struct HistogramCounts {
    float r[256] = {}, g[256] = {}, b[256] = {}, l[256] = {};
};
HistogramCounts countHistogram(const HistogramInput& in);

// The image, kHistogramWidth x kHistogramHeight x 3 bytes.
std::vector<std::uint8_t> renderHistogram(const HistogramInput& in);
// The same from counts taken already.
std::vector<std::uint8_t> drawHistogram(const HistogramInput& in, const HistogramCounts& counts);

// Whether lightness is counted (a CIELab preview, colour managed).
bool histogramCountsLightness(const HistogramInput& in);

// Whole counts of a run of pixels, for a walk over the preview that does
// more: red, green, blue and lightness bins one after the other.
struct HistogramTally {
    std::array<std::uint32_t, 4 * 256> bins{};
    // `pixels` pixels of a row; `lab` null: no lightness.
    void countRow(const float* rgb, const float* lab, std::size_t pixels);
    // The same without the AVX2 build, for comparisons.
    void countRowPlain(const float* rgb, const float* lab, std::size_t pixels);
};
// The tallies added up (exactly, in any order) and scaled for drawing.
HistogramCounts histogramCounts(const std::vector<HistogramTally>& tallies, bool lightness);

// The same rows and columns the readouts and the diagram walk for a
// rectangle (empty: the whole preview): rows trunc(y) while row < y + h.
struct PixelSpan {
    long firstRow = 0, endRow = 0, firstColumn = 0, endColumn = 0;
};
PixelSpan pixelSpan(const RectD& rect, unsigned width, unsigned height);

}  // namespace dvk
