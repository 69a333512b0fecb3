#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "colour/lut3d.h"
#include "core/dvklib.h"
#include "tests/colour/table_errors.h"
#include "tests/support/engine_state.h"

namespace dvk {
namespace {

// Errors of the table against `exact` at uniformly random RGB inputs, sorted.
std::vector<double> table_errors(const Lut3D& lut, const Lut3D::Convert& exact, std::size_t n) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::vector<float> px(3 * n);
    for (float& v : px) v = unit(rng);
    return test::sorted_table_errors(lut, exact, std::move(px));
}

class Lut3DTest : public ::testing::Test {
protected:
    test::BandThreadCount threads_{4};
};

// An affine RGB -> Lab-like map: every cell is linear, none is left to the
// exact transform and the table reproduces it.
TEST_F(Lut3DTest, AffineTransformNeedsNoExactCells) {
    const Lut3D::Convert exact = [](float* p, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i, p += 3) {
            const float r = p[0], g = p[1], b = p[2];
            p[0] = 20.0f + 60.0f * g + 10.0f * r;
            p[1] = 80.0f * (r - g);
            p[2] = 60.0f * (g - b);
        }
    };
    Lut3D lut;
    lut.build(false, false, exact);
    EXPECT_EQ(lut.exact_cell_share(), 0.0);
    const std::vector<double> e = table_errors(lut, exact, 20000);
    EXPECT_LT(e.back(), 1e-3);
}

// A kink inside one slab of cells (not on a node plane): the cells it crosses
// are found although their nodes lie on straight pieces, and nothing else is.
TEST_F(Lut3DTest, KinkBetweenNodesIsLeftToTheExactTransform) {
    const Lut3D::Convert exact = [](float* p, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i, p += 3) {
            const float r = p[0], g = p[1], b = p[2];
            p[0] = 10.0f + 50.0f * g + 120.0f * std::fabs(r - 0.6037f);
            p[1] = 40.0f * (b - g);
            p[2] = 30.0f * r;
        }
    };
    Lut3D lut;
    lut.build(false, false, exact);
    // One slab of 64 x 64 cells along the first input (its grid is uniform
    // or square-root shaped; either way the kink crosses one or two slabs).
    const double slab = 1.0 / 64.0;
    EXPECT_GE(lut.exact_cell_share(), slab * 0.99);
    EXPECT_LE(lut.exact_cell_share(), 2 * slab * 1.01);
    const std::vector<double> e = table_errors(lut, exact, 50000);
    EXPECT_LT(e.back(), 0.08);
}

// A clipping plane across the cube, as gamut limits make: the cells where the
// interpolation misses the crease by more than the tolerance are found, so
// that nearly every pixel stays within a tenth of a delta-E.
TEST_F(Lut3DTest, ObliqueClipIsFound) {
    const Lut3D::Convert exact = [](float* p, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i, p += 3) {
            const float r = p[0], g = p[1], b = p[2];
            p[0] = 30.0f + 40.0f * std::max(0.0f, r + 0.7f * g - 0.77f) + 20.0f * b;
            p[1] = 10.0f * g;
            p[2] = -5.0f * b;
        }
    };
    Lut3D lut;
    lut.build(false, false, exact);
    EXPECT_GT(lut.exact_cell_share(), 0.0);
    EXPECT_LT(lut.exact_cell_share(), 0.05);
    const std::vector<double> e = table_errors(lut, exact, 100000);
    EXPECT_LT(e[e.size() * 999 / 1000], 0.08);
    EXPECT_LT(e.back(), 0.5);
}

}  // namespace
}  // namespace dvk
