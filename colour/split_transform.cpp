#include "colour/split_transform.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "colour/parallel_chunks.h"
#include "colour/pixel_loop_clones.h"

namespace dvk {

namespace {

constexpr int kDecodeSize = 4097;        // decoding tables over 0..1
constexpr int kEncodeHalf = 4096;        // encoding tables: 2 x 4096 + 1 entries over -kEncodeS..kEncodeS
constexpr float kEncodeS = 2.0f;         // signed square root of linear light up to 4
constexpr float kD50[3] = {0.9642f, 1.0f, 0.8249f};
// The range of the 16-bit ICC Lab encoding, to which LittleCMS clamps the
// input of a Lab table.
constexpr float kLabLMax = float(100.0 * 65535.0 / 65280.0);
constexpr float kLabAbMax = float(65535.0 / 256.0 - 128.0);

struct TransformHandle {
    cmsHTRANSFORM t = nullptr;
    ~TransformHandle() {
        if (t) cmsDeleteTransform(t);
    }
};

cmsHTRANSFORM make(cmsHPROFILE a, int ia, cmsHPROFILE b, int ib, cmsUInt32Number fin, cmsUInt32Number fout) {
    cmsHPROFILE p[2] = {a, b};
    cmsBool bpc[2] = {FALSE, FALSE};
    cmsUInt32Number intents[2] = {cmsUInt32Number(ia), cmsUInt32Number(ib)};
    cmsFloat64Number adaptation[2] = {1.0, 1.0};
    return cmsCreateExtendedTransform(nullptr, 2, p, bpc, intents, adaptation, nullptr, 0, fin, fout,
                                      cmsFLAGS_NOCACHE);
}

// `t` on n packed triples in place, on the band threads.
void transform_on_threads(cmsHTRANSFORM t, float* px, std::size_t n) {
    run_in_chunks(n, 1024, [&](std::size_t b, std::size_t e) {
        cmsDoTransform(t, px + 3 * b, px + 3 * b, cmsUInt32Number(e - b));
    });
}

bool invert3(const float in[9], float out[9]) {
    const double a = in[0], b = in[1], c = in[2], d = in[3], e = in[4], f = in[5], g = in[6], h = in[7], i = in[8];
    const double det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
    if (!(std::fabs(det) > 1e-12)) return false;
    const double r[9] = {(e * i - f * h) / det, (c * h - b * i) / det, (b * f - c * e) / det,
                         (f * g - d * i) / det, (a * i - c * g) / det, (c * d - a * f) / det,
                         (d * h - e * g) / det, (b * g - a * h) / det, (a * e - b * d) / det};
    for (int k = 0; k < 9; ++k) out[k] = float(r[k]);
    return true;
}

// Cube root of a positive float, without division: a first guess of the
// inverse cube root from the exponent bits, three Newton steps (each one
// squares the relative error, from about 5% to within a few units in the
// last place), then x times its square.
inline float cube_root(float x) {
    std::int32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    bits = 0x54a21d2a - std::int32_t(float(bits) * (1.0f / 3.0f));  // bits / 3 closely enough for a guess
    float y;
    std::memcpy(&y, &bits, sizeof y);
    for (int i = 0; i < 3; ++i) y = y * (4.0f - x * (y * y * y)) * (1.0f / 3.0f);
    return x * (y * y);
}

inline float lab_f(float t) {
    constexpr float kE = 216.0f / 24389.0f, kK = 24389.0f / 27.0f;
    // Both sides computed and blended: no branch, so loops over it vectorise.
    const float root = cube_root(std::max(t, kE));
    const float linear = (kK * t + 16.0f) * (1.0f / 116.0f);
    const float use_root = float(t > kE);
    return use_root * root + (1.0f - use_root) * linear;
}

inline float lab_f_inverse(float f) {
    constexpr float kK = 24389.0f / 27.0f;
    const float f3 = f * f * f;
    const float use_cube = float(f3 > 216.0f / 24389.0f);
    return use_cube * f3 + (1.0f - use_cube) * (116.0f * f - 16.0f) * (1.0f / kK);
}

bool is_rgb_matrix_shaper(cmsHPROFILE p, int intent, int direction) {
    return cmsGetColorSpace(p) == cmsSigRgbData && cmsIsMatrixShaper(p) &&
           !cmsIsCLUT(p, cmsUInt32Number(intent), cmsUInt32Number(direction));
}

}  // namespace

bool SplitTransform::measure_rgb_input(cmsHPROFILE src, int src_intent, int dst_intent) {
    cmsHPROFILE xyz = cmsCreateXYZProfile();
    TransformHandle t;
    t.t = make(src, src_intent, xyz, dst_intent, TYPE_RGB_FLT, TYPE_XYZ_FLT);
    cmsCloseProfile(xyz);
    if (!t.t) return false;
    // Columns of the matrix: the XYZ of each primary at full value.
    float cols[3][3];
    for (int c = 0; c < 3; ++c) {
        float rgb[3] = {0, 0, 0};
        rgb[c] = 1.0f;
        cmsDoTransform(t.t, rgb, cols[c], 1);
    }
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) m_[r * 3 + c] = cols[c][r];
    // Each tone curve: how far along its primary's column a channel value goes.
    // The three ramps go through the transform together.
    curves_.assign(3 * kDecodeSize, 0.0f);
    std::vector<float> ramps(std::size_t(3) * kDecodeSize * 3, 0.0f);
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < kDecodeSize; ++i)
            ramps[(std::size_t(c) * kDecodeSize + std::size_t(i)) * 3 + std::size_t(c)] = float(i) / (kDecodeSize - 1);
    transform_on_threads(t.t, ramps.data(), std::size_t(3) * kDecodeSize);
    for (int c = 0; c < 3; ++c) {
        const double norm = double(cols[c][0]) * cols[c][0] + double(cols[c][1]) * cols[c][1] +
                            double(cols[c][2]) * cols[c][2];
        if (!(norm > 0)) return false;
        const float* ramp = &ramps[std::size_t(c) * kDecodeSize * 3];
        for (int i = 0; i < kDecodeSize; ++i) {
            const float* x = &ramp[std::size_t(i) * 3];
            curves_[std::size_t(c) * kDecodeSize + i] =
                float((double(x[0]) * cols[c][0] + double(x[1]) * cols[c][1] + double(x[2]) * cols[c][2]) / norm);
        }
    }
    curve_scale_ = float(kDecodeSize - 1);
    return true;
}

