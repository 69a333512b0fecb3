// The film looks of the colour filters and the UPLab resource.
//
// Black-and-white looks weigh the linear Beta RGB channels into a luminance
// and give it a characteristic curve (toe and shoulder); toned looks add a
// hue whose chroma follows lightness; colour looks change contrast, overall
// chroma and the chroma and hue of chosen hue bands. RGB looks take Beta RGB
// (gamma 563/256) on their device side, Lab looks take UPLab.
#include <cmath>
#include <map>
#include <stdexcept>

#include "profiles.h"

namespace gen {

using dvk::icc::sig;

namespace {

constexpr double kPi = 3.14159265358979323846;

struct HueBand {
    double centre_deg, width_deg, chroma_gain, hue_shift_deg;
};

struct Look {
    // Monochrome looks: channel weights (sum 1) of linear Beta RGB.
    bool mono = false;
    double weights[3] = {0.30, 0.59, 0.11};
    // Characteristic curve: contrast around mid-grey, toe and shoulder softness.
    double contrast = 1.0, toe = 0.0, shoulder = 0.0;
    // Toning: hue (degrees) and the chroma at mid-grey (falls to 0 at black and white);
    // a second hue for the shadows (split toning) when shadow_chroma > 0.
    double tone_hue = 0, tone_chroma = 0, shadow_hue = 0, shadow_chroma = 0;
    // Colour looks.
    double chroma = 1.0;
    std::vector<HueBand> bands;
};

const std::map<std::string, Look>& looks() {
    static const std::map<std::string, Look> table = [] {
        std::map<std::string, Look> t;
        auto mono = [](double r, double g, double b, double contrast, double toe, double shoulder) {
            Look l;
            l.mono = true;
            l.weights[0] = r;
            l.weights[1] = g;
            l.weights[2] = b;
            l.contrast = contrast;
            l.toe = toe;
            l.shoulder = shoulder;
            return l;
        };
        auto toned = [&](Look l, double hue, double chroma) {
            l.tone_hue = hue;
            l.tone_chroma = chroma;
            return l;
        };
        auto colour = [](double contrast, double chroma, std::vector<HueBand> bands) {
            Look l;
            l.contrast = contrast;
            l.chroma = chroma;
            l.bands = std::move(bands);
            return l;
        };
        // RGB looks.
        t["BetaRGBV100"] = colour(1.10, 1.18, {{20, 40, 1.10, 0}, {250, 50, 1.15, -4}});
        t["BetaRGBA25"] = mono(0.20, 0.65, 0.15, 1.15, 0.10, 0.15);      // orthopanchromatic, crisp
        t["BetaRGBP50"] = mono(0.36, 0.54, 0.10, 1.05, 0.15, 0.25);      // red-sensitive, soft shoulder
        t["BetaRGBV50"] = colour(1.18, 1.30, {{30, 40, 1.10, 3}, {140, 50, 1.15, -6}, {250, 40, 1.20, 0}});
        t["BetaRGBAstia100F"] = colour(0.95, 1.05, {{55, 40, 0.92, -3}, {250, 50, 1.10, 0}});
        t["BetaRGBPortra160NC"] = colour(0.90, 0.85, {{55, 50, 0.95, -4}, {140, 60, 0.85, 5}});
        t["BetaRGBTechnicolor4"] = colour(1.15, 1.25, {{30, 50, 1.20, -5}, {190, 60, 1.25, 8}});
        t["BetaRGBEktar"] = colour(1.08, 1.22, {{35, 40, 1.15, 0}, {250, 50, 1.20, -5}});
        t["BetaRGBGrey"] = mono(0.30, 0.59, 0.11, 1.0, 0.05, 0.05);
        t["BetaRGBSepia"] = toned(mono(0.30, 0.59, 0.11, 1.0, 0.05, 0.10), 70, 18);
        t["BetaRGBGreen"] = toned(mono(0.30, 0.59, 0.11, 1.0, 0.05, 0.10), 150, 12);
        t["BetaRGBBlue"] = toned(mono(0.30, 0.59, 0.11, 1.0, 0.05, 0.10), 255, 14);
        // Lab looks.
        Look lith_sg = toned(mono(0.30, 0.59, 0.11, 1.45, 0.35, 0.05), 65, 16);
        lith_sg.shadow_hue = 300;
        lith_sg.shadow_chroma = 6;
        t["GF Lith Selenium-Gold"] = lith_sg;
        Look lith_s = toned(mono(0.30, 0.59, 0.11, 1.40, 0.30, 0.05), 55, 10);
        lith_s.shadow_hue = 330;
        lith_s.shadow_chroma = 5;
        t["GF Lith Selenium"] = lith_s;
        t["GF Lith Silver"] = toned(mono(0.30, 0.59, 0.11, 1.35, 0.30, 0.05), 80, 5);
        t["KL25 B&W"] = mono(0.28, 0.60, 0.12, 1.20, 0.10, 0.10);
        t["LFv2"] = colour(1.06, 1.20, {{35, 40, 1.15, 0}, {250, 50, 1.15, -4}});
        t["TC4v2"] = colour(1.12, 1.20, {{30, 50, 1.20, -5}, {190, 60, 1.20, 8}});
        t["V50v2"] = colour(1.15, 1.28, {{30, 40, 1.10, 3}, {140, 50, 1.15, -6}, {250, 40, 1.20, 0}});
        t["K64"] = colour(1.10, 1.10, {{30, 40, 1.10, 4}, {100, 40, 1.10, -5}, {250, 50, 0.95, 6}});
        Look duo = toned(mono(0.30, 0.59, 0.11, 1.05, 0.05, 0.10), 60, 14);
        duo.shadow_hue = 240;
        duo.shadow_chroma = 10;
        t["Duo"] = duo;
        t["K64 PW"] = colour(1.05, 1.00, {{30, 40, 1.05, 6}, {60, 40, 0.90, 4}});
        t["TP25 B&W"] = mono(0.25, 0.55, 0.20, 1.30, 0.15, 0.05);
        return t;
    }();
    return table;
}

// Characteristic curve on L/100: contrast around 0.5 through a smooth
// S-curve, then toe and shoulder compression; 0 and 1 are fixed.
double characteristic(const Look& lk, double x) {
    x = std::fmin(1, std::fmax(0, x));
    double c = lk.contrast;
    // A logistic S-curve normalised to pass 0, 0.5, 1.
    auto s = [c](double v) { return 1 / (1 + std::exp(-4 * c * (v - 0.5))); };
    double y = c == 1.0 ? x : (s(x) - s(0)) / (s(1) - s(0));
    y = y + lk.toe * y * (1 - y) * (1 - y) * -1.0 + lk.shoulder * y * y * (1 - y);
    return std::fmin(1, std::fmax(0, y));
}

double hue_weight(double h_deg, const HueBand& b) {
    double d = std::fmod(std::fabs(h_deg - b.centre_deg), 360.0);
    if (d > 180) d = 360 - d;
    return std::exp(-0.5 * (d / (b.width_deg / 2)) * (d / (b.width_deg / 2)));
}

Vec3 apply_look(const Look& lk, const Vec3& lab) {
    if (lk.mono) {
        static const Mat3 to_beta = inverse({{{0.67127991, 0.17459106, 0.11833191},
                                              {0.30328369, 0.66378784, 0.03292847},
                                              {0.0, 0.04069519, 0.78419495}}});
        Vec3 lin = mul(to_beta, lab_to_xyz(lab));
        double y = 0;
        for (int c = 0; c < 3; ++c) y += lk.weights[c] * std::fmax(0, lin[c]);
        double L = xyz_to_lab({0.9642 * y, y, 0.8249 * y})[0];
        L = 100 * characteristic(lk, L / 100);
        double a = 0, b = 0;
        if (lk.tone_chroma > 0) {
            double x = L / 100;
            double hl = lk.shadow_chroma > 0 ? x : 1.0;  // share of the highlight tone
            double ch = lk.tone_chroma * 4 * x * (1 - x);
            double hr = lk.tone_hue * kPi / 180, sr = lk.shadow_hue * kPi / 180;
            a = hl * ch * std::cos(hr);
            b = hl * ch * std::sin(hr);
            if (lk.shadow_chroma > 0) {
                double cs = lk.shadow_chroma * 4 * x * (1 - x) * (1 - x);
                a += cs * std::cos(sr);
                b += cs * std::sin(sr);
            }
        }
        return {L, a, b};
    }
    double L = 100 * characteristic(lk, lab[0] / 100);
    double C = std::hypot(lab[1], lab[2]);
    double h = std::atan2(lab[2], lab[1]) * 180 / kPi;
    if (h < 0) h += 360;
    double gain = lk.chroma, shift = 0;
    for (const HueBand& band : lk.bands) {
        double w = hue_weight(h, band);
        gain *= 1 + (band.chroma_gain - 1) * w;
        shift += band.hue_shift_deg * w;
    }
    // Chroma gain eases off for colours that are already strong.
    double c2 = C * gain / (1 + std::fmax(0, gain - 1) * C / 150);
    double h2 = (h + shift) * kPi / 180;
    return {L, c2 * std::cos(h2), c2 * std::sin(h2)};
}

const Look& look_named(const std::string& name) {
    auto it = looks().find(name);
    if (it == looks().end()) throw std::runtime_error("no look named " + name);
    return it->second;
}

Vec3 rgb_look_forward(const Vec3& rgb, const void* ctx) {
    return apply_look(*static_cast<const Look*>(ctx), beta_rgb_to_lab(rgb));
}
Vec3 rgb_look_backward(const Vec3& lab, const void*) { return lab_to_beta_rgb_clipped(lab); }
// The Lab looks share one grid, so each node is turned from UPLab into CIELab once.
Vec3 uplab_to_lab_cached(const Vec3& up) {
    static std::map<Vec3, Vec3> cache;
    auto it = cache.find(up);
    if (it != cache.end()) return it->second;
    Vec3 lab = uplab_to_lab(up);
    cache.emplace(up, lab);
    return lab;
}

Vec3 lab_look_forward(const Vec3& up, const void* ctx) {
    return apply_look(*static_cast<const Look*>(ctx), uplab_to_lab_cached(up));
}
Vec3 lab_look_backward(const Vec3& lab, const void*) { return lab_to_uplab(lab); }
Vec3 uplab_forward(const Vec3& up, const void*) { return uplab_to_lab_cached(up); }
Vec3 uplab_backward(const Vec3& lab, const void*) { return lab_to_uplab(lab); }

Bytes look_profile(const std::string& name, bool lab_device) {
    const Look& lk = look_named(name);
    dvk::icc::Header h = lut_header(0x02200000, lab_device ? sig("abst") : sig("scnr"), lab_device ? sig("Lab ") : sig("RGB "));
    if (lab_device) h.device_class = sig("spac");
    dvk::icc::Writer w(h);
    w.add(sig("desc"), dvk::icc::text_description("DVK film look " + name));
    w.add(sig("cprt"), dvk::icc::text_type("Film look designed for DVK; no rights reserved."));
    w.add(sig("wtpt"), dvk::icc::xyz_type(0.9642, 1.0, 0.8249));
    if (lab_device) {
        w.add(sig("A2B0"), lut_from_function(true, true, 33, lab_look_forward, &lk));
        w.add(sig("B2A0"), lut_from_function(true, true, 17, lab_look_backward, nullptr));
    } else {
        w.add(sig("A2B0"), lut_from_function(false, true, 33, rgb_look_forward, &lk));
        w.add(sig("B2A0"), lut_from_function(true, false, 17, rgb_look_backward, nullptr));
    }
    return w.build();
}

}  // namespace

Bytes rgb_look_profile(const std::string& name) { return look_profile(name, false); }
Bytes lab_look_profile(const std::string& name) { return look_profile(name, true); }

Bytes uplab_profile() {
    dvk::icc::Header h = lut_header(0x02200000, sig("spac"), sig("Lab "));
    dvk::icc::Writer w(h);
    w.add(sig("desc"), dvk::icc::text_description("DVK CIELab to UPLab"));
    w.add(sig("cprt"), dvk::icc::text_type(
                           "Made by DVK: L* and chroma kept, hues moved along the hue lines of IPT "
                           "(Ebner and Fairchild, 1998); no rights reserved."));
    w.add(sig("wtpt"), dvk::icc::xyz_type(0.9642, 1.0, 0.8249));
    w.add(sig("A2B0"), lut_from_function(true, true, 33, uplab_forward, nullptr));
    w.add(sig("B2A0"), lut_from_function(true, true, 33, uplab_backward, nullptr));
    return w.build();
}

}  // namespace gen
