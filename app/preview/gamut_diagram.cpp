#include "app/preview/gamut_diagram.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include <lcms2.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "colour/profile.h"
#include "colour/profile_lookup.h"
#include "core/aligned_buffer.h"
#include "core/band_runner.h"
#include "core/cpu_features.h"
#include "core/dvklib.h"
#include "pipeline/stages/gamut_map.h"
#include "app/preview/histogram.h"
#include "app/preview/preview_census.h"

namespace dvk {

namespace {

constexpr int N = kDiagramSize;

std::uint8_t gamutByte(float v) {
    if (!(v > 0.0f)) return 0;
    if (v >= 255.0f) return 255;
    return static_cast<std::uint8_t>(v);
}

std::uint8_t plotByte(float v) {
    // round(v x 255 x 0.9 + 25.5), halves away from zero: 0..1 onto
    // 25.5..255; anything beyond stays on the byte's range.
    // Clamped without branches (NaN goes to 0); from 254.5 on, x + 0.5 truncates to 255.
    const double x = static_cast<double>(v) * 255.0 * 0.9 + 25.5;
    const double kept = std::min(255.0, std::max(0.0, x));
    return static_cast<std::uint8_t>(static_cast<int>(kept + 0.5));
}

// The brightness a point is compared by: 0.24 R + 0.7 G + 0.06 B, in
// hundredths (whole numbers: the comparison is exact).
std::uint64_t weight(std::uint64_t r, std::uint64_t g, std::uint64_t b) { return 24 * r + 70 * g + 6 * b; }

std::uint8_t isMarked(const std::uint8_t* t) {
    return t[0] == 255 || t[0] == 111 || t[1] == 255 || t[1] == 111 || t[2] == 255 || t[2] == 111;
}

void drawGrid(std::vector<std::uint8_t>& img) {
    const auto set = [&](int a, int b, std::uint8_t grey) {
        const int col = a + 128, row = 128 - b;
        if (col < 0 || col >= N || row < 0 || row >= N) return;
        std::uint8_t* p = &img[(static_cast<std::size_t>(row) * N + col) * 3];
        p[0] = p[1] = p[2] = grey;
    };
    for (int b = -128; b <= 127; ++b)
        for (int a = -128; a <= 127; ++a) {
            const bool aTen = a != 0 && a % 10 == 0;
            if (b == 0) {
                set(a, b, 192);
            } else if (b % 10 == 0) {
                set(a, b, a == 0 ? 192 : (a == -1 || a == 1) ? 100 : 25);
            } else if (b == -1 || b == 1) {
                if (a == 0 || aTen) set(a, b, 100);
            } else {
                if (a == 0) set(a, b, 192);
                else if (aTen) set(a, b, 25);
            }
        }
}

void drawGamut(std::vector<std::uint8_t>& img, const std::uint8_t* gamut, int channel, bool all, long x) {
    for (std::size_t i = 0; i < kGamutPoints; ++i) {
        const std::uint8_t* g = gamut + 3 * i;
        if (!all && std::abs(x - static_cast<long>(g[0])) > 2) continue;
        // The point (a - 128, b - 128): column a, row 256 - b.
        const int col = g[1], row = 256 - g[2];
        if (row >= N) continue;
        img[(static_cast<std::size_t>(row) * N + col) * 3 + channel] |= 111;
    }
}

// The slice in double precision: L* 50 gives 127 (50 x 2.55 is just below 127.5).
long sliceOf(const DiagramInput& in) { return std::lround(in.diagramL * 2.55); }

}  // namespace

std::vector<std::uint8_t> diagramBackground(const DiagramInput& in) {
    std::vector<std::uint8_t> img(static_cast<std::size_t>(N) * N * 3, 0);
    drawGrid(img);
    const long x = sliceOf(in);
    if (in.gamutArr && !in.labOutput) drawGamut(img, in.gamutArr, 0, in.fullGamut, x);
    if (in.diagGamutArr) drawGamut(img, in.diagGamutArr, 1, in.fullGamut, x);
    return img;
}

bool diagramPlotsPixels(const DiagramInput& in) { return in.preview && in.labPreview && !in.raw; }

DiagramRun::DiagramRun(const DiagramInput& in) : fullGamut_(in.fullGamut), slice_(sliceOf(in)) {
    constexpr std::size_t cells = static_cast<std::size_t>(N) * N;
    colour_ = allocate_aligned<std::uint32_t>(cells);
    state_ = allocate_aligned<std::uint16_t>(cells);
    heaviest_ = allocate_aligned_zeroed<std::uint16_t>(cells);
    if (state_) std::fill_n(state_.get(), cells, std::uint16_t(1));
    // lround(v) == slice: v within slice +- 0.5, the half on the side away
    // from zero excluded (both for slice 0).
    sliceLow_ = static_cast<double>(slice_) - 0.5;
    sliceHigh_ = static_cast<double>(slice_) + 0.5;
    lowIn_ = slice_ > 0;
    highIn_ = slice_ < 0;
}

bool DiagramRun::inSlice(float L) const {
    // The pixel's slice in single precision, compared exactly in double.
    const double v = static_cast<double>(L * 2.55f);
    return (lowIn_ ? v >= sliceLow_ : v > sliceLow_) && (highIn_ ? v <= sliceHigh_ : v < sliceHigh_);
}

void DiagramRun::play(std::uint32_t cell, std::uint32_t colour, std::uint32_t w, bool marked) {
    if (w + 1 > heaviest_[cell]) heaviest_[cell] = static_cast<std::uint16_t>(w + 1);
    const std::uint16_t st = state_[cell];
    if ((st & 1) == 0 && w <= static_cast<std::uint32_t>(st >> 1)) return;
    colour_[cell] = colour;
    state_[cell] = static_cast<std::uint16_t>(w << 1 | static_cast<std::uint32_t>(marked));
}

void DiagramRun::playRowPlain(const float* rgb, const float* lab, std::size_t pixels) {
    for (std::size_t c = 0; c < pixels; ++c, lab += 3, rgb += 3) {
        if (!fullGamut_ && !inSlice(lab[0])) continue;
        // Target (trunc a*, trunc b*): column a + 128, row 128 - b, on the raster.
        const float a = lab[1], b = lab[2];
        if (!(a > -129.0f && a < 128.0f && b > -128.0f && b < 129.0f)) continue;
        const int col = static_cast<int>(a) + 128, r = 128 - static_cast<int>(b);
        const std::uint8_t n[3] = {plotByte(rgb[0]), plotByte(rgb[1]), plotByte(rgb[2])};
        const std::uint32_t colour = std::uint32_t(n[0]) | std::uint32_t(n[1]) << 8 | std::uint32_t(n[2]) << 16;
        play(static_cast<std::uint32_t>(r * N + col), colour, static_cast<std::uint32_t>(weight(n[0], n[1], n[2])),
             isMarked(n));
    }
}

void DiagramRun::playRow(const float* rgb, const float* lab, std::size_t pixels) {
#if defined(__x86_64__)
    if (cpu_has_avx2()) {
        playRowAvx2(rgb, lab, pixels);
        return;
    }
#endif
    playRowPlain(rgb, lab, pixels);
}

#if defined(__x86_64__)

namespace {

// Eight RGB float triples (24 floats) into their three channels, in order.
__attribute__((target("avx2"))) inline void deinterleave3(const float* p, __m256& x, __m256& y, __m256& z) {
    const __m256 m03 = _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(p)), _mm_loadu_ps(p + 12), 1);
    const __m256 m14 = _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(p + 4)), _mm_loadu_ps(p + 16), 1);
    const __m256 m25 = _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(p + 8)), _mm_loadu_ps(p + 20), 1);
    const __m256 xy = _mm256_shuffle_ps(m14, m25, _MM_SHUFFLE(2, 1, 3, 2));
    const __m256 yz = _mm256_shuffle_ps(m03, m14, _MM_SHUFFLE(1, 0, 2, 1));
    x = _mm256_shuffle_ps(m03, xy, _MM_SHUFFLE(2, 0, 3, 0));
    y = _mm256_shuffle_ps(yz, xy, _MM_SHUFFLE(3, 1, 2, 0));
    z = _mm256_shuffle_ps(yz, m25, _MM_SHUFFLE(3, 0, 3, 1));
}

