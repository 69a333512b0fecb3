// Test helpers for the demosaicing methods: an engine record whose decoder
// reports a chosen colour-filter pattern, synthetic mosaics, the table of
// methods as the developer runs them, and a run through the four-channel band
// runner.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "core/band_runner.h"
#include "pipeline/demosaic/demosaic.h"
#include "core/dvklib.h"

namespace dvk::test {

constexpr unsigned kRGGB = 0x94949494u;
constexpr unsigned kBGGR = 0x16161616u;
constexpr unsigned kGRBG = 0x61616161u;

// A fresh record whose decoder answers fcol from `filters` (and `xtrans` for 9).
class PatternRecord {
public:
    explicit PatternRecord(unsigned filters, int colors = 3) {
        dvklib_new(&d_);
        auto& id = d_.raw().imgdata.idata;
        id.filters = filters;
        id.colors = colors;
        d_.raw().imgdata.sizes.top_margin = 0;
        d_.raw().imgdata.sizes.left_margin = 0;
        if (filters == 9) {
            static const char xt[6][6] = {{1, 1, 0, 1, 1, 2}, {1, 1, 2, 1, 1, 0}, {2, 0, 1, 0, 2, 1},
                                          {1, 1, 2, 1, 1, 0}, {1, 1, 0, 1, 1, 2}, {0, 2, 1, 2, 0, 1}};
            std::memcpy(id.xtrans, xt, sizeof xt);
        }
    }
    ~PatternRecord() { dvklib_delete(&d_); }
    PatternRecord(const PatternRecord&) = delete;
    PatternRecord& operator=(const PatternRecord&) = delete;

    DVKLib* get() { return &d_; }
    int fcol(unsigned row, unsigned col) { return d_.raw().fcol(int(row), int(col)); }

private:
    DVKLib d_;
};

// A smooth colourful test scene in 0..1 (three channels per pixel).
inline std::vector<float> smooth_scene(unsigned w, unsigned h, double freq = 0.05) {
    std::vector<float> rgb(std::size_t(w) * h * 3);
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x) {
            float* p = &rgb[(std::size_t(y) * w + x) * 3];
            p[0] = float(0.5 + 0.35 * std::sin(freq * x + 0.3 * freq * y));
            p[1] = float(0.45 + 0.3 * std::cos(0.7 * freq * y - 0.2 * freq * x));
            p[2] = float(0.4 + 0.3 * std::sin(0.5 * freq * (x + y) + 1.0));
        }
    return rgb;
}

// A scene with sharp edges and texture (deterministic pseudo-random blocks).
inline std::vector<float> edgy_scene(unsigned w, unsigned h, std::uint32_t seed = 12345) {
    std::vector<float> rgb(std::size_t(w) * h * 3);
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return float(seed >> 8) / float(1u << 24);
    };
    std::vector<float> blocks(((w + 6) / 7) * ((h + 6) / 7) * 3);
    for (float& b : blocks) b = next();
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                rgb[(std::size_t(y) * w + x) * 3 + c] =
                    0.7f * blocks[((y / 7) * ((w + 6) / 7) + x / 7) * 3 + c] + 0.3f * next();
    return rgb;
}

// The mosaic of an RGB image: the site's colour channel holds its value, the
// other three channels 0.
inline std::vector<float> mosaic(PatternRecord& rec, const std::vector<float>& rgb, unsigned w, unsigned h) {
    std::vector<float> img(std::size_t(w) * h * 4, 0.0f);
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x) {
            const int f = rec.fcol(y, x);
            img[(std::size_t(y) * w + x) * 4 + f] = rgb[(std::size_t(y) * w + x) * 3 + (f == 3 ? 1 : f)];
        }
    return img;
}

// A demosaicing method as the developer runs it: border_interpolate with
// `border` first (0: none), then `run` in bands of `overlap` rows of overlap.
struct DemosaicMethod {
    const char* name;
    unsigned overlap;
    unsigned border;
    void (*run)(DVKLib*, float*, unsigned, unsigned);
};

inline void run_vcd(DVKLib* d, float* b, unsigned w, unsigned h) { vcd_interpolate(d, b, w, h, 2.0f); }
inline void run_lmmse(DVKLib* d, float* b, unsigned w, unsigned h) { lmmse_interpolate(d, b, w, h); }

inline const DemosaicMethod kDemosaicMethods[] = {
    {"AHD", 16, 6, ahd_interpolate},
    {"VCD", 16, 8, run_vcd},
    {"VNG", 12, 0, vng_interpolate},
    {"LMMSE", 16, 0, run_lmmse},
};

// The method over the whole image in one call, its border fill first.
inline void run_whole(const DemosaicMethod& m, DVKLib* d, float* img, unsigned w, unsigned h) {
    if (m.border) border_interpolate(d, m.border, img, w, h);
    m.run(d, img, w, h);
}

using BandMethod = std::function<void(float* band, unsigned width, unsigned rows)>;

// Runs the method through the four-channel band runner with `n` threads and
// `overlap` rows of overlap (the runner lays the band blocks out behind the
// image, so the buffer gets the spare rows it needs). Returns the band count.
inline int run_in_bands(const BandMethod& method, std::vector<float>& img, unsigned w, unsigned h, unsigned n,
                        unsigned overlap) {
    const std::size_t row_floats = std::size_t(w) * 4;
    std::vector<float> buffer((h + (n - 1) * 2 * overlap) * row_floats, 0.0f);
    std::copy(img.begin(), img.end(), buffer.begin());
    const BandLayout layout = run_rgbg_bands_overlap(
        [&](band_record* b) {
            method(b->band_start, b->width, b->rows_with_overlap);
            b->done = 1;
        },
        int(n), int(overlap), buffer.data(), w, h);
    std::copy(buffer.begin(), buffer.begin() + std::ptrdiff_t(h * row_floats), img.begin());
    return layout.bands;
}

// Largest absolute difference of R, G, B between a demosaiced image and the
// original over the pixels at least `margin` from every edge.
inline double max_error(const std::vector<float>& img, const std::vector<float>& rgb, unsigned w, unsigned h,
                        unsigned margin) {
    double worst = 0;
    for (unsigned y = margin; y + margin < h; ++y)
        for (unsigned x = margin; x + margin < w; ++x)
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::fabs(double(img[(std::size_t(y) * w + x) * 4 + c]) -
                                                  rgb[(std::size_t(y) * w + x) * 3 + c]));
    return worst;
}

}  // namespace dvk::test
