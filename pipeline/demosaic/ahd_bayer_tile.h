// AHD tiles for the 2 x 2 Bayer patterns: the same steps and arithmetic as
// the tile for any pattern (ahd_tile.h), organised for vector code.
//
// In a Bayer row the green sites and the red or blue sites alternate, so every
// row of scratch is kept as two halves, even and odd columns, each holding one
// kind of site: every step then runs over contiguous values with the colours
// fixed for the whole row. Tile column cc lives in half cc & 1 at index
// cc >> 1 (tiles start on even columns). In a Bayer pattern every sample the
// steps read from the image is the one its site measured, so those samples are
// first copied out of the four-channel image into the same halved form.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "core/aligned_buffer.h"
#include "pipeline/demosaic/ahd_common.h"
#include "pipeline/demosaic/cfa_map.h"

namespace dvk::ahd {

// The colours of a 2 x 2 Bayer pattern by row parity: the column parity of
// the green sites and the colour (0 red, 2 blue) of the others.
struct BayerRows {
    int green_parity[2];
    int other[2];

    // True (and the layout filled) when the map repeats every two rows and
    // columns with the greens on one diagonal and one red and one blue site.
    bool read(const CfaMap& cfa) {
        for (unsigned r = 0; r < CfaMap::kPeriod; ++r)
            for (unsigned c = 0; c < CfaMap::kPeriod; ++c)
                if (cfa(r, c) != cfa(r & 1, c & 1)) return false;
        for (int r = 0; r < 2; ++r) {
            const int a = cfa(unsigned(r), 0), b = cfa(unsigned(r), 1);
            if ((a == 1) == (b == 1)) return false;
            green_parity[r] = a == 1 ? 0 : 1;
            other[r] = a == 1 ? b : a;
            if (other[r] != 0 && other[r] != 2) return false;
        }
        return green_parity[0] != green_parity[1] && other[0] != other[1];
    }
};

constexpr int kHalf = TS / 2 + 8;  // one half row, with room for the reach past the tile
constexpr int kMosaicRows = 8;     // rows of own samples kept (five in use)

struct BayerScratch {
    AlignedBuffer<float> mosaic;  // kMosaicRows x 2 x kHalf, column cc at cc + 2
    AlignedBuffer<double> rgb;    // kDirs x kRows x 3 x 2 x kHalf
    AlignedBuffer<double> lab;    // kDirs x kRows x 3 x 2 x kHalf
    AlignedBuffer<double> homo;   // kDirs x kRows x 2 x kHalf (small counts, exact as doubles)

    bool allocate() {
        mosaic = allocate_aligned_zeroed<float>(std::size_t(kMosaicRows) * 2 * kHalf);
        rgb = allocate_aligned_zeroed<double>(std::size_t(kDirs) * kRows * 3 * 2 * kHalf);
        lab = allocate_aligned_zeroed<double>(std::size_t(kDirs) * kRows * 3 * 2 * kHalf);
        homo = allocate_aligned_zeroed<double>(std::size_t(kDirs) * kRows * 2 * kHalf);
        return mosaic && rgb && lab && homo;
    }
    // Own samples of image row y, half p; index k holds tile column 2k + p - 2.
    float* mos(int y, int p) const { return mosaic.get() + half_row(std::size_t(y % kMosaicRows), p); }
    double* rgb_half(int d, int r, int ch, int p) const { return rgb.get() + half_row(plane(d, r) * 3 + ch, p); }
    double* lab_half(int d, int r, int ch, int p) const { return lab.get() + half_row(plane(d, r) * 3 + ch, p); }
    double* homo_half(int d, int r, int p) const { return homo.get() + half_row(plane(d, r), p); }

private:
    static std::size_t plane(int d, int r) { return std::size_t(d) * kRows + std::size_t(r % kRows); }
    static std::size_t half_row(std::size_t row, int p) { return (row * 2 + std::size_t(p)) * kHalf; }
};

// The indices k of the tile columns cc = 2k + p in [a, b).
struct HalfRange {
    int k0, k1;
};
AHD_STEP HalfRange half_range(int p, int a, int b) {
    const int k0 = (a - p + 1) >> 1, k1 = (b - p + 1) >> 1;
    return {k0, std::max(k0, k1)};
}

// Differences of one row of YCbCr cells against neighbours, by half:
// l = |dY|, ab = dCb^2 + dCr^2.
struct HalfDiffs {
    double l[2][kHalf], ab[2][kHalf];
};

class AhdBayerTile {
public:
    // `rows` are the band's rows (four floats a pixel), which need not lie one
    // after another.
    AHD_STEP AhdBayerTile(const BayerRows& cfa, const BayerScratch& s, float* const* rows, int width, int height,
                          int top, int left)
        : cfa_(cfa), s_(s), rows_(rows), w_(width), h_(height), top_(top), left_(left) {}