// plotByte of four floats, in double as there.
__attribute__((target("avx2"))) inline __m128i plotBytes4(__m128 v) {
    const __m256d x = _mm256_add_pd(
        _mm256_mul_pd(_mm256_mul_pd(_mm256_cvtps_pd(v), _mm256_set1_pd(255.0)), _mm256_set1_pd(0.9)),
        _mm256_set1_pd(25.5));
    // max(x, 0) takes 0 for NaN, as std::max(0.0, x) does.
    const __m256d kept = _mm256_min_pd(_mm256_max_pd(x, _mm256_setzero_pd()), _mm256_set1_pd(255.0));
    return _mm256_cvttpd_epi32(_mm256_add_pd(kept, _mm256_set1_pd(0.5)));
}

__attribute__((target("avx2"))) inline __m256i plotBytes(__m256 v) {
    return _mm256_set_m128i(plotBytes4(_mm256_extractf128_ps(v, 1)), plotBytes4(_mm256_castps256_ps128(v)));
}

__attribute__((target("avx2"))) inline __m256i markedLanes(__m256i n) {
    return _mm256_or_si256(_mm256_cmpeq_epi32(n, _mm256_set1_epi32(255)),
                           _mm256_cmpeq_epi32(n, _mm256_set1_epi32(111)));
}

