// VNG: bilinear start (vng_prepare), then the variable-number-of-gradients
// estimate of every inner site, for Bayer, X-Trans and 16 x 16 patterns.
// Inside vng_interpolate the bilinear rows run just ahead of the gradient rows,
// and estimates reach the band two rows behind through a four-row buffer, so
// every site is estimated from the bilinear values as vng_prepare leaves them.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "pipeline/demosaic/cfa_map.h"
#include "pipeline/demosaic/demosaic.h"

namespace dvk {

namespace {

// One neighbour of another colour in the bilinear code of a position.
struct LinTerm {
    long offset;  // float offset of the neighbour's colour channel
    int shift;
    int color;
};

struct LinCode {
    LinTerm terms[8];
    int n_terms = 0;
    int missing[4];  // the colours to fill
    int weight[4];   // 256 / total weight of each missing colour
    int n_missing = 0;
};

// The 64 gradient terms: y1, x1, y2, x2, weight shift, direction bits (bit 0
// up-left, then up, up-right, right, down-right, down, down-left, left).
constexpr short kTerms[64][6] = {
    {-2, -2, 0, -1, 0, 0x01}, {-2, -2, 0, 0, 1, 0x01}, {-2, -1, -1, 0, 0, 0x01}, {-2, -1, 0, -1, 0, 0x02},
    {-2, -1, 0, 0, 0, 0x03},  {-2, -1, 0, 1, 1, 0x01}, {-2, 0, 0, -1, 0, 0x06},  {-2, 0, 0, 0, 1, 0x02},
    {-2, 0, 0, 1, 0, 0x03},   {-2, 1, -1, 0, 0, 0x04}, {-2, 1, 0, -1, 1, 0x04},  {-2, 1, 0, 0, 0, 0x06},
    {-2, 1, 0, 1, 0, 0x02},   {-2, 2, 0, 0, 1, 0x04},  {-2, 2, 0, 1, 0, 0x04},   {-1, -2, -1, 0, 0, 0x80},
    {-1, -2, 0, -1, 0, 0x01}, {-1, -2, 1, -1, 0, 0x01}, {-1, -2, 1, 0, 1, 0x01}, {-1, -1, -1, 1, 0, 0x88},
    {-1, -1, 1, -2, 0, 0x40}, {-1, -1, 1, -1, 0, 0x22}, {-1, -1, 1, 0, 0, 0x33}, {-1, -1, 1, 1, 1, 0x11},
    {-1, 0, -1, 2, 0, 0x08},  {-1, 0, 0, -1, 0, 0x44}, {-1, 0, 0, 1, 0, 0x11},   {-1, 0, 1, -2, 1, 0x40},
    {-1, 0, 1, -1, 0, 0x66},  {-1, 0, 1, 0, 1, 0x22},  {-1, 0, 1, 1, 0, 0x33},   {-1, 0, 1, 2, 1, 0x10},
    {-1, 1, 1, -1, 1, 0x44},  {-1, 1, 1, 0, 0, 0x66},  {-1, 1, 1, 1, 0, 0x22},   {-1, 1, 1, 2, 0, 0x10},
    {-1, 2, 0, 1, 0, 0x04},   {-1, 2, 1, 0, 1, 0x04},  {-1, 2, 1, 1, 0, 0x04},   {0, -2, 0, 0, 1, 0x80},
    {0, -1, 0, 1, 1, 0x88},   {0, -1, 1, -2, 0, 0x40}, {0, -1, 1, 0, 0, 0x11},   {0, -1, 2, -2, 0, 0x40},
    {0, -1, 2, -1, 0, 0x20},  {0, -1, 2, 0, 0, 0x30},  {0, -1, 2, 1, 1, 0x10},   {0, 0, 0, 2, 1, 0x08},
    {0, 0, 2, -2, 1, 0x40},   {0, 0, 2, -1, 0, 0x60},  {0, 0, 2, 0, 1, 0x20},    {0, 0, 2, 1, 0, 0x30},
    {0, 0, 2, 2, 1, 0x10},    {0, 1, 1, 0, 0, 0x44},   {0, 1, 1, 2, 0, 0x10},    {0, 1, 2, -1, 1, 0x40},
    {0, 1, 2, 0, 0, 0x60},    {0, 1, 2, 1, 0, 0x20},   {0, 1, 2, 2, 0, 0x10},    {1, -2, 1, 0, 0, 0x80},
    {1, -1, 1, 1, 0, 0x88},   {1, 0, 1, 2, 0, 0x08},   {1, 0, 2, -1, 0, 0x40},   {1, 0, 2, 1, 0, 0x10},
};

// The eight directions: up-left, up, up-right, right, down-right, down, down-left, left.
constexpr signed char kChood[8][2] = {{-1, -1}, {-1, 0}, {-1, 1}, {0, 1}, {1, 1}, {1, 0}, {1, -1}, {0, -1}};

// Four directions' gradients at once (GCC/Clang vector extension).
typedef float Float4 __attribute__((vector_size(16)));

struct GradTerm {
    long a, b;        // float offsets of the two sites' common colour channel
    float weight;     // 2^shift
    Float4 mask[2];   // 1 for the directions the term counts for, else 0
    int n_dirs;       // the directions the term counts for
    unsigned char dirs[8];
};

struct VngCode {
    GradTerm terms[64];
    int n_terms = 0;
    int own;  // colour of the position
    // Per direction and colour, the two float offsets whose mean the direction
    // contributes: the neighbour's channel twice, or for the site's own colour
    // the site and the two-step site when that one has the site's colour.
    long src_a[8][4], src_b[8][4];
};

// (row + size + dy) keeps the arguments of the colour table non-negative.
int colour_at(const CfaMap& cfa, int row, int col) {
    return cfa(unsigned(row + int(CfaMap::kPeriod)), unsigned(col + int(CfaMap::kPeriod)));
}

// The bilinear start: per pattern position, the neighbours of other colours
// with their weights; applied row by row.
class Bilinear {
public:
    Bilinear(const CfaMap& cfa, unsigned width) : size_(cfa.filters() == 9 ? 6 : 16), width_(width) {
        const int colors = std::min(cfa.colors(), 4);
        const long w = width;
        code_.resize(std::size_t(size_) * size_);
        for (int row = 0; row < size_; ++row)
            for (int col = 0; col < size_; ++col) {
                LinCode& lc = code_[std::size_t(row) * size_ + col];
                const int f = colour_at(cfa, row, col);
                int total[4] = {0, 0, 0, 0};
                for (int y = -1; y <= 1; ++y)
                    for (int x = -1; x <= 1; ++x) {
                        const int shift = (y == 0) + (x == 0);
                        const int color = colour_at(cfa, row + y, col + x);
                        if (color == f) continue;
                        lc.terms[lc.n_terms++] = {(w * y + x) * 4 + color, shift, color};
                        total[color] += 1 << shift;
                    }
                for (int c = 0; c < colors; ++c) {
                    if (c == f) continue;
                    lc.missing[lc.n_missing] = c;
                    // A colour absent from the neighbourhood keeps weight 0
                    // rather than dividing by zero.
                    lc.weight[lc.n_missing] = total[c] ? int(256.0f / float(total[c])) : 0;
                    ++lc.n_missing;
                }
            }
    }