    AHD_STEP void run() {
        const int last = std::min(top_ + TS, h_);  // rows of the tile in the image
        for (int y = std::max(top_ - 2, 0); y < std::min(top_ + 2, h_); ++y) load_samples(y);
        for (int i = top_; i < last + 3; ++i) {
            if (i < last) {
                if (i + 2 < h_) load_samples(i + 2);
                greens(i);
            }
            if (i - 1 >= top_ + 1 && i - 1 < std::min(top_ + TS - 1, h_ - 1)) {
                red_blue_and_lab<false>(0, i - 1);
                red_blue_and_lab<false>(1, i - 1);
                red_blue_and_lab<true>(2, i - 1);
            }
            if (i - 2 >= top_ + 2 && i - 2 < std::min(top_ + TS - 2, h_ - 2)) homogeneity(i - 2);
            if (i - 3 >= top_ + 3 && i - 3 < std::min(top_ + TS - 3, h_ - 3)) output(i - 3);
        }
    }

private:
    AHD_STEP float* pix(int row, int col) const { return rows_[row] + std::size_t(col) * 4; }
    AHD_STEP int green_parity(int row) const { return cfa_.green_parity[row & 1]; }

    // The own samples of image row y over tile columns -2 .. TS + 1.
    AHD_STEP void load_samples(int y) const {
        const int begin = std::max(left_ - 2, 0), end = std::min(left_ + TS + 2, w_);
        // The tile's part of an image row is one short run, too short for the
        // hardware to start fetching it ahead: ask for the row after next.
        if (y + 2 < h_) {
            const char* ahead = reinterpret_cast<const char*>(pix(y + 2, begin));
            const std::size_t bytes = std::size_t(end - begin) * 4 * sizeof(float);
            for (std::size_t b = 0; b < bytes; b += 64) __builtin_prefetch(ahead + b);
        }
        const int pg = green_parity(y);
        for (int p = 0; p < 2; ++p) {
            const int ch = p == pg ? 1 : cfa_.other[y & 1];
            float* __restrict dst = s_.mos(y, p);
            const float* src = pix(y, 0) + ch;
            for (int col = begin + ((begin ^ p) & 1); col < end; col += 2) dst[(col - left_ + 2) >> 1] = src[col * 4];
        }
    }

    // The three green candidates of one row at its red or blue sites.
    // Candidates next to the image edge are never computed: they start
    // cleared, so they read as 0 whatever the scratch held before.
    AHD_STEP void greens(int row) const {
        const int r = row - top_;
        const int pg = green_parity(row), pn = 1 - pg;
        for (int d = 0; d < kDirs; ++d) std::memset(s_.rgb_half(d, r, 1, pn), 0, sizeof(double) * kHalf);
        horizontal_green(row, pn);
        if (row >= std::max(top_, 2) && row < std::min(top_ + TS, h_ - 2)) vertical_green(row, pn);
        if (row >= std::max(top_, 1) && row < std::min(top_ + TS, h_ - 1)) selected_green(row, pn);
    }

