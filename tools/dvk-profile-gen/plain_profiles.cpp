// The working and output spaces: matrix/TRC profiles from published primaries
// and two perceptual table profiles of our own design.
#include <cmath>
#include <functional>
#include <stdexcept>

#include "profiles.h"

namespace gen {

using dvk::icc::sig;

namespace {

// The Beta RGB colorants (D50) as the engine's RGB-to-XYZ matrix gives them.
const Mat3 kBetaRgb = {{{0.67127991, 0.17459106, 0.11833191},
                        {0.30328369, 0.66378784, 0.03292847},
                        {0.0, 0.04069519, 0.78419495}}};

Mat3 adapted(const double xy[3][2], const Vec3& white) {
    Mat3 m = rgb_to_xyz_matrix(xy, white);
    if (white == kD50) return m;
    return mul(bradford(white, kD50), m);
}

const double kAdobeXY[3][2] = {{0.64, 0.33}, {0.21, 0.71}, {0.15, 0.06}};
const double kSrgbXY[3][2] = {{0.64, 0.33}, {0.30, 0.60}, {0.15, 0.06}};
const double kEciXY[3][2] = {{0.67, 0.33}, {0.21, 0.71}, {0.14, 0.08}};
const double kRommXY[3][2] = {{0.7347, 0.2653}, {0.1596, 0.8404}, {0.0366, 0.0001}};
const Vec3 kD65xy = xy_to_xyz(0.3127, 0.3290);
const Vec3 kD50xy = xy_to_xyz(0.3457, 0.3585);

double srgb_decode(double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); }
double srgb_encode(double v) { return v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055; }
double lstar_decode(double v) { return v > 0.08 ? std::pow((v * 100 + 16) / 116, 3) : v * 100 / (24389.0 / 27); }
double lstar_encode(double y) {
    return y > 216.0 / 24389 ? (116 * std::cbrt(y) - 16) / 100 : y * (24389.0 / 27) / 100;
}

std::vector<double> lstar_params() { return {3.0, 100.0 / 116, 16.0 / 116, 100.0 / (24389.0 / 27), 0.08}; }

struct Matrix {
    Mat3 m;
};

dvk::icc::Header matrix_header(unsigned version) {
    dvk::icc::Header h;
    h.cmm = 0;
    h.version = version;
    h.device_class = sig("mntr");
    h.colour_space = sig("RGB ");
    h.pcs = sig("XYZ ");
    h.illuminant[0] = dvk::icc::s15fixed16(0.9642);
    h.illuminant[1] = dvk::icc::s15fixed16(1.0);
    h.illuminant[2] = dvk::icc::s15fixed16(0.8249);
    h.creator = sig("DVK ");
    return h;
}

void add_colorants(dvk::icc::Writer& w, const Mat3& m) {
    w.add(sig("rXYZ"), dvk::icc::xyz_type(m[0][0], m[1][0], m[2][0]));
    w.add(sig("gXYZ"), dvk::icc::xyz_type(m[0][1], m[1][1], m[2][1]));
    w.add(sig("bXYZ"), dvk::icc::xyz_type(m[0][2], m[1][2], m[2][2]));
}

void add_curve(dvk::icc::Writer& w, Bytes curve) {
    auto c = std::make_shared<const Bytes>(std::move(curve));
    w.add(sig("rTRC"), c);
    w.add(sig("gTRC"), c);
    w.add(sig("bTRC"), c);
}

// Pads a profile with zero bytes to `size` (the size field follows).
Bytes padded(Bytes b, std::size_t size) {
    if (b.size() < size) {
        b.resize(size, 0);
        b[0] = std::uint8_t(size >> 24);
        b[1] = std::uint8_t(size >> 16);
        b[2] = std::uint8_t(size >> 8);
        b[3] = std::uint8_t(size);
    }
    return b;
}

Bytes v2_matrix(const std::string& desc, const std::string& cprt, unsigned version, const Mat3& m, Bytes curve,
                std::size_t size) {
    dvk::icc::Writer w(matrix_header(version));
    w.add(sig("desc"), dvk::icc::text_description(desc));
    w.add(sig("cprt"), dvk::icc::text_type(cprt));
    w.add(sig("wtpt"), dvk::icc::xyz_type(0.9642, 1.0, 0.8249));
    add_colorants(w, m);
    add_curve(w, std::move(curve));
    return padded(w.build(), size);
}

Bytes v4_matrix(const std::string& desc, const std::string& cprt, const Mat3& m, Bytes curve, const Vec3& media_white,
                std::size_t size) {
    dvk::icc::Writer w(matrix_header(0x04000000));
    w.add(sig("desc"), dvk::icc::multi_localized(desc));
    w.add(sig("cprt"), dvk::icc::multi_localized(cprt));
    w.add(sig("wtpt"), dvk::icc::xyz_type(media_white[0], media_white[1], media_white[2]));
    add_colorants(w, m);
    add_curve(w, std::move(curve));
    return padded(w.build(), size);
}

// A perceptual RGB/Lab table profile of our own design: the device side maps
// to colorimetric Lab with the black lifted to `black_l`; the way back
// undoes the lift and brings colours outside the RGB gamut in at constant
// lightness and hue by reducing chroma.
struct PerceptualSpace {
    Mat3 to_xyz;
    double (*decode)(double);
    double (*encode)(double);
    double black_l;
};

Vec3 perc_forward(const Vec3& rgb, const void* ctx) {
    const auto* s = static_cast<const PerceptualSpace*>(ctx);
    Vec3 lin = {s->decode(rgb[0]), s->decode(rgb[1]), s->decode(rgb[2])};
    Vec3 lab = xyz_to_lab(mul(s->to_xyz, lin));
    lab[0] = s->black_l + lab[0] * (100 - s->black_l) / 100;
    return lab;
}

bool in_gamut(const Vec3& lin) {
    for (double v : lin)
        if (v < -1e-6 || v > 1 + 1e-6) return false;
    return true;
}

Vec3 perc_backward(const Vec3& lab_in, const void* ctx) {
    const auto* s = static_cast<const PerceptualSpace*>(ctx);
    static thread_local Mat3 inv;
    static thread_local const PerceptualSpace* inv_of = nullptr;
    if (inv_of != s) {
        inv = inverse(s->to_xyz);
        inv_of = s;
    }
    Vec3 lab = lab_in;
    lab[0] = std::fmin(100, std::fmax(0, (lab[0] - s->black_l) * 100 / (100 - s->black_l)));
    auto lin_of = [&](double k) { return mul(inv, lab_to_xyz({lab[0], lab[1] * k, lab[2] * k})); };
    Vec3 lin = lin_of(1);
    if (!in_gamut(lin)) {
        double lo = 0, hi = 1;
        for (int i = 0; i < 30; ++i) {
            double mid = (lo + hi) / 2;
            (in_gamut(lin_of(mid)) ? lo : hi) = mid;
        }
        lin = lin_of(lo);
    }
    Vec3 out;
    for (int c = 0; c < 3; ++c) out[c] = s->encode(std::fmin(1, std::fmax(0, lin[c])));
    return out;
}

double beta_decode(double v) { return std::pow(v, 563.0 / 256); }
double beta_encode(double v) { return std::pow(v, 256.0 / 563); }

Bytes perceptual_profile(const std::string& desc, const std::string& cprt, unsigned version, std::uint32_t cls,
                         const PerceptualSpace& space, unsigned grid) {
    dvk::icc::Header h = lut_header(version, cls, sig("RGB "));
    h.intent = 0;
    dvk::icc::Writer w(h);
    if (version >= 0x04000000) {
        w.add(sig("desc"), dvk::icc::multi_localized(desc));
        w.add(sig("cprt"), dvk::icc::multi_localized(cprt));
    } else {
        w.add(sig("desc"), dvk::icc::text_description(desc));
        w.add(sig("cprt"), dvk::icc::text_type(cprt));
    }
    w.add(sig("wtpt"), dvk::icc::xyz_type(0.9642, 1.0, 0.8249));
    w.add(sig("A2B0"), lut_from_function(false, true, grid, perc_forward, &space));
    w.add(sig("B2A0"), lut_from_function(true, false, grid, perc_backward, &space));
    return w.build();
}

}  // namespace

