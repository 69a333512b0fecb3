// Colour maths of the profile generator: CIE XYZ, CIELab, chromatic
// adaptation, RGB colorant matrices from primaries, and the hue-linear IPT
// opponent space (Ebner and Fairchild, 1998) behind UPLab.
#pragma once

#include <array>

namespace gen {

using Vec3 = std::array<double, 3>;
using Mat3 = std::array<Vec3, 3>;  // rows

extern const Vec3 kD50;  // ICC connection-space white
extern const Vec3 kD65;

Vec3 mul(const Mat3& m, const Vec3& v);
Mat3 mul(const Mat3& a, const Mat3& b);
Mat3 inverse(const Mat3& m);
Vec3 xy_to_xyz(double x, double y);  // Y = 1
// RGB to XYZ from the chromaticities of the primaries and the white.
Mat3 rgb_to_xyz_matrix(const double xy[3][2], const Vec3& white);
// Bradford adaptation from white `from` to white `to`.
Mat3 bradford(const Vec3& from, const Vec3& to);

Vec3 xyz_to_lab(const Vec3& xyz, const Vec3& white = kD50);
Vec3 lab_to_xyz(const Vec3& lab, const Vec3& white = kD50);

// IPT of a colour given as CIELab (D50); hue angle of IPT in radians.
Vec3 lab_to_ipt(const Vec3& lab);
double ipt_hue(const Vec3& lab);

// UPLab: CIELab with L* and chroma kept and each hue moved so that colours of
// one IPT hue lie on one straight line from the neutral axis.
Vec3 lab_to_uplab(const Vec3& lab);
Vec3 uplab_to_lab(const Vec3& uplab);

}  // namespace gen