    // Columns 1 .. width - 2 of one inner row.
    void row(float* image, unsigned row) const {
        const LinCode* crow = &code_[std::size_t(row % unsigned(size_)) * size_];
        float* pix = image + (std::size_t(row) * width_ + 1) * 4;
        for (unsigned col = 1; col + 1 < width_; ++col, pix += 4) {
            const LinCode& lc = crow[col % unsigned(size_)];
            float sum[4] = {0, 0, 0, 0};
            for (int i = 0; i < lc.n_terms; ++i) {
                const LinTerm& t = lc.terms[i];
                sum[t.color] += pix[t.offset] * float(1 << t.shift);
            }
            for (int i = 0; i < lc.n_missing; ++i) {
                const int c = lc.missing[i];
                pix[c] = float(lc.weight[i]) * sum[c] * 0.00390625f;
            }
        }
    }

private:
    int size_;
    unsigned width_;
    std::vector<LinCode> code_;
};

}  // namespace

void vng_prepare(DVKLib* d, float* image, unsigned width, unsigned height) {
    if (!image || width == 0 || height == 0) return;
    border_interpolate(d, 1, image, width, height);
    if (width < 3 || height < 3) return;
    const CfaMap cfa(d);
    const Bilinear bilinear(cfa, width);
    for (unsigned row = 1; row + 1 < height; ++row) bilinear.row(image, row);
}

void vng_interpolate(DVKLib* d, float* band, unsigned width, unsigned height) {
    if (!band || width == 0 || height == 0) return;
    if (width < 5 || height < 5) {
        vng_prepare(d, band, width, height);
        return;
    }

    const CfaMap cfa(d);
    const int colors = std::min(cfa.colors(), 4);
    int prow = 8, pcol = 2;
    if (cfa.filters() == 1) prow = pcol = 16;
    if (cfa.filters() == 9) prow = pcol = 6;
    const long w = width;

    std::vector<VngCode> code;
    std::unique_ptr<Bilinear> bilinear;
    AlignedBuffer<float> rows = allocate_aligned<float>(std::size_t(4) * width * 4);
    try {
        code.resize(std::size_t(prow) * pcol);
        bilinear = std::make_unique<Bilinear>(cfa, width);
    } catch (const std::bad_alloc&) {
        rows.reset();
    }
    if (!rows) {
        std::fprintf(stderr, "vng_interpolate: cannot allocate the row buffer and code table\n");
        return;
    }

    for (int row = 0; row < prow; ++row)
        for (int col = 0; col < pcol; ++col) {
            VngCode& vc = code[std::size_t(row) * pcol + col];
            for (const auto& t : kTerms) {
                const int y1 = t[0], x1 = t[1], y2 = t[2], x2 = t[3];
                const int color = colour_at(cfa, row + y1, col + x1);
                if (colour_at(cfa, row + y2, col + x2) != color) continue;
                const int diag =
                    (colour_at(cfa, row, col + 1) == color && colour_at(cfa, row + 1, col) == color) ? 2 : 1;
                if (std::abs(y1 - y2) == diag && std::abs(x1 - x2) == diag) continue;
                GradTerm term{(y1 * w + x1) * 4 + color, (y2 * w + x2) * 4 + color, float(1 << t[4]), {}, 0, {}};
                for (int g = 0; g < 8; ++g) {
                    term.mask[g / 4][g % 4] = (t[5] >> g) & 1 ? 1.0f : 0.0f;
                    if ((t[5] >> g) & 1) term.dirs[term.n_dirs++] = (unsigned char)g;
                }
                vc.terms[vc.n_terms++] = term;
            }
            const int own = colour_at(cfa, row, col);
            vc.own = own;
            for (int g = 0; g < 8; ++g) {
                const int y = kChood[g][0], x = kChood[g][1];
                const bool two_step = colour_at(cfa, row + 2 * y, col + 2 * x) == own;
                for (int c = 0; c < 4; ++c) {
                    vc.src_a[g][c] = vc.src_b[g][c] = (y * w + x) * 4 + c;
                    if (c == own && two_step) {
                        vc.src_a[g][c] = own;
                        vc.src_b[g][c] = (2 * y * w + 2 * x) * 4 + own;
                    }
                }
            }
        }

    // The bilinear start runs just ahead of the gradients: row r needs it on
    // rows r - 1 .. r + 1 (and only the measured values further out).
    border_interpolate(d, 1, band, width, height);
    unsigned prepared = 0;  // inner rows 1 .. prepared are done
    auto prepare_through = [&](unsigned r) {
        while (prepared < r && prepared + 2 < height) bilinear->row(band, ++prepared);
    };

    float* ring[4];
    for (int i = 0; i < 4; ++i) ring[i] = rows.get() + std::size_t(i) * width * 4;
    auto write_back = [&](unsigned r) {
        std::memcpy(band + (std::size_t(r) * width + 2) * 4, ring[r & 3] + 2 * 4, std::size_t(width - 4) * 4 * sizeof(float));
    };

    // The estimate of one site from its eight gradients.
    auto estimate = [&](const VngCode& vc, const float* pix, float* dst, Float4 g_lo, Float4 g_hi) {
        float gval[8];
        for (int g = 0; g < 4; ++g) {
            gval[g] = g_lo[g];
            gval[g + 4] = g_hi[g];
        }
        float gmin = gval[0], gmax = gval[0];
        for (int g = 1; g < 8; ++g) {
            gmin = std::min(gmin, gval[g]);
            gmax = std::max(gmax, gval[g]);
        }
        std::memcpy(dst, pix, 4 * sizeof(float));
        if (gmax == 0) return;
        const float thold = float(gmax * 0.5 + gmin);
        const int own = vc.own;
        // A direction above the threshold adds 0, which leaves every sum as it
        // was; a value taken as (x + x) / 2 is x itself.
        float sum[4] = {0, 0, 0, 0};
        float num = 0;
        for (int g = 0; g < 8; ++g) {
            const float take = gval[g] <= thold ? 1.0f : 0.0f;
            for (int c = 0; c < colors; ++c) sum[c] += take * ((pix[vc.src_a[g][c]] + pix[vc.src_b[g][c]]) * 0.5f);
            num += take;
        }
        for (int c = 0; c < colors; ++c) {
            float t = pix[own];
            if (c != own) t += (sum[c] - sum[own]) / num;
            dst[c] = std::clamp(t, 0.0f, 65535.0f);
        }
    };

    const unsigned col_end = width - 2;
    for (unsigned row = 2; row + 2 < height; ++row) {
        prepare_through(row + 1);
        const VngCode* crow = &code[std::size_t(row % prow) * pcol];
        float* out = ring[row & 3];
        const float* line = band + std::size_t(row) * width * 4;
        // Sites one pattern period apart share their code. Four of them at a
        // time: each term's difference for the four sites in one vector, added
        // to the gradient vector of each direction the term counts for, so
        // every site's gradients still sum the terms in table order.
        unsigned base = 2;
        for (; base + 4 * pcol <= col_end; base += 4 * pcol) {
            for (unsigned k = 0; k < unsigned(pcol); ++k) {
                const unsigned a = base + k;
                const VngCode& vc = crow[a % pcol];
                const float* p[4];
                for (unsigned j = 0; j < 4; ++j) p[j] = line + std::size_t(a + j * pcol) * 4;
                Float4 g4[8] = {};
                for (const GradTerm* t = vc.terms; t != vc.terms + vc.n_terms; ++t) {
                    const Float4 va = {p[0][t->a], p[1][t->a], p[2][t->a], p[3][t->a]};
                    const Float4 vb = {p[0][t->b], p[1][t->b], p[2][t->b], p[3][t->b]};
                    const Float4 d = va - vb;
                    const Float4 diff = (d < 0 ? -d : d) * t->weight;
                    for (int i = 0; i < t->n_dirs; ++i) g4[t->dirs[i]] += diff;
                }
                for (unsigned j = 0; j < 4; ++j) {
                    const Float4 lo = {g4[0][j], g4[1][j], g4[2][j], g4[3][j]};
                    const Float4 hi = {g4[4][j], g4[5][j], g4[6][j], g4[7][j]};
                    estimate(vc, p[j], out + std::size_t(a + j * pcol) * 4, lo, hi);
                }
            }
        }
        // The rest of the row one site at a time.
        for (unsigned col = base; col < col_end; ++col) {
            const VngCode& vc = crow[col % pcol];
            const float* pa = line + std::size_t(col) * 4;
            Float4 a_lo = {0, 0, 0, 0}, a_hi = {0, 0, 0, 0};
            for (const GradTerm* t = vc.terms; t != vc.terms + vc.n_terms; ++t) {
                const float da = std::fabs(pa[t->a] - pa[t->b]) * t->weight;
                a_lo += da * t->mask[0];
                a_hi += da * t->mask[1];
            }
            estimate(vc, pa, out + std::size_t(col) * 4, a_lo, a_hi);
        }
        if (row > 3) write_back(row - 2);
    }
    // The last two processed rows (only those that were processed).
    const unsigned last = height - 3;
    for (unsigned r = last >= 3 ? last - 1 : 2; r <= last; ++r) write_back(r);
}

}  // namespace dvk
