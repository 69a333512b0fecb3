#include "colour_science.h"

#include <cmath>

namespace gen {

const Vec3 kD50 = {0.9642, 1.0, 0.8249};
const Vec3 kD65 = {0.95047, 1.0, 1.08883};

namespace {
constexpr double kPi = 3.14159265358979323846;

double wrap(double a) {  // to (-pi, pi]
    while (a > kPi) a -= 2 * kPi;
    while (a <= -kPi) a += 2 * kPi;
    return a;
}
}  // namespace

Vec3 mul(const Mat3& m, const Vec3& v) {
    Vec3 r{};
    for (int i = 0; i < 3; ++i) r[i] = m[i][0] * v[0] + m[i][1] * v[1] + m[i][2] * v[2];
    return r;
}

Mat3 mul(const Mat3& a, const Mat3& b) {
    Mat3 r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
    return r;
}

Mat3 inverse(const Mat3& m) {
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    Mat3 r{};
    r[0][0] = (m[1][1] * m[2][2] - m[1][2] * m[2][1]) / det;
    r[0][1] = (m[0][2] * m[2][1] - m[0][1] * m[2][2]) / det;
    r[0][2] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) / det;
    r[1][0] = (m[1][2] * m[2][0] - m[1][0] * m[2][2]) / det;
    r[1][1] = (m[0][0] * m[2][2] - m[0][2] * m[2][0]) / det;
    r[1][2] = (m[0][2] * m[1][0] - m[0][0] * m[1][2]) / det;
    r[2][0] = (m[1][0] * m[2][1] - m[1][1] * m[2][0]) / det;
    r[2][1] = (m[0][1] * m[2][0] - m[0][0] * m[2][1]) / det;
    r[2][2] = (m[0][0] * m[1][1] - m[0][1] * m[1][0]) / det;
    return r;
}

Vec3 xy_to_xyz(double x, double y) { return {x / y, 1.0, (1 - x - y) / y}; }

Mat3 rgb_to_xyz_matrix(const double xy[3][2], const Vec3& white) {
    Mat3 p{};
    for (int c = 0; c < 3; ++c) {
        Vec3 v = xy_to_xyz(xy[c][0], xy[c][1]);
        for (int i = 0; i < 3; ++i) p[i][c] = v[i];
    }
    Vec3 s = mul(inverse(p), white);
    for (int i = 0; i < 3; ++i)
        for (int c = 0; c < 3; ++c) p[i][c] *= s[c];
    return p;
}

Mat3 bradford(const Vec3& from, const Vec3& to) {
    const Mat3 b = {{{0.8951, 0.2664, -0.1614}, {-0.7502, 1.7135, 0.0367}, {0.0389, -0.0685, 1.0296}}};
    Vec3 f = mul(b, from), t = mul(b, to);
    Mat3 d{};
    for (int i = 0; i < 3; ++i) d[i][i] = t[i] / f[i];
    return mul(inverse(b), mul(d, b));
}

namespace {
double lab_f(double t) { return t > 216.0 / 24389.0 ? std::cbrt(t) : (24389.0 / 27.0 * t + 16) / 116; }
double lab_finv(double f) { return f * f * f > 216.0 / 24389.0 ? f * f * f : (116 * f - 16) / (24389.0 / 27.0); }
}  // namespace

Vec3 xyz_to_lab(const Vec3& xyz, const Vec3& w) {
    double fx = lab_f(xyz[0] / w[0]), fy = lab_f(xyz[1] / w[1]), fz = lab_f(xyz[2] / w[2]);
    return {116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz)};
}

Vec3 lab_to_xyz(const Vec3& lab, const Vec3& w) {
    double fy = (lab[0] + 16) / 116, fx = fy + lab[1] / 500, fz = fy - lab[2] / 200;
    return {w[0] * lab_finv(fx), w[1] * lab_finv(fy), w[2] * lab_finv(fz)};
}

Vec3 lab_to_ipt(const Vec3& lab) {
    static const Mat3 adapt = bradford(kD50, kD65);
    static const Mat3 lms = {{{0.4002, 0.7075, -0.0807}, {-0.2280, 1.1500, 0.0612}, {0.0, 0.0, 0.9184}}};
    static const Mat3 ipt = {{{0.4000, 0.4000, 0.2000}, {4.4550, -4.8510, 0.3960}, {0.8056, 0.3572, -1.1628}}};
    Vec3 c = mul(lms, mul(adapt, lab_to_xyz(lab)));
    for (double& v : c) v = v < 0 ? -std::pow(-v, 0.43) : std::pow(v, 0.43);
    return mul(ipt, c);
}