// Whether L x 2.55 of four floats lies in [low, high] (each end in or out).
__attribute__((target("avx2"))) inline __m256d inSlice4(__m128 L, __m256d low, __m256d high, bool lowIn, bool highIn) {
    const __m256d v = _mm256_cvtps_pd(_mm_mul_ps(L, _mm_set1_ps(2.55f)));
    const __m256d aboveLow = lowIn ? _mm256_cmp_pd(v, low, _CMP_GE_OQ) : _mm256_cmp_pd(v, low, _CMP_GT_OQ);
    const __m256d belowHigh = highIn ? _mm256_cmp_pd(v, high, _CMP_LE_OQ) : _mm256_cmp_pd(v, high, _CMP_LT_OQ);
    return _mm256_and_pd(aboveLow, belowHigh);
}

}  // namespace

// Eight pixels a step: targets, colours, weights and marks side by side, then
// the points played one after the other in pixel order.
__attribute__((target("avx2"))) void DiagramRun::playRowAvx2(const float* rgb, const float* lab, std::size_t pixels) {
    alignas(32) std::uint32_t cells[8], colours[8], weights[8], marks[8];
    const __m256d low = _mm256_set1_pd(sliceLow_), high = _mm256_set1_pd(sliceHigh_);
    std::size_t c = 0;
    for (; c + 8 <= pixels; c += 8, lab += 24, rgb += 24) {
        __m256 L, a, b;
        deinterleave3(lab, L, a, b);
        __m256 in = _mm256_and_ps(
            _mm256_and_ps(_mm256_cmp_ps(a, _mm256_set1_ps(-129.0f), _CMP_GT_OQ),
                          _mm256_cmp_ps(a, _mm256_set1_ps(128.0f), _CMP_LT_OQ)),
            _mm256_and_ps(_mm256_cmp_ps(b, _mm256_set1_ps(-128.0f), _CMP_GT_OQ),
                          _mm256_cmp_ps(b, _mm256_set1_ps(129.0f), _CMP_LT_OQ)));
        if (!fullGamut_) {
            const __m256d lo = inSlice4(_mm256_castps256_ps128(L), low, high, lowIn_, highIn_);
            const __m256d hi = inSlice4(_mm256_extractf128_ps(L, 1), low, high, lowIn_, highIn_);
            // Each double lane's mask narrowed to a float lane.
            const __m256i idx = _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6);
            const __m128 loMask = _mm256_castps256_ps128(_mm256_permutevar8x32_ps(_mm256_castpd_ps(lo), idx));
            const __m128 hiMask = _mm256_castps256_ps128(_mm256_permutevar8x32_ps(_mm256_castpd_ps(hi), idx));
            in = _mm256_and_ps(in, _mm256_set_m128(hiMask, loMask));
        }
        unsigned lanes = static_cast<unsigned>(_mm256_movemask_ps(in));
        if (lanes == 0) continue;
        const __m256i col = _mm256_add_epi32(_mm256_cvttps_epi32(a), _mm256_set1_epi32(128));
        const __m256i row = _mm256_sub_epi32(_mm256_set1_epi32(128), _mm256_cvttps_epi32(b));
        _mm256_store_si256(reinterpret_cast<__m256i*>(cells), _mm256_add_epi32(_mm256_slli_epi32(row, 8), col));
        __m256 r, g, bl;
        deinterleave3(rgb, r, g, bl);
        const __m256i n0 = plotBytes(r), n1 = plotBytes(g), n2 = plotBytes(bl);
        _mm256_store_si256(reinterpret_cast<__m256i*>(colours),
                           _mm256_or_si256(n0, _mm256_or_si256(_mm256_slli_epi32(n1, 8), _mm256_slli_epi32(n2, 16))));
        _mm256_store_si256(reinterpret_cast<__m256i*>(weights),
                           _mm256_add_epi32(_mm256_add_epi32(_mm256_mullo_epi32(n0, _mm256_set1_epi32(24)),
                                                             _mm256_mullo_epi32(n1, _mm256_set1_epi32(70))),
                                            _mm256_mullo_epi32(n2, _mm256_set1_epi32(6))));
        _mm256_store_si256(reinterpret_cast<__m256i*>(marks),
                           _mm256_or_si256(markedLanes(n0), _mm256_or_si256(markedLanes(n1), markedLanes(n2))));
        for (; lanes != 0; lanes &= lanes - 1) {
            const int k = __builtin_ctz(lanes);
            play(cells[k], colours[k], weights[k], marks[k] != 0);
        }
    }
    playRowPlain(rgb, lab, pixels - c);
}