    // Red or blue site k of half pn: its own sample is m[k + 1], the green
    // samples left and right of it g[k + pn] and g[k + pn + 1].
    AHD_STEP void horizontal_green(int row, int pn) const {
        const int k0 = left_ == 0 ? 1 : 0;
        const int k1 = std::max(k0, half_range(pn, 0, std::min(TS, w_ - 2 - left_)).k1);
        const float* __restrict m = s_.mos(row, pn);
        const float* __restrict g = s_.mos(row, 1 - pn) + pn;
        double* __restrict out = s_.rgb_half(0, row - top_, 1, pn);
        for (int k = k0; k < k1; ++k) {
            const float val = ((g[k] + m[k + 1] + g[k + 1]) * 2 - m[k] - m[k + 2]) * 0.25f;
            out[k] = limit_between(val, g[k], g[k + 1]);
        }
    }

    AHD_STEP void vertical_green(int row, int pn) const {
        const int k1 = half_range(pn, 0, std::min(TS, w_ - left_)).k1;
        const float* __restrict m = s_.mos(row, pn) + 1;
        const float* __restrict u = s_.mos(row - 1, pn) + 1;
        const float* __restrict dn = s_.mos(row + 1, pn) + 1;
        const float* __restrict uu = s_.mos(row - 2, pn) + 1;
        const float* __restrict dd = s_.mos(row + 2, pn) + 1;
        double* __restrict out = s_.rgb_half(1, row - top_, 1, pn);
        for (int k = 0; k < k1; ++k) {
            const float val = ((u[k] + m[k] + dn[k]) * 2 - uu[k] - dd[k]) * 0.25f;
            out[k] = limit_between(val, u[k], dn[k]);
        }
    }

    AHD_STEP void selected_green(int row, int pn) const {
        const int r = row - top_;
        const int k0 = left_ == 0 && pn == 0 ? 1 : 0;
        const int k1 = std::max(k0, half_range(pn, 0, std::min(TS, w_ - 1 - left_)).k1);
        const float* __restrict g = s_.mos(row, 1 - pn) + pn;
        const float* __restrict u = s_.mos(row - 1, pn) + 1;
        const float* __restrict dn = s_.mos(row + 1, pn) + 1;
        const double* __restrict hgs = s_.rgb_half(0, r, 1, pn);
        const double* __restrict vgs = s_.rgb_half(1, r, 1, pn);
        double* __restrict out = s_.rgb_half(2, r, 1, pn);
        for (int k = k0; k < k1; ++k) {
            out[k] = choose_green(hgs[k], vgs[k], g[k], g[k + 1], u[k], dn[k]);
        }
    }

