// Highlight recovery: clipped sites are rebuilt as a neutral (or guessed-tone)
// value at the level of the least clipped sample nearby.
#include "pipeline/stages/highlight_recovery.h"

#include <algorithm>

#include "pipeline/stages/stage_support.h"

namespace dvk {

double min3(double a, double b, double c) { return std::min(a, std::min(b, c)); }

namespace {

inline bool is_green(int colour) { return colour == 1 || colour == 3; }

void recover_mosaic(DVKLib* d, float* image, unsigned width, unsigned height, int guessTone, float ev,
                    const float mult[4]) {
    const SiteColours colours(d);
    float hi[4], clip[4];
    for (int c = 0; c < 4; ++c) {
        hi[c] = 0.95f * d->chan_max[c];
        clip[c] = 0.9659363f * d->chan_max[c];
    }
    auto sample = [&](unsigned r, unsigned c) -> float& {
        return image[(static_cast<std::size_t>(r) * width + c) * 4 + static_cast<unsigned>(colours.at(r, c))];
    };
    auto four_green = [&](unsigned r, unsigned c) {
        return is_green(colours.at(r, c)) && is_green(colours.at(r, c + 1)) && is_green(colours.at(r + 1, c)) &&
               is_green(colours.at(r + 1, c + 1));
    };
    float tone[4];
    for (int c = 0; c < 4; ++c) tone[c] = 1.0f / mult[c];
    if (guessTone) {
        double sum[4] = {0, 0, 0, 0};
        long count[4] = {0, 0, 0, 0};
        for (unsigned row = 0; row + 1 < height; row += 2)
            for (unsigned col = 0; col + 1 < width; col += 2) {
                if (four_green(row, col)) continue;
                bool any_hi = false, all_below = true;
                for (unsigned k = 0; k < 4; ++k) {
                    const unsigned r = row + (k >> 1), c = col + (k & 1);
                    const int colour = colours.at(r, c);
                    const float v = sample(r, c);
                    any_hi = any_hi || v >= hi[colour];
                    all_below = all_below && v <= clip[colour];
                }
                if (!any_hi || !all_below) continue;
                for (unsigned k = 0; k < 4; ++k) {
                    const unsigned r = row + (k >> 1), c = col + (k & 1);
                    sum[colours.at(r, c)] += sample(r, c);
                    ++count[colours.at(r, c)];
                }
            }
        const int colors = std::clamp(d->libraw->imgdata.idata.colors, 1, 4);
        bool all = true;
        for (int c = 0; c < colors; ++c) all = all && count[c] > 0;
        if (all) {
            for (int c = 0; c < 4; ++c) tone[c] = count[c] > 0 ? static_cast<float>(sum[c] / count[c]) : 0.0f;
            if (count[3] == 0) tone[3] = tone[1];
        }
    }
    if (d->libraw->imgdata.idata.filters == 9) {
        // Offsets of the three outer neighbours of each site of an all-green block.
        static const int kNeighbours[4][3][2] = {{{0, -1}, {-1, 0}, {-1, -1}},
                                                 {{0, 2}, {-1, 1}, {-1, 2}},
                                                 {{1, -1}, {2, 0}, {2, -1}},
                                                 {{2, 1}, {1, 2}, {2, 2}}};
        for (unsigned row = 2; row + 2 < height; row += 2)
            for (unsigned col = 2; col + 2 < width; col += 2) {
                if (!four_green(row, col)) continue;
                for (unsigned k = 0; k < 4; ++k) {
                    const unsigned r = row + (k >> 1), c = col + (k & 1);
                    if (sample(r, c) < clip[colours.at(r, c)]) continue;
                    double m = 1000;
                    for (const auto& o : kNeighbours[k])
                        m = std::min(m, static_cast<double>(sample(static_cast<unsigned>(static_cast<int>(row) + o[0]),
                                                                   static_cast<unsigned>(static_cast<int>(col) + o[1]))));
                    sample(r, c) = static_cast<float>(ev * m);
                }
            }
    }
    for (unsigned row = 2; row + 2 < height; row += 2)
        for (unsigned col = 2; col + 2 < width; col += 2) {
            if (four_green(row, col)) continue;
            bool clipped = false;
            float m = 1000;
            for (unsigned k = 0; k < 4; ++k) {
                const unsigned r = row + (k >> 1), c = col + (k & 1);
                const float v = sample(r, c);
                clipped = clipped || v >= clip[colours.at(r, c)];
                m = std::min(m, v);
            }
            if (!clipped) continue;
            m *= ev;
            for (unsigned k = 0; k < 4; ++k) {
                const unsigned r = row + (k >> 1), c = col + (k & 1);
                sample(r, c) = tone[colours.at(r, c)] * m / tone[1];
            }
        }
}

void recover_full_colour(DVKLib* d, float* image, unsigned width, unsigned height, int guessTone, float ev,
                         const float mult[4]) {
    const float* cm = d ? d->chan_max : nullptr;
    float hi[4], clip[4];
    for (int c = 0; c < 4; ++c) {
        const float top = cm ? cm[c] : 1.0f;
        hi[c] = 0.95f * top;
        clip[c] = 0.9659363f * top;
    }
    const std::size_t n = static_cast<std::size_t>(width) * height;
    float tone[4];
    for (int c = 0; c < 4; ++c) tone[c] = 1.0f / mult[c];
    if (guessTone) {
        double sum[4] = {0, 0, 0, 0};
        long count = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const float* p = image + 4 * i;
            bool any_hi = false, all_below = true;
            for (int c = 0; c < 4; ++c) {
                any_hi = any_hi || p[c] >= hi[c];
                all_below = all_below && p[c] <= clip[c];
            }
            if (!any_hi || !all_below) continue;
            for (int c = 0; c < 4; ++c) sum[c] += p[c];
            ++count;
        }
        if (count > 0)
            for (int c = 0; c < 4; ++c) tone[c] = static_cast<float>(sum[c] / count);
    }
    for (std::size_t i = 0; i < n; ++i) {
        float* p = image + 4 * i;
        const bool clipped = p[0] >= clip[0] || p[1] >= clip[1] || p[2] >= clip[2] || p[3] >= clip[3];
        if (!clipped) continue;
        const float m = ev * std::min(std::min(p[0], p[1]), std::min(p[2], p[3]));
        for (int c = 0; c < 4; ++c) p[c] = tone[c] * m / tone[1];
    }
}

}  // namespace

void recover_highlights(DVKLib* d, float* image, unsigned width, unsigned height, int guessTone, float ev, float r,
                        float g, float b, float g2) {
    if (!image || width == 0 || height == 0) return;
    const float mult[4] = {r, g, b, g2};
    if (mosaic_form(d))
        recover_mosaic(d, image, width, height, guessTone, ev, mult);
    else
        recover_full_colour(d, image, width, height, guessTone, ev, mult);
}

}  // namespace dvk
