// build_xtrans_half_image: a half-size X-Trans image from the raw samples.
//
// LibRaw's half-size decode bins X-Trans sites as if they were Bayer blocks;
// here every 2 x 2 block of sites is summed per colour instead, greens are
// averaged, and blocks of four greens borrow red and blue from their
// neighbours. The two-pixel border, where neighbours are missing, is trimmed.
//
// The sites are the image's own: the raw frame's margins are skipped (the
// colour pattern starts at the image's first row and column), and each site
// loses the whole black level the file declares for it (the common level,
// its colour's level and its place in the black pattern), as LibRaw's own
// subtraction does at full size.
#include <algorithm>
#include <cstring>

#include "core/colour_pattern.h"
#include "core/image_view.h"
#include "pipeline/load/raw_loader.h"

namespace dvk {

void build_xtrans_half_image(DVKLib* d) {
    LibRaw_DVK& raw = *d->libraw;
    const unsigned shrink = raw.imgdata.rawdata.ioparams.shrink;
    if (!shrink || raw.imgdata.idata.filters != 9) return;
    const std::uint16_t* samples = raw.imgdata.rawdata.raw_image;
    float* data = d->image_data();
    if (!samples || !data) return;

    const libraw_image_sizes_t& S = raw.imgdata.sizes;
    const unsigned iw = S.iwidth, ih = S.iheight;
    const std::size_t pitch = S.raw_pitch / 2;
    // The levels as unpack recorded them (the black subtraction of step 4
    // has cleared the decoder's working copy).
    const libraw_colordata_t& levels = raw.imgdata.rawdata.color;
    const unsigned* cblack = levels.cblack;
    const unsigned pat_rows = cblack[4], pat_cols = cblack[5];
    const bool pattern = pat_rows && pat_cols && std::size_t(pat_rows) * pat_cols <= LIBRAW_CBLACK_SIZE - 6;
    double colour_black[4];
    for (int c = 0; c < 4; ++c) colour_black[c] = double(levels.black) + double(cblack[c]);
    RgbgView img(data, iw, ih);
    const ColourPattern colour(raw);

    // 1.-2. Sum the black-subtracted sites of each block per colour, over the
    // image area of the frame.
    std::memset(data, 0, std::size_t(iw) * ih * 4 * sizeof(float));
    const unsigned rows = std::min({2 * ih, unsigned(S.height), S.top_margin < S.raw_height ? S.raw_height - S.top_margin : 0u});
    const unsigned cols = std::min({2 * iw, unsigned(S.width), S.left_margin < S.raw_width ? S.raw_width - S.left_margin : 0u});
    for (unsigned row = 0; row < rows; ++row) {
        const std::uint16_t* line = samples + (row + S.top_margin) * pitch + S.left_margin;
        for (unsigned col = 0; col < cols; ++col) {
            const int c = colour(row, col);
            double black = colour_black[c];
            if (pattern) black += cblack[6 + (row % pat_rows) * pat_cols + col % pat_cols];
            const double v = line[col] - black;
            if (v > 0) img.at(col >> shrink, row >> shrink)[c] += float(v);
        }
    }

    // 3. Greens are averaged; four-green blocks take red and blue from neighbours.
    for (unsigned row = 2; row < 2 * ih; row += 2) {
        for (unsigned col = 2; col < 2 * iw; col += 2) {
            int count[4] = {0, 0, 0, 0};
            for (unsigned s = 0; s < 4; ++s) ++count[colour(row + (s >> 1), col + (s & 1))];
            const unsigned hr = row >> 1, hc = col >> 1;
            float* px = img.at(hc, hr);
            if (count[1] != 4) {
                px[1] = px[3] = px[1] * 0.5f;
                continue;
            }
            px[1] = px[3] = px[1] * 0.25f;
            static const int offsets[4][2] = {{-1, 0}, {+1, 0}, {-1, -1}, {+1, +1}};  // (row, col)
            float sum_r = 0, sum_b = 0;
            int n = 0;
            for (const auto& o : offsets) {
                const int r = int(hr) + o[0], c = int(hc) + o[1];
                if (r < 0 || c < 0 || r >= int(ih) || c >= int(iw)) continue;  // edge: trimmed below
                const float* q = img.at(unsigned(c), unsigned(r));
                sum_r += q[0];
                sum_b += q[2];
                ++n;
            }
            if (n) {
                px[0] = sum_r / float(n);
                px[2] = sum_b / float(n);
            }
        }
    }

    // 4. Trim two pixels on each side (images too small to trim keep their size).
    if (ih >= 5 && iw >= 5) {
        const unsigned nw = iw - 4, nh = ih - 4;
        for (unsigned r = 0; r < nh; ++r)
            std::memmove(data + std::size_t(r) * nw * 4, img.at(2, r + 2), std::size_t(nw) * 4 * sizeof(float));
        raw.imgdata.sizes.iwidth = static_cast<ushort>(nw);
        raw.imgdata.sizes.iheight = static_cast<ushort>(nh);
    }
}

}  // namespace dvk
