// Small colour and matrix routines of the engine: raising float RGB to a
// gamma, one RGB triple to XYZ and XYZ to CIELab, small column-major matrix
// products, 3 x 3 inversion, and the maximum of three values.
#pragma once

namespace dvk {

struct DVKLib;

// R, G, B of each of width x height three-float pixels raised to e0, e1, e2
// (single precision), in place.
void gamma_float(DVKLib* d, float* rgb, unsigned width, int height, float e0, float e1, float e2);

// xyz = m (row-major 3 x 3) x rgb^gamma (no power step when gamma is exactly
// 1), each component clamped to 0..1. `rgb` is raised in place.
void rgb_to_xyz_gamma(const double m[9], double rgb[3], double gamma, double xyz[3]);

// CIELab of xyz relative to `white`; the ratios and the cube root in single
// precision, L, a, b formed in double precision.
void xyz_to_lab(const double xyz[3], const double white[3], float lab[3]);

// R (n x p) = A (n x m) x B (m x p), all column-major. Nothing happens when
// n < 1 or p < 1; R is zero when m < 1.
void matrix_multiply(const double* A, const double* B, double* R, short n, short m, short p);

// Inverts a row-major 3 x 3 matrix in place. Returns 0, leaving it unchanged,
// when its determinant is exactly 0; else 1.
int matrix3_invert(double m[9]);

double max3(double a, double b, double c);

// The BetaRGB (gamma 2.2) to XYZ (D50) matrix and the D50 white used to turn
// float BetaRGB into CIELab.
extern const double kBetaRgbToXyzD50[9];
extern const double kD50White[3];

}  // namespace dvk