double ipt_hue(const Vec3& lab) {
    Vec3 i = lab_to_ipt(lab);
    Vec3 n = lab_to_ipt({lab[0], 0, 0});
    return std::atan2(i[2] - n[2], i[1] - n[1]);
}

namespace {

// The CIELab hue (radians) of the IPT hue line `hi` where it leaves the
// neutral axis at lightness L: the direction of a small IPT step of that hue.
double uplab_hue_of_ipt_hue(double L, double hi) {
    static const Mat3 adapt_inv = inverse(bradford(kD50, kD65));
    static const Mat3 lms_inv = inverse({{{0.4002, 0.7075, -0.0807}, {-0.2280, 1.1500, 0.0612}, {0.0, 0.0, 0.9184}}});
    static const Mat3 ipt_inv =
        inverse({{{0.4000, 0.4000, 0.2000}, {4.4550, -4.8510, 0.3960}, {0.8056, 0.3572, -1.1628}}});
    Vec3 n = lab_to_ipt({L, 0, 0});
    const double eps = 0.002;
    Vec3 p = {n[0], n[1] + eps * std::cos(hi), n[2] + eps * std::sin(hi)};
    Vec3 c = mul(ipt_inv, p);
    for (double& v : c) v = v < 0 ? -std::pow(-v, 1 / 0.43) : std::pow(v, 1 / 0.43);
    Vec3 lab = xyz_to_lab(mul(adapt_inv, mul(lms_inv, c)));
    Vec3 lab0 = xyz_to_lab(mul(adapt_inv, mul(lms_inv, [&] {
        Vec3 c0 = mul(ipt_inv, n);
        for (double& v : c0) v = v < 0 ? -std::pow(-v, 1 / 0.43) : std::pow(v, 1 / 0.43);
        return c0;
    }())));
    return std::atan2(lab[2] - lab0[2], lab[1] - lab0[1]);
}

}  // namespace

namespace {

// Chroma up to which the hue lines are followed (less in the shadows);
// stronger colours, mostly beyond the real gamut, keep the hue correction
// reached there.
constexpr double kFollowChroma = 60.0;

// The UPLab hue of the CIELab colour (L, C, h): the direction in which the IPT
// hue line through the colour leaves the neutral axis. The move fades in with
// chroma and with lightness, so that UPLab stays smooth around the neutral
// axis and in the deepest shadows.
double uplab_hue(double L, double C, double h) {
    const double l = std::fmin(95.0, std::fmax(8.0, L));
    const double c = std::fmin(C, std::fmin(kFollowChroma, 10.0 + 0.6 * l));
    const double moved = uplab_hue_of_ipt_hue(l, ipt_hue({l, c * std::cos(h), c * std::sin(h)}));
    const double t = std::fmin(1.0, std::fmax(0.0, (L - 8.0) / 24.0));
    const double weight = t * t * (3 - 2 * t) * C * C / (C * C + 100.0);
    return h + weight * wrap(moved - h);
}

}  // namespace

Vec3 lab_to_uplab(const Vec3& lab) {
    const double c = std::hypot(lab[1], lab[2]);
    if (c < 1e-9) return lab;
    const double h2 = uplab_hue(lab[0], c, std::atan2(lab[2], lab[1]));
    return {lab[0], c * std::cos(h2), c * std::sin(h2)};
}

Vec3 uplab_to_lab(const Vec3& up) {
    const double c = std::hypot(up[1], up[2]);
    if (c < 1e-9) return up;
    const double target = std::atan2(up[2], up[1]);
    // The UPLab hue increases with the CIELab hue: find the step of a coarse
    // scan where it passes the target, then bisect.
    const int steps = 90;
    double prev_h = -kPi, prev_e = wrap(uplab_hue(up[0], c, prev_h) - target);
    double lo = 0, hi = 0;
    bool found = false;
    for (int i = 1; i <= steps && !found; ++i) {
        const double h = -kPi + 2 * kPi * i / steps;
        const double e = wrap(uplab_hue(up[0], c, h) - target);
        if (prev_e <= 0 && e >= 0 && e - prev_e < kPi) {
            lo = prev_h;
            hi = h;
            found = true;
        }
        prev_h = h;
        prev_e = e;
    }
    if (!found) return up;
    for (int it = 0; it < 50; ++it) {
        const double mid = (lo + hi) / 2;
        (wrap(uplab_hue(up[0], c, mid) - target) < 0 ? lo : hi) = mid;
    }
    const double h = (lo + hi) / 2;
    return {up[0], c * std::cos(h), c * std::sin(h)};
}

}  // namespace gen
