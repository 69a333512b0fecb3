#include "core/colour_maths.h"

#include <cmath>
#include <cstddef>

namespace dvk {

const double kBetaRgbToXyzD50[9] = {0.67127991, 0.17459106, 0.11833191,  //
                                    0.30328369, 0.66378784, 0.03292847,  //
                                    0.0,        0.04069519, 0.78419495};
const double kD50White[3] = {0.964242, 1.0, 0.825124};

void gamma_float(DVKLib*, float* rgb, unsigned width, int height, float e0, float e1, float e2) {
    if (width == 0 || height <= 0 || !rgb) return;
    const std::size_t pixels = std::size_t(width) * std::size_t(height);
    for (std::size_t i = 0; i < pixels; ++i) {
        float* px = rgb + 3 * i;
        px[0] = powf(px[0], e0);
        px[1] = powf(px[1], e1);
        px[2] = powf(px[2], e2);
    }
}

void rgb_to_xyz_gamma(const double m[9], double rgb[3], double gamma, double xyz[3]) {
    if (gamma != 1.0)
        for (int i = 0; i < 3; ++i) rgb[i] = std::pow(rgb[i], gamma);
    for (int i = 0; i < 3; ++i) {
        double v = m[3 * i] * rgb[0] + m[3 * i + 1] * rgb[1] + m[3 * i + 2] * rgb[2];
        if (v < 0) v = 0;
        if (v > 1) v = 1;
        xyz[i] = v;
    }
}

namespace {

// The CIELab companding function of one single-precision ratio.
float lab_f(float t) {
    if (double(t) > 216.0 / 24389.0) return powf(t, 0.33333334f);
    return (903.2963f * t + 16.0f) / 116.0f;
}

}  // namespace

void xyz_to_lab(const double xyz[3], const double white[3], float lab[3]) {
    float f[3];
    for (int i = 0; i < 3; ++i) {
        const float t = float(xyz[i]) / float(white[i]);
        f[i] = lab_f(t);
    }
    lab[0] = float(116.0 * double(f[1]) - 16.0);
    lab[1] = float(500.0 * (double(f[0]) - double(f[1])));
    lab[2] = float(200.0 * (double(f[1]) - double(f[2])));
}

void matrix_multiply(const double* A, const double* B, double* R, short n, short m, short p) {
    if (n < 1 || p < 1) return;
    for (int k = 0; k < p; ++k)
        for (int i = 0; i < n; ++i) {
            double acc = 0.0;
            for (int j = 0; j < m; ++j) acc += A[i + j * n] * B[j + k * m];
            R[i + k * n] = acc;
        }
}

int matrix3_invert(double m[9]) {
    const double a = m[0], b = m[1], c = m[2];
    const double d = m[3], e = m[4], f = m[5];
    const double g = m[6], h = m[7], i = m[8];
    const double c00 = e * i - f * h, c01 = -(d * i - f * g), c02 = d * h - e * g;
    const double det = a * c00 + b * c01 + c * c02;
    if (det == 0.0) return 0;
    const double c10 = -(b * i - c * h), c11 = a * i - c * g, c12 = -(a * h - b * g);
    const double c20 = b * f - c * e, c21 = -(a * f - c * d), c22 = a * e - b * d;
    // Element (r, s) of the inverse is the cofactor of (s, r) over det.
    m[0] = c00 / det;
    m[1] = c10 / det;
    m[2] = c20 / det;
    m[3] = c01 / det;
    m[4] = c11 / det;
    m[5] = c21 / det;
    m[6] = c02 / det;
    m[7] = c12 / det;
    m[8] = c22 / det;
    return 1;
}

double max3(double a, double b, double c) {
    const double ab = a > b ? a : b;
    return ab > c ? ab : c;
}

}  // namespace dvk
