// LMMSE: linear minimum-mean-square-error estimate of the green-minus-colour
// differences from their horizontal and vertical estimates, on a work buffer
// with a zero margin of 10 cells around the band.
#include <algorithm>
#include <cstdio>
#include <ctime>

#include "pipeline/demosaic/cfa_map.h"
#include "pipeline/demosaic/demosaic.h"

namespace dvk {

namespace {

constexpr int kMargin = 10;
constexpr int kCell = 6;  // floats per work cell

// Gaussian of sigma 2 over nine taps.
constexpr float h0 = 0.2041637f, h1 = 0.18017383f, h2 = 0.12383155f, h3 = 0.06628225f, h4 = 0.027630553f;

inline float limit_between(float v, float a, float b) { return std::clamp(v, std::min(a, b), std::max(a, b)); }

}  // namespace

int lmmse_interpolate(DVKLib* d, float* band, unsigned width, unsigned height) {
    std::fprintf(stderr, "LMMSE interpolation...\n");
    const std::clock_t start = std::clock();
    auto finish = [&] {
        return std::fprintf(stderr, "\telapsed time     = %5.3fs\n", double(std::clock() - start) / CLOCKS_PER_SEC);
    };

    const long w = width, h = height;
    const long cw = w + 2 * kMargin, ch = h + 2 * kMargin;
    AlignedBuffer<float> work = allocate_aligned_zeroed<float>(std::size_t(cw) * ch * kCell);
    if (!work) {
        std::fprintf(stderr, "lmmse_interpolate: cannot allocate %zu bytes\n",
                     std::size_t(cw) * ch * kCell * sizeof(float));
        return finish();
    }
    if (!band || w == 0 || h == 0) return finish();

    const CfaMap cfa(d);
    const long s = kCell, rs = cw * kCell;  // one cell right, one cell down (floats)
    auto cell = [&](long rr, long cc) { return work.get() + (rr * cw + cc) * kCell; };
    auto fc = [&](long r, long c) { return cfa(unsigned(r), unsigned(c)); };

    // 1. Mosaic values.
    for (long row = 0; row < h; ++row)
        for (long col = 0; col < w; ++col) {
            const float* p = band + (row * w + col) * 4;
            cell(row + kMargin, col + kMargin)[4] = p[fc(row, col)];
        }

    // 2. Horizontal and vertical green-minus-colour estimates.
    for (long rr = 2; rr < h + 18; ++rr) {
        for (long cc = 2 + (fc(rr, 2) & 1); cc < w + 18; cc += 2) {
            float* x = cell(rr, cc);
            const float v = x[4];
            const float base = 0.0625f * (x[-rs - s + 4] + x[-rs + s + 4] + x[rs - s + 4] + x[rs + s + 4]) + 0.25f * v;
            float e = 0.5f * (x[-s + 4] + v + x[s + 4]) - 0.25f * (x[-2 * s + 4] + x[2 * s + 4]);
            float Y = base + 0.5f * e;
            e = double(v) > 1.75 * double(Y) ? limit_between(e, x[-s + 4], x[s + 4]) : std::clamp(e, 0.0f, 1.0f);
            x[0] = e - v;
            e = 0.5f * (x[-rs + 4] + v + x[rs + 4]) - 0.25f * (x[-2 * rs + 4] + x[2 * rs + 4]);
            Y = base + 0.5f * e;
            e = double(v) > 1.75 * double(Y) ? limit_between(e, x[-rs + 4], x[rs + 4]) : std::clamp(e, 0.0f, 1.0f);
            x[1] = e - v;
        }
        for (long cc = 2 + (fc(rr, 3) & 1); cc < w + 18; cc += 2) {
            float* x = cell(rr, cc);
            const float v = x[4];
            x[0] = std::clamp(0.25f * (x[-2 * s + 4] + x[2 * s + 4]) - 0.5f * (x[-s + 4] + v + x[s + 4]), -1.0f, 0.0f) + v;
            x[1] = std::clamp(0.25f * (x[-2 * rs + 4] + x[2 * rs + 4]) - 0.5f * (x[-rs + 4] + v + x[rs + 4]), -1.0f,
                              0.0f) +
                   v;
        }
    }

    // 3. Low-pass filtered estimates.
    for (long rr = 4; rr < h + 16; ++rr)
        for (long cc = 4; cc < w + 16; ++cc) {
            float* x = cell(rr, cc);
            x[2] = h0 * x[0] + h1 * (x[-s] + x[s]) + h2 * (x[-2 * s] + x[2 * s]) + h3 * (x[-3 * s] + x[3 * s]) +
                   h4 * (x[-4 * s] + x[4 * s]);
            x[3] = h0 * x[1] + h1 * (x[-rs + 1] + x[rs + 1]) + h2 * (x[-2 * rs + 1] + x[2 * rs + 1]) +
                   h3 * (x[-3 * rs + 1] + x[3 * rs + 1]) + h4 * (x[-4 * rs + 1] + x[4 * rs + 1]);
        }

    // 4. The LMMSE estimate of the difference at red and blue sites.
    auto estimate = [](const float* x, long step, int est, int low, double& xe, double& ve) {
        double mu = 0;
        for (int k = -4; k <= 4; ++k) mu += x[k * step + low];
        mu /= 9;
        double vx = 1e-7, vn = 1e-7;
        for (int k = -4; k <= 4; ++k) {
            const double lp = x[k * step + low];
            const double dm = lp - mu, dn = double(x[k * step + est]) - lp;
            vx += dm * dm;
            vn += dn * dn;
        }
        xe = (x[est] * vx + x[low] * vn) / (vx + vn);
        ve = vx * vn / (vx + vn);
    };
    for (long rr = 4; rr < h + 16; ++rr)
        for (long cc = 4 + (fc(rr, 4) & 1); cc < w + 16; cc += 2) {
            float* x = cell(rr, cc);
            double xh, vh, xv, vv;
            estimate(x, s, 0, 2, xh, vh);
            estimate(x, rs, 1, 3, xv, vv);
            x[4] = float((xh * vv + xv * vh) / (vh + vv));
        }

    // 5. Green: own colours copied back, green at red and blue cells.
    for (long rr = 0; rr < ch; ++rr)
        for (long cc = 0; cc < cw; ++cc) {
            float* x = cell(rr, cc);
            const long row = rr - kMargin, col = cc - kMargin;
            const int c = fc(rr, cc);
            x[c] = (row >= 0 && row < h && col >= 0 && col < w) ? band[(row * w + col) * 4 + c] : 0.0f;
            if (c != 1) x[1] = x[c] + x[4];
        }

    // 6. Red and blue at green cells.
    for (long rr = 1; rr < h + 19; ++rr)
        for (long cc = 1 + (fc(rr, 2) & 1); cc < w + 19; cc += 2) {
            float* x = cell(rr, cc);
            const int c = fc(rr, cc + 1);
            x[c] = x[1] + 0.5f * ((x[-s + c] - x[-s + 1]) + (x[s + c] - x[s + 1]));
            const int o = 2 - c;
            x[o] = x[1] + 0.5f * ((x[-rs + o] - x[-rs + 1]) + (x[rs + o] - x[rs + 1]));
        }

    // 7. Red and blue at blue and red cells.
    for (long rr = 1; rr < h + 19; ++rr)
        for (long cc = 1 + (fc(rr, 1) & 1); cc < w + 19; cc += 2) {
            float* x = cell(rr, cc);
            const int c = 2 - fc(rr, cc);
            x[c] = x[1] + 0.25f * ((x[-rs + c] - x[-rs + 1]) + (x[-s + c] - x[-s + 1]) + (x[s + c] - x[s + 1]) +
                                   (x[rs + c] - x[rs + 1]));
        }

    // 8. Write back the missing colours.
    for (long row = 0; row < h; ++row)
        for (long col = 0; col < w; ++col) {
            float* p = band + (row * w + col) * 4;
            const float* x = cell(row + kMargin, col + kMargin);
            const int own = fc(row, col);
            for (int c = 0; c < 3; ++c)
                if (c != own) p[c] = std::clamp(x[c], 0.0f, 1.0f);
        }
    return finish();
}

}  // namespace dvk