#endif

void DiagramRun::layOn(std::vector<std::uint8_t>& img) const {
    for (std::size_t cell = 0; cell < static_cast<std::size_t>(N) * N; ++cell) {
        const std::uint16_t heaviest = heaviest_[cell];
        if (heaviest == 0) continue;
        std::uint8_t* t = &img[cell * 3];
        if (!isMarked(t) && heaviest - 1u <= weight(t[0], t[1], t[2])) continue;
        const std::uint32_t colour = colour_[cell];
        t[0] = static_cast<std::uint8_t>(colour);
        t[1] = static_cast<std::uint8_t>(colour >> 8);
        t[2] = static_cast<std::uint8_t>(colour >> 16);
    }
}

std::vector<std::uint8_t> renderDiagram(const DiagramInput& in) {
    std::vector<std::uint8_t> img;
    takePreviewCensus(nullptr, &in, nullptr, &img);
    return img;
}

std::vector<std::uint8_t> gamutOfProfile(const std::shared_ptr<const Profile>& profile, std::string* error) {
    const auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return std::vector<std::uint8_t>();
    };
    const std::shared_ptr<const Profile> lab = getDVKProfileRef("Lab", nullptr);
    if (!profile || !lab) return fail("no profile");
    const std::uint32_t space = profile->colour_space();
    const bool cmyk = space == cmsSigCmykData;
    if (!cmyk && space != cmsSigRgbData) return fail("the profile is neither RGB nor CMYK");

    cmsHTRANSFORM t = nullptr;
    {
        std::scoped_lock lock(profile->lock(), lab->lock());
        cmsHPROFILE profiles[2] = {profile->handle(), lab->handle()};
        cmsBool bpc[2] = {FALSE, FALSE};
        cmsUInt32Number intents[2] = {cmsGetHeaderRenderingIntent(profile->handle()),
                                      cmsGetHeaderRenderingIntent(lab->handle())};
        cmsFloat64Number adaptation[2] = {1.0, 1.0};
        t = cmsCreateExtendedTransform(nullptr, 2, profiles, bpc, intents, adaptation, nullptr, 0,
                                       cmyk ? TYPE_CMYK_FLT : TYPE_RGB_FLT, TYPE_Lab_FLT, cmsFLAGS_NOCACHE);
    }
    if (!t) return fail("no transform from the profile to CIELab");

    std::vector<float> rgb(kGamutPoints * 3);
    gamut_surface_points(rgb.data());
    const int channels = cmyk ? 4 : 3;
    std::vector<float> samples(kGamutPoints * channels);
    for (std::size_t i = 0; i < kGamutPoints; ++i) {
        const float* p = &rgb[3 * i];
        float* s = &samples[i * channels];
        if (!cmyk) {
            std::copy_n(p, 3, s);
            continue;
        }
        // Cyan, magenta, yellow with the common black taken out (LittleCMS
        // reads float CMYK in percent).
        const float k = std::min({p[0], p[1], p[2]});
        for (int c = 0; c < 3; ++c) s[c] = k < 1.0f ? std::clamp((p[c] - k) / (1.0f - k), 0.0f, 1.0f) * 100.0f : 0.0f;
        s[3] = k * 100.0f;
    }
    std::vector<float> out(kGamutPoints * 3);
    const unsigned chunk = 4096;
    const unsigned chunks = static_cast<unsigned>((kGamutPoints + chunk - 1) / chunk);
    run_row_chunks(chunks, band_thread_count > 0 ? band_thread_count : 1, [&](unsigned first, unsigned count) {
        const std::size_t begin = static_cast<std::size_t>(first) * chunk;
        const std::size_t end = std::min(kGamutPoints, static_cast<std::size_t>(first + count) * chunk);
        cmsDoTransform(t, &samples[begin * channels], &out[begin * 3], static_cast<cmsUInt32Number>(end - begin));
    });
    cmsDeleteTransform(t);

    std::vector<std::uint8_t> gamut(kGamutPoints * 3);
    for (std::size_t i = 0; i < kGamutPoints; ++i) {
        gamut[3 * i] = gamutByte(out[3 * i] * 2.55f);
        gamut[3 * i + 1] = gamutByte(out[3 * i + 1] + 128.0f);
        gamut[3 * i + 2] = gamutByte(out[3 * i + 2] + 128.0f);
    }
    return gamut;
}

}  // namespace dvk
