#include "colour/lut3d.h"

#include <algorithm>
#include <cmath>

#include "colour/parallel_chunks.h"

namespace dvk {

namespace {

constexpr int kPostSize = 4097;
// The Lab grid spans the 16-bit ICC Lab encoding (L 0..0xFFFF/0xFF00 x 100,
// a and b -128..0xFFFF/256 - 128), so that its nodes fall on the nodes of Lab
// table profiles with 2^k + 1 points a side, whose tetrahedra are then linear
// on each of ours.
constexpr double kLabLMax = 100.0 * 65535.0 / 65280.0;
constexpr double kLabAbSpan = 65535.0 / 256.0;
constexpr float kOutGamma = 2.2f;

inline float signed_pow(float v, float e) { return v < 0 ? -std::pow(-v, e) : std::pow(v, e); }

// The inputs of grid node (i, j, k).
void node_input(int i, int j, int k, bool in_lab, bool sqrt_shaper, const double offset[3], float* p) {
    constexpr int g = Lut3D::kGrid;
    double u[3] = {(i + offset[0]) / (g - 1), (j + offset[1]) / (g - 1), (k + offset[2]) / (g - 1)};
    if (in_lab) {
        p[0] = float(kLabLMax * (sqrt_shaper ? u[0] * u[0] : u[0]));
        p[1] = float(kLabAbSpan * u[1] - 128.0);
        p[2] = float(kLabAbSpan * u[2] - 128.0);
    } else {
        for (int c = 0; c < 3; ++c) p[c] = float(sqrt_shaper ? u[c] * u[c] : u[c]);
    }
}

}  // namespace

void Lut3D::fill(bool sqrt_shaper, const Convert& source) {
    sqrt_shaper_ = sqrt_shaper;
    constexpr int g = kGrid;
    const std::size_t nodes = std::size_t(g) * g * g;
    const double none[3] = {0, 0, 0};
    std::vector<float> t(nodes * 3);
    for (int i = 0; i < g; ++i)
        for (int j = 0; j < g; ++j)
            for (int k = 0; k < g; ++k)
                node_input(i, j, k, in_lab_, sqrt_shaper, none, &t[((std::size_t(i) * g + j) * g + k) * 3]);
    run_in_chunks(nodes, 8192, [&](std::size_t b, std::size_t e) { source(&t[b * 3], e - b); });
    for (float& v : t) {
        if (!std::isfinite(v)) v = 0;
        if (post_mode_ == Post::Gamma) v = signed_pow(v, kOutGamma);
    }
    table_ = std::move(t);
}

void Lut3D::make_post_tables(const Encode& encode) {
    float ymax = 1.0f;
    for (float v : table_) ymax = std::max(ymax, std::fabs(v));
    const float smax = std::sqrt(ymax);
    post_.resize(3 * kPostSize);
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < kPostSize; ++i) {
            const double s = double(smax) * i / (kPostSize - 1);
            post_[std::size_t(c) * kPostSize + std::size_t(i)] =
                post_mode_ == Post::Gamma ? float(std::pow(s * s, 1.0 / kOutGamma)) : encode(c, float(s * s));
        }
    post_scale_ = float(kPostSize - 1) / smax;
}

