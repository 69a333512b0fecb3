// LMMSE: linear minimum-mean-square-error estimate of the green-minus-colour
// differences from their horizontal and vertical estimates, on work cells
// with a margin of 10 cells around the band.
//
// The margin holds the band mirrored about its first and last row and column
// (without repeating them), so that every cell keeps the colour of its site
// and the estimates near the edges see the picture continue as it does
// inside: a flat mosaic stays flat to its last pixel. (Zeros there, the
// estimates of the outermost pixels would lean towards black in one
// direction, in both at the corners, further in than any crop removes.)
//
// The eight steps are defined over the whole (width + 20) x (height + 20)
// cells, but each reads only a few rows around the one it writes. They run as
// a pipeline down the band, each step a fixed number of rows behind the one
// before it, on a ring of work rows that stays in cache; every cell gets the
// value the step-by-step order gives it.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "pipeline/demosaic/cfa_map.h"
#include "pipeline/demosaic/demosaic.h"

namespace dvk {

namespace {

constexpr long kMargin = 10;
constexpr long kCell = 6;   // floats per work cell
constexpr long kRing = 20;  // work rows kept: the pipeline spans 18

// Gaussian of sigma 2 over nine taps.
constexpr float h0 = 0.2041637f, h1 = 0.18017383f, h2 = 0.12383155f, h3 = 0.06628225f, h4 = 0.027630553f;

inline float limit_between(float v, float a, float b) { return std::clamp(v, std::min(a, b), std::max(a, b)); }

class Lmmse {
public:
    // `rows` are the band's rows (four floats a pixel), which need not lie
    // one after another.
    Lmmse(const CfaMap& cfa, float* const* rows, long w, long h, float* ring)
        : cfa_(cfa), rows_(rows), w_(w), h_(h), cw_(w + 2 * kMargin), ring_(ring) {}

    void run() {
        const long ch = h_ + 2 * kMargin;
        // Row lags: step 2 reads two rows ahead of itself, steps 3 and 4 four,
        // step 5 may overwrite a row only when step 4 is four rows past it,
        // steps 6 and 7 read one row ahead; step 8 follows step 7.
        for (long i = 0; i <= ch + 16; ++i) {
            if (i < ch) copy_mosaic(i);
            if (in(i - 2, 2, h_ + 18)) directional(i - 2);
            if (in(i - 6, 4, h_ + 16)) low_pass(i - 6);
            if (in(i - 10, 4, h_ + 16)) combine(i - 10);
            if (in(i - 14, 0, ch)) green(i - 14);
            if (in(i - 15, 1, h_ + 19)) colour_at_green(i - 15);
            if (in(i - 16, 1, h_ + 19)) colour_at_colour(i - 16);
            if (in(i - 16, kMargin, h_ + kMargin)) write_back(i - 16);
        }
    }

private:
    static bool in(long r, long lo, long hi) { return r >= lo && r < hi; }
    float* row(long rr) const { return ring_ + (rr % kRing) * cw_ * kCell; }
    int fc(long r, long c) const { return cfa_(unsigned(r), unsigned(c)); }

    // Position i of a line of n mirrored into it: -1 becomes 1, n becomes
    // n - 2, as often as it takes; -1 for a line of one position, which has
    // no other to mirror (nor another colour).
    static long mirrored(long i, long n) {
        if (i >= 0 && i < n) return i;
        if (n < 2) return -1;
        const long period = 2 * (n - 1);
        i %= period;
        if (i < 0) i += period;
        return i < n ? i : period - i;
    }
    // The image site cell (rr, cc) reads: its own, or for a margin cell the
    // site mirrored into the band, when that has the cell's colour (a pattern
    // repeating every two rows and columns always does). False: none, 0.
    bool site_of(long rr, long cc, long& y, long& col) const {
        y = mirrored(rr - kMargin, h_);
        col = mirrored(cc - kMargin, w_);
        if (y < 0 || col < 0) return false;
        return (y == rr - kMargin && col == cc - kMargin) || fc(y + kMargin, col + kMargin) == fc(rr, cc);
    }
    // The measured sample of a margin cell's mirrored site, 0 without one.
    float margin_sample(long rr, long cc) const {
        long y, col;
        if (!site_of(rr, cc, y, col)) return 0.0f;
        return rows_[y][col * 4 + fc(y, col)];
    }
    // Channel c of a margin cell's mirrored site, 0 without one.
    float margin_channel(long rr, long cc, int c) const {
        long y, col;
        if (!site_of(rr, cc, y, col)) return 0.0f;
        return rows_[y][col * 4 + c];
    }