dvk::icc::Header lut_header(unsigned version, std::uint32_t device_class, std::uint32_t space) {
    dvk::icc::Header h = matrix_header(version);
    h.device_class = device_class;
    h.colour_space = space;
    h.pcs = sig("Lab ");
    return h;
}

Vec3 beta_rgb_to_lab(const Vec3& rgb) {
    Vec3 lin = {beta_decode(std::fmax(rgb[0], 0)), beta_decode(std::fmax(rgb[1], 0)), beta_decode(std::fmax(rgb[2], 0))};
    return xyz_to_lab(mul(kBetaRgb, lin));
}

Vec3 lab_to_beta_rgb_clipped(const Vec3& lab) {
    static const PerceptualSpace beta{kBetaRgb, beta_decode, beta_encode, 0.0};
    return perc_backward(lab, &beta);
}

Bytes plain_profile(const std::string& name) {
    const std::string free = "Public domain; made by DVK.";
    if (name == "BetaRGB2.2")
        return v2_matrix("DVK Beta RGB, gamma 2.2", free, 0x02100000, kBetaRgb, dvk::icc::curve_gamma(563), 592);
    if (name == "BetaRGB1.0")
        return v2_matrix("DVK Beta RGB, linear", free, 0x02100000, kBetaRgb, dvk::icc::curve_gamma(256), 496);
    if (name == "AdobeRGB2.2")
        return v2_matrix("DVK AdobeRGB-compatible 2.2", free, 0x02100000, adapted(kAdobeXY, kD65xy),
                         dvk::icc::curve_gamma(563), 496);
    if (name == "sRGBwithBPC2.2") {
        std::vector<std::uint16_t> t(1024);
        for (int i = 0; i < 1024; ++i) t[std::size_t(i)] = std::uint16_t(std::lround(srgb_decode(i / 1023.0) * 65535));
        dvk::icc::Writer w(matrix_header(0x02000000));
        w.add(sig("desc"), dvk::icc::text_description("DVK sRGB (IEC 61966-2-1) with black point"));
        w.add(sig("cprt"), dvk::icc::text_type(free));
        w.add(sig("wtpt"), dvk::icc::xyz_type(0.9642, 1.0, 0.8249));
        w.add(sig("bkpt"), dvk::icc::xyz_type(0, 0, 0));
        add_colorants(w, adapted(kSrgbXY, kD65xy));
        add_curve(w, dvk::icc::curve_table(t));
        return padded(w.build(), 3024);
    }
    if (name == "sRGBv4") {
        static const PerceptualSpace s{adapted(kSrgbXY, kD65xy), srgb_decode, srgb_encode, 3.1373};
        return perceptual_profile("DVK sRGB v4 perceptual", free, 0x04200000, sig("spac"), s, 17);
    }
    if (name == "ECIRGBv4")
        return v4_matrix("DVK eciRGB v2 compatible, L* curve", free, adapted(kEciXY, kD50xy),
                         dvk::icc::parametric_curve(3, lstar_params()), kD50, 708);
    if (name == "BetaStar")
        return v4_matrix("DVK Beta RGB, L* curve", free, kBetaRgb, dvk::icc::parametric_curve(3, lstar_params()), kD50,
                         668);
    if (name == "BetaStarPerc") {
        static const PerceptualSpace s{kBetaRgb, lstar_decode, lstar_encode, 0.0};
        return perceptual_profile("DVK Beta RGB, L* curve, perceptual tables", free, 0x02200000, sig("mntr"), s, 33);
    }
    if (name == "ProPhotoStar")
        return v4_matrix("DVK ProPhoto RGB, L*", free, adapted(kRommXY, kD50xy),
                         dvk::icc::parametric_curve(3, lstar_params()), kD50, 596);
    if (name == "HD709")
        return v2_matrix("DVK ITU-R BT.709 reference display", free, 0x02000000, adapted(kSrgbXY, kD65xy),
                         dvk::icc::curve_gamma(614), 596);
    if (name == "HD709A")
        return v4_matrix("DVK BT.709, gamma 1.961", free, adapted(kSrgbXY, kD65xy),
                         dvk::icc::parametric_curve(0, {1.961}), kD65, 628);
    throw std::runtime_error("no recipe for plain profile " + name);
}

