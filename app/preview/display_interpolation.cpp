#include "app/preview/display_interpolation.h"

#include <cstddef>

#include "core/cpu_features.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace dvk {

namespace {

constexpr int n = kDisplayGrid;
constexpr float kScale = static_cast<float>(n - 1) / 65535.0f;
constexpr int sr = n * n * 4, sg = n * 4, sb = 4;

// The tetrahedron holding a point, by the order of its fractions: the steps
// c000 -> a -> b -> c111 (as offsets into the table) and the fractions
// (0 r, 1 g, 2 b) weighting the three steps. Indexed by
// (fr >= fg) << 2 | (fg >= fb) << 1 | (fr >= fb); ties go as in the
// comparison tree r >= g, then g >= b, then r >= b.
struct Tetrahedron {
    int a, b;
    int w0, w1, w2;
};
constexpr Tetrahedron kTetrahedra[8] = {
    {sb, sg + sb, 2, 1, 0},  // b > g > r
    {sg, sr + sg, 1, 0, 2},  // g > r >= b
    {sg, sg + sb, 1, 2, 0},  // g >= b > r
    {sg, sr + sg, 1, 0, 2},  // g > r >= b
    {sb, sr + sb, 2, 0, 1},  // b > r >= g
    {sr, sr + sb, 0, 2, 1},  // r >= b > g
    {sr, sr + sg, 0, 1, 2},  // r >= g >= b
    {sr, sr + sg, 0, 1, 2},  // r >= g >= b
};

inline std::uint32_t interpolatePixel(const float* t, const std::uint16_t* px) {
    int i[3];
    float f[3];
    for (int c = 0; c < 3; ++c) {
        const float x = static_cast<float>(px[c]) * kScale;
        int k = static_cast<int>(x);
        if (k > n - 2) k = n - 2;
        i[c] = k;
        f[c] = x - static_cast<float>(k);
    }
    const float* c000 = t + i[0] * sr + i[1] * sg + i[2] * sb;
    const float* c111 = c000 + sr + sg + sb;
    const Tetrahedron& k = kTetrahedra[(f[0] >= f[1]) << 2 | (f[1] >= f[2]) << 1 | (f[0] >= f[2])];
    const float* a = c000 + k.a;
    const float* b = c000 + k.b;
    const float w0 = f[k.w0], w1 = f[k.w1], w2 = f[k.w2];
    std::uint32_t out = 0;
    for (int c = 0; c < 4; ++c) {
        // The same operations in the same order as the AVX2 build (no fused multiply-adds there either).
        float v = c000[c] + w0 * (a[c] - c000[c]);
        v = v + w1 * (b[c] - a[c]);
        v = v + w2 * (c111[c] - b[c]);
        const int q = static_cast<int>(v + 0.5f);
        out |= static_cast<std::uint32_t>(q < 0 ? 0 : q > 255 ? 255 : q) << (8 * c);
    }
    return out;
}

#if defined(__x86_64__)

// Per lane, fraction 0, 1 or 2 as `which` says.
__attribute__((target("avx2"))) inline __m256 pick(__m256i which, __m256 f0, __m256 f1, __m256 f2) {
    const __m256 isOne = _mm256_castsi256_ps(_mm256_cmpeq_epi32(which, _mm256_set1_epi32(1)));
    const __m256 isTwo = _mm256_castsi256_ps(_mm256_cmpeq_epi32(which, _mm256_set1_epi32(2)));
    return _mm256_blendv_ps(_mm256_blendv_ps(f0, f1, isOne), f2, isTwo);
}

// Eight pixels a step: their samples sorted into channels, their nodes and
// weights found side by side, then each pixel's four nodes loaded whole
// (blue, green, red, alpha) and blended in one vector.
__attribute__((target("avx2"))) void interpolateRowAvx2(const float* table, const std::uint16_t* src,
                                                        std::uint32_t* out, unsigned width) {
    alignas(32) int stepA[8], stepB[8], weight0[8], weight1[8], weight2[8];
    for (int k = 0; k < 8; ++k) {
        stepA[k] = kTetrahedra[k].a;
        stepB[k] = kTetrahedra[k].b;
        weight0[k] = kTetrahedra[k].w0;
        weight1[k] = kTetrahedra[k].w1;
        weight2[k] = kTetrahedra[k].w2;
    }
    const __m256i vStepA = _mm256_load_si256(reinterpret_cast<const __m256i*>(stepA));
    const __m256i vStepB = _mm256_load_si256(reinterpret_cast<const __m256i*>(stepB));
    const __m256i vW0 = _mm256_load_si256(reinterpret_cast<const __m256i*>(weight0));
    const __m256i vW1 = _mm256_load_si256(reinterpret_cast<const __m256i*>(weight1));
    const __m256i vW2 = _mm256_load_si256(reinterpret_cast<const __m256i*>(weight2));
    // Byte shuffles taking channel c's samples out of each of the three loads:
    // pixel j's sample is the (3j + c)th, in load (3j + c) / 8.
    alignas(16) std::uint8_t sortBytes[3][3][16];
    for (int c = 0; c < 3; ++c)
        for (int load = 0; load < 3; ++load)
            for (int j = 0; j < 8; ++j) {
                const int sample = 3 * j + c;
                const bool here = sample / 8 == load;
                sortBytes[c][load][2 * j] = here ? static_cast<std::uint8_t>(2 * (sample % 8)) : 0x80;
                sortBytes[c][load][2 * j + 1] = here ? static_cast<std::uint8_t>(2 * (sample % 8) + 1) : 0x80;
            }
    __m128i sort[3][3];
    for (int c = 0; c < 3; ++c)
        for (int load = 0; load < 3; ++load)
            sort[c][load] = _mm_load_si128(reinterpret_cast<const __m128i*>(sortBytes[c][load]));
    const __m256 scale = _mm256_set1_ps(kScale);
    const __m256i last = _mm256_set1_epi32(n - 2);
    const __m256i one = _mm256_set1_epi32(1), two = _mm256_set1_epi32(2);
    const __m128 half = _mm_set1_ps(0.5f);
    alignas(32) int node0[8], nodeA[8], nodeB[8];
    alignas(32) float w0[8], w1[8], w2[8];
    unsigned x = 0;
    for (; x + 8 <= width; x += 8) {
        // The 24 samples (three 16-byte loads) sorted into red, green and blue.
        const __m128i* p = reinterpret_cast<const __m128i*>(src + 3 * std::size_t(x));
        const __m128i in[3] = {_mm_loadu_si128(p), _mm_loadu_si128(p + 1), _mm_loadu_si128(p + 2)};
        __m256i s[3];
        for (int c = 0; c < 3; ++c) {
            const __m128i channel = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(in[0], sort[c][0]),
                                                              _mm_shuffle_epi8(in[1], sort[c][1])),
                                                 _mm_shuffle_epi8(in[2], sort[c][2]));
            s[c] = _mm256_cvtepu16_epi32(channel);
        }
        __m256i i[3];
        __m256 f[3];
        for (int c = 0; c < 3; ++c) {
            const __m256 xs = _mm256_mul_ps(_mm256_cvtepi32_ps(s[c]), scale);
            i[c] = _mm256_min_epi32(_mm256_cvttps_epi32(xs), last);
            f[c] = _mm256_sub_ps(xs, _mm256_cvtepi32_ps(i[c]));
        }
        const __m256i c000 = _mm256_add_epi32(_mm256_add_epi32(_mm256_mullo_epi32(i[0], _mm256_set1_epi32(sr)),
                                                                _mm256_mullo_epi32(i[1], _mm256_set1_epi32(sg))),
                                               _mm256_mullo_epi32(i[2], _mm256_set1_epi32(sb)));
        const __m256i ge01 = _mm256_castps_si256(_mm256_cmp_ps(f[0], f[1], _CMP_GE_OQ));
        const __m256i ge12 = _mm256_castps_si256(_mm256_cmp_ps(f[1], f[2], _CMP_GE_OQ));
        const __m256i ge02 = _mm256_castps_si256(_mm256_cmp_ps(f[0], f[2], _CMP_GE_OQ));
        const __m256i code = _mm256_or_si256(
            _mm256_or_si256(_mm256_and_si256(ge01, _mm256_set1_epi32(4)), _mm256_and_si256(ge12, two)),
            _mm256_and_si256(ge02, one));
        _mm256_store_si256(reinterpret_cast<__m256i*>(node0), c000);
        _mm256_store_si256(reinterpret_cast<__m256i*>(nodeA),
                           _mm256_add_epi32(c000, _mm256_permutevar8x32_epi32(vStepA, code)));
        _mm256_store_si256(reinterpret_cast<__m256i*>(nodeB),
                           _mm256_add_epi32(c000, _mm256_permutevar8x32_epi32(vStepB, code)));
        _mm256_store_ps(w0, pick(_mm256_permutevar8x32_epi32(vW0, code), f[0], f[1], f[2]));
        _mm256_store_ps(w1, pick(_mm256_permutevar8x32_epi32(vW1, code), f[0], f[1], f[2]));
        _mm256_store_ps(w2, pick(_mm256_permutevar8x32_epi32(vW2, code), f[0], f[1], f[2]));
        for (int k = 0; k < 8; ++k) {
            const __m128 v000 = _mm_loadu_ps(table + node0[k]);
            const __m128 vA = _mm_loadu_ps(table + nodeA[k]);
            const __m128 vB = _mm_loadu_ps(table + nodeB[k]);
            const __m128 v111 = _mm_loadu_ps(table + node0[k] + (sr + sg + sb));
            __m128 v = _mm_add_ps(v000, _mm_mul_ps(_mm_set1_ps(w0[k]), _mm_sub_ps(vA, v000)));
            v = _mm_add_ps(v, _mm_mul_ps(_mm_set1_ps(w1[k]), _mm_sub_ps(vB, vA)));
            v = _mm_add_ps(v, _mm_mul_ps(_mm_set1_ps(w2[k]), _mm_sub_ps(v111, vB)));
            // Truncated after adding a half, then saturated onto 0..255 by the two packs.
            const __m128i q = _mm_cvttps_epi32(_mm_add_ps(v, half));
            const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(q, q), _mm_setzero_si128());
            out[x + static_cast<unsigned>(k)] = static_cast<std::uint32_t>(_mm_cvtsi128_si32(bytes));
        }
    }
    for (; x < width; ++x) out[x] = interpolatePixel(table, src + 3 * std::size_t(x));
}

#endif

}  // namespace

void interpolateDisplayRowPlain(const float* table, const std::uint16_t* src, std::uint32_t* out, unsigned width) {
    for (unsigned x = 0; x < width; ++x) out[x] = interpolatePixel(table, src + 3 * std::size_t(x));
}

void interpolateDisplayRow(const float* table, const std::uint16_t* src, std::uint32_t* out, unsigned width) {
#if defined(__x86_64__)
    if (cpu_has_avx2()) {
        interpolateRowAvx2(table, src, out, width);
        return;
    }
#endif
    interpolateDisplayRowPlain(table, src, out, width);
}

}  // namespace dvk