bool SplitTransform::measure_rgb_output(cmsHPROFILE dst, int dst_intent) {
    cmsHPROFILE xyz = cmsCreateXYZProfile();
    TransformHandle to_xyz, from_xyz;
    to_xyz.t = make(dst, dst_intent, xyz, dst_intent, TYPE_RGB_FLT, TYPE_XYZ_FLT);
    from_xyz.t = make(xyz, dst_intent, dst, dst_intent, TYPE_XYZ_FLT, TYPE_RGB_FLT);
    cmsCloseProfile(xyz);
    if (!to_xyz.t || !from_xyz.t) return false;
    float cols[3][3], forward[9];
    for (int c = 0; c < 3; ++c) {
        float rgb[3] = {0, 0, 0};
        rgb[c] = 1.0f;
        cmsDoTransform(to_xyz.t, rgb, cols[c], 1);
    }
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) forward[r * 3 + c] = cols[c][r];
    if (!invert3(forward, m_)) return false;
    // Each encoding curve: the output channel for linear light along its
    // primary's column, over the signed square root of the linear value.
    const int size = 2 * kEncodeHalf + 1;
    curves_.assign(std::size_t(3) * size, 0.0f);
    std::vector<float> ramps(std::size_t(3) * size * 3);
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < size; ++i) {
            const float s = kEncodeS * float(i - kEncodeHalf) / kEncodeHalf;
            const float lin = s < 0 ? -s * s : s * s;
            float* at = &ramps[(std::size_t(c) * size + std::size_t(i)) * 3];
            for (int k = 0; k < 3; ++k) at[k] = lin * cols[c][k];
        }
    transform_on_threads(from_xyz.t, ramps.data(), std::size_t(3) * size);
    for (std::size_t c = 0; c < 3; ++c)
        for (std::size_t i = 0; i < std::size_t(size); ++i)
            curves_[c * size + i] = ramps[(c * size + i) * 3 + c];
    curve_scale_ = float(kEncodeHalf) / kEncodeS;
    return true;
}

bool SplitTransform::applies(cmsHPROFILE src, int src_intent, cmsHPROFILE dst, int dst_intent, bool lab_in) {
    if (lab_in)
        return cmsGetColorSpace(src) == cmsSigLabData && is_rgb_matrix_shaper(dst, dst_intent, LCMS_USED_AS_OUTPUT);
    return is_rgb_matrix_shaper(src, src_intent, LCMS_USED_AS_INPUT) && cmsGetColorSpace(dst) == cmsSigLabData;
}

