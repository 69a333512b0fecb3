// VCD: variance-of-colour-differences demosaicing. Green is estimated along
// the row or the column when the gradients differ clearly, else the variances
// of colour differences choose between the directional and the mixed estimate;
// red and blue then follow from the median or the flatter pair of colour
// differences. Works in the 0..65535 range directly in the band.
//
// The estimates are not offset by half a step of that range (+2 before a
// division by 4, + 0.5 after a difference), as integer forms of the method
// round: in floats such an offset only biases the interpolated values against
// the measured ones and the border fill's, so that a flat mosaic would not
// come back flat.
#include <algorithm>
#include <cmath>

#include "pipeline/demosaic/cfa_map.h"
#include "pipeline/demosaic/demosaic.h"

namespace dvk {

namespace {

constexpr float kMax = 65535.0f;

inline float clip(float v) { return std::clamp(v, 0.0f, kMax); }

// F = 2 (9 sum x^2 - (sum x)^2) over the nine values of a line, written out
// over the five colour differences at offsets -4, -2, 0, +2, +4.
inline double line_variance(const double* D) {
    const double a = D[0], b = D[1], c = D[2], d = D[3], e = D[4];
    return 18 * a * a + 19 * b * b + 19 * c * c + 19 * d * d + 18 * e * e - 3 * (a * b + d * e) -
           7 * (b * c + c * d) - 12 * (a * c + a * d + b * e + c * e) - 16 * b * d - 9 * a * e;
}

// The colour of a site is fixed along a line with step 2, so a line of values
// v(-k) .. v(k) is read with a stride in floats.
struct Line {
    const float* p;  // the site's own channel
    long s;          // one step along the line, in floats
    float v(int k) const { return p[k * s]; }
    float g(int k) const { return p[k * s + 1 - own]; }
    int own;
    // Numerator of the directional green estimate at position k (a site of the
    // centre's colour).
    float raw(int k) const { return 2 * (g(k - 1) + v(k) + g(k + 1)) - v(k - 2) - v(k + 2); }
};

// Median of four: the mean of the two middle values.
inline float median4(float a, float b, float c, float d) {
    const float lo1 = std::min(a, b), hi1 = std::max(a, b), lo2 = std::min(c, d), hi2 = std::max(c, d);
    return (std::max(lo1, lo2) + std::min(hi1, hi2)) * 0.5f;
}

// The rule shared by both red/blue passes: G is the site's green, d[i] the four
// colour differences G - X at the neighbours, pair_a / pair_b the two index
// pairs, prefer: +1 pick pair_a, -1 pick pair_b, 0 use all four.
inline float colour_from_differences(float G, const float d[4], int prefer, int a0, int a1, int b0, int b1) {
    const float S = d[0] + d[1] + d[2] + d[3];
    int above = 0;
    for (int i = 0; i < 4; ++i) above += 4 * d[i] > S;
    float v;
    if (above & 1)
        v = G - median4(d[0], d[1], d[2], d[3]);
    else if (prefer > 0)
        v = G - (d[a0] + d[a1]) / 2;
    else if (prefer < 0)
        v = G - (d[b0] + d[b1]) / 2;
    else
        v = G - S / 4;
    return clip(v);
}

}  // namespace

void vcd_interpolate(DVKLib* d, float* band, unsigned width, unsigned height, float threshold) {
    if (!band || width == 0 || height == 0) return;
    const CfaMap cfa(d);
    const long w = width, h = height, w4 = w * 4;
    auto px = [&](long row, long col) { return band + (row * w + col) * 4; };
    auto scale_row = [&](long row, double factor, bool divide) {
        float* p = px(row, 0);
        for (long i = 0; i < w4; ++i) p[i] = float(divide ? p[i] / factor : p[i] * factor);
    };

    // Green at red and blue sites.
    auto green_row = [&](long row) {
        const std::uint8_t* around[5];
        for (int k = 0; k < 5; ++k) around[k] = cfa.row_around(unsigned(row + k - 2));
        for (long col = 6 + (cfa(unsigned(row), 6) & 1); col < w - 6; col += 2) {
            float* p = px(row, col);
            const int c = cfa(unsigned(row), unsigned(col));
            const Line hl{p + c, 4, c}, vl{p + c, w4, c};
            const float Hraw = hl.raw(0), Vraw = vl.raw(0);
            const float H = clip(Hraw * 0.25f), V = clip(Vraw * 0.25f);

            // Gradients over the 5 x 5 window, each site at its own channel.
            const long m = col % CfaMap::kPeriod;
            auto v = [&](long dy, long dx) { return px(row + dy, col + dx)[around[dy + 2][m + dx]]; };
            float gh = 0, gv = 0;
            for (long k = -2; k <= 2; ++k) {
                const float c0 = v(k, 0), r0 = v(0, k);
                gh += std::fabs(v(k, -2) - c0) + std::fabs(c0 - v(k, 2)) + std::fabs(v(k, -1) - c0) +
                      std::fabs(c0 - v(k, 1));
                gv += std::fabs(v(-2, k) - r0) + std::fabs(r0 - v(2, k)) + std::fabs(v(-1, k) - r0) +
                      std::fabs(r0 - v(1, k));
            }
            float e = gh / gv;
            if (e < 1) e = 1 / e;
            float G;
            if (e > threshold) {
                G = gv > gh ? H : V;
            } else {
                double dh[5], dv[5], mh[5], mv[5];
                for (int i = 0; i < 5; ++i) {
                    const int k = 2 * i - 4;
                    // Along the row.
                    const Line at_h{p + c + k * 4, 4, c}, at_hv{p + c + k * 4, w4, c};
                    const double vh_k = at_h.v(0);
                    dh[i] = double(at_h.raw(0)) - 4 * vh_k;
                    mh[i] = double(at_h.raw(0)) + double(at_hv.raw(0)) - 8 * vh_k;
                    // Along the column.
                    const Line at_v{p + c + k * w4, w4, c}, at_vh{p + c + k * w4, 4, c};
                    const double vv_k = at_v.v(0);
                    dv[i] = double(at_v.raw(0)) - 4 * vv_k;
                    mv[i] = double(at_vh.raw(0)) + double(at_v.raw(0)) - 8 * vv_k;
                }
                const double vh = line_variance(dh), vv = line_variance(dv);
                const double m = line_variance(mh) + line_variance(mv);
                if (std::min(vh, vv) > m * 0.125)
                    G = clip((Hraw + Vraw) * 0.125f);
                else
                    G = vh > vv ? V : H;
            }
            p[1] = G;
        }
    };

    // The missing colour at red and blue sites from the four diagonals.
    auto diagonal_row = [&](long row) {
        for (long col = 1 + (cfa(unsigned(row), 1) & 1); col < w - 1; col += 2) {
            float* p = px(row, col);
            const int K = 2 - cfa(unsigned(row), unsigned(col));
            const float* nb[4] = {p - w4 - 4, p - w4 + 4, p + w4 - 4, p + w4 + 4};  // ul, ur, dl, dr
            float dd[4];
            for (int i = 0; i < 4; ++i) dd[i] = nb[i][1] - nb[i][K];
            const float a = std::fabs(nb[0][K] - nb[3][K]), b = std::fabs(nb[1][K] - nb[2][K]);
            const int prefer = b > a ? 1 : a > b ? -1 : 0;
            p[K] = colour_from_differences(p[1], dd, prefer, 0, 3, 1, 2);
        }
    };

    // Red and blue at green sites from the four axial neighbours.
    auto axial_row = [&](long row) {
        for (long col = 1 + (cfa(unsigned(row), 2) & 1); col < w - 1; col += 2) {
            float* p = px(row, col);
            const int c0 = cfa(unsigned(row), unsigned(col + 1));
            const float* nb[4] = {p - w4, p - 4, p + 4, p + w4};  // above, left, right, below
            for (int c : {c0, 2 - c0}) {
                float dd[4];
                for (int i = 0; i < 4; ++i) dd[i] = p[1] - nb[i][c];
                const float hg = std::fabs(nb[1][c] - nb[2][c]), vg = std::fabs(nb[0][c] - nb[3][c]);
                const int prefer = hg > vg ? 1 : vg > hg ? -1 : 0;
                p[c] = colour_from_differences(p[1], dd, prefer, 0, 3, 1, 2);
            }
        }
    };

    // Each pass reads at most six rows around the row it writes, so they run
    // down the band a few rows apart while those rows are in cache: green six
    // rows behind the scaling, the diagonal pass one row behind green, the
    // axial pass one behind that, and the scaling back only once green no
    // longer reads the row. Every value is the one the pass-by-pass order
    // gives.
    for (long i = 0; i < h + 12; ++i) {
        if (i < h) scale_row(i, 65535.0, false);
        if (i - 6 >= 6 && i - 6 < h - 6) green_row(i - 6);
        if (i - 7 >= 1 && i - 7 < h - 1) diagonal_row(i - 7);
        if (i - 8 >= 1 && i - 8 < h - 1) axial_row(i - 8);
        if (i - 12 >= 0 && i - 12 < h) scale_row(i - 12, 65535.0, true);
    }
}

}  // namespace dvk