void Lut3D::mark_exact_cells(const Convert& exact) {
    constexpr int cells = kGrid - 1;
    const std::size_t count = std::size_t(cells) * cells * cells;
    exact_cell_.clear();  // none while the probes go through the table
    std::vector<std::uint64_t> flags((count + 63) / 64, 0);
    // Points inside every cell, off the nodes.
    constexpr int kProbes = 5;
    const double offsets[kProbes][3] = {
        {0.5, 0.5, 0.5}, {0.2, 0.8, 0.35}, {0.8, 0.2, 0.65}, {0.35, 0.3, 0.85}, {0.7, 0.65, 0.15}};
    std::vector<float> probe(count * kProbes * 3);
    for (int i = 0; i < cells; ++i)
        for (int j = 0; j < cells; ++j)
            for (int k = 0; k < cells; ++k) {
                const std::size_t cell = (std::size_t(i) * cells + j) * cells + k;
                for (int o = 0; o < kProbes; ++o)
                    node_input(i, j, k, in_lab_, sqrt_shaper_, offsets[o], &probe[(cell * kProbes + o) * 3]);
            }
    std::vector<float> truth = probe;
    run_in_chunks(count * kProbes, 8192, [&](std::size_t b, std::size_t e) { exact(&truth[b * 3], e - b); });
    std::vector<std::size_t> misses;
    apply(probe.data(), count * kProbes, misses);
    // Within a tenth of a delta-E: RGB channels count as L*/100 (linear
    // outputs by their cube roots, within 0..1 as the conversions clamp them),
    // Lab by its Euclidean distance.
    constexpr float kRgbTolerance = 0.0005f, kLabTolerance = 0.08f;
    for (std::size_t q = 0; q < count * kProbes; ++q) {
        const float* want = &truth[q * 3];
        const float* got = &probe[q * 3];
        bool bad = false;
        if (out_rgb_) {
            for (int c = 0; c < 3; ++c) {
                const float w = std::clamp(want[c], 0.0f, 1.0f), o = std::clamp(got[c], 0.0f, 1.0f);
                const float d = linear_out_ ? std::cbrt(w) - std::cbrt(o) : w - o;
                bad = bad || !(std::fabs(d) <= kRgbTolerance);
            }
        } else {
            const float d0 = want[0] - got[0], d1 = want[1] - got[1], d2 = want[2] - got[2];
            bad = !(d0 * d0 + d1 * d1 + d2 * d2 <= kLabTolerance * kLabTolerance);
        }
        if (bad) flags[q / kProbes / 64] |= std::uint64_t(1) << (q / kProbes % 64);
    }
    for (std::uint64_t f : flags)
        if (f) {
            exact_cell_ = std::move(flags);
            break;
        }
}

void Lut3D::build(bool in_lab, bool out_rgb, const Convert& exact, const Convert& linear, const Encode& encode) {
    in_lab_ = in_lab;
    out_rgb_ = out_rgb;
    // Linear RGB inputs take the square-root grid: their mid-grey 0.18 is
    // about L* 50 (gamma-encoded inputs put it far lower).
    bool sqrt_shaper = false;
    if (!in_lab) {
        float grey[3] = {0.18f, 0.18f, 0.18f};
        exact(grey, 1);
        // RGB to RGB: a linear input gives a much brighter output.
        sqrt_shaper = out_rgb ? grey[1] > 0.3f : grey[0] > 35.0f;
    }
    // Linear outputs put mid-grey (L* 50) near 0.18, encoded ones above 0.3.
    if (out_rgb) {
        float grey[3] = {50.0f, 0.0f, 0.0f};
        if (!in_lab) grey[0] = grey[1] = grey[2] = 0.46f;
        exact(grey, 1);
        linear_out_ = grey[1] < 0.3f;
    }
    if (out_rgb && linear && encode) {
        post_mode_ = Post::Encoded;
        fill(sqrt_shaper, linear);
        make_post_tables(encode);
    } else if (out_rgb && !linear_out_) {
        post_mode_ = Post::Gamma;
        fill(sqrt_shaper, exact);
        make_post_tables(encode);
    } else {
        post_mode_ = Post::None;
        fill(sqrt_shaper, exact);
    }
    mark_exact_cells(exact);
}

double Lut3D::exact_cell_share() const {
    if (exact_cell_.empty()) return 0.0;
    std::size_t n = 0;
    for (std::uint64_t f : exact_cell_) n += std::size_t(__builtin_popcountll(f));
    return double(n) / double(std::size_t(kGrid - 1) * (kGrid - 1) * (kGrid - 1));
}

namespace {

// Node offsets of the first and second step of the tetrahedral walk (along
// the axes of the largest, then the middle fraction), by the order code
// (fx >= fy) x 4 + (fy >= fz) x 2 + (fx >= fz). Codes 1 and 6 cannot occur
// (they would need fx < fy < fz <= fx, or fx >= fy >= fz > fx).
constexpr std::size_t kS0 = std::size_t(Lut3D::kGrid) * Lut3D::kGrid * 3, kS1 = std::size_t(Lut3D::kGrid) * 3,
                      kS2 = 3;
constexpr std::size_t kFirstStep[8] = {kS2, kS0, kS1, kS1, kS2, kS0, kS0, kS0};
constexpr std::size_t kSecondStep[8] = {kS1, kS1, kS2, kS0, kS0, kS2, kS1, kS1};

}  // namespace

