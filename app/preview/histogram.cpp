#include "app/preview/histogram.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "app/window/info_readout.h"
#include "app/preview/preview_census.h"
#include "core/cpu_features.h"

namespace dvk {

namespace {

// trunc(x) kept within the bins, without branches: values above the scale
// count in the last bin, negative ones (and NaN) in the first.
inline int binOf(float x) { return static_cast<int>(std::min(255.0f, std::max(0.0f, x))); }

// trunc(v x 255).
inline int bin(float v) { return binOf(v * 255.0f); }

inline int lightnessBin(float L) { return binOf(L * 2.55f); }

void countPixels(std::uint32_t* c, const float* rgb, const float* lab, std::size_t pixels) {
    for (std::size_t i = 0; i < pixels; ++i, rgb += 3) {
        ++c[bin(rgb[0])];
        ++c[256 + bin(rgb[1])];
        ++c[512 + bin(rgb[2])];
    }
    if (!lab) return;
    for (std::size_t i = 0; i < pixels; ++i, lab += 3) ++c[768 + lightnessBin(lab[0])];
}

void invert(std::uint8_t* px) {
    for (int c = 0; c < 3; ++c) px[c] = static_cast<std::uint8_t>(~px[c]);
}

}  // namespace

PixelSpan pixelSpan(const RectD& rect, unsigned width, unsigned height) {
    RectD r = rect;
    if (r.isEmpty()) r = {0, 0, static_cast<double>(width), static_cast<double>(height)};
    PixelSpan s;
    // Rows from trunc(y) while row < y + h, never outside the image.
    s.firstRow = std::max(0L, static_cast<long>(r.y));
    s.firstColumn = std::max(0L, static_cast<long>(r.x));
    s.endRow = std::min(static_cast<long>(height), static_cast<long>(std::ceil(r.y + r.height)));
    s.endColumn = std::min(static_cast<long>(width), static_cast<long>(std::ceil(r.x + r.width)));
    if (s.endRow < s.firstRow) s.endRow = s.firstRow;
    if (s.endColumn < s.firstColumn) s.endColumn = s.firstColumn;
    return s;
}

bool histogramCountsLightness(const HistogramInput& in) { return !in.raw && in.labPreview; }

#if defined(__x86_64__)

namespace {

// Bins of eight floats scaled by `scale`, as binOf does (max(x, 0) takes 0
// for NaN, as std::max(0.0f, x) does).
__attribute__((target("avx2"))) inline __m256i bins8(__m256 v, __m256 scale) {
    const __m256 x = _mm256_mul_ps(v, scale);
    return _mm256_cvttps_epi32(_mm256_min_ps(_mm256_max_ps(x, _mm256_setzero_ps()), _mm256_set1_ps(255.0f)));
}

// Eight pixels a step: red, green and blue share the bin rule, so the 24
// interleaved values are binned as they lie, each shifted to its channel's
// bins; lightness is every third value of its row.
__attribute__((target("avx2"))) void countRowAvx2(std::uint32_t* c, const float* rgb, const float* lab,
                                                  std::size_t pixels) {
    const __m256 scale = _mm256_set1_ps(255.0f), lScale = _mm256_set1_ps(2.55f);
    const __m256i channel[3] = {_mm256_setr_epi32(0, 256, 512, 0, 256, 512, 0, 256),
                                _mm256_setr_epi32(512, 0, 256, 512, 0, 256, 512, 0),
                                _mm256_setr_epi32(256, 512, 0, 256, 512, 0, 256, 512)};
    const __m256i every3 = _mm256_setr_epi32(0, 3, 6, 9, 12, 15, 18, 21);
    const __m256i lightness = _mm256_set1_epi32(768);
    alignas(32) std::uint32_t idx[32];
    std::size_t i = 0;
    for (; i + 8 <= pixels; i += 8, rgb += 24) {
        for (int k = 0; k < 3; ++k)
            _mm256_store_si256(reinterpret_cast<__m256i*>(idx + 8 * k),
                               _mm256_add_epi32(bins8(_mm256_loadu_ps(rgb + 8 * k), scale), channel[k]));
        if (lab) {
            const __m256 L = _mm256_i32gather_ps(lab + 3 * i, every3, 4);
            _mm256_store_si256(reinterpret_cast<__m256i*>(idx + 24), _mm256_add_epi32(bins8(L, lScale), lightness));
            for (int k = 0; k < 32; ++k) ++c[idx[k]];
        } else {
            for (int k = 0; k < 24; ++k) ++c[idx[k]];
        }
    }
    countPixels(c, rgb, lab ? lab + 3 * i : nullptr, pixels - i);
}

}  // namespace

#endif

void HistogramTally::countRow(const float* rgb, const float* lab, std::size_t pixels) {
#if defined(__x86_64__)
    if (cpu_has_avx2()) {
        countRowAvx2(bins.data(), rgb, lab, pixels);
        return;
    }
#endif
    countRowPlain(rgb, lab, pixels);
}

void HistogramTally::countRowPlain(const float* rgb, const float* lab, std::size_t pixels) {
    countPixels(bins.data(), rgb, lab, pixels);
}

HistogramCounts histogramCounts(const std::vector<HistogramTally>& tallies, bool lightness) {
    // Whole counts added up at the end: the same in any order (and exact
    // beyond the 2^24 a float count stops at).
    std::array<std::uint64_t, 4 * 256> total{};
    for (const HistogramTally& t : tallies)
        for (std::size_t i = 0; i < total.size(); ++i) total[i] += t.bins[i];
    HistogramCounts h;
    for (int i = 0; i < 256; ++i) {
        const std::size_t k = static_cast<std::size_t>(i);
        h.r[i] = static_cast<float>(total[k]);
        h.g[i] = static_cast<float>(total[256 + k]);
        h.b[i] = static_cast<float>(total[512 + k]);
        h.l[i] = lightness ? static_cast<float>(total[768 + k]) : 0.0f;
    }
    // The largest red, green or blue count of bins 5 to 250 scales every bar
    // to 127 (end bins may be taller); lightness does not count.
    float m = 0;
    for (int i = 5; i <= 250; ++i) m = std::max({m, h.r[i], h.g[i], h.b[i]});
    if (m != 0) {
        for (int i = 0; i < 256; ++i) {
            h.r[i] = h.r[i] * 127.0f / m;
            h.g[i] = h.g[i] * 127.0f / m;
            h.b[i] = h.b[i] * 127.0f / m;
            if (lightness) h.l[i] = h.l[i] * 127.0f / m;
        }
    }
    return h;
}

HistogramCounts countHistogram(const HistogramInput& in) {
    HistogramCounts h;
    takePreviewCensus(&in, nullptr, &h, nullptr);
    return h;
}

std::vector<std::uint8_t> renderHistogram(const HistogramInput& in) { return drawHistogram(in, countHistogram(in)); }

std::vector<std::uint8_t> drawHistogram(const HistogramInput& in, const HistogramCounts& h) {
    constexpr int W = kHistogramWidth, H = kHistogramHeight;
    std::vector<std::uint8_t> img(static_cast<std::size_t>(W) * H * 3, 0);
    const auto px = [&](int col, int row) { return img.data() + (static_cast<std::size_t>(row) * W + col) * 3; };
    const bool lightness = histogramCountsLightness(in);

    // Bars.
    for (int y = 0; y < H; ++y) {
        const float t = static_cast<float>(126 - y);
        for (int c = 0; c < W; ++c) {
            std::uint8_t* p = px(c, y);
            p[0] = in.histR && h.r[c] > t && h.r[c] != 0 ? 0xC0 : 0;
            p[1] = in.histG && h.g[c] > t && h.g[c] != 0 ? 0xC0 : 0;
            p[2] = in.histB && h.b[c] > t && h.b[c] != 0 ? 0xC0 : 0;
            if (lightness && in.histL && h.l[c] > t && h.l[c] != 0)
                for (int k = 0; k < 3; ++k) p[k] = static_cast<std::uint8_t>(p[k] + 0xC0);
        }
    }

    // Markers at the readout's values.
    const int r = std::clamp(in.markerR, 0, 255), g = std::clamp(in.markerG, 0, 255),
              b = std::clamp(in.markerB, 0, 255);
    const int l = lightness ? lightnessBin(static_cast<float>(in.markerL)) : 0;
    for (int y = 0; y < H; ++y) {
        if (in.histR) std::copy_n(std::array<std::uint8_t, 3>{0x80, 0, 0}.data(), 3, px(r, y));
        if (in.histG) std::copy_n(std::array<std::uint8_t, 3>{0, 0x80, 0}.data(), 3, px(g, y));
        if (in.histB) std::copy_n(std::array<std::uint8_t, 3>{0, 0, 0x80}.data(), 3, px(b, y));
        if (lightness && in.histL) std::copy_n(std::array<std::uint8_t, 3>{0x80, 0x80, 0x80}.data(), 3, px(l, y));
    }

    // Dashes along the top: every other tenth of the scale.
    for (int y = 0; y < 4; ++y)
        for (int c = 0; c < W; ++c) {
            std::uint8_t* p = px(c, y);
            if (p[0] == 0 && p[1] == 0 && p[2] == 0 && static_cast<int>(std::floor(c / 25.5)) % 2 == 0)
                p[0] = p[1] = p[2] = 0xF0;
        }

    // Zones: the 2nd, 4th, 6th and 8th are lightened.
    int z = 1;
    for (int c = 0; c < W; ++c) {
        if (z < kZoneCount && c / 2.55 >= kZoneBounds[z]) ++z;
        if (z % 2 != 0) continue;
        for (int y = 4; y < H; ++y) {
            std::uint8_t* p = px(c, y);
            for (int k = 0; k < 3; ++k) p[k] = p[k] == 0 ? 40 : p[k] > 245 ? 255 : static_cast<std::uint8_t>(p[k] + 10);
        }
    }

    if (!in.grayScale) return img;
    const auto column = [&](long level) {
        // The green of the grey-scale level on the 0..255 scale (truncated).
        const float x = in.grayScale[static_cast<std::size_t>(level) * 3 + 1] * 255.0f;
        if (!(x > 0)) return 0;
        return x > 1.0e6f ? 1000000 : static_cast<int>(x);
    };

    // Exposure marks: 16 stops below white in thirds; whole stops longer.
    float f = 65534.0f;
    for (int k = 0; k <= 48; ++k) {
        const long i = std::lround(f);
        int v = column(i);
        if (v > 255) {
            std::fprintf(stderr, "Overload: %d,%f\n", v, static_cast<double>(f));
            v = 255;
        }
        v = std::max(v, 0);
        if (k % 3 == 0)
            for (int y = 116; y <= 121; ++y) px(v, y)[1] = static_cast<std::uint8_t>(~px(v, y)[1]);
        for (int y = 122; y <= 127; ++y) px(v, y)[1] = static_cast<std::uint8_t>(~px(v, y)[1]);
        f = f / 1.2599211f;
    }

    // The grey point: a three-column mark.
    if (in.grayPoint > 0 && in.grayPoint < 100) {
        const long i = std::lround(static_cast<double>(in.grayPoint) * 65534.0 / 100.0);
        const int v = column(std::clamp(i, 0L, 65534L));
        if (v >= 1 && v <= 254) {
            for (int y = 112; y <= 127; ++y) {
                std::uint8_t* left = px(v - 1, y);
                std::uint8_t* mid = px(v, y);
                std::uint8_t* right = px(v + 1, y);
                std::copy_n(mid, 3, left);
                invert(left);
                invert(mid);
                std::copy_n(mid, 3, right);
                invert(right);
            }
        }
    }
    return img;
}

}  // namespace dvk
