// AHD tiles for any colour-filter pattern: each site asks the pattern map
// for its colour. Within a tile each step reads at most one row beyond the
// one it writes, so the steps run as a pipeline down the tile (greens at row
// r, red, blue and YCbCr at r - 1, homogeneity at r - 2, output at r - 3) on a
// few rows of tile scratch that stay in cache; every cell gets the value the
// step-by-step order over the whole tile gives it.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "core/aligned_buffer.h"
#include "pipeline/demosaic/ahd_common.h"
#include "pipeline/demosaic/cfa_map.h"

namespace dvk::ahd {
// Private to ahd.cpp, the one file including this.
namespace {

// Tile scratch rows: three candidate RGB rows, their YCbCr forms and the
// homogeneity counters, indexed [direction][tile row % kRows][col].
struct AhdScratch {
    AlignedBuffer<double> rgb;          // kDirs x kRows x TS x 3
    AlignedBuffer<double> lab;          // kDirs x kRows x 3 x TS (one plane per channel)
    AlignedBuffer<unsigned char> homo;  // kDirs x kRows x TS

    bool allocate() {
        rgb = allocate_aligned_zeroed<double>(std::size_t(kDirs) * kRows * TS * 3);
        lab = allocate_aligned_zeroed<double>(std::size_t(kDirs) * kRows * TS * 3);
        homo = allocate_aligned_zeroed<unsigned char>(std::size_t(kDirs) * kRows * TS);
        return rgb && lab && homo;
    }
    double* rgb_at(int d, int r, int c) const {
        return rgb.get() + ((std::size_t(d) * kRows + std::size_t(r % kRows)) * TS + c) * 3;
    }
    // Channel `ch` (Y, Cb, Cr) of row r: TS values, so that the homogeneity
    // differences run over contiguous values.
    double* lab_plane(int d, int r, int ch) const {
        return lab.get() + ((std::size_t(d) * kRows + std::size_t(r % kRows)) * 3 + std::size_t(ch)) * TS;
    }
    unsigned char* homo_at(int d, int r, int c) const {
        return homo.get() + (std::size_t(d) * kRows + std::size_t(r % kRows)) * TS + c;
    }
};

// Two doubles at a time (GCC/Clang vector extension) and their comparison masks.
typedef double Double2 __attribute__((vector_size(16)));
typedef long long Long2 __attribute__((vector_size(16)));
// Four at a time where the compiled version has 256-bit registers (two
// halves otherwise); every lane is the same operation as alone. The helpers
// passing them are always inlined, so the ABI note of GCC does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"
typedef double Double4 __attribute__((vector_size(32)));
typedef long long Long4 __attribute__((vector_size(32)));

// Differences of one row of YCbCr cells against neighbours: l = |dY|,
// ab = dCb^2 + dCr^2.
struct Diffs {
    double l[TS + 1], ab[TS + 1];
};

class AhdTile {
public:
    AHD_STEP AhdTile(const CfaMap& cfa, const AhdScratch& s, float* image, int width, int height, int top, int left)
        : cfa_(cfa), s_(s), img_(image), w_(width), h_(height), top_(top), left_(left) {}

    AHD_STEP void run() {
        const int last = std::min(top_ + TS, h_);  // rows of the tile in the image
        for (int i = top_; i < last + 3; ++i) {
            if (i < last) greens(i);
            if (i - 1 >= top_ + 1 && i - 1 < std::min(top_ + TS - 1, h_ - 1))
                for (int d = 0; d < kDirs; ++d) red_blue_and_lab(d, i - 1);
            if (i - 2 >= top_ + 2 && i - 2 < std::min(top_ + TS - 2, h_ - 2)) homogeneity(i - 2);
            if (i - 3 >= top_ + 3 && i - 3 < std::min(top_ + TS - 3, h_ - 3)) output(i - 3);
        }
    }

private:
    AHD_STEP float* pix(int row, int col) const { return img_ + (std::size_t(row) * w_ + col) * 4; }
    AHD_STEP bool green(int row, int col) const { return cfa_(unsigned(row), unsigned(col)) == 1; }

    // The three green candidates of one row. Candidates next to the image edge
    // are never computed: the row starts cleared, so they read as 0 whatever
    // the scratch held before.
    AHD_STEP void greens(int row) const {
        const int r = row - top_;
        for (int d = 0; d < kDirs; ++d) std::memset(s_.rgb_at(d, r, 0), 0, sizeof(double) * TS * 3);
        horizontal_green(row);
        if (row >= std::max(top_, 2) && row < std::min(top_ + TS, h_ - 2)) vertical_green(row);
        if (row >= std::max(top_, 1) && row < std::min(top_ + TS, h_ - 1)) selected_green(row);
    }

