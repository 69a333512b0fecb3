#include "colour/lut3d.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include <xmmintrin.h>

#include "colour/parallel_chunks.h"
#include "colour/pixel_loop_clones.h"

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
void node_input(int g, int i, int j, int k, bool in_lab, bool sqrt_shaper, const double offset[3], float* p) {
    double u[3] = {(i + offset[0]) / (g - 1), (j + offset[1]) / (g - 1), (k + offset[2]) / (g - 1)};
    if (in_lab) {
        p[0] = float(kLabLMax * (sqrt_shaper ? u[0] * u[0] : u[0]));
        p[1] = float(kLabAbSpan * u[1] - 128.0);
        p[2] = float(kLabAbSpan * u[2] - 128.0);
    } else {
        for (int c = 0; c < 3; ++c) p[c] = float(sqrt_shaper ? u[c] * u[c] : u[c]);
    }
}

// Whether tetrahedral interpolation between the nodes of a grid of `g`
// points a side holds the transform: at points spread over the whole domain,
// the exact transform against the interpolation of its values at the four
// corners of the point's tetrahedron. Where the transform clips (at the
// encoding's limits) a few fail whatever the grid; a transform that bends
// between the nodes fails widely. The test is far tighter than the table's
// tolerance: the grid must hold the transform up to the exact transform's own
// rounding (a Lab table profile on these nodes stays within 0.01), for the
// cells of a coarse grid are large.
bool grid_holds(int g, bool in_lab, bool sqrt_shaper, const Lut3D::Convert& exact) {
    constexpr double kLinear = 0.02;
    constexpr std::size_t n = 256;
    constexpr int kPoints = 5;  // the point, then the four corners
    std::vector<float> px(n * kPoints * 3);
    std::vector<double> weight(n * 4);
    std::uint32_t state = 0x9E3779B9u;
    const double none[3] = {0, 0, 0};
    for (std::size_t s = 0; s < n; ++s) {
        int cell[3];
        double f[3];
        for (int c = 0; c < 3; ++c) {
            state = state * 1664525u + 1013904223u;
            const double x = double(state >> 8) / double(1u << 24) * (g - 1);
            cell[c] = std::min(int(x), g - 2);
            f[c] = x - cell[c];
        }
        float* p = &px[s * kPoints * 3];
        node_input(g, cell[0], cell[1], cell[2], in_lab, sqrt_shaper, f, p);
        // The walk from the cell's first node along the axes of the largest
        // fraction first, as the table goes.
        int order[3] = {0, 1, 2};
        std::sort(order, order + 3, [&](int a, int b) { return f[a] > f[b]; });
        int at[3] = {cell[0], cell[1], cell[2]};
        node_input(g, at[0], at[1], at[2], in_lab, sqrt_shaper, none, p + 3);
        for (int step = 0; step < 3; ++step) {
            ++at[order[step]];
            node_input(g, at[0], at[1], at[2], in_lab, sqrt_shaper, none, p + 3 * (step + 2));
        }
        const double hi = f[order[0]], mid = f[order[1]], lo = f[order[2]];
        weight[s * 4] = 1.0 - hi;
        weight[s * 4 + 1] = hi - mid;
        weight[s * 4 + 2] = mid - lo;
        weight[s * 4 + 3] = lo;
    }
    exact(px.data(), n * kPoints);
    std::size_t failed = 0;
    for (std::size_t s = 0; s < n; ++s) {
        const float* p = &px[s * kPoints * 3];
        double d2 = 0;
        for (int c = 0; c < 3; ++c) {
            double v = 0;
            for (int k = 0; k < 4; ++k) v += weight[s * 4 + std::size_t(k)] * p[3 * (k + 1) + c];
            d2 += (v - p[c]) * (v - p[c]);
        }
        if (!(d2 <= kLinear * kLinear)) ++failed;
    }
    return failed <= n / 100;
}

}  // namespace

