// The pieces of the conversions' fast path: how work is handed to threads,
// the coarse grid of Lab-to-Lab tables, the plane layouts of a table and the
// step folded into the camera conversion's pass.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>
#include <random>
#include <utility>
#include <vector>

#include "colour/colour_convert.h"
#include "colour/colour_transform.h"
#include "colour/lut3d.h"
#include "colour/parallel_chunks.h"
#include "colour/profile_lookup.h"
#include "core/dvklib.h"
#include "pipeline/stages/lab_adjust.h"
#include "tests/colour/table_errors.h"
#include "tests/support/engine_state.h"

namespace dvk {
namespace {

class ThreadsFour : public ::testing::Test {
protected:
    test::BandThreadCount threads_{4};
};

using ParallelChunks = ThreadsFour;
using CoarseGrid = ThreadsFour;
using TableLayouts = ThreadsFour;

TEST_F(ParallelChunks, EveryItemOnceInPiecesOfAtLeastTheMinimum) {
    for (std::size_t count : {std::size_t(1), std::size_t(999), std::size_t(1000), std::size_t(123457)}) {
        std::vector<std::atomic<int>> seen(count);
        std::mutex lock;
        std::vector<std::pair<std::size_t, std::size_t>> ranges;
        run_in_chunks(count, 1000, [&](std::size_t b, std::size_t e) {
            for (std::size_t i = b; i < e; ++i) seen[i].fetch_add(1);
            std::lock_guard<std::mutex> g(lock);
            ranges.emplace_back(b, e);
        });
        for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(seen[i].load(), 1) << count << " item " << i;
        std::sort(ranges.begin(), ranges.end());
        for (std::size_t r = 0; r < ranges.size(); ++r) {
            EXPECT_LT(ranges[r].first, ranges[r].second);
            if (ranges[r].second != count) {
                EXPECT_GE(ranges[r].second - ranges[r].first, 1000u) << count;
            }
        }
        // Small work stays in one piece; large work is shared out.
        if (count <= 1000) {
            EXPECT_EQ(ranges.size(), 1u) << count;
        } else if (count == 123457) {
            EXPECT_GT(ranges.size(), 4u);
        }
    }
}

// Random CIELab within the table's domain.
std::vector<float> random_lab(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> l(0.0f, 100.0f), ab(-128.0f, 127.0f);
    std::vector<float> px(3 * n);
    for (std::size_t i = 0; i < n; ++i) {
        px[3 * i] = l(rng);
        px[3 * i + 1] = ab(rng);
        px[3 * i + 2] = ab(rng);
    }
    return px;
}

// Sorted errors of the table against `exact` at random Lab inputs.
std::vector<double> lab_table_errors(const Lut3D& lut, const Lut3D::Convert& exact, std::size_t n) {
    return test::sorted_table_errors(lut, exact, random_lab(n, 9));
}

// A Lab-to-Lab map that is affine: linear on any cell, so the coarse grid
// holds it, with nothing left to the exact transform.
TEST_F(CoarseGrid, AffineLabMapTakesTheCoarseGrid) {
    const Lut3D::Convert exact = [](float* p, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i, p += 3) {
            const float L = p[0], a = p[1], b = p[2];
            p[0] = 0.9f * L + 0.05f * a + 3.0f;
            p[1] = 0.8f * a - 0.1f * b;
            p[2] = 0.2f * a + 0.7f * b - 2.0f;
        }
    };
    Lut3D lut;
    lut.build(true, false, exact);
    EXPECT_EQ(lut.grid_size(), Lut3D::kCoarseGrid);
    EXPECT_EQ(lut.exact_cell_share(), 0.0);
    const std::vector<double> e = lab_table_errors(lut, exact, 20000);
    EXPECT_LT(e.back(), 1e-3);
}

// A map bending between the coarse nodes (a hue turn growing with chroma)
// takes the fine grid, and the table still holds it within a tenth.
TEST_F(CoarseGrid, BendingLabMapTakesTheFineGrid) {
    const Lut3D::Convert exact = [](float* p, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i, p += 3) {
            const float a = p[1], b = p[2];
            const float turn = std::hypot(a, b) * 0.004f;
            p[1] = a * std::cos(turn) - b * std::sin(turn);
            p[2] = a * std::sin(turn) + b * std::cos(turn);
        }
    };
    Lut3D lut;
    lut.build(true, false, exact);
    EXPECT_EQ(lut.grid_size(), Lut3D::kGrid);
    const std::vector<double> e = lab_table_errors(lut, exact, 20000);
    EXPECT_LT(e[e.size() * 999 / 1000], 0.1);
}