Bytes lut_from_function(bool lab_in, bool lab_out, unsigned grid, Vec3 (*fn)(const Vec3&, const void*),
                        const void* ctx) {
    std::vector<std::uint16_t> clut;
    clut.reserve(std::size_t(grid) * grid * grid * 3);
    for (unsigned i = 0; i < grid; ++i)
        for (unsigned j = 0; j < grid; ++j)
            for (unsigned k = 0; k < grid; ++k) {
                const unsigned idx[3] = {i, j, k};
                Vec3 in;
                for (int c = 0; c < 3; ++c) {
                    double e = std::round(idx[c] * 65535.0 / (grid - 1));  // 16-bit node value
                    if (lab_in)
                        in[c] = c == 0 ? e * 100.0 / 65280.0 : e / 256.0 - 128.0;
                    else
                        in[c] = e / 65535.0;
                }
                Vec3 out = fn(in, ctx);
                for (int c = 0; c < 3; ++c) {
                    double e = lab_out ? (c == 0 ? out[c] * 652.80 : (out[c] + 128.0) * 256.0) : out[c] * 65535.0;
                    if (!std::isfinite(e)) e = 0;
                    clut.push_back(std::uint16_t(std::lround(std::fmin(65535, std::fmax(0, e)))));
                }
            }
    return dvk::icc::lut16(3, 3, grid, clut);
}

}  // namespace gen