    AHD_STEP void horizontal_green(int row) const {
        const int col_end = std::min(left_ + TS, w_ - 2);
        int col = left_ + (green(row, left_) ? 1 : 0);
        if (col < 2) col += 2;
        const int c = cfa_(unsigned(row), unsigned(col));
        for (; col < col_end; col += 2) {
            const float* p = pix(row, col);
            const float val = ((p[-4 + 1] + p[c] + p[4 + 1]) * 2 - p[-8 + c] - p[8 + c]) * 0.25f;
            s_.rgb_at(0, row - top_, col - left_)[1] = limit_between(val, p[-4 + 1], p[4 + 1]);
        }
    }

    AHD_STEP void vertical_green(int row) const {
        const long w4 = long(w_) * 4;
        const int col_end = std::min(left_ + TS, w_);
        int col = left_ + (green(row, left_) ? 1 : 0);
        const int c = cfa_(unsigned(row), unsigned(col));
        for (; col < col_end; col += 2) {
            const float* p = pix(row, col);
            const float val = ((p[-w4 + 1] + p[c] + p[w4 + 1]) * 2 - p[-2 * w4 + c] - p[2 * w4 + c]) * 0.25f;
            s_.rgb_at(1, row - top_, col - left_)[1] = limit_between(val, p[-w4 + 1], p[w4 + 1]);
        }
    }

    AHD_STEP void selected_green(int row) const {
        const long w4 = long(w_) * 4;
        const int col_end = std::min(left_ + TS, w_ - 1);
        int col;
        if (green(row, left_))
            col = left_ + 1;
        else
            col = left_ == 0 ? 2 : left_;
        for (; col < col_end; col += 2) {
            const float* p = pix(row, col);
            const int r = row - top_, cc = col - left_;
            s_.rgb_at(2, r, cc)[1] = choose_green(s_.rgb_at(0, r, cc)[1], s_.rgb_at(1, r, cc)[1], p[-4 + 1], p[4 + 1],
                                                    p[-w4 + 1], p[w4 + 1]);
        }
    }

    AHD_STEP void red_blue_and_lab(int d, int row) const {
        const long w4 = long(w_) * 4;
        const int col_end = std::min(left_ + TS - 1, w_ - 1);
        const int r = row - top_;
        double* const lab_y = s_.lab_plane(d, r, 0);
        double* const lab_cb = s_.lab_plane(d, r, 1);
        double* const lab_cr = s_.lab_plane(d, r, 2);
        for (int col = left_ + 1; col < col_end; ++col) {
            const int cc = col - left_;
            const float* p = pix(row, col);
            double* rix = s_.rgb_at(d, r, cc);
            const double* up = s_.rgb_at(d, r - 1, cc);
            const double* dn = s_.rgb_at(d, r + 1, cc);
            const int own = cfa_(unsigned(row), unsigned(col));
            double val;
            int c;
            if (own == 1) {
                c = cfa_(unsigned(row + 1), unsigned(col));
                const int o = 2 - c;
                const double hv = (double(p[-4 + o]) + p[4 + o] + 2.0 * p[1] - rix[-3 + 1] - rix[3 + 1]) * 0.5;
                rix[o] = std::clamp(hv, 0.0, 65535.0);
                val = (double(p[-w4 + c]) + p[w4 + c] + 2.0 * p[1] - up[1] - dn[1]) * 0.5;
            } else {
                c = 2 - own;
                const double g2 = 2 * rix[1];
                const double a = g2 - up[-3 + 1] - dn[3 + 1] + p[-w4 - 4 + c] + p[w4 + 4 + c];
                const double b = g2 - up[3 + 1] - dn[-3 + 1] + p[-w4 + 4 + c] + p[w4 - 4 + c];
                if (d < 2) {
                    val = (a + b) * 0.25;
                } else {
                    const double t =
                        (std::fabs(g2 - up[-3 + 1] - dn[3 + 1]) + std::fabs(double(p[-w4 - 4 + c]) - p[w4 + 4 + c])) -
                        (std::fabs(double(p[-w4 + 4 + c]) - p[w4 - 4 + c]) + std::fabs(g2 - up[3 + 1] - dn[-3 + 1]));
                    const double both = (a + b) * 0.25, one = t > 0 ? b * 0.5 : a * 0.5;
                    val = t == 0 ? both : one;
                }
            }
            rix[c] = std::clamp(val, 0.0, 1.0);
            rix[own] = p[own];
            const double R = rix[0], G = rix[1], B = rix[2];
            const double Y = kYr * R + kYg * G + kYb * B;
            lab_y[cc] = Y;
            lab_cb[cc] = (B - Y) * 0.5;
            lab_cr[cc] = (R - Y) * 0.5;
        }
        // The chroma divisions, (X - Y) * 0.5 / (1 - kX), as vector code over
        // the row: inside the loop above each one held up its pixel.
        const int first = 1, count = col_end - left_ - 1;
        if (count > 0) divide_chroma(lab_cb + first, lab_cr + first, count);
    }