    // Red and blue of candidate d on one row, then its YCbCr form. X is the
    // colour of the row's non-green sites, Z the other one.
    template <bool kSelect>
    AHD_STEP void red_blue_and_lab(int d, int row) const {
        const int r = row - top_;
        const int pg = green_parity(row), pn = 1 - pg;
        const int x = cfa_.other[row & 1], z = 2 - x;
        const int cend = std::min(TS - 1, w_ - 1 - left_);
        // At green sites: X from the row, Z from the column.
        {
            const HalfRange k = half_range(pg, 1, cend);
            const float* __restrict own = s_.mos(row, pg) + 1;
            const float* __restrict xs = s_.mos(row, pn) + pg;  // X left at xs[k], right at xs[k + 1]
            const float* __restrict zu = s_.mos(row - 1, pg) + 1;
            const float* __restrict zd = s_.mos(row + 1, pg) + 1;
            const double* __restrict gs = s_.rgb_half(d, r, 1, pn) + pg - 1;  // left gs[k], right gs[k + 1]
            const double* __restrict gu = s_.rgb_half(d, r - 1, 1, pg);
            const double* __restrict gd = s_.rgb_half(d, r + 1, 1, pg);
            double* __restrict ox = s_.rgb_half(d, r, x, pg);
            double* __restrict oz = s_.rgb_half(d, r, z, pg);
            double* __restrict og = s_.rgb_half(d, r, 1, pg);
            for (int i = k.k0; i < k.k1; ++i) {
                const double hv = (double(xs[i]) + xs[i + 1] + 2.0 * own[i] - gs[i] - gs[i + 1]) * 0.5;
                ox[i] = clamp_to(hv, 0.0, 65535.0);
            }
            for (int i = k.k0; i < k.k1; ++i) {
                const double val = (double(zu[i]) + zd[i] + 2.0 * own[i] - gu[i] - gd[i]) * 0.5;
                oz[i] = clamp_to(val, 0.0, 1.0);
                og[i] = own[i];
            }
        }
        // At red or blue sites: Z from the diagonals.
        {
            const HalfRange k = half_range(pn, 1, cend);
            const float* __restrict own = s_.mos(row, pn) + 1;
            const float* __restrict zu = s_.mos(row - 1, pg) + pn;  // up left zu[k], up right zu[k + 1]
            const float* __restrict zd = s_.mos(row + 1, pg) + pn;
            const double* __restrict gu = s_.rgb_half(d, r - 1, 1, pg) + pn - 1;
            const double* __restrict gd = s_.rgb_half(d, r + 1, 1, pg) + pn - 1;
            const double* __restrict gs = s_.rgb_half(d, r, 1, pn);
            double* __restrict ox = s_.rgb_half(d, r, x, pn);
            double* __restrict oz = s_.rgb_half(d, r, z, pn);
            for (int i = k.k0; i < k.k1; ++i) {
                const double g2 = 2 * gs[i];
                const double a = g2 - gu[i] - gd[i + 1] + zu[i] + zd[i + 1];
                const double b = g2 - gu[i + 1] - gd[i] + zu[i + 1] + zd[i];
                double val;
                if constexpr (!kSelect) {
                    val = (a + b) * 0.25;
                } else {
                    const double t = (std::fabs(g2 - gu[i] - gd[i + 1]) + std::fabs(double(zu[i]) - zd[i + 1])) -
                                     (std::fabs(double(zu[i + 1]) - zd[i]) + std::fabs(g2 - gu[i + 1] - gd[i]));
                    const double both = (a + b) * 0.25, one = t > 0 ? b * 0.5 : a * 0.5;
                    val = t == 0 ? both : one;
                }
                oz[i] = clamp_to(val, 0.0, 1.0);
                ox[i] = own[i];
            }
        }
        for (int p = 0; p < 2; ++p) {
            const HalfRange k = half_range(p, 1, cend);
            const double* __restrict R = s_.rgb_half(d, r, 0, p);
            const double* __restrict G = s_.rgb_half(d, r, 1, p);
            const double* __restrict B = s_.rgb_half(d, r, 2, p);
            double* __restrict Y = s_.lab_half(d, r, 0, p);
            double* __restrict Cb = s_.lab_half(d, r, 1, p);
            double* __restrict Cr = s_.lab_half(d, r, 2, p);
            for (int i = k.k0; i < k.k1; ++i) {
                const double y = kYr * R[i] + kYg * G[i] + kYb * B[i];
                Y[i] = y;
                Cb[i] = (B[i] - y) * 0.5 / kCb;
                Cr[i] = (R[i] - y) * 0.5 / kCr;
            }
        }
    }