bool SplitTransform::build(cmsHPROFILE src, int src_intent, cmsHPROFILE dst, int dst_intent, bool lab_in,
                           const Lut3D::Convert& exact, const Lut3D* lab_side, bool lab_identity) {
    lab_in_ = lab_in;
    if (!applies(src, src_intent, dst, dst_intent, lab_in)) return false;
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    TransformHandle side;
    bool ok = false;
    if (!lab_in) {
        ok = measure_rgb_input(src, src_intent, dst_intent);
        // A Lab table profile takes CIELab only within its encoding: colours
        // beyond (far outside the real gamut) are clamped to it, as LittleCMS does.
        clamp_lab_ = cmsIsCLUT(dst, cmsUInt32Number(dst_intent), LCMS_USED_AS_OUTPUT);
        if (ok && !lab_side && !lab_identity) {
            side.t = make(lab, dst_intent, dst, dst_intent, TYPE_Lab_FLT, TYPE_Lab_FLT);
            ok = side.t != nullptr;
        }
    } else {
        ok = measure_rgb_output(dst, dst_intent);
        if (ok && !lab_side && !lab_identity) {
            side.t = make(src, src_intent, lab, src_intent, TYPE_Lab_FLT, TYPE_Lab_FLT);
            ok = side.t != nullptr;
        }
    }
    if (ok && !lab_side && !lab_identity)
        lut_.build(true, false, [&side](float* p, std::size_t n) { cmsDoTransform(side.t, p, p, cmsUInt32Number(n)); });
    table_ = lab_identity ? nullptr : lab_side ? lab_side : &lut_;
    cmsCloseProfile(lab);
    if (!ok) return false;

    // The check: a fixed sample over the input range against the exact transform.
    const std::size_t n = 4096;
    std::vector<float> sample(3 * n);
    std::uint32_t state = 0x2545F491u;
    for (std::size_t i = 0; i < 3 * n; ++i) {
        state = state * 1664525u + 1013904223u;
        const float u = float(state >> 8) / float(1u << 24);
        sample[i] = !lab_in ? u : (i % 3 == 0 ? 100.0f * u : 255.0f * u - 128.0f);
    }
    std::vector<float> truth = sample, mine = sample;
    run_in_chunks(n, 512, [&](std::size_t b, std::size_t e) { exact(&truth[3 * b], e - b); });
    std::vector<std::size_t> misses;
    apply(mine.data(), n, misses);
    for (std::size_t i : misses) exact(&mine[3 * i], 1);
    for (std::size_t i = 0; i < n; ++i) {
        const float* w = &truth[3 * i];
        const float* g = &mine[3 * i];
        if (lab_in) {
            for (int c = 0; c < 3; ++c)
                if (!(std::fabs(std::clamp(w[c], 0.0f, 1.0f) - std::clamp(g[c], 0.0f, 1.0f)) <= 1e-3f)) return false;
        } else {
            const float d0 = w[0] - g[0], d1 = w[1] - g[1], d2 = w[2] - g[2];
            if (!(d0 * d0 + d1 * d1 + d2 * d2 <= 0.1f * 0.1f)) return false;
        }
    }
    return true;
}

