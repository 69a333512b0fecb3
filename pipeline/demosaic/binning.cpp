// Two-thirds binning: every 3 x 3 block of mosaic sites becomes 2 x 2 RGB
// pixels, each the sum of one overlapping 2 x 2 quad per colour. An image
// without a colour-filter pattern is reduced over the same quads, each output
// pixel the mean of its quad's four pixels.
#include <cstdio>
#include <cstring>

#include "pipeline/demosaic/cfa_map.h"
#include "pipeline/demosaic/demosaic.h"

namespace dvk {

namespace {

// Sums of one 2 x 2 quad at (y, x) per colour index, as an RGB pixel.
struct QuadReader {
    const float* src;
    long stride;  // pixels per source row
    unsigned shrink;
    const CfaMap* cfa;

    void quad(unsigned y, unsigned x, float* out) const {
        float sum[4] = {0, 0, 0, 0};
        for (unsigned dy = 0; dy < 2; ++dy)
            for (unsigned dx = 0; dx < 2; ++dx) {
                const unsigned row = y + dy, col = x + dx;
                const int f = (*cfa)(row, col);
                sum[f] += src[((long(row >> shrink)) * stride + long(col >> shrink)) * 4 + f];
            }
        out[0] = sum[0];
        out[1] = (sum[1] + sum[3]) * 0.5f;
        out[2] = sum[2];
    }
};

// Means of one 2 x 2 quad of full-colour pixels, as an RGB pixel.
struct ColourQuadReader {
    const float* src;
    long stride;  // pixels per source row

    void quad(unsigned y, unsigned x, float* out) const {
        const float* p = src + (long(y) * stride + long(x)) * 4;
        const float* q = p + stride * 4;
        for (int c = 0; c < 3; ++c) out[c] = (p[c] + p[4 + c] + q[c] + q[4 + c]) * 0.25f;
    }
};

// The blocks of `block_rows` rows of 3 x 3 sites into 2 x 2 pixels each,
// written from the start of `image`.
template <class Reader>
void bin_blocks(const Reader& reader, float* image, unsigned out_w, unsigned block_rows) {
    for (unsigned k = 0; k < block_rows; ++k) {
        const unsigned r = 3 * k;
        float* out0 = image + std::size_t(2 * k) * out_w * 3;
        float* out1 = out0 + std::size_t(out_w) * 3;
        for (unsigned j = 0; j < out_w / 2; ++j) {
            const unsigned c = 3 * j;
            float p0[3], p1[3];
            reader.quad(r, c + 4, p0);
            reader.quad(r, c + 5, p1);
            std::memcpy(out0 + 6 * j, p0, sizeof p0);
            std::memcpy(out0 + 6 * j + 3, p1, sizeof p1);
        }
        for (unsigned j = 0; j < out_w / 2; ++j) {
            const unsigned c = 3 * j;
            float p2[3], p3[3];
            reader.quad(r + 1, c + 4, p2);
            reader.quad(r + 1, c + 5, p3);
            std::memcpy(out1 + 6 * j, p2, sizeof p2);
            std::memcpy(out1 + 6 * j + 3, p3, sizeof p3);
        }
    }
}

}  // namespace

void binn32_tr(DVKLib* d, float* image, std::uint16_t* width, std::uint16_t* height) {
    const unsigned w = *width, h = *height;
    // Widths below 6 would give a negative width: the result is then empty.
    const unsigned out_w = w >= 6 ? 2 * (w / 3) - 4 : 0;
    const unsigned block_rows = h / 3;
    *width = std::uint16_t(out_w);
    if (h == 0 || !image) {
        *height = 0;
        return;
    }
    *height = std::uint16_t(2 * block_rows);
    if (out_w == 0 || block_rows == 0) return;

    const CfaMap cfa(d);
    const bool mosaic = d->raw().imgdata.idata.filters != 0;
    const unsigned shrink = mosaic ? d->raw().imgdata.rawdata.ioparams.shrink : 0;

    // At full size the output never overtakes unread input when each block row
    // writes its first output row before its second: only the first output row
    // reads the block's first input row, and the second output row of block row
    // 0 lies over that input row's second half. A shrunken image is read from
    // a copy, since its input rows lie closer to the start of the buffer.
    AlignedBuffer<float> copy;
    const float* src = image;
    if (shrink) {
        const std::size_t n = std::size_t(((h - 1) >> shrink) + 1) * w * 4;
        copy = allocate_aligned<float>(n);
        if (!copy) {
            std::fprintf(stderr, "binn32_tr: cannot allocate %zu bytes\n", n * sizeof(float));
            *width = 0;
            *height = 0;
            return;
        }
        std::memcpy(copy.get(), image, n * sizeof(float));
        src = copy.get();
    }
    if (mosaic)
        bin_blocks(QuadReader{src, long(w), shrink, &cfa}, image, out_w, block_rows);
    else
        bin_blocks(ColourQuadReader{src, long(w)}, image, out_w, block_rows);
}

}  // namespace dvk