    static AHD_STEP void divide_chroma(double* __restrict cb, double* __restrict cr, int n) {
        for (int i = 0; i < n; ++i) {
            cb[i] = cb[i] / kCb;
            cr[i] = cr[i] / kCr;
        }
    }

    // Differences of row r against row r - 1 over the n cells from column c0.
    AHD_STEP void vertical_diffs(int r, int c0, int n, Diffs* out) const {
        for (int d = 0; d < kDirs; ++d) {
            const double* ay = s_.lab_plane(d, r, 0) + c0;
            const double* acb = s_.lab_plane(d, r, 1) + c0;
            const double* acr = s_.lab_plane(d, r, 2) + c0;
            const double* by = s_.lab_plane(d, r - 1, 0) + c0;
            const double* bcb = s_.lab_plane(d, r - 1, 1) + c0;
            const double* bcr = s_.lab_plane(d, r - 1, 2) + c0;
            double* __restrict l = out[d].l;
            double* __restrict ab = out[d].ab;
            for (int i = 0; i < n; ++i) {
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
        const int col_end = std::min(left_ + TS - 2, w_ - 2);
        const int c0 = 2, n = col_end - left_ - c0;  // tile-local first cell and count
        const int r = row - top_;
        if (n <= 0) return;
        Diffs across[kDirs];
        // The differences against the row below are those against the row
        // above for the next row: they are kept for it (the rows they come
        // from do not change in between).
        Diffs* up = vdiffs_[vdiffs_cur_];
        if (vdiffs_row_ != r) vertical_diffs(r, c0, n, up);
        vdiffs_cur_ ^= 1;
        Diffs* down = vdiffs_[vdiffs_cur_];
        vertical_diffs(r + 1, c0, n, down);
        vdiffs_row_ = r + 1;
        for (int d = 0; d < kDirs; ++d) {
            const double* ay = s_.lab_plane(d, r, 0) + (c0 - 1);
            const double* acb = s_.lab_plane(d, r, 1) + (c0 - 1);
            const double* acr = s_.lab_plane(d, r, 2) + (c0 - 1);
            double* __restrict l = across[d].l;
            double* __restrict ab = across[d].ab;
            for (int i = 0; i <= n; ++i) {
                l[i] = std::fabs(ay[i + 1] - ay[i]);
                const double db = acb[i + 1] - acb[i], dr = acr[i + 1] - acr[i];
                ab[i] = db * db + dr * dr;
            }
        }
        unsigned char* hrow[kDirs];
        for (int d = 0; d < kDirs; ++d) hrow[d] = s_.homo_at(d, r, c0);
        // Two cells at a time; a vector comparison gives -1 where it holds.
        auto load = [](const double* p) __attribute__((always_inline)) {
            Double2 v;
            std::memcpy(&v, p, sizeof v);
            return v;
        };
        auto vmax = [](Double2 a, Double2 b) __attribute__((always_inline)) { return a < b ? b : a; };
        auto vmin = [](Double2 a, Double2 b) __attribute__((always_inline)) { return b < a ? b : a; };
        auto load4 = [](const double* p) __attribute__((always_inline)) {
            Double4 v;
            std::memcpy(&v, p, sizeof v);
            return v;
        };
        auto vmax4 = [](Double4 a, Double4 b) __attribute__((always_inline)) { return a < b ? b : a; };
        auto vmin4 = [](Double4 a, Double4 b) __attribute__((always_inline)) { return b < a ? b : a; };
        int i = 0;
        for (; i + 4 <= n; i += 4) {
            const Double4 leps = vmin4(vmax4(load4(across[0].l + i), load4(across[0].l + i + 1)),
                                       vmax4(load4(up[1].l + i), load4(down[1].l + i)));
            const Double4 abeps = vmin4(vmax4(load4(across[0].ab + i), load4(across[0].ab + i + 1)),
                                        vmax4(load4(up[1].ab + i), load4(down[1].ab + i)));
            for (int d = 0; d < kDirs; ++d) {
                const Long4 count = ((load4(across[d].l + i) <= leps) & (load4(across[d].ab + i) <= abeps)) +
                                    ((load4(across[d].l + i + 1) <= leps) & (load4(across[d].ab + i + 1) <= abeps)) +
                                    ((load4(up[d].l + i) <= leps) & (load4(up[d].ab + i) <= abeps)) +
                                    ((load4(down[d].l + i) <= leps) & (load4(down[d].ab + i) <= abeps));
                for (int k = 0; k < 4; ++k) hrow[d][i + k] = (unsigned char)(-count[k]);
            }
        }
        for (; i + 2 <= n; i += 2) {
            // Thresholds from the horizontal and vertical candidates only.
            const Double2 leps = vmin(vmax(load(across[0].l + i), load(across[0].l + i + 1)),
                                      vmax(load(up[1].l + i), load(down[1].l + i)));
            const Double2 abeps = vmin(vmax(load(across[0].ab + i), load(across[0].ab + i + 1)),
                                       vmax(load(up[1].ab + i), load(down[1].ab + i)));
            for (int d = 0; d < kDirs; ++d) {
                const Long2 count = ((load(across[d].l + i) <= leps) & (load(across[d].ab + i) <= abeps)) +
                                    ((load(across[d].l + i + 1) <= leps) & (load(across[d].ab + i + 1) <= abeps)) +
                                    ((load(up[d].l + i) <= leps) & (load(up[d].ab + i) <= abeps)) +
                                    ((load(down[d].l + i) <= leps) & (load(down[d].ab + i) <= abeps));
                hrow[d][i] = (unsigned char)(-count[0]);
                hrow[d][i + 1] = (unsigned char)(-count[1]);
            }
        }
        for (; i < n; ++i) {
            const double leps =
                std::min(std::max(across[0].l[i], across[0].l[i + 1]), std::max(up[1].l[i], down[1].l[i]));
            const double abeps =
                std::min(std::max(across[0].ab[i], across[0].ab[i + 1]), std::max(up[1].ab[i], down[1].ab[i]));
            for (int d = 0; d < kDirs; ++d)
                hrow[d][i] = (unsigned char)(((across[d].l[i] <= leps) & (across[d].ab[i] <= abeps)) +
                                             ((across[d].l[i + 1] <= leps) & (across[d].ab[i + 1] <= abeps)) +
                                             ((up[d].l[i] <= leps) & (up[d].ab[i] <= abeps)) +
                                             ((down[d].l[i] <= leps) & (down[d].ab[i] <= abeps)));
        }
    }

    // The output pixels of one row: the average of the candidates whose 3 x 3
    // homogeneity sum is the largest.
    AHD_STEP void output(int row) const {
        const int col_end = std::min(left_ + TS - 3, w_ - 3);
        const int c0 = 3, n = col_end - left_ - c0;
        if (n <= 0) return;
        const int r = row - top_;
        // Column sums of the three rows around the pixel row, then the 3 x 3 sums.
        int vsum[kDirs][TS];
        for (int d = 0; d < kDirs; ++d) {
            const unsigned char* a = s_.homo_at(d, r - 1, c0 - 1);
            const unsigned char* b = s_.homo_at(d, r, c0 - 1);
            const unsigned char* c = s_.homo_at(d, r + 1, c0 - 1);
            for (int i = 0; i < n + 2; ++i) vsum[d][i] = a[i] + b[i] + c[i];
        }
        float* p = pix(row, left_ + c0);
        for (int i = 0; i < n; ++i, p += 4) {
            int hm[kDirs];
            for (int d = 0; d < kDirs; ++d) hm[d] = vsum[d][i] + vsum[d][i + 1] + vsum[d][i + 2];
            const int most = std::max(hm[0], std::max(hm[1], hm[2]));
            // The candidates with the largest sum are added in order; the
            // others add +0.0, which leaves the sum as it is (it starts at
            // +0.0 and so is never -0.0). No branches: the winners change
            // from pixel to pixel.
            double acc[3] = {0, 0, 0};
            int taken = 0;
            for (int d = 0; d < kDirs; ++d) {
                const bool best = hm[d] == most;
                const double* rgb = s_.rgb_at(d, r, c0 + i);
                for (int c = 0; c < 3; ++c) acc[c] += best ? rgb[c] : 0.0;
                taken += best;
            }
            // Dividing by 1 or 2 is exact without a division.
            for (int c = 0; c < 3; ++c) {
                const double half = acc[c] * 0.5, third = acc[c] / 3;
                p[c] = float(taken == 1 ? acc[c] : taken == 2 ? half : third);
            }
        }
    }

    const CfaMap& cfa_;
    const AhdScratch& s_;
    float* img_;
    int w_, h_, top_, left_;
    // Vertical differences of the last two rows, for homogeneity().
    mutable Diffs vdiffs_[2][kDirs];
    mutable int vdiffs_cur_ = 0;
    mutable int vdiffs_row_ = -1;  // tile row whose differences vdiffs_[vdiffs_cur_] holds
};

}  // namespace
}  // namespace dvk::ahd