// The two tables of the UPLab profile: its A-to-B side (UPLab to CIELab) is
// linear between the coarse nodes, its B-to-A side (CIELab to UPLab) bends
// too much between them and takes the fine grid. Both hold the exact
// transform within a tenth for nearly every colour.
TEST_F(CoarseGrid, UplabTablesTakeTheirGrids) {
    auto lab = getDVKProfileRef("Lab", nullptr);
    auto up = getDVKProfileRef("Uplab", nullptr);
    std::string error;
    auto from_up = get_colour_transform(up, INTENT_PERCEPTUAL, lab, INTENT_PERCEPTUAL, PixelKind::Lab,
                                        PixelKind::Lab, &error);
    auto to_up = get_colour_transform(lab, INTENT_PERCEPTUAL, up, INTENT_PERCEPTUAL, PixelKind::Lab, PixelKind::Lab,
                                      &error);
    ASSERT_NE(from_up, nullptr) << error;
    ASSERT_NE(to_up, nullptr) << error;
    ASSERT_NE(from_up->table(), nullptr);
    ASSERT_NE(to_up->table(), nullptr);
    EXPECT_EQ(from_up->table()->grid_size(), Lut3D::kCoarseGrid);
    EXPECT_EQ(to_up->table()->grid_size(), Lut3D::kGrid);
    for (const auto& t : {from_up, to_up}) {
        const Lut3D::Convert exact = [&t](float* p, std::size_t n) { t->convert_exact(p, n); };
        const std::vector<double> e = lab_table_errors(*t->table(), exact, 20000);
        EXPECT_LT(e[e.size() * 999 / 1000], 0.1) << t->table()->grid_size();
    }
}

// The plane layouts give what the packed one gives, bit for bit, and refuse
// the same pixels: outside the domain, NaN, and in cells left to the exact
// transform (a crease through the table).
TEST_F(TableLayouts, PlanesMatchThePackedForm) {
    const Lut3D::Convert exact = [](float* p, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i, p += 3) {
            const float L = p[0], a = p[1], b = p[2];
            p[0] = L;
            p[1] = 0.5f * a + 30.0f * std::max(0.0f, a + 0.4f * b - 21.3f) / 50.0f;
            p[2] = b;
        }
    };
    Lut3D lut;
    lut.build(true, false, exact);
    ASSERT_GT(lut.exact_cell_share(), 0.0);
    const std::size_t n = 5000;
    std::vector<float> in = random_lab(n, 3);
    in[3 * 10] = -5.0f;                                         // L below the domain
    in[3 * 11 + 1] = std::numeric_limits<float>::quiet_NaN();  // NaN
    in[3 * 12 + 2] = 130.0f;                                    // b above the domain

    std::vector<float> packed = in;
    std::vector<std::size_t> packed_misses;
    lut.apply(packed.data(), n, packed_misses);
    ASSERT_GE(packed_misses.size(), 4u);
    EXPECT_EQ(packed_misses[0], 10u);

    std::vector<float> p0(n), p1(n), p2(n);
    for (std::size_t i = 0; i < n; ++i) {
        p0[i] = in[3 * i];
        p1[i] = in[3 * i + 1];
        p2[i] = in[3 * i + 2];
    }
    std::vector<float> out(3 * n, 7.0f);
    std::vector<std::size_t> in_misses;
    lut.apply_planes_in(p0.data(), p1.data(), p2.data(), n, out.data(), in_misses);
    EXPECT_EQ(in_misses, packed_misses);

    std::vector<float> o0(n), o1(n), o2(n);
    std::vector<std::size_t> refused;
    lut.apply_planes_out(in.data(), n, o0.data(), o1.data(), o2.data(), refused);
    EXPECT_EQ(refused, packed_misses);

    std::size_t m = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const bool missed = m < packed_misses.size() && packed_misses[m] == i;
        if (missed) {
            ++m;
            // Left as they were: the input in place, the 7s of `out`.
            EXPECT_EQ(std::memcmp(&packed[3 * i], &in[3 * i], 3 * sizeof(float)), 0) << i;
            for (int c = 0; c < 3; ++c) EXPECT_EQ(out[3 * i + c], 7.0f) << i;
            EXPECT_TRUE(std::isfinite(o0[i]) && std::isfinite(o1[i]) && std::isfinite(o2[i])) << i;
            continue;
        }
        for (int c = 0; c < 3; ++c) EXPECT_EQ(out[3 * i + c], packed[3 * i + c]) << i;
        EXPECT_EQ(o0[i], packed[3 * i]) << i;
        EXPECT_EQ(o1[i], packed[3 * i + 1]) << i;
        EXPECT_EQ(o2[i], packed[3 * i + 2]) << i;
    }
}

