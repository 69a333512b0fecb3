// Removal of isolated hot and dead samples ("Remove dot-noise").
#include <vector>

#include "pipeline/stages/four_channel_ops.h"
#include "pipeline/stages/stage_support.h"

namespace dvk {

namespace {

// A sample is a dot when its half exceeds all eight neighbours (hot) or all
// eight exceed twice it (dead); the comparisons are strict.
inline bool is_dot(float x, const float n[8]) {
    bool hot = true, dead = true;
    for (int k = 0; k < 8; ++k) {
        hot = hot && x * 0.5f > n[k];
        dead = dead && n[k] > 2 * x;
    }
    return hot || dead;
}

void clean_mosaic(DVKLib* d, float* image, unsigned width, unsigned height) {
    if (width < 5 || height < 5) return;
    static const float kWeight[4] = {0.3f, 0.7f, 0.1f, 0.7f};
    const SiteColours colours(d);
    auto sample = [&](unsigned r, unsigned c) -> float& {
        return image[(static_cast<std::size_t>(r) * width + c) * 4 + static_cast<unsigned>(colours.at(r, c))];
    };
    for (unsigned row = 2; row + 3 <= height; ++row) {
        for (unsigned col = 2; col + 3 <= width; ++col) {
            const float x = sample(row, col);
            const float n[8] = {sample(row - 2, col - 2), sample(row - 2, col), sample(row - 2, col + 2),
                                sample(row, col - 2),     sample(row, col + 2), sample(row + 2, col - 2),
                                sample(row + 2, col),     sample(row + 2, col + 2)};
            if (!is_dot(x, n)) continue;
            float sum = 0;
            for (float v : n) sum += v;
            const float m = sum * 0.125f;
            float a = 0;
            for (int dr = -1; dr <= 1; ++dr)
                for (int dc = -1; dc <= 1; ++dc) {
                    if (dr == 0 && dc == 0) continue;
                    const unsigned r = row + static_cast<unsigned>(dr), c = col + static_cast<unsigned>(dc);
                    a += sample(r, c) * kWeight[colours.at(r, c)];
                }
            a *= 0.25f;
            const float w = kWeight[colours.at(row, col)];
            sample(row, col) = (1 - w) * m + w * (w * m + a);
        }
    }
}

void clean_full_colour(float* image, unsigned width, unsigned height) {
    if (width < 3 || height < 3) return;
    for (int c = 0; c < 4; ++c) {
        auto at = [&](unsigned r, unsigned col) -> float& {
            return image[(static_cast<std::size_t>(r) * width + col) * 4 + static_cast<unsigned>(c)];
        };
        for (unsigned row = 1; row + 2 <= height; ++row) {
            for (unsigned col = 1; col + 2 <= width; ++col) {
                const float x = at(row, col);
                const float n[8] = {at(row - 1, col - 1), at(row - 1, col), at(row - 1, col + 1), at(row, col - 1),
                                    at(row, col + 1),     at(row + 1, col - 1), at(row + 1, col), at(row + 1, col + 1)};
                if (!is_dot(x, n)) continue;
                float sum = 0;
                for (float v : n) sum += v;
                at(row, col) = sum / 8;
            }
        }
    }
}

}  // namespace

void clean_dot_noise(DVKLib* d, float* image, unsigned width, unsigned height) {
    if (!image) return;
    if (mosaic_form(d))
        clean_mosaic(d, image, width, height);
    else
        clean_full_colour(image, width, height);
}

}  // namespace dvk