void Lut3D::apply(float* px, std::size_t n, std::vector<std::size_t>& misses) const {
    constexpr int g = kGrid;
    constexpr float steps = float(g - 1);
    constexpr std::size_t s0 = std::size_t(g) * g * 3, s1 = std::size_t(g) * 3, s2 = 3;
    const float* tab = table_.data();
    const float* post = post_.data();
    const float post_last = float(kPostSize - 2);
    const std::uint64_t* cells = exact_cell_.empty() ? nullptr : exact_cell_.data();
    const bool in_lab = in_lab_, sqrt_shaper = sqrt_shaper_;
    const Post post_mode = post_mode_;
    const float post_scale = post_scale_;
    for (std::size_t p = 0; p < n; ++p) {
        float* v = px + 3 * p;
        float u0, u1, u2;
        if (in_lab) {
            u0 = v[0] * float(1.0 / kLabLMax);
            u1 = (v[1] + 128.0f) * float(1.0 / kLabAbSpan);
            u2 = (v[2] + 128.0f) * float(1.0 / kLabAbSpan);
            if (!(u0 >= 0.0f && u0 <= 1.0f && u1 >= 0.0f && u1 <= 1.0f && u2 >= 0.0f && u2 <= 1.0f)) {
                misses.push_back(p);
                continue;
            }
            if (sqrt_shaper) u0 = std::sqrt(u0);
        } else {
            u0 = v[0];
            u1 = v[1];
            u2 = v[2];
            if (!(u0 >= 0.0f && u0 <= 1.0f && u1 >= 0.0f && u1 <= 1.0f && u2 >= 0.0f && u2 <= 1.0f)) {
                misses.push_back(p);
                continue;
            }
            if (sqrt_shaper) {
                u0 = std::sqrt(u0);
                u1 = std::sqrt(u1);
                u2 = std::sqrt(u2);
            }
        }
        const float x = u0 * steps, y = u1 * steps, z = u2 * steps;
        const int i = std::min(int(x), g - 2), j = std::min(int(y), g - 2), k = std::min(int(z), g - 2);
        const std::size_t cell = (std::size_t(i) * (g - 1) + std::size_t(j)) * (g - 1) + std::size_t(k);
        if (cells && (cells[cell / 64] >> (cell % 64) & 1)) {
            misses.push_back(p);
            continue;
        }
        const float fx = x - float(i), fy = y - float(j), fz = z - float(k);
        const float* c000 = tab + std::size_t(i) * s0 + std::size_t(j) * s1 + std::size_t(k) * s2;
        const float* c111 = c000 + s0 + s1 + s2;
        // The tetrahedron from the order of the three fractions, without
        // branches: the largest fraction's axis is walked first, then the
        // middle one's.
        const int order = (fx >= fy) * 4 + (fy >= fz) * 2 + (fx >= fz);
        const float hi = std::max(fx, std::max(fy, fz)), lo = std::min(fx, std::min(fy, fz));
        const float mid = fx + fy + fz - hi - lo;
        const float* a = c000 + kFirstStep[order];
        const float* b = a + kSecondStep[order];
        const float w0 = 1.0f - hi, w1 = hi - mid, w2 = mid - lo, w3 = lo;
        for (int c = 0; c < 3; ++c) {
            float r = w0 * c000[c] + w1 * a[c] + w2 * b[c] + w3 * c111[c];
            if (post_mode != Post::None) {
                const float* pc = post + std::size_t(c) * kPostSize;
                const bool negative = r < 0;
                const float s = negative && post_mode == Post::Encoded ? 0.0f : std::sqrt(std::fabs(r)) * post_scale;
                const int pi = int(std::min(s, post_last));
                const float o = pc[pi] + (s - float(pi)) * (pc[pi + 1] - pc[pi]);
                r = negative && post_mode == Post::Gamma ? -o : o;
            }
            v[c] = r;
        }
    }
}

}  // namespace dvk