// The range compression folded into the camera conversion's pass gives the
// image a separate pass and the plain call give, bit for bit, through the
// table (with pixels outside it) and on the legacy path.
TEST(ConversionStep, CompressionInThePassMatchesItsOwnPass) {
    const int saved_threads = band_thread_count;
    band_thread_count = 4;
    const unsigned w = 700, h = 500;
    std::mt19937 rng(21);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::vector<float> rgb(std::size_t(w) * h * 3);
    for (float& v : rgb) v = unit(rng);
    rgb[0] = 1.4f;  // beyond the table's domain after compression
    rgb[4] = -0.6f;
    rgb[8] = std::numeric_limits<float>::quiet_NaN();
    // The table is built up front, so that the whole image takes it.
    std::string error;
    auto t = get_colour_transform(getDVKProfileRef("AdobeRGB2.2", nullptr), INTENT_ABSOLUTE_COLORIMETRIC,
                                  getDVKProfileRef("Uplab", nullptr), INTENT_PERCEPTUAL, PixelKind::Rgb,
                                  PixelKind::Lab, &error);
    ASSERT_NE(t, nullptr) << error;
    t->prepare();
    for (bool legacy : {false, true}) {
        legacy_colorsync = legacy;
        std::vector<float> separate = rgb, folded = rgb;
        compress_rgb_triples(separate.data(), std::size_t(w) * h);
        ASSERT_NE(match_rgb_to_lab_colorsync_t(nullptr, separate.data(), w, h, "AdobeRGB2.2", true, true), 0);
        ASSERT_NE(match_rgb_to_lab_colorsync_with_step(nullptr, folded.data(), w, h, "AdobeRGB2.2", true, true,
                                                       compress_rgb_triples),
                  0);
        EXPECT_EQ(std::memcmp(separate.data(), folded.data(), separate.size() * sizeof(float)), 0) << legacy;
        // It did convert: white-ish camera RGB is light Lab.
        EXPECT_GT(folded[3 * 5], 10.0f);
    }
    legacy_colorsync = false;
    band_thread_count = saved_threads;
}

// Small calls (before the table pays back) take the exact transform; the step
// runs there too.
TEST(ConversionStep, StepAlsoRunsOnTheExactPath) {
    std::vector<float> separate = {0.2f, 0.5f, 0.9f, 0.0f, 1.0f, 0.3f}, folded = separate;
    compress_rgb_triples(separate.data(), 2);
    ASSERT_NE(match_rgb_to_lab_colorsync_t(nullptr, separate.data(), 2, 1, "BetaRGB2.2", false, false), 0);
    ASSERT_NE(match_rgb_to_lab_colorsync_with_step(nullptr, folded.data(), 2, 1, "BetaRGB2.2", false, false,
                                                   compress_rgb_triples),
              0);
    EXPECT_EQ(std::memcmp(separate.data(), folded.data(), separate.size() * sizeof(float)), 0);
}

}  // namespace
}  // namespace dvk