void Lut3D::fill(bool sqrt_shaper, const Convert& source) {
    sqrt_shaper_ = sqrt_shaper;
    const int g = grid_;
    const std::size_t nodes = std::size_t(g) * g * g;
    const double none[3] = {0, 0, 0};
    std::vector<float> t(nodes * 3);
    std::vector<float> packed(nodes * 4);
    // The nodes of each chunk go through the transform in one call.
    run_in_chunks(nodes, 8192, [&](std::size_t b, std::size_t e) {
        for (std::size_t q = b; q < e; ++q)
            node_input(g, int(q / (std::size_t(g) * g)), int(q / std::size_t(g) % std::size_t(g)),
                       int(q % std::size_t(g)), in_lab_, sqrt_shaper, none, &t[q * 3]);
        source(&t[b * 3], e - b);
        // Four floats a node, so that a node is one vector load.
        for (std::size_t q = b; q < e; ++q) {
            for (int c = 0; c < 3; ++c) {
                float v = t[q * 3 + std::size_t(c)];
                if (!std::isfinite(v)) v = 0;
                if (post_mode_ == Post::Gamma) v = signed_pow(v, kOutGamma);
                packed[q * 4 + std::size_t(c)] = v;
            }
            packed[q * 4 + 3] = 0.0f;
        }
    });
    table_ = std::move(packed);
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

float Lut3D::compared_value(int c, float r) const {
    if (!out_rgb_) return r;
    if (post_mode_ != Post::None) {
        const float* pc = post_.data() + std::size_t(c) * kPostSize;
        const bool negative = r < 0;
        const float s = negative && post_mode_ == Post::Encoded ? 0.0f : std::sqrt(std::fabs(r)) * post_scale_;
        const int pi = int(std::min(s, float(kPostSize - 2)));
        const float o = pc[pi] + (s - float(pi)) * (pc[pi + 1] - pc[pi]);
        r = negative && post_mode_ == Post::Gamma ? -o : o;
    }
    // Unclamped: the clamp of both sides never widens their difference, and
    // corners clamped alike would hide what happens inside the cell.
    return linear_out_ ? std::cbrt(r) : r;
}

void Lut3D::mark_exact_cells(const Convert& exact) {
    const int g = grid_, cells = grid_ - 1;
    const std::size_t nodes = std::size_t(g) * g * g;
    const std::size_t count = std::size_t(cells) * cells * cells;
    // Steps between nodes in floats, four a node.
    const std::size_t s0 = std::size_t(g) * g * 4, s1 = std::size_t(g) * 4, s2 = 4;
    exact_cell_.clear();  // none while the probes go through the table
    const float* tab = table_.data();
    // Curvature at each node: the sum of the magnitudes of its second
    // differences along the three axes (from the nearest inner node at the
    // border).
    std::vector<float> curv(nodes * 4);
    run_in_chunks(nodes, 16384, [&](std::size_t b, std::size_t e) {
        for (std::size_t q = b; q < e; ++q) {
            const int i = int(q / (std::size_t(g) * g)), j = int(q / g % g), k = int(q % g);
            const std::size_t ci = std::size_t(std::clamp(i, 1, g - 2)), cj = std::size_t(std::clamp(j, 1, g - 2)),
                              ck = std::size_t(std::clamp(k, 1, g - 2));
            const float* x = &tab[ci * s0 + std::size_t(j) * s1 + std::size_t(k) * s2];
            const float* y = &tab[std::size_t(i) * s0 + cj * s1 + std::size_t(k) * s2];
            const float* z = &tab[std::size_t(i) * s0 + std::size_t(j) * s1 + ck * s2];
            for (int c = 0; c < 3; ++c)
                curv[q * 4 + std::size_t(c)] = std::fabs(x[c - s0] - 2.0f * x[c] + x[c + s0]) +
                                               std::fabs(y[c - s1] - 2.0f * y[c] + y[c + s1]) +
                                               std::fabs(z[c - s2] - 2.0f * z[c] + z[c + s2]);
        }
    });
    // Within a tenth of a delta-E: RGB channels count as L*/100 (linear
    // outputs by their cube roots, within 0..1 as the conversions clamp them),
    // Lab by its Euclidean distance.
    constexpr float kRgbTolerance = 0.0005f, kLabTolerance = 0.08f;
    // The cells worth probing: those whose bound of the interpolation error
    // from the second differences (an eighth of the largest curvature of the
    // corners plus a quarter of the twists of the faces) exceeds this many
    // tolerances. The bound takes the worst corner and every term at its
    // largest, so it runs well above the real error: below one and a half
    // tolerances the probes found no failing cell of the pipeline's
    // transforms (camera to UPLab, UPLab to Lab and to the output spaces).
    constexpr float kScreenShare = 1.5f;
    enum : std::uint8_t { kSmooth = 0, kProbe = 1, kBad = 2 };
    std::vector<std::uint8_t> state(count, kSmooth);
    const bool lab_out = !out_rgb_;
    run_in_chunks(count, 4096, [&](std::size_t b, std::size_t end) {
        std::size_t i = b / (std::size_t(cells) * cells), j = b / cells % cells, k = b % cells;
        for (std::size_t cell = b; cell < end; ++cell) {
            const std::size_t base = i * s0 + j * s1 + k * s2;
            if (++k == std::size_t(cells)) {
                k = 0;
                if (++j == std::size_t(cells)) {
                    j = 0;
                    ++i;
                }
            }
            float e[3];
            for (int c = 0; c < 3; ++c) {
                float m = 0, lo = tab[base + std::size_t(c)], hi = lo;
                for (int corner = 0; corner < 8; ++corner) {
                    const std::size_t q = base + (corner & 4 ? s0 : 0) + (corner & 2 ? s1 : 0) +
                                          (corner & 1 ? s2 : 0) + std::size_t(c);
                    m = std::max(m, curv[q]);
                    lo = std::min(lo, tab[q]);
                    hi = std::max(hi, tab[q]);
                }
                const float* f = &tab[base + std::size_t(c)];
                float t = 0;
                for (int side = 0; side < 2; ++side) {
                    const std::size_t oz = side ? s2 : 0, oy = side ? s1 : 0, ox = side ? s0 : 0;
                    const float txy = std::fabs(f[oz] - f[oz + s0] - f[oz + s1] + f[oz + s0 + s1]);
                    const float txz = std::fabs(f[oy] - f[oy + s0] - f[oy + s2] + f[oy + s0 + s2]);
                    const float tyz = std::fabs(f[ox] - f[ox + s1] - f[ox + s2] + f[ox + s1 + s2]);
                    t = std::max(t, txy + txz + tyz);
                }
                // The bound in the table's units, then in the compared units
                // where their curve is steepest: at the value of the cell's
                // range nearest zero.
                const float es = (m + 2.0f * t) * 0.125f;
                const float x = std::clamp(0.0f, lo - es, hi + es);
                if (lab_out) {  // compared as stored
                    e[c] = std::max(std::fabs((x + es) - x), std::fabs(x - (x - es)));
                    continue;
                }
                const float px = compared_value(c, x);
                e[c] = std::max(std::fabs(compared_value(c, x + es) - px), std::fabs(px - compared_value(c, x - es)));
            }
            const bool smooth = out_rgb_ ? std::max(e[0], std::max(e[1], e[2])) <= kRgbTolerance * kScreenShare
                                         : e[0] * e[0] + e[1] * e[1] + e[2] * e[2] <=
                                               kLabTolerance * kScreenShare * kLabTolerance * kScreenShare;
            state[cell] = smooth ? kSmooth : kProbe;
        }
    });
    // Points inside every cell, off the nodes.
    constexpr int kProbes = 5;
    const double offsets[kProbes][3] = {
        {0.5, 0.5, 0.5}, {0.2, 0.8, 0.35}, {0.8, 0.2, 0.65}, {0.35, 0.3, 0.85}, {0.7, 0.65, 0.15}};
    // Probes the listed cells against the exact transform; marks the bad ones.
    const auto probe_cells = [&](const std::vector<std::uint32_t>& list) {
        run_in_chunks(list.size(), 512, [&](std::size_t b, std::size_t e) {
            const std::size_t n = (e - b) * kProbes;
            std::vector<float> probe(n * 3);
            for (std::size_t p = b; p < e; ++p) {
                const std::uint32_t cell = list[p];
                const int i = int(cell / (cells * cells)), j = int(cell / cells % cells), k = int(cell % cells);
                for (int o = 0; o < kProbes; ++o)
                    node_input(g, i, j, k, in_lab_, sqrt_shaper_, offsets[o], &probe[((p - b) * kProbes + o) * 3]);
            }
            std::vector<float> truth = probe;
            exact(truth.data(), n);
            std::vector<std::size_t> misses;
            apply(probe.data(), n, misses);
            for (std::size_t q = 0; q < n; ++q) {
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
                if (bad) state[list[b + q / kProbes]] = kBad;
            }
        });
    };
    std::vector<std::uint32_t> list;
    for (std::size_t cell = 0; cell < count; ++cell)
        if (state[cell] == kProbe) list.push_back(std::uint32_t(cell));
    // Cells that fail come in clusters (along a clipping edge): the smooth
    // neighbours of a bad cell are probed as well, until no new bad cell turns up.
    while (!list.empty()) {
        probe_cells(list);
        std::vector<std::uint32_t> next;
        for (std::uint32_t cell : list) {
            if (state[cell] != kBad) continue;
            const int i = int(cell / (cells * cells)), j = int(cell / cells % cells), k = int(cell % cells);
            for (int di = -1; di <= 1; ++di)
                for (int dj = -1; dj <= 1; ++dj)
                    for (int dk = -1; dk <= 1; ++dk) {
                        const int a = i + di, bj = j + dj, ck = k + dk;
                        if (a < 0 || a >= cells || bj < 0 || bj >= cells || ck < 0 || ck >= cells) continue;
                        const std::size_t nb = (std::size_t(a) * cells + std::size_t(bj)) * cells + std::size_t(ck);
                        if (state[nb] != kSmooth) continue;
                        state[nb] = kProbe;
                        next.push_back(std::uint32_t(nb));
                    }
        }
        list = std::move(next);
    }
    std::vector<std::uint64_t> flags((count + 63) / 64, 0);
    bool any = false;
    for (std::size_t cell = 0; cell < count; ++cell)
        if (state[cell] == kBad) {
            flags[cell / 64] |= std::uint64_t(1) << (cell % 64);
            any = true;
            // The fourth float of a cell's first node marks it too, so that
            // the interpolation finds it in a node it loads anyway.
            const std::size_t i = cell / (std::size_t(cells) * cells), j = cell / cells % cells, k = cell % cells;
            table_[i * s0 + j * s1 + k * s2 + 3] = 1.0f;
        }
    if (any) exact_cell_ = std::move(flags);
}

namespace {
std::atomic<std::size_t> tables_built{0};
}

std::size_t Lut3D::builds() { return tables_built.load(); }

bool Lut3D::identical(const Lut3D& o) const {
    const auto same_bits = [](const std::vector<float>& a, const std::vector<float>& b) {
        return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
    };
    return grid_ == o.grid_ && in_lab_ == o.in_lab_ && out_rgb_ == o.out_rgb_ && sqrt_shaper_ == o.sqrt_shaper_ &&
           linear_out_ == o.linear_out_ && post_mode_ == o.post_mode_ &&
           std::memcmp(&post_scale_, &o.post_scale_, sizeof post_scale_) == 0 && same_bits(table_, o.table_) &&
           same_bits(post_, o.post_) && exact_cell_ == o.exact_cell_;
}

void Lut3D::build(bool in_lab, bool out_rgb, const Convert& exact, const Convert& linear, const Encode& encode) {
    tables_built.fetch_add(1);
    in_lab_ = in_lab;
    out_rgb_ = out_rgb;
    grid_ = kGrid;
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
        // Lab to Lab: a Lab table profile of 33 points a side puts its
        // nodes on those of the coarse grid (see the grid's Lab range) and is
        // linear in between; other transforms take the fine grid.
        grid_ = in_lab && grid_holds(kCoarseGrid, in_lab, sqrt_shaper, exact) ? kCoarseGrid : kGrid;
        fill(sqrt_shaper, exact);
    }
    mark_exact_cells(exact);
}