    // Differences of tile row r against row r - 1 over the cells [c0, c1).
    AHD_STEP void vertical_diffs(int r, int c0, int c1, HalfDiffs* out) const {
        for (int d = 0; d < kDirs; ++d)
            for (int p = 0; p < 2; ++p) {
                const HalfRange k = half_range(p, c0, c1);
                const double* __restrict ay = s_.lab_half(d, r, 0, p);
                const double* __restrict acb = s_.lab_half(d, r, 1, p);
                const double* __restrict acr = s_.lab_half(d, r, 2, p);
                const double* __restrict by = s_.lab_half(d, r - 1, 0, p);
                const double* __restrict bcb = s_.lab_half(d, r - 1, 1, p);
                const double* __restrict bcr = s_.lab_half(d, r - 1, 2, p);
                double* __restrict l = out[d].l[p];
                double* __restrict ab = out[d].ab[p];
                for (int i = k.k0; i < k.k1; ++i) {
                    l[i] = std::fabs(ay[i] - by[i]);
                    const double db = acb[i] - bcb[i], dr = acr[i] - bcr[i];
                    ab[i] = db * db + dr * dr;
                }
            }
    }

    // The homogeneity counts of one row. The differences between neighbouring
    // cells are shared by both cells, so they are computed once: across the
    // row, and against the rows above and below.
    AHD_STEP void homogeneity(int row) const {
        const int c0 = 2, c1 = std::min(TS - 2, w_ - 2 - left_);  // tile-local cells
        const int r = row - top_;
        if (c1 <= c0) return;
        // The differences against the row below are those against the row
        // above for the next row: they are kept for it (the rows they come
        // from do not change in between).
        HalfDiffs* up = vdiffs_[vdiffs_cur_];
        if (vdiffs_row_ != r) vertical_diffs(r, c0, c1, up);
        vdiffs_cur_ ^= 1;
        HalfDiffs* down = vdiffs_[vdiffs_cur_];
        vertical_diffs(r + 1, c0, c1, down);
        vdiffs_row_ = r + 1;
        // across[d].l[p][k]: cell 2k + p against its right neighbour, which is
        // index k + p of the other half.
        HalfDiffs* across = across_;
        for (int d = 0; d < kDirs; ++d)
            for (int p = 0; p < 2; ++p) {
                const HalfRange k = half_range(p, c0 - 1, c1);
                const double* __restrict ay = s_.lab_half(d, r, 0, p);
                const double* __restrict acb = s_.lab_half(d, r, 1, p);
                const double* __restrict acr = s_.lab_half(d, r, 2, p);
                const double* __restrict ny = s_.lab_half(d, r, 0, 1 - p) + p;
                const double* __restrict ncb = s_.lab_half(d, r, 1, 1 - p) + p;
                const double* __restrict ncr = s_.lab_half(d, r, 2, 1 - p) + p;
                double* __restrict l = across[d].l[p];
                double* __restrict ab = across[d].ab[p];
                for (int i = k.k0; i < k.k1; ++i) {
                    l[i] = std::fabs(ny[i] - ay[i]);
                    const double db = ncb[i] - acb[i], dr = ncr[i] - acr[i];
                    ab[i] = db * db + dr * dr;
                }
            }
        for (int p = 0; p < 2; ++p) {
            const HalfRange k = half_range(p, c0, c1);
            // The left neighbour's difference: index k - 1 + p of the other half.
            const int q = 1 - p, sh = p - 1;
            double* __restrict h0 = s_.homo_half(0, r, p);
            double* __restrict h1 = s_.homo_half(1, r, p);
            double* __restrict h2 = s_.homo_half(2, r, p);
            for (int i = k.k0; i < k.k1; ++i) {
                // Thresholds from the horizontal and vertical candidates only.
                const double leps = min_of(max_of(across[0].l[q][i + sh], across[0].l[p][i]),
                                          max_of(up[1].l[p][i], down[1].l[p][i]));
                const double abeps = min_of(max_of(across[0].ab[q][i + sh], across[0].ab[p][i]),
                                           max_of(up[1].ab[p][i], down[1].ab[p][i]));
                auto count = [&](int d) __attribute__((always_inline)) {
                    // Counted in doubles, the type of every other value
                    // here: the counts 0..4 and their sums are exact.
                    auto one = [](bool b) __attribute__((always_inline)) { return b ? 1.0 : 0.0; };
                    return one((across[d].l[q][i + sh] <= leps) & (across[d].ab[q][i + sh] <= abeps)) +
                           one((across[d].l[p][i] <= leps) & (across[d].ab[p][i] <= abeps)) +
                           one((up[d].l[p][i] <= leps) & (up[d].ab[p][i] <= abeps)) +
                           one((down[d].l[p][i] <= leps) & (down[d].ab[p][i] <= abeps));
                };
                h0[i] = count(0);
                h1[i] = count(1);
                h2[i] = count(2);
            }
        }
    }