    // 1. The mosaic value of every cell, mirrored in the margin (the row is
    //    cleared as it enters the ring).
    void copy_mosaic(long rr) const {
        float* x = row(rr);
        std::memset(x, 0, std::size_t(cw_ * kCell) * sizeof(float));
        const long y = rr - kMargin;
        if (y < 0 || y >= h_) {
            for (long cc = 0; cc < cw_; ++cc) x[cc * kCell + 4] = margin_sample(rr, cc);
            return;
        }
        const float* p = rows_[y];
        for (long col = 0; col < w_; ++col) x[(col + kMargin) * kCell + 4] = p[col * 4 + fc(y, col)];
        for (long cc = 0; cc < kMargin; ++cc) {
            x[cc * kCell + 4] = margin_sample(rr, cc);
            x[(cw_ - 1 - cc) * kCell + 4] = margin_sample(rr, cw_ - 1 - cc);
        }
    }

    // 2. Horizontal ([0]) and vertical ([1]) green-minus-colour estimates.
    void directional(long rr) const {
        float* x0 = row(rr);
        const float *u1 = row(rr - 1), *u2 = row(rr - 2), *d1 = row(rr + 1), *d2 = row(rr + 2);
        const long s = kCell;
        for (long cc = 2 + (fc(rr, 2) & 1); cc < w_ + 18; cc += 2) {
            float* x = x0 + cc * s;
            const long o = cc * s + 4;
            const float v = x[4];
            const float base = 0.0625f * (u1[o - s] + u1[o + s] + d1[o - s] + d1[o + s]) + 0.25f * v;
            float e = 0.5f * (x[-s + 4] + v + x[s + 4]) - 0.25f * (x[-2 * s + 4] + x[2 * s + 4]);
            float Y = base + 0.5f * e;
            e = double(v) > 1.75 * double(Y) ? limit_between(e, x[-s + 4], x[s + 4]) : std::clamp(e, 0.0f, 1.0f);
            x[0] = e - v;
            e = 0.5f * (u1[o] + v + d1[o]) - 0.25f * (u2[o] + d2[o]);
            Y = base + 0.5f * e;
            e = double(v) > 1.75 * double(Y) ? limit_between(e, u1[o], d1[o]) : std::clamp(e, 0.0f, 1.0f);
            x[1] = e - v;
        }
        for (long cc = 2 + (fc(rr, 3) & 1); cc < w_ + 18; cc += 2) {
            float* x = x0 + cc * s;
            const long o = cc * s + 4;
            const float v = x[4];
            x[0] = std::clamp(0.25f * (x[-2 * s + 4] + x[2 * s + 4]) - 0.5f * (x[-s + 4] + v + x[s + 4]), -1.0f, 0.0f) + v;
            x[1] = std::clamp(0.25f * (u2[o] + d2[o]) - 0.5f * (u1[o] + v + d1[o]), -1.0f, 0.0f) + v;
        }
    }

    // 3. The nine-tap low-pass of [0] along the row into [2], of [1] along the
    //    column into [3].
    void low_pass(long rr) const {
        float* x0 = row(rr);
        const float* r[9];
        for (long k = -4; k <= 4; ++k) r[k + 4] = row(rr + k);
        const long s = kCell;
        for (long cc = 4; cc < w_ + 16; ++cc) {
            float* x = x0 + cc * s;
            const long o = cc * s + 1;
            x[2] = h0 * x[0] + h1 * (x[-s] + x[s]) + h2 * (x[-2 * s] + x[2 * s]) + h3 * (x[-3 * s] + x[3 * s]) +
                   h4 * (x[-4 * s] + x[4 * s]);
            x[3] = h0 * r[4][o] + h1 * (r[3][o] + r[5][o]) + h2 * (r[2][o] + r[6][o]) + h3 * (r[1][o] + r[7][o]) +
                   h4 * (r[0][o] + r[8][o]);
        }
    }

    // The LMMSE estimate along one line of nine cells: est and low are the
    // channels of the estimate and its low-pass form.
    static void estimate(const float* const cells[9], int est, int low, double& xe, double& ve) {
        double mu = 0;
        for (int k = 0; k < 9; ++k) mu += cells[k][low];
        mu /= 9;
        double vx = 1e-7, vn = 1e-7;
        for (int k = 0; k < 9; ++k) {
            const double lp = cells[k][low];
            const double dm = lp - mu, dn = double(cells[k][est]) - lp;
            vx += dm * dm;
            vn += dn * dn;
        }
        xe = (cells[4][est] * vx + cells[4][low] * vn) / (vx + vn);
        ve = vx * vn / (vx + vn);
    }

