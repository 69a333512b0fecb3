#include "colour/camera_matrix.h"

#include <cmath>

#include "core/colour_maths.h"

namespace dvk {

const double kCameraD65White[3] = {0.9504285454, 1.0, 1.0889003708};
const double kBradfordD65ToD50[3][3] = {
    {1.04781124366063, 0.0228866024816929, -0.0501269759685289},
    {0.0295423982905749, 0.990484403490439, -0.0170490956289616},
    {-0.00923448972330948, 0.0150436167934988, 0.752131635474606},
};

namespace {

// A matrix whose determinant is this small against its largest element
// cubed carries no usable colour information.
bool degenerate(const double m[9]) {
    const double det = m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
                       m[2] * (m[3] * m[7] - m[4] * m[6]);
    double scale = 0;
    for (int k = 0; k < 9; ++k) scale = std::fmax(scale, std::fabs(m[k]));
    return !std::isfinite(det) || std::fabs(det) <= 1e-12 * scale * scale * scale;
}

}  // namespace

const char* camera_rgb_to_xyz_d50(const double k_in[9], double r[9]) {
    double k[9];
    for (int i = 0; i < 9; ++i) {
        if (!std::isfinite(k_in[i])) return "the matrix has a non-finite element";
        k[i] = k_in[i];
    }
    double w[3];
    matrix_multiply(k, kCameraD65White, w, 3, 3, 1);
    for (int c = 0; c < 3; ++c) {
        if (w[c] == 0.0 || !std::isfinite(w[c])) return "a camera channel has no response to white";
        for (int j = 0; j < 3; ++j) k[c + 3 * j] /= w[c];
    }
    if (degenerate(k) || !matrix3_invert(k)) return "the matrix is singular";
    double b[9];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) b[i + 3 * j] = kBradfordD65ToD50[i][j];
    double out[9];
    matrix_multiply(b, k, out, 3, 3, 3);
    for (double v : out)
        if (!std::isfinite(v) || std::fabs(v) >= 32767.0) return "the profile matrix is out of range";
    for (int i = 0; i < 9; ++i) r[i] = out[i];
    return nullptr;
}

icc::Bytes camera_matrix_icc_bytes(const std::string& camera_name, const double r[9], const std::string& copyright) {
    icc::Header h;
    h.cmm = icc::sig("appl");
    h.version = 0x02200000;
    h.device_class = icc::sig("scnr");
    h.colour_space = icc::sig("RGB ");
    h.pcs = icc::sig("XYZ ");
    h.date = icc::DateTime{2016, 7, 16, 10, 0, 0};
    h.platform = icc::sig("APPL");
    h.intent = 0;
    h.illuminant[0] = 63193;
    h.illuminant[1] = 65536;
    h.illuminant[2] = 54075;
    h.creator = icc::sig("DNG ");
    icc::Writer w(h);
    w.add(icc::sig("rXYZ"), icc::xyz_type(r[0], r[1], r[2]));
    w.add(icc::sig("gXYZ"), icc::xyz_type(r[3], r[4], r[5]));
    w.add(icc::sig("bXYZ"), icc::xyz_type(r[6], r[7], r[8]));
    w.add(icc::sig("wtpt"), icc::xyz_type_fixed(63193, 65536, 54075));
    auto curve = std::make_shared<const icc::Bytes>(icc::curve_gamma(602));
    w.add(icc::sig("rTRC"), curve);
    w.add(icc::sig("gTRC"), curve);
    w.add(icc::sig("bTRC"), curve);
    w.add(icc::sig("desc"), icc::text_description_ascii(camera_name.substr(0, 255)));
    if (!copyright.empty()) w.add(icc::sig("cprt"), icc::text_type(copyright));
    return w.build();
}

}  // namespace dvk