double Lut3D::exact_cell_share() const {
    if (exact_cell_.empty()) return 0.0;
    std::size_t n = 0;
    for (std::uint64_t f : exact_cell_) n += std::size_t(__builtin_popcountll(f));
    const std::size_t cells = std::size_t(grid_ - 1);
    return double(n) / double(cells * cells * cells);
}

namespace {

constexpr std::size_t kApplyBlock = 256;

// Where the pixels of a block fall: the float offsets of the four nodes of
// each one's tetrahedron, their weights and whether it lies in the table's
// domain (pixels outside get node 0 and weight 1).
struct Located {
    alignas(64) std::int32_t n0[kApplyBlock], na[kApplyBlock], nb[kApplyBlock];
    alignas(64) float w0[kApplyBlock], w1[kApplyBlock], w2[kApplyBlock], w3[kApplyBlock];
    alignas(64) std::int32_t inside[kApplyBlock];
};

struct Grid {
    float offset[3], scale[3];
    std::int32_t root[3];
    std::int32_t size;  // nodes a side
};

// Grid coordinates of one input: (v + offset) x scale, square roots where
// `root`, then the tetrahedron from the order of the three fractions: the
// walk goes along the axis of the largest fraction first and reaches the far
// corner along the axis of the smallest last.
struct GridScalars {
    float o0, o1, o2, k0, k1, k2;
    bool r0, r1, r2;
    float steps;                       // cells a side
    std::int32_t last, step0, step1;  // the last cell's index; steps between nodes in floats
};

__attribute__((always_inline)) inline void locate_one(float v0, float v1, float v2, GridScalars g, std::size_t p,
                                                      Located& at) {
    const float steps = g.steps;
    const std::int32_t step0 = g.step0, step1 = g.step1, step2 = 4;
    float u0 = (v0 + g.o0) * g.k0, u1 = (v1 + g.o1) * g.k1, u2 = (v2 + g.o2) * g.k2;
    // NaN fails too.
    const bool in = (u0 >= 0.0f) & (u0 <= 1.0f) & (u1 >= 0.0f) & (u1 <= 1.0f) & (u2 >= 0.0f) & (u2 <= 1.0f);
    u0 = in ? u0 : 0.0f;
    u1 = in ? u1 : 0.0f;
    u2 = in ? u2 : 0.0f;
    const float x = (g.r0 ? std::sqrt(u0) : u0) * steps, y = (g.r1 ? std::sqrt(u1) : u1) * steps,
                z = (g.r2 ? std::sqrt(u2) : u2) * steps;
    const std::int32_t i = std::min(std::int32_t(x), g.last), j = std::min(std::int32_t(y), g.last),
                       k = std::min(std::int32_t(z), g.last);
    const float fx = x - float(i), fy = y - float(j), fz = z - float(k);
    const bool xy = fx >= fy, yz = fy >= fz, xz = fx >= fz;
    const std::int32_t first = xy & xz ? step0 : (yz ? step1 : step2);
    const std::int32_t last = xz & yz ? step2 : (xy ? step1 : step0);
    const float hi = std::max(fx, std::max(fy, fz)), lo = std::min(fx, std::min(fy, fz));
    const float mid = fx + fy + fz - hi - lo;
    const std::int32_t base = i * step0 + j * step1 + k * step2;
    at.n0[p] = base;
    at.na[p] = base + first;
    at.nb[p] = base + (step0 + step1 + step2) - last;
    at.w0[p] = 1.0f - hi;
    at.w1[p] = hi - mid;
    at.w2[p] = mid - lo;
    at.w3[p] = lo;
    at.inside[p] = in;
}

// The grid places of packed triples.
DVK_COLOUR_CLONES void locate(const float* px, std::size_t n, const Grid& grid, Located& at) {
    const float o0 = grid.offset[0], o1 = grid.offset[1], o2 = grid.offset[2];
    const float k0 = grid.scale[0], k1 = grid.scale[1], k2 = grid.scale[2];
    const bool r0 = grid.root[0], r1 = grid.root[1], r2 = grid.root[2];
    const float steps = float(grid.size - 1);
    const std::int32_t last = grid.size - 2, step0 = grid.size * grid.size * 4, step1 = grid.size * 4;
    const GridScalars g{o0, o1, o2, k0, k1, k2, r0, r1, r2, steps, last, step0, step1};
    for (std::size_t p = 0; p < n; ++p) locate_one(px[3 * p], px[3 * p + 1], px[3 * p + 2], g, p, at);
}

// The grid places of three planes.
DVK_COLOUR_CLONES void locate_planes(const float* p0, const float* p1, const float* p2, std::size_t n,
                                   const Grid& grid, Located& at) {
    const float o0 = grid.offset[0], o1 = grid.offset[1], o2 = grid.offset[2];
    const float k0 = grid.scale[0], k1 = grid.scale[1], k2 = grid.scale[2];
    const bool r0 = grid.root[0], r1 = grid.root[1], r2 = grid.root[2];
    const float steps = float(grid.size - 1);
    const std::int32_t last = grid.size - 2, step0 = grid.size * grid.size * 4, step1 = grid.size * 4;
    const GridScalars g{o0, o1, o2, k0, k1, k2, r0, r1, r2, steps, last, step0, step1};
    for (std::size_t p = 0; p < n; ++p) locate_one(p0[p], p1[p], p2[p], g, p, at);
}

// The output of `r` through a post table (see Lut3D::apply), per channel.
DVK_COLOUR_CLONES void post_curve(const float* res, std::size_t n, const float* table, float scale, float last,
                                std::int32_t encoded, float* out) {
    for (std::size_t p = 0; p < n; ++p) {
        const float r = res[4 * p];
        const bool negative = r < 0.0f;
        const float s = negative & (encoded != 0) ? 0.0f : std::sqrt(std::fabs(r)) * scale;
        const std::int32_t i = std::int32_t(std::min(s, last));
        const float o = table[i] + (s - float(i)) * (table[i + 1] - table[i]);
        out[p] = negative & (encoded == 0) ? -o : o;
    }
}

// Writes channel `c` of the pixels taken from `src`.
DVK_COLOUR_CLONES void put_channel(float* px, std::size_t n, const float* src, const std::int32_t* taken, int c) {
    for (std::size_t p = 0; p < n; ++p) {
        const float v = px[3 * p + std::size_t(c)];
        px[3 * p + std::size_t(c)] = taken[p] ? src[p] : v;
    }
}

typedef float Node __attribute__((vector_size(16)));

inline Node load_node(const float* p) {
    Node v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The tetrahedral interpolation of pixel p; *exact is set when the pixel lies
// outside the domain or in a cell left to the exact transform (flagged in the
// fourth float of the cell's first node). The result's fourth float is 0.
__attribute__((always_inline)) inline Node interpolate(const float* tab, const Located& at, std::size_t p,
                                                       std::int32_t diagonal, bool* exact) {
    const Node first = load_node(tab + at.n0[p]);
    const Node r = at.w0[p] * first + at.w1[p] * load_node(tab + at.na[p]) + at.w2[p] * load_node(tab + at.nb[p]) +
                   at.w3[p] * load_node(tab + at.n0[p] + diagonal);
    *exact = !at.inside[p] | (first[3] != 0.0f);
    return r;
}

// Stores the first three floats of a node (two stores: no stack copy, no
// wider store overlapping the next pixel).
__attribute__((always_inline)) inline void store3(float* q, Node r) {
    _mm_storel_pi(reinterpret_cast<__m64*>(q), r);
    _mm_store_ss(q + 2, _mm_movehl_ps(r, r));
}

// Writes the interpolated pixels of a block interleaved into `out`; the
// pixels left to the exact transform keep what `out` held and are listed
// (their index plus `index0`).
void store_interleaved(const float* tab, std::int32_t diagonal, const Located& at, std::size_t m, float* out,
                       std::size_t index0, std::vector<std::size_t>& misses) {
    for (std::size_t p = 0; p < m; ++p) {
        bool exact;
        const Node r = interpolate(tab, at, p, diagonal, &exact);
        if (exact)
            misses.push_back(index0 + p);
        else
            store3(out + 3 * p, r);
    }
}

// How the inputs of a table map onto its grid.
Grid grid_of(int size, bool in_lab, bool sqrt_shaper) {
    const std::int32_t r = sqrt_shaper;
    Grid g{{0, 0, 0}, {1, 1, 1}, {r, r, r}, size};
    if (in_lab) {
        g.offset[1] = g.offset[2] = 128.0f;
        g.scale[0] = float(1.0 / kLabLMax);
        g.scale[1] = g.scale[2] = float(1.0 / kLabAbSpan);
        g.root[1] = g.root[2] = 0;
    }
    return g;
}

// Runs each(start, m, at) over n pixels in blocks of at most kApplyBlock,
// once locate_block(start, m, at) has located the block's m pixels on the grid.
// Inlined, so that each caller's loop compiles as if written out there.
template <class LocateBlock, class Each>
[[gnu::always_inline]] inline void in_located_blocks(std::size_t n, LocateBlock&& locate_block, Each&& each) {
    Located at;
    for (std::size_t start = 0; start < n; start += kApplyBlock) {
        const std::size_t m = std::min(kApplyBlock, n - start);
        locate_block(start, m, at);
        each(start, m, at);
    }
}

}  // namespace

void Lut3D::apply(float* px, std::size_t n, std::vector<std::size_t>& misses) const {
    const float* tab = table_.data();
    const Grid g = grid_of(grid_, in_lab_, sqrt_shaper_);
    const std::int32_t diagonal = cell_diagonal();
    alignas(64) float res[4 * kApplyBlock];
    alignas(64) float out[kApplyBlock];
    alignas(64) std::int32_t taken[kApplyBlock];
    in_located_blocks(
        n, [&](std::size_t start, std::size_t m, Located& at) { locate(px + 3 * start, m, g, at); },
        [&](std::size_t start, std::size_t m, const Located& at) {
            float* block = px + 3 * start;
            if (post_mode_ == Post::None) {
                store_interleaved(tab, diagonal, at, m, block, start, misses);
                return;
            }
            for (std::size_t p = 0; p < m; ++p) {
                bool exact;
                const Node r = interpolate(tab, at, p, diagonal, &exact);
                std::memcpy(res + 4 * p, &r, sizeof r);
                taken[p] = !exact;
                if (exact) misses.push_back(start + p);
            }
            for (int c = 0; c < 3; ++c) {
                post_curve(res + c, m, post_.data() + std::size_t(c) * kPostSize, post_scale_,
                           float(kPostSize - 2), post_mode_ == Post::Encoded, out);
                put_channel(block, m, out, taken, c);
            }
        });
}

void Lut3D::apply_planes_in(const float* in0, const float* in1, const float* in2, std::size_t n, float* out,
                            std::vector<std::size_t>& misses) const {
    const float* tab = table_.data();
    const Grid g = grid_of(grid_, in_lab_, sqrt_shaper_);
    const std::int32_t diagonal = cell_diagonal();
    in_located_blocks(
        n,
        [&](std::size_t start, std::size_t m, Located& at) {
            locate_planes(in0 + start, in1 + start, in2 + start, m, g, at);
        },
        [&](std::size_t start, std::size_t m, const Located& at) {
            store_interleaved(tab, diagonal, at, m, out + 3 * start, start, misses);
        });
}

void Lut3D::apply_planes_out(const float* px, std::size_t n, float* out0, float* out1, float* out2,
                             std::vector<std::size_t>& refused) const {
    const float* tab = table_.data();
    const Grid g = grid_of(grid_, in_lab_, sqrt_shaper_);
    const std::int32_t diagonal = cell_diagonal();
    in_located_blocks(
        n, [&](std::size_t start, std::size_t m, Located& at) { locate(px + 3 * start, m, g, at); },
        [&](std::size_t start, std::size_t m, const Located& at) {
            for (std::size_t p = 0; p < m; ++p) {
                bool exact;
                const Node r = interpolate(tab, at, p, diagonal, &exact);
                out0[start + p] = r[0];
                out1[start + p] = r[1];
                out2[start + p] = r[2];
                if (exact) refused.push_back(start + p);
            }
        });
}

}  // namespace dvk