    // 4. The combined difference at red and blue cells, into [4].
    void combine(long rr) const {
        float* x0 = row(rr);
        const float* r[9];
        for (long k = -4; k <= 4; ++k) r[k + 4] = row(rr + k);
        for (long cc = 4 + (fc(rr, 4) & 1); cc < w_ + 16; cc += 2) {
            const float* hc[9];
            const float* vc[9];
            for (long k = 0; k < 9; ++k) {
                hc[k] = x0 + (cc + k - 4) * kCell;
                vc[k] = r[k] + cc * kCell;
            }
            double xh, vh, xv, vv;
            estimate(hc, 0, 2, xh, vh);
            estimate(vc, 1, 3, xv, vv);
            x0[cc * kCell + 4] = float((xh * vv + xv * vh) / (vh + vv));
        }
    }

    // 5. Own colours back in place (mirrored in the margin); green at red
    //    and blue cells.
    void green(long rr) const {
        float* x = row(rr);
        const long y = rr - kMargin;
        const bool inside_row = y >= 0 && y < h_;
        for (long cc = 0; cc < cw_; ++cc, x += kCell) {
            const long col = cc - kMargin;
            const int c = fc(rr, cc);
            x[c] = (inside_row && col >= 0 && col < w_) ? rows_[y][col * 4 + c] : margin_channel(rr, cc, c);
            if (c != 1) x[1] = x[c] + x[4];
        }
    }

    // 6. Red and blue at green cells: the colour of the row neighbours from
    //    them, the other from the column neighbours.
    void colour_at_green(long rr) const {
        float* x0 = row(rr);
        const float *u = row(rr - 1), *d = row(rr + 1);
        const long s = kCell;
        for (long cc = 1 + (fc(rr, 2) & 1); cc < w_ + 19; cc += 2) {
            float* x = x0 + cc * s;
            const int c = fc(rr, cc + 1), o = 2 - c;
            const long at = cc * s;
            x[c] = x[1] + 0.5f * ((x[-s + c] - x[-s + 1]) + (x[s + c] - x[s + 1]));
            x[o] = x[1] + 0.5f * ((u[at + o] - u[at + 1]) + (d[at + o] - d[at + 1]));
        }
    }

    // 7. The missing colour at red and blue cells from the four axial neighbours.
    void colour_at_colour(long rr) const {
        float* x0 = row(rr);
        const float *u = row(rr - 1), *d = row(rr + 1);
        const long s = kCell;
        for (long cc = 1 + (fc(rr, 1) & 1); cc < w_ + 19; cc += 2) {
            float* x = x0 + cc * s;
            const int c = 2 - fc(rr, cc);
            const long at = cc * s;
            x[c] = x[1] + 0.25f * ((u[at + c] - u[at + 1]) + (x[-s + c] - x[-s + 1]) + (x[s + c] - x[s + 1]) +
                                   (d[at + c] - d[at + 1]));
        }
    }

    // 8. The missing colours of the image row, limited to 0..1.
    void write_back(long rr) const {
        const long y = rr - kMargin;
        const float* x = row(rr) + kMargin * kCell;
        float* p = rows_[y];
        for (long col = 0; col < w_; ++col, p += 4, x += kCell) {
            const int own = fc(y, col);
            for (int c = 0; c < 3; ++c)
                if (c != own) p[c] = std::clamp(x[c], 0.0f, 1.0f);
        }
    }

    const CfaMap& cfa_;
    float* const* rows_;
    long w_, h_, cw_;
    float* ring_;
};

}  // namespace

int lmmse_interpolate(DVKLib* d, float* const* rows, unsigned width, unsigned height) {
    std::fprintf(stderr, "LMMSE interpolation...\n");
    const std::clock_t start = std::clock();
    auto finish = [&] {
        return std::fprintf(stderr, "\telapsed time     = %5.3fs\n", double(std::clock() - start) / CLOCKS_PER_SEC);
    };

    const long w = width, h = height;
    const std::size_t floats = std::size_t(kRing) * std::size_t(w + 2 * kMargin) * kCell;
    AlignedBuffer<float> ring = allocate_aligned<float>(floats);
    if (!ring) {
        std::fprintf(stderr, "lmmse_interpolate: cannot allocate %zu bytes\n", floats * sizeof(float));
        return finish();
    }
    if (!rows || w == 0 || h == 0) return finish();

    const CfaMap cfa(d);
    Lmmse(cfa, rows, w, h, ring.get()).run();
    return finish();
}

int lmmse_interpolate(DVKLib* d, float* band, unsigned width, unsigned height) {
    std::vector<float*> rows(band ? height : 0);
    for (std::size_t y = 0; y < rows.size(); ++y) rows[y] = band + y * width * 4;
    return lmmse_interpolate(d, band ? rows.data() : nullptr, width, height);
}

}  // namespace dvk