namespace {

constexpr std::size_t kBlock = 1024;

// Positions of values on 1D tables: whole steps and fractions, per channel.
struct TablePlaces {
    alignas(64) std::int32_t index[3][kBlock];
    alignas(64) float frac[3][kBlock];
};

// RGB input: where each channel falls on its decoding table; pixels with a
// channel outside 0..1 (or NaN) are marked and read the table at 0.
DVK_COLOUR_CLONES void place_rgb(const float* block, std::size_t n, float scale, TablePlaces& at,
                               std::int32_t* outside) {
    for (std::size_t p = 0; p < n; ++p) {
        const float r = block[3 * p], g = block[3 * p + 1], b = block[3 * p + 2];
        const bool in = (r >= 0.0f) & (r <= 1.0f) & (g >= 0.0f) & (g <= 1.0f) & (b >= 0.0f) & (b <= 1.0f);
        outside[p] = !in;
        const float sr = (in ? r : 0.0f) * scale, sg = (in ? g : 0.0f) * scale, sb = (in ? b : 0.0f) * scale;
        const std::int32_t ir = std::min(std::int32_t(sr), std::int32_t(kDecodeSize - 2)),
                           ig = std::min(std::int32_t(sg), std::int32_t(kDecodeSize - 2)),
                           ib = std::min(std::int32_t(sb), std::int32_t(kDecodeSize - 2));
        at.index[0][p] = ir;
        at.index[1][p] = ig;
        at.index[2][p] = ib;
        at.frac[0][p] = sr - float(ir);
        at.frac[1][p] = sg - float(ig);
        at.frac[2][p] = sb - float(ib);
    }
}

// Linear interpolation on a 1D table at the given places.
DVK_COLOUR_CLONES void read_table(const float* __restrict table, const std::int32_t* __restrict index,
                                const float* __restrict frac, std::size_t n, float* __restrict out) {
    for (std::size_t p = 0; p < n; ++p) {
        const float* t = table + index[p];
        out[p] = t[0] + frac[p] * (t[1] - t[0]);
    }
}

// Linear RGB -> XYZ (matrix m) -> CIELab, as three planes; pixels outside
// get an L the Lab table refuses. With `clamp` the Lab values are held to the
// 16-bit ICC encoding.
DVK_COLOUR_CLONES void linear_to_lab(const float* __restrict l0, const float* __restrict l1,
                                   const float* __restrict l2, const float* m, const std::int32_t* __restrict outside,
                                   std::int32_t clamp, std::size_t n, float* __restrict L_out,
                                   float* __restrict a_out, float* __restrict b_out) {
    const float m0 = m[0] / kD50[0], m1 = m[1] / kD50[0], m2 = m[2] / kD50[0];
    const float m3 = m[3] / kD50[1], m4 = m[4] / kD50[1], m5 = m[5] / kD50[1];
    const float m6 = m[6] / kD50[2], m7 = m[7] / kD50[2], m8 = m[8] / kD50[2];
    for (std::size_t p = 0; p < n; ++p) {
        const float fx = lab_f(m0 * l0[p] + m1 * l1[p] + m2 * l2[p]);
        const float fy = lab_f(m3 * l0[p] + m4 * l1[p] + m5 * l2[p]);
        const float fz = lab_f(m6 * l0[p] + m7 * l1[p] + m8 * l2[p]);
        float L = 116.0f * fy - 16.0f, a = 500.0f * (fx - fy), b = 200.0f * (fy - fz);
        if (clamp) {
            L = std::min(std::max(L, 0.0f), kLabLMax);
            a = std::min(std::max(a, -128.0f), kLabAbMax);
            b = std::min(std::max(b, -128.0f), kLabAbMax);
        }
        L_out[p] = outside[p] ? -1000.0f : L;  // outside: refused by the table
        a_out[p] = a;
        b_out[p] = b;
    }
}

// CIELab -> XYZ -> linear RGB (matrix m) -> where each channel falls on its
// encoding table (over the signed square root of the linear value).
DVK_COLOUR_CLONES void place_lab(const float* L, const float* a, const float* b, std::size_t n, const float* m,
                               float scale, TablePlaces& at) {
    const float m0 = m[0] * kD50[0], m1 = m[1] * kD50[1], m2 = m[2] * kD50[2];
    const float m3 = m[3] * kD50[0], m4 = m[4] * kD50[1], m5 = m[5] * kD50[2];
    const float m6 = m[6] * kD50[0], m7 = m[7] * kD50[1], m8 = m[8] * kD50[2];
    const float last = float(2 * kEncodeHalf) - 0.001f;
    for (std::size_t p = 0; p < n; ++p) {
        const float fy = (L[p] + 16.0f) * (1.0f / 116.0f);
        const float x = lab_f_inverse(fy + a[p] * (1.0f / 500.0f));
        const float y = lab_f_inverse(fy);
        const float z = lab_f_inverse(fy - b[p] * (1.0f / 200.0f));
        const float lin[3] = {m0 * x + m1 * y + m2 * z, m3 * x + m4 * y + m5 * z, m6 * x + m7 * y + m8 * z};
        for (int c = 0; c < 3; ++c) {
            const float root = std::sqrt(std::fabs(lin[c]));
            // Held to the table, NaN (from a pixel the Lab table refused) to its start.
            float s = (lin[c] < 0.0f ? -root : root) * scale + float(kEncodeHalf);
            s = s > 0.0f ? s : 0.0f;
            s = s < last ? s : last;
            const std::int32_t i = std::int32_t(s);
            at.index[c][p] = i;
            at.frac[c][p] = s - float(i);
        }
    }
}

// Whether CIELab values lie within the 16-bit ICC Lab encoding (NaN does
// not): a Lab table refuses the others.
inline bool in_lab_encoding(float L, float a, float b) {
    return L >= 0.0f && L <= kLabLMax && a >= -128.0f && a <= kLabAbMax && b >= -128.0f && b <= kLabAbMax;
}

// With the Lab side an identity: the Lab planes packed into `out`, except
// the pixels outside the encoding, which keep what `out` held and are listed.
void pack_lab(const float* L, const float* a, const float* b, std::size_t n, float* out,
              std::vector<std::size_t>& refused) {
    for (std::size_t p = 0; p < n; ++p) {
        if (!in_lab_encoding(L[p], a[p], b[p])) {
            refused.push_back(p);
            continue;
        }
        out[3 * p] = L[p];
        out[3 * p + 1] = a[p];
        out[3 * p + 2] = b[p];
    }
}

// With the Lab side an identity: packed Lab into planes, listing the pixels
// a Lab table would refuse.
void unpack_lab(const float* px, std::size_t n, float* L, float* a, float* b, std::vector<std::size_t>& refused) {
    for (std::size_t p = 0; p < n; ++p) {
        L[p] = px[3 * p];
        a[p] = px[3 * p + 1];
        b[p] = px[3 * p + 2];
        if (!in_lab_encoding(L[p], a[p], b[p])) refused.push_back(p);
    }
}

// Three planes packed into triples.
DVK_COLOUR_CLONES void pack(const float* __restrict o0, const float* __restrict o1, const float* __restrict o2,
                          std::size_t n, float* __restrict out) {
    for (std::size_t p = 0; p < n; ++p) {
        out[3 * p] = o0[p];
        out[3 * p + 1] = o1[p];
        out[3 * p + 2] = o2[p];
    }
}

}  // namespace

