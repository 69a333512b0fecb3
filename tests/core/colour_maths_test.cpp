#include "core/colour_maths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace dvk {
namespace {

TEST(GammaFloat, RaisesEachChannelToItsExponentInSinglePrecision) {
    std::vector<float> rgb = {0.25f, 0.5f, 0.75f, 1.0f, 0.0f, 0.125f};
    const std::vector<float> in = rgb;
    gamma_float(nullptr, rgb.data(), 2, 1, 2.2f, 1.0f, 0.5f);
    for (int p = 0; p < 2; ++p) {
        EXPECT_EQ(rgb[3 * p + 0], powf(in[3 * p + 0], 2.2f));
        EXPECT_EQ(rgb[3 * p + 1], in[3 * p + 1]);
        EXPECT_EQ(rgb[3 * p + 2], powf(in[3 * p + 2], 0.5f));
    }
}

TEST(GammaFloat, EmptyImageIsLeftAlone) {
    float rgb[3] = {0.5f, 0.5f, 0.5f};
    gamma_float(nullptr, rgb, 0, 1, 2.2f, 2.2f, 2.2f);
    gamma_float(nullptr, rgb, 1, 0, 2.2f, 2.2f, 2.2f);
    EXPECT_EQ(rgb[0], 0.5f);
}

TEST(RgbToXyzGamma, GammaOneSkipsThePowerStep) {
    const double m[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    double rgb[3] = {0.2, 0.4, 0.6};
    double xyz[3];
    rgb_to_xyz_gamma(m, rgb, 1.0, xyz);
    EXPECT_EQ(rgb[0], 0.2);
    EXPECT_EQ(xyz[0], 0.2);
    EXPECT_EQ(xyz[1], 0.4);
    EXPECT_EQ(xyz[2], 0.6);
}

TEST(RgbToXyzGamma, RaisesThenMultipliesRowMajorAndClamps) {
    const double m[9] = {0.5, 0.25, 0.25,  //
                         2.0, 1.0, 1.0,    // overshoots: clamped to 1
                         -1.0, 0.0, 0.0};  // negative: clamped to 0
    double rgb[3] = {0.5, 0.25, 0.75};
    double xyz[3];
    rgb_to_xyz_gamma(m, rgb, 2.2, xyz);
    const double r = std::pow(0.5, 2.2), g = std::pow(0.25, 2.2), b = std::pow(0.75, 2.2);
    EXPECT_DOUBLE_EQ(xyz[0], 0.5 * r + 0.25 * g + 0.25 * b);
    EXPECT_EQ(xyz[1], 1.0);
    EXPECT_EQ(xyz[2], 0.0);
}

TEST(XyzToLab, WhiteIsL100AndBlackIsL0) {
    const double white[3] = {0.964242, 1.0, 0.825124};
    float lab[3];
    xyz_to_lab(white, white, lab);
    EXPECT_EQ(lab[0], 100.0f);
    EXPECT_EQ(lab[1], 0.0f);
    EXPECT_EQ(lab[2], 0.0f);
    const double black[3] = {0, 0, 0};
    xyz_to_lab(black, white, lab);
    EXPECT_NEAR(lab[0], 0.0f, 1e-5f);
    EXPECT_NEAR(lab[1], 0.0f, 1e-5f);
    EXPECT_NEAR(lab[2], 0.0f, 1e-5f);
}

TEST(XyzToLab, ThresholdIsComparedInDoubleOnTheSinglePrecisionRatio) {
    // The largest float not above 216/24389 takes the linear branch; the next
    // float the cube root. The two branches differ in the last bits there.
    const double threshold = 216.0 / 24389.0;
    float at = float(threshold);
    if (double(at) > threshold) at = std::nextafter(at, 0.0f);
    const float above = std::nextafter(at, 1.0f);
    const float lin = (903.2963f * at + 16.0f) / 116.0f;
    const float cube = powf(above, 0.33333334f);
    ASSERT_NE((903.2963f * above + 16.0f) / 116.0f, cube);  // the test can tell them apart

    const double white[3] = {1, 1, 1};
    const double xyz_at[3] = {1, at, 1};
    float lab[3];
    xyz_to_lab(xyz_at, white, lab);
    EXPECT_EQ(lab[0], float(116.0 * double(lin) - 16.0));
    EXPECT_EQ(lab[1], float(500.0 * (1.0 - double(lin))));

    const double xyz_above[3] = {1, above, 1};
    xyz_to_lab(xyz_above, white, lab);
    EXPECT_EQ(lab[0], float(116.0 * double(cube) - 16.0));
}

TEST(XyzToLab, MatchesTheCieFormulasForAMidColour) {
    const double white[3] = {0.964242, 1.0, 0.825124};
    const double xyz[3] = {0.3, 0.2, 0.1};
    float lab[3];
    xyz_to_lab(xyz, white, lab);
    auto f = [](double t) { return t > 216.0 / 24389 ? std::cbrt(t) : (24389.0 / 27 * t + 16) / 116; };
    const double fx = f(0.3 / 0.964242), fy = f(0.2), fz = f(0.1 / 0.825124);
    EXPECT_NEAR(lab[0], 116 * fy - 16, 1e-4);
    EXPECT_NEAR(lab[1], 500 * (fx - fy), 1e-4);
    EXPECT_NEAR(lab[2], 200 * (fy - fz), 1e-4);
}

TEST(XyzToLab, BetaRgbWhiteThroughTheD50MatrixIsNeutral) {
    double rgb[3] = {1, 1, 1};
    double xyz[3];
    rgb_to_xyz_gamma(kBetaRgbToXyzD50, rgb, 2.2, xyz);
    float lab[3];
    xyz_to_lab(xyz, kD50White, lab);
    // The matrix rows sum to the white up to its 8-digit rounding: near neutral.
    const double sx = 0.67127991 + 0.17459106 + 0.11833191, sy = 0.30328369 + 0.66378784 + 0.03292847,
                 sz = 0.0 + 0.04069519 + 0.78419495;
    const double fx = std::cbrt(sx / 0.964242), fy = std::cbrt(sy), fz = std::cbrt(sz / 0.825124);
    EXPECT_NEAR(lab[0], 116 * fy - 16, 1e-4);
    EXPECT_NEAR(lab[1], 500 * (fx - fy), 1e-4);
    EXPECT_NEAR(lab[2], 200 * (fy - fz), 1e-4);
    EXPECT_LT(std::fabs(lab[1]) + std::fabs(lab[2]), 0.05f);
}

TEST(MatrixMultiply, ColumnMajorProduct) {
    // A = [1 2 3; 4 5 6] (2 x 3), B = [7 8; 9 10; 11 12] (3 x 2), column-major.
    const double A[6] = {1, 4, 2, 5, 3, 6};
    const double B[6] = {7, 9, 11, 8, 10, 12};
    double R[4] = {-1, -1, -1, -1};
    matrix_multiply(A, B, R, 2, 3, 2);
    // A B = [58 64; 139 154].
    EXPECT_EQ(R[0], 58);
    EXPECT_EQ(R[1], 139);
    EXPECT_EQ(R[2], 64);
    EXPECT_EQ(R[3], 154);
}

TEST(MatrixMultiply, EmptyShapes) {
    const double A[1] = {2}, B[1] = {3};
    double R[4] = {9, 9, 9, 9};
    matrix_multiply(A, B, R, 0, 1, 1);
    matrix_multiply(A, B, R, 1, 1, 0);
    EXPECT_EQ(R[0], 9);
    matrix_multiply(A, B, R, 2, 0, 2);
    for (double v : R) EXPECT_EQ(v, 0);
}

TEST(Matrix3Invert, IntegerMatrixWithUnitDeterminantInvertsExactly) {
    double m[9] = {2, 3, 1,  //
                   1, 2, 1,  //
                   1, 1, 1};  // det = 1
    ASSERT_EQ(matrix3_invert(m), 1);
    const double want[9] = {1, -2, 1, 0, 1, -1, -1, 1, 1};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(m[i], want[i]) << i;
}

TEST(Matrix3Invert, ProductWithTheOriginalIsIdentity) {
    const double orig[9] = {0.4716, 0.0603, -0.0830, -0.7798, 1.5474, 0.2480, -0.1496, 0.1937, 0.6651};
    double inv[9];
    std::memcpy(inv, orig, sizeof inv);
    ASSERT_EQ(matrix3_invert(inv), 1);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            double s = 0;
            for (int k = 0; k < 3; ++k) s += orig[3 * r + k] * inv[3 * k + c];
            EXPECT_NEAR(s, r == c ? 1.0 : 0.0, 1e-12);
        }
}

TEST(Matrix3Invert, SingularMatrixIsLeftUnchanged) {
    double m[9] = {1, 2, 3, 2, 4, 6, 0, 1, 1};
    const std::vector<double> before(m, m + 9);
    EXPECT_EQ(matrix3_invert(m), 0);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(m[i], before[i]);
}

TEST(Max3, PicksTheLargestWithPlainComparisons) {
    EXPECT_EQ(max3(1, 2, 3), 3);
    EXPECT_EQ(max3(3, 2, 1), 3);
    EXPECT_EQ(max3(1, 3, 2), 3);
    EXPECT_EQ(max3(-1, -2, -3), -1);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // "a when a > b, else b": comparisons with NaN fall through to the later value.
    EXPECT_EQ(max3(nan, 1, 2), 2);
    EXPECT_EQ(max3(1, nan, 0), 0);
}

}  // namespace
}  // namespace dvk
