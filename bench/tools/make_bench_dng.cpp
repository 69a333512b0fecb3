// dvk-bench-dng PATH [WIDTH HEIGHT [PHOTO...]]: writes a synthetic 14-bit
// RGGB DNG (default 6016 x 4016, 24 megapixels) for the whole-process
// benchmarks. Without photographs the samples are a seeded gradient; with
// them (PNG or TIFF, sRGB-encoded) the frame is tiled with the photographs,
// one after another, in linear light and scaled by the as-shot neutral so
// that white balance has real work to do.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/demosaic_quality/image_io.h"
#include "tests/support/dng_writer.h"

namespace {

float srgb_to_linear(float v) {
    return v <= 0.04045f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc < 4) {
        std::fprintf(stderr, "usage: %s PATH [WIDTH HEIGHT [PHOTO...]]\n", argv[0]);
        return 2;
    }
    unsigned w = argc >= 4 ? static_cast<unsigned>(std::atoi(argv[2])) : 6016;
    unsigned h = argc >= 4 ? static_cast<unsigned>(std::atoi(argv[3])) : 4016;
    dvk::test::DngSpec s = dvk::test::make_dng_spec(dvk::test::DngLayout::Bayer, w, h);
    s.make = "Acme";
    s.model = "Bench 24";
    s.white_level = 16383;
    s.black_level = 512;

    std::vector<dvk::quality::RgbImage> photos;
    for (int i = 4; i < argc; ++i) {
        dvk::quality::RgbImage img;
        std::string error;
        if (!dvk::quality::read_photo(argv[i], img, error) || img.width == 0 || img.height == 0) {
            std::fprintf(stderr, "%s: %s: %s\n", argv[0], argv[i], error.c_str());
            return 1;
        }
        for (float& v : img.pixels) v = srgb_to_linear(v);
        photos.push_back(std::move(img));
    }
    if (photos.empty()) {
        dvk::test::fill_gradient(s, 7);
    } else {
        // Tiles laid row after row; each row of tiles is as high as the
        // highest photograph, a photograph repeats when the list runs out.
        struct Tile {
            unsigned x, y;
            const dvk::quality::RgbImage* img;
        };
        std::vector<Tile> tiles;
        unsigned tallest = 0;
        for (const auto& p : photos) tallest = std::max(tallest, p.height);
        std::size_t next = 0;
        for (unsigned y = 0; y < h; y += tallest)
            for (unsigned x = 0; x < w;) {
                const auto& p = photos[next++ % photos.size()];
                tiles.push_back({x, y, &p});
                x += p.width;
            }
        std::vector<const Tile*> at(std::size_t((h + tallest - 1) / tallest) * w, nullptr);
        for (const auto& t : tiles)
            for (unsigned x = t.x; x < std::min(w, t.x + t.img->width); ++x) at[std::size_t(t.y / tallest) * w + x] = &t;
        const double neutral[3] = {s.as_shot_neutral[0], s.as_shot_neutral[1], s.as_shot_neutral[2]};
        dvk::test::fill_from_scene(s, [&](unsigned row, unsigned col) -> std::array<double, 3> {
            const Tile* t = at[std::size_t(row / tallest) * w + col];
            const unsigned py = row - t->y, px = col - t->x;
            if (py >= t->img->height) return {0.002, 0.002, 0.002};  // below a shorter photograph
            const float* p = &t->img->pixels[(std::size_t(py) * t->img->width + px) * 3];
            return {p[0] * neutral[0], p[1] * neutral[1], p[2] * neutral[2]};
        });
    }
    std::string error;
    if (!dvk::test::write_dng(argv[1], s, &error)) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
        return 1;
    }
    std::printf("%s\n", argv[1]);
    return 0;
}
