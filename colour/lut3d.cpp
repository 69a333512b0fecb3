#include "colour/lut3d.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "colour/parallel_chunks.h"

namespace dvk {

namespace {

constexpr int kPostSize = 4097;
constexpr float kOutGamma = 2.2f;

inline float signed_pow(float v, float e) { return v < 0 ? -std::pow(-v, e) : std::pow(v, e); }

}  // namespace

void Lut3D::fill(bool sqrt_shaper, const std::function<void(float*, std::size_t)>& exact) {
    sqrt_shaper_ = sqrt_shaper;
    constexpr int g = kGrid;
    const std::size_t nodes = std::size_t(g) * g * g;
    std::vector<float> t(nodes * 3);
    for (int i = 0; i < g; ++i)
        for (int j = 0; j < g; ++j)
            for (int k = 0; k < g; ++k) {
                float* p = &t[((std::size_t(i) * g + j) * g + k) * 3];
                double u[3] = {double(i) / (g - 1), double(j) / (g - 1), double(k) / (g - 1)};
                if (sqrt_shaper)
                    for (double& x : u) x = x * x;
                if (in_lab_) {
                    p[0] = float(100.0 * u[0]);
                    p[1] = float(256.0 * (double(j) / (g - 1)) - 128.0);
                    p[2] = float(256.0 * (double(k) / (g - 1)) - 128.0);
                } else {
                    for (int c = 0; c < 3; ++c) p[c] = float(u[c]);
                }
            }
    run_in_chunks(nodes, 8192, [&](std::size_t b, std::size_t e) { exact(&t[b * 3], e - b); });
    if (out_rgb_ && post_gamma_) {
        float ymax = 0;
        for (float& v : t) {
            if (!std::isfinite(v)) v = 0;
            v = signed_pow(v, kOutGamma);
            ymax = std::max(ymax, std::fabs(v));
        }
        const float smax = std::sqrt(std::max(ymax, 1.0f));
        post_.resize(kPostSize);
        for (int i = 0; i < kPostSize; ++i) {
            const double s = double(smax) * i / (kPostSize - 1);
            post_[std::size_t(i)] = float(std::pow(s * s, 1.0 / kOutGamma));
        }
        post_scale_ = float(kPostSize - 1) / smax;
    } else {
        for (float& v : t)
            if (!std::isfinite(v)) v = 0;
    }
    table_ = std::move(t);
    mark_exact_cells(exact);
}

void Lut3D::mark_exact_cells(const std::function<void(float*, std::size_t)>& exact) {
    constexpr int g = kGrid, cells = kGrid - 1;
    const std::size_t count = std::size_t(cells) * cells * cells;
    exact_cell_.assign(count, 0);
    // Points inside every cell, off the nodes.
    constexpr int kProbes = 5;
    const double offsets[kProbes][3] = {
        {0.5, 0.5, 0.5}, {0.2, 0.8, 0.35}, {0.8, 0.2, 0.65}, {0.35, 0.3, 0.85}, {0.7, 0.65, 0.15}};
    std::vector<float> probe(count * kProbes * 3);
    for (int i = 0; i < cells; ++i)
        for (int j = 0; j < cells; ++j)
            for (int k = 0; k < cells; ++k)
                for (int o = 0; o < kProbes; ++o) {
                    const std::size_t cell = (std::size_t(i) * cells + j) * cells + k;
                    float* p = &probe[(cell * kProbes + std::size_t(o)) * 3];
                    double u[3] = {(i + offsets[o][0]) / (g - 1), (j + offsets[o][1]) / (g - 1),
                                   (k + offsets[o][2]) / (g - 1)};
                    if (in_lab_) {
                        p[0] = float(100.0 * (sqrt_shaper_ ? u[0] * u[0] : u[0]));
                        p[1] = float(256.0 * u[1] - 128.0);
                        p[2] = float(256.0 * u[2] - 128.0);
                    } else {
                        for (int c = 0; c < 3; ++c) p[c] = float(sqrt_shaper_ ? u[c] * u[c] : u[c]);
                    }
                }
    std::vector<float> truth = probe;
    run_in_chunks(count * kProbes, 8192, [&](std::size_t b, std::size_t e) { exact(&truth[b * 3], e - b); });
    std::vector<std::size_t> misses;
    apply(probe.data(), count * kProbes, misses);
    // RGB is compared in a roughly perceptual scale: gamma-encoded outputs as
    // they are, linear outputs (mid-grey below 0.3) by their cube roots.
    const bool linear_out = out_rgb_ && !post_gamma_;
    // About a twentieth of a delta-E: RGB channels count as L*/100, Lab by
    // its Euclidean distance.
    const float rgb_tolerance = 0.0005f, lab_tolerance = 0.05f;
    for (std::size_t q = 0; q < count * kProbes; ++q) {
        const float* want = &truth[q * 3];
        const float* got = &probe[q * 3];
        bool bad = false;
        if (out_rgb_) {
            for (int c = 0; c < 3; ++c) {
                const float d = linear_out ? std::cbrt(want[c]) - std::cbrt(got[c]) : want[c] - got[c];
                bad = bad || !(std::fabs(d) <= rgb_tolerance);
            }
        } else {
            const float d0 = want[0] - got[0], d1 = want[1] - got[1], d2 = want[2] - got[2];
            bad = !(d0 * d0 + d1 * d1 + d2 * d2 <= lab_tolerance * lab_tolerance);
        }
        if (bad) exact_cell_[q / kProbes] = 1;
    }
}

void Lut3D::build(bool in_lab, bool out_rgb, const std::function<void(float*, std::size_t)>& exact) {
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
    // Gamma-encoded RGB outputs are stored in linear light: their mid-grey
    // (L* 50) is above 0.3, a linear output's about 0.18.
    if (out_rgb) {
        float grey[3] = {50.0f, 0.0f, 0.0f};
        if (!in_lab) grey[0] = grey[1] = grey[2] = 0.46f;
        exact(grey, 1);
        post_gamma_ = grey[1] > 0.3f;
    }
    fill(sqrt_shaper, exact);
}

double Lut3D::exact_cell_share() const {
    if (exact_cell_.empty()) return 0.0;
    std::size_t n = 0;
    for (std::uint8_t f : exact_cell_) n += f;
    return double(n) / double(exact_cell_.size());
}

void Lut3D::apply(float* px, std::size_t n, std::vector<std::size_t>& misses) const {
    constexpr int g = kGrid;
    constexpr float steps = float(g - 1);
    constexpr std::size_t s0 = std::size_t(g) * g * 3, s1 = std::size_t(g) * 3, s2 = 3;
    const float* tab = table_.data();
    const float* post = post_.data();
    const float post_max = float(kPostSize - 1);
    for (std::size_t p = 0; p < n; ++p) {
        float* v = px + 3 * p;
        float u0, u1, u2;
        if (in_lab_) {
            const float l = v[0] * 0.01f;
            u0 = sqrt_shaper_ ? std::sqrt(l) : l;
            u1 = (v[1] + 128.0f) * (1.0f / 256.0f);
            u2 = (v[2] + 128.0f) * (1.0f / 256.0f);
            if (!(l >= 0.0f && l <= 1.0f && u1 >= 0.0f && u1 <= 1.0f && u2 >= 0.0f && u2 <= 1.0f)) {
                misses.push_back(p);
                continue;
            }
        } else {
            if (!(v[0] >= 0.0f && v[0] <= 1.0f && v[1] >= 0.0f && v[1] <= 1.0f && v[2] >= 0.0f && v[2] <= 1.0f)) {
                misses.push_back(p);
                continue;
            }
            if (sqrt_shaper_) {
                u0 = std::sqrt(v[0]);
                u1 = std::sqrt(v[1]);
                u2 = std::sqrt(v[2]);
            } else {
                u0 = v[0];
                u1 = v[1];
                u2 = v[2];
            }
        }
        const float x = u0 * steps, y = u1 * steps, z = u2 * steps;
        const int i = std::min(int(x), g - 2), j = std::min(int(y), g - 2), k = std::min(int(z), g - 2);
        if (!exact_cell_.empty() && exact_cell_[(std::size_t(i) * (g - 1) + std::size_t(j)) * (g - 1) + std::size_t(k)]) {
            misses.push_back(p);
            continue;
        }
        const float fx = x - float(i), fy = y - float(j), fz = z - float(k);
        const float* c000 = tab + std::size_t(i) * s0 + std::size_t(j) * s1 + std::size_t(k) * s2;
        const float* c111 = c000 + s0 + s1 + s2;
        const float *a, *b;
        float w0, w1, w2, w3;  // weights of c000, a, b, c111
        if (fx >= fy) {
            if (fy >= fz) {         // x >= y >= z
                a = c000 + s0; b = c000 + s0 + s1;
                w0 = 1 - fx; w1 = fx - fy; w2 = fy - fz; w3 = fz;
            } else if (fx >= fz) {  // x >= z > y
                a = c000 + s0; b = c000 + s0 + s2;
                w0 = 1 - fx; w1 = fx - fz; w2 = fz - fy; w3 = fy;
            } else {                // z > x >= y
                a = c000 + s2; b = c000 + s0 + s2;
                w0 = 1 - fz; w1 = fz - fx; w2 = fx - fy; w3 = fy;
            }
        } else {
            if (fz >= fy) {         // z >= y > x
                a = c000 + s2; b = c000 + s1 + s2;
                w0 = 1 - fz; w1 = fz - fy; w2 = fy - fx; w3 = fx;
            } else if (fz >= fx) {  // y > z >= x
                a = c000 + s1; b = c000 + s1 + s2;
                w0 = 1 - fy; w1 = fy - fz; w2 = fz - fx; w3 = fx;
            } else {                // y > x > z
                a = c000 + s1; b = c000 + s0 + s1;
                w0 = 1 - fy; w1 = fy - fx; w2 = fx - fz; w3 = fz;
            }
        }
        for (int c = 0; c < 3; ++c) {
            float r = w0 * c000[c] + w1 * a[c] + w2 * b[c] + w3 * c111[c];
            if (post_gamma_) {
                const float s = std::sqrt(std::fabs(r)) * post_scale_;
                const float si = std::min(s, post_max - 1.0f);
                const int pi = int(si);
                const float pf = s - float(pi);
                const float o = post[pi] + pf * (post[pi + 1] - post[pi]);
                r = r < 0 ? -o : o;
            }
            v[c] = r;
        }
    }
}

}  // namespace dvk