    // The output pixels of one row: the average of the candidates whose 3 x 3
    // homogeneity sum is the largest.
    AHD_STEP void output(int row) const {
        const int c0 = 3, c1 = std::min(TS - 3, w_ - 3 - left_);
        if (c1 <= c0) return;
        const int r = row - top_;
        // Column sums of the three rows around the pixel row, then the 3 x 3 sums.
        double vsum[kDirs][2][kHalf];
        for (int d = 0; d < kDirs; ++d)
            for (int p = 0; p < 2; ++p) {
                const HalfRange k = half_range(p, c0 - 1, c1 + 1);
                const double* __restrict a = s_.homo_half(d, r - 1, p);
                const double* __restrict b = s_.homo_half(d, r, p);
                const double* __restrict c = s_.homo_half(d, r + 1, p);
                double* __restrict v = vsum[d][p];
                for (int i = k.k0; i < k.k1; ++i) v[i] = a[i] + b[i] + c[i];
            }
        float out[3][2][kHalf];
        for (int p = 0; p < 2; ++p) {
            const HalfRange k = half_range(p, c0, c1);
            const int q = 1 - p, sh = p - 1;
            const double* __restrict rgb[kDirs][3];
            for (int d = 0; d < kDirs; ++d)
                for (int c = 0; c < 3; ++c) rgb[d][c] = s_.rgb_half(d, r, c, p);
            for (int i = k.k0; i < k.k1; ++i) {
                double hm[kDirs];
                for (int d = 0; d < kDirs; ++d) hm[d] = vsum[d][q][i + sh] + vsum[d][p][i] + vsum[d][q][i + sh + 1];
                const double most = max_of(hm[0], max_of(hm[1], hm[2]));
                // The candidates with the largest sum are added in order; the
                // others add +0.0, which leaves the sum as it is (it starts at
                // +0.0 and so is never -0.0). No branches: the winners change
                // from pixel to pixel.
                double acc[3] = {0, 0, 0};
                double taken = 0;
                for (int d = 0; d < kDirs; ++d) {
                    const bool best = hm[d] == most;
                    for (int c = 0; c < 3; ++c) acc[c] += best ? rgb[d][c][i] : 0.0;
                    taken += best ? 1.0 : 0.0;
                }
                // Dividing by 1 or 2 is exact without a division.
                for (int c = 0; c < 3; ++c) {
                    const double half = acc[c] * 0.5, third = acc[c] / 3;
                    out[c][p][i] = float(taken == 1 ? acc[c] : taken == 2 ? half : third);
                }
            }
        }
        float* px = pix(row, left_);
        for (int cc = c0; cc < c1; ++cc)
            for (int c = 0; c < 3; ++c) px[cc * 4 + c] = out[c][cc & 1][cc >> 1];
    }

    const BayerRows& cfa_;
    const BayerScratch& s_;
    float* const* rows_;
    int w_, h_, top_, left_;
    // Differences across the current row, and against the rows above and
    // below of the last two rows, for homogeneity().
    mutable HalfDiffs across_[kDirs];
    mutable HalfDiffs vdiffs_[2][kDirs];
    mutable int vdiffs_cur_ = 0;
    mutable int vdiffs_row_ = -1;  // tile row whose differences vdiffs_[vdiffs_cur_] holds
};

}  // namespace dvk::ahd