void SplitTransform::apply(float* px, std::size_t n, std::vector<std::size_t>& misses) const {
    const float* cv = curves_.data();
    alignas(64) float lin[3][kBlock];
    alignas(64) float lab[3][kBlock];
    TablePlaces at;
    std::vector<std::size_t> refused;
    if (!lab_in_) {
        // Camera RGB -> XYZ -> CIELab, then the Lab table (or nothing when
        // that side is an identity). A pixel it refuses keeps its input.
        alignas(64) std::int32_t outside[kBlock];
        for (std::size_t start = 0; start < n; start += kBlock) {
            const std::size_t count = std::min(kBlock, n - start);
            float* block = px + 3 * start;
            place_rgb(block, count, curve_scale_, at, outside);
            for (int c = 0; c < 3; ++c)
                read_table(cv + std::size_t(c) * kDecodeSize, at.index[c], at.frac[c], count, lin[c]);
            linear_to_lab(lin[0], lin[1], lin[2], m_, outside, clamp_lab_, count, lab[0], lab[1], lab[2]);
            refused.clear();
            if (table_)
                table_->apply_planes_in(lab[0], lab[1], lab[2], count, block, refused);
            else
                pack_lab(lab[0], lab[1], lab[2], count, block, refused);
            for (std::size_t m : refused) misses.push_back(start + m);
        }
        return;
    }
    // UPLab -> CIELab through the table, then XYZ -> linear RGB -> encoded.
    // A pixel the table refuses keeps its input.
    const std::size_t size = 2 * kEncodeHalf + 1;
    alignas(64) float saved[3 * kBlock];
    for (std::size_t start = 0; start < n; start += kBlock) {
        const std::size_t count = std::min(kBlock, n - start);
        float* block = px + 3 * start;
        refused.clear();
        if (table_)
            table_->apply_planes_out(block, count, lab[0], lab[1], lab[2], refused);
        else
            unpack_lab(block, count, lab[0], lab[1], lab[2], refused);
        for (std::size_t m : refused) std::copy(block + 3 * m, block + 3 * m + 3, saved + 3 * m);
        place_lab(lab[0], lab[1], lab[2], count, m_, curve_scale_, at);
        for (int c = 0; c < 3; ++c)
            read_table(cv + std::size_t(c) * size, at.index[c], at.frac[c], count, lin[c]);
        pack(lin[0], lin[1], lin[2], count, block);
        for (std::size_t m : refused) {
            std::copy(saved + 3 * m, saved + 3 * m + 3, block + 3 * m);
            misses.push_back(start + m);
        }
    }
}

}  // namespace dvk
