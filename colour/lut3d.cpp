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
    if (out_rgb_) {
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
    // RGB is compared both as stored and in linear light.
    const float tolerance = out_rgb_ ? 0.0002f : 0.02f;
    for (std::size_t q = 0; q < count * kProbes; ++q)
        for (int c = 0; c < 3; ++c) {
            const float want = truth[q * 3 + c], got = probe[q * 3 + c];
            if (out_rgb_ && !(std::fabs(signed_pow(want, kOutGamma) - signed_pow(got, kOutGamma)) <= tolerance))
                exact_cell_[q / kProbes] = 1;
            if (out_rgb_ && !(std::fabs(want - got) <= 0.0008f)) exact_cell_[q / kProbes] = 1;
            if (out_rgb_) continue;
            if (!(std::fabs(want - got) <= tolerance)) exact_cell_[q / kProbes] = 1;
        }
}

void Lut3D::build(bool in_lab, bool out_rgb, const std::function<void(float*, std::size_t)>& exact) {
    in_lab_ = in_lab;
    out_rgb_ = out_rgb;
    // A fixed check sample over the input domain, away from the grid nodes.
    const std::size_t n = 4096;
    std::vector<float> sample(3 * n);
    std::uint32_t state = 0x9E3779B9u;
    for (float& v : sample) {
        state = state * 1664525u + 1013904223u;
        v = float(state >> 8) / float(1u << 24);
    }
    if (in_lab)
        for (std::size_t i = 0; i < n; ++i) {
            sample[3 * i] *= 100.0f;
            sample[3 * i + 1] = sample[3 * i + 1] * 256.0f - 128.0f;
            sample[3 * i + 2] = sample[3 * i + 2] * 256.0f - 128.0f;
        }
    std::vector<float> truth = sample;
    exact(truth.data(), n);
    auto error_of = [&]() {
        std::vector<float> mine = sample;
        std::vector<std::size_t> misses;
        apply(mine.data(), n, misses);
        for (std::size_t i : misses) exact(&mine[3 * i], 1);
        double sum = 0;
        for (std::size_t i = 0; i < 3 * n; ++i)
            if (std::isfinite(truth[i])) sum += std::fabs(double(mine[i]) - double(truth[i]));
        return sum;
    };
    fill(false, exact);
    const double uniform_error = error_of();
    Lut3D other;
    other.in_lab_ = in_lab;
    other.out_rgb_ = out_rgb;
    other.fill(true, exact);
    std::swap(*this, other);
    if (error_of() >= uniform_error) std::swap(*this, other);
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
            if (out_rgb_) {
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
