// The built-in profile name for the camera of a loaded raw file: an ordered
// list of make and model rules, the first that fits answers.
#include <strings.h>

#include <cstring>
#include <initializer_list>

#include "colour/camera_profile.h"
#include "core/dvklib.h"

namespace dvk {

namespace {

bool has(const char* text, const char* what) { return strcasestr(text, what) != nullptr; }

bool has_any(const char* text, std::initializer_list<const char*> words) {
    for (const char* w : words)
        if (has(text, w)) return true;
    return false;
}

// ISO step: the ISO speed truncated to an integer, rounded into the steps of
// the per-ISO camera profiles.
unsigned iso_step(float iso_speed) {
    unsigned iso = (iso_speed > 0 && iso_speed < 4.0e9f) ? unsigned(iso_speed) : 0;
    static const unsigned limits[] = {70, 142, 285, 570, 1140, 2250, 4500, 9000, 18000};
    static const unsigned steps[] = {50, 100, 200, 400, 800, 1600, 3200, 6400, 12800};
    for (int i = 0; i < 9; ++i)
        if (iso < limits[i]) return steps[i];
    return 25600;
}

// The Canon mirrorless lines are named by the letters R or M after "EOS "
// (EOS R, EOS R5, EOS RP, EOS M50, EOS M6 Mark II); "EOS Rebel" is not one.
bool canon_mirrorless(const char* model) {
    if (strncasecmp(model, "EOS ", 4) != 0) return false;
    const char c = model[4];
    if (c != 'R' && c != 'r' && c != 'M' && c != 'm') return false;
    const char next = model[5];
    if (next == '\0' || next == ' ' || (next >= '0' && next <= '9')) return true;
    return (next == 'P' || next == 'p' || next == 'a') && (model[6] == '\0' || model[6] == ' ');
}

const char* canon_rule(const char* m, unsigned s, float iso) {
    if (has(m, "10D")) return "Canon 10D";
    if (has_any(m, {"450D", "XSi"})) return "Canon 450D";
    if (has_any(m, {"1000D", "XS"})) return "Canon 1000D";
    if (has_any(m, {"500D", "T1i", "X3"})) return "Canon 500D";
    if (has_any(m, {"550D", "600D", "650D", "750D", "760D", "1100D", "T3", "T2i", "T4i", "T6i", "T6s", "T3i"}))
        return "Canon 550D";
    if (has_any(m, {"400D", "XTi", "KISS DIGITAL X"})) return "Canon 450D";
    if (has_any(m, {"350D", "XT", "KISS DIGITAL N"})) return "Canon 450D";
    if (has_any(m, {"300D", "REBEL", "KISS"})) return "Canon 450D";
    if (has(m, "20D")) return "Canon 20D Outdoors";
    if (has(m, "30D")) return "Canon 30D Outdoors";
    if (has(m, "40D")) return "Canon 40D";
    if (has(m, "D30")) return "Canon D30 Office";
    if (has(m, "D60")) return "Canon D60";
    if (has(m, "5DS")) return "Canon 5DSR";
    if (has_any(m, {"5D Mark III", "5D Mark IV", "1D C", "1D X", "7D Mark"}) || canon_mirrorless(m))
        return "Canon 5D Mark III";
    if (has_any(m, {"7D", "6D"})) {
        if (s < 200) return "Canon 7D 100";
        if (s < 400) return "Canon 7D 200";
        if (s < 800) return "Canon 7D 400";
        if (s < 1600) return "Canon 7D 800";
        if (s < 3200) return "Canon 7D 1600";
        if (s == 3200) return "Canon 7D 3200";
        if (s == 6400) return "Canon 7D 6400";
        return "Canon 7D 12800";
    }
    if (has(m, "5D Mark II")) return "Canon 5D Mark II";
    if (has(m, "1D Mark IV")) {
        if (s < 100) return "Canon 5D Mark II 50";
        if (s < 200) return "Canon 5D Mark II 100";
        if (s < 400) return "Canon 5D Mark II 200";
        if (s < 800) return "Canon 5D Mark II 400";
        if (s < 1600) return "Canon 5D Mark II 800";
        if (s < 3200) return "Canon 5D Mark II 1600";
        if (s == 3200) return "Canon 5D Mark II 3200";
        if (s == 6400) return "Canon 5D Mark II 6400";
        return "Canon 5D Mark II 12800";
    }
    if (has(m, "5D")) return "Canon 5D";
    if (has(m, "1D Mark III")) return "Canon 1D MkIII";
    if (has(m, "50D")) return "Canon 50D";
    if (has_any(m, {"60D", "70D", "80D"})) return "Canon 60D";
    if (has(m, "G1 X")) return "Canon 60D";
    if (has(m, "1D Mark II N")) return "Canon 1D MkIIn Outdoors";
    if (has(m, "1D Mark II")) return "Canon 1D MkII";
    if (has(m, "1Ds Mark III")) return "Canon 1Ds MkIII";
    if (has(m, "1Ds Mark II")) return "Canon 1Ds MkII";
    if (has(m, "1Ds")) return "Canon 1Ds";
    if (has(m, "1D")) return "Canon 1D Outdoors";
    if (has_any(m, {"G2", "G3", "G5", "S60", "S45", "S40", "S30", "Pro1"})) return "Canon P&S 1";
    if (has_any(m, {"G11", "SX50"})) {
        if (iso < 100) return "Canon G11 80";
        if (iso < 200) return "Canon G11 100";
        return "Canon G11 200";
    }
    if (has_any(m, {"G12", "S95", "S100"})) return "Canon G12";
    if (has_any(m, {"G10", "SX10", "S90", "SX1 IS"})) return "Canon G10";
    return "Canon 1Ds MkII";
}

const char* fuji_rule(const char* m) {
    if (has(m, "S5Pro") || has(m, "S3Pro") || std::strcmp(m, "FinePix X100") == 0 || has(m, "EXR") ||
        has(m, "S2Pro"))
        return "Fuji S5";
    if (std::strcmp(m, "X10") == 0 || has_any(m, {"X-S1", "X30", "X20", "X-T20", "X70"})) return "Fuji X10";
    if (has(m, "XQ")) return "Fuji XQ1";
    if (has(m, "X-T10")) return "Fuji XPro1";
    if (has_any(m, {"X-T1", "X-E", "X-T2"})) return "Fuji XT1";
    if (has_any(m, {"X-", "X100S", "X100T"})) return "Fuji XPro1";
    if (has(m, "S100FS")) return "Fuji S100FS";
    return "Fuji XT1";
}

// Names "<base> <step>" for the D3 and D700 families.
const char* nikon_d3_family(unsigned s, const char* const names[9]) {
    if (s < 200) return names[0];
    if (s < 400) return names[1];
    if (s < 800) return names[2];
    if (s < 1600) return names[3];
    if (s < 3200) return names[4];
    if (s < 6400) return names[5];
    if (s == 6400) return names[6];
    if (s == 12800) return names[7];
    return names[8];
}

const char* nikon_rule(const char* m, unsigned s) {
    if (strcasecmp(m, "D1") == 0) return "NikonD1";
    if (std::strcmp(m, "D2X") == 0 || std::strcmp(m, "D2Xs") == 0) return "NikonD2X";
    if (std::strcmp(m, "D60") == 0) return "NikonD60";
    if (std::strcmp(m, "D90") == 0) return "NikonD90";
    if (has(m, "D200")) return "Nikon D200";
    if (has(m, "D3X")) {
        if (s < 100) return "Nikon D3X 50";
        if (s < 200) return "Nikon D3X 100";
        if (s < 400) return "Nikon D3X 200";
        if (s < 800) return "Nikon D3X 400";
        if (s == 800) return "Nikon D3X 800";
        if (s == 1600) return "Nikon D3X 1600";
        return "Nikon D3X 3200";
    }
    if (has(m, "D3S")) return s < 800 ? "Nikon D3S" : "Nikon D3S 800";
    if (has(m, "D300S")) return "Nikon D300S";
    if (has_any(m, {"D7000", "D5100", "D5300", "D5500", "D3200", "D3100"})) return "Nikon D7000";
    if (has_any(m, {"D7200", "D7100"})) return "Nikon D7100";
    if (has(m, "D300")) {
        if (s < 200) return "Nikon D300 100";
        if (s < 400) return "Nikon D300 200";
        if (s < 800) return "Nikon D300 400";
        if (s < 1600) return "Nikon D300 800";
        if (s == 1600) return "Nikon D300 1600";
        if (s == 3200) return "Nikon D300 3200";
        return "Nikon D300 6400";
    }
    if (strcasecmp(m, "D3") == 0) {
        static const char* const names[9] = {"Nikon D3 100",  "Nikon D3 200",  "Nikon D3 400",
                                             "Nikon D3 800",  "Nikon D3 1600", "Nikon D3 3200",
                                             "Nikon D3 6400", "Nikon D3 12800", "Nikon D3 25600"};
        return nikon_d3_family(s, names);
    }
    if (strcasecmp(m, "D4S") == 0 || strcasecmp(m, "D5") == 0) return "Nikon D4s";
    if (strcasecmp(m, "D4") == 0) return "Nikon D4";
    if (strcasecmp(m, "D700") == 0) {
        static const char* const names[9] = {"Nikon D700 100",  "Nikon D700 200",  "Nikon D700 400",
                                             "Nikon D700 800",  "Nikon D700 1600", "Nikon D700 3200",
                                             "Nikon D700 6400", "Nikon D700 12800", "Nikon D700 25600"};
        return nikon_d3_family(s, names);
    }
    if (has_any(m, {"D800", "D600", "D610"})) return "Nikon D800";
    if (has(m, "D810")) return "Nikon D810";
    if (has_any(m, {"D850", "Z"})) return "Nikon D850";
    if (has(m, "D750")) return "Nikon D750";
    if (has(m, "Df")) return "Nikon Df";
    if (strncasecmp(m, "D", 1) == 0) return "Nikon D200";
    if (has_any(m, {"P6000", "P7100", "P7700", "P7000"})) return "Nikon P7000";
    if (has_any(m, {"V1", "J"})) return "Nikon V1";
    if (has(m, "LS")) return "Built-in";
    return "Nikon D200";
}

}  // namespace

const char* camera_builtin_profile_name(const DVKLib* d) {
    if (d && d->custom_profile_name) return d->custom_profile_name;
    return camera_own_profile_name(d);
}

const char* camera_own_profile_name(const DVKLib* d) {
    if (!d || !d->libraw) return "Built-in";
    const auto& img = d->raw().imgdata;
    const char* make = img.idata.make;
    const char* m = img.idata.model;
    const float iso = img.other.iso_speed;
    const unsigned s = iso_step(iso);

    if (has(make, "CASIO")) return "Sony Alpha";
    if (has(make, "Apple") || has(make, "DNG")) return "Built-in";
    if (has(make, "CANON")) return canon_rule(m, s, iso);
    if (has(make, "FUJIFILM")) return fuji_rule(m);
    if (has(make, "NIKON")) return nikon_rule(m, s);
    if (has(make, "MINOLTA")) return "Sony Alpha";
    if (has(make, "PENTAX")) {
        if (has_any(m, {"K-x", "K-5"})) return "Pentax K-x";
        if (has(m, "K-3")) return "Pentax K-3";
        if (has_any(m, {"K-7", "K-r", "MX"})) return "Pentax K-7";
        if (has(m, "K20D")) return "Pentax K20D";
        return "Pentax K200D";
    }
    if (has(make, "SAMSUNG")) {
        if (has_any(m, {"NX", "TL", "EX", "WB"})) return "Samsung NX10";
        if (!has(m, "GX")) return "SamsungSmall";
        return "Pentax K200D";
    }
    if (has(make, "LEICA")) {
        if (has(m, "D-LUX 5")) return "Panasonic LX5";
        if (has(m, "DIGILUX 3")) return "Built-in";
        if (has(m, "DMR")) return "Built-in";
        if (has(m, "M8")) return "Leica M8";
        if (has_any(m, {"M9", "240", "107", "X2", "Mono"})) return "Built-in";
        if (has(m, "X1")) return "Built-in";
        if (has(m, "S2")) return "Built-in";
        if (img.rawdata.iparams.dng_version != 0) return "Built-in";
        return "Panasonic G1";
    }
    if (has(make, "SONY")) {
        if (has_any(m, {"A900", "A850", "A99", "ILCA", "ILCE"})) return "Sony A900";
        if (has_any(m, {"A700", "A100", "A500", "A550", "A200", "A230", "A330", "A380", "A300", "A450", "A350"}))
            return "Sony Alpha";
        if (has_any(m, {"NEX", "MODEL", "SLT", "A560", "A580"}) || strcasecmp(m, "DSC-RX1") == 0 ||
            strcasecmp(m, "DSC-RX1R") == 0 || strcasecmp(m, "DSC-RX1RM2") == 0)
            return "Sony NEX";
        if (has_any(m, {"A290", "A390"})) return "Sony A290";
        if (has(m, "RX10")) return "Sony RX100";
        if (has(m, "DSC")) return "Sony DSC";
    }
    if (has(make, "OLYMPUS")) {
        if (has_any(m, {"E-10", "E-20"})) return "Olympus E10";
        if (has(m, "E-1")) return "Olympus E1";
        if (has_any(m, {"E-300", "E-500"})) return "Olympus E300";
        if (has(m, "E-330")) return "Olympus E330";
        if (has(m, "E-400")) return "Olympus E400";
        if (has_any(m, {"E-410", "E-420", "E-450", "E-30", "E-3", "E-5", "E-510", "E-520", "E-600", "E-620"}))
            return "Olympus E30";
        if (has_any(m, {"E-P1", "E-P2"})) return "Olympus EP1";
        if (has_any(m, {"E-PL1", "E-PL2", "E-PL3", "E-PL5", "E-PM1", "E-PM2"})) return "Olympus EPL1";
        if (has(m, "E-P3")) return "Olympus EP3";
        if (has_any(m, {"E-M5", "PEN-", "E-M1M", "E-P5"})) return "Olympus EM5";
        if (has(m, "E-M1")) return "Olympus EM1";
        if (has(m, "XZ-")) return "Olympus XZ1";
        if (has_any(m, {"C", "SP"})) return "Olympus C7070";
    }
    if (has(make, "PANASONIC")) {
        if (has(m, "G1")) return "Panasonic G1";
        if (has(m, "G2")) return "Panasonic G2";
        if (has_any(m, {"G3", "G5", "G6", "G7"})) return "Panasonic G3";
        if (has(m, "GH")) return "Panasonic GH2";
        if (has_any(m, {"GF5", "GM1", "GM5", "GX1"})) return "Panasonic GX1";
        if (has_any(m, {"GX7", "GX8"})) return "Panasonic GX7";
        if (has_any(m, {"GF3", "GF2", "GF1"})) return "Panasonic GF3";
        return "Panasonic LX3";
    }
    if (has(make, "KODAK")) {
        if (has_any(m, {"SLR/c", "14NX", "14N", "SLR/n"})) return "Kodak SLR";
        if (has(m, "760")) return "Kodak 760";
        if (has(m, "ProBack")) return "Kodak ProBack";
        return "Kodak";
    }
    if (has(make, "EPSON") && has(m, "R-D1")) return "Epson R-D1";
    if (has(make, "LEAF")) return "Leaf";
    if (has(make, "MAMIYA")) return "Mamiya";
    if (has(make, "HASSELBLAD")) return "Hasselblad";
    if (has(make, "PHASE ONE")) {
        if (has_any(m, {"65+", "180"})) return "Phase One P45+";
        if (has(m, "45+")) return "Phase One P45+";
        if (has(m, "45")) return "Phase One P45";
        if (has(m, "20+")) return "Phase One P20+";
        if (has(m, "20")) return "Phase One P20";
        if (has(m, "21+")) return "Phase One P21+";
        if (has(m, "21")) return "Phase One P21";
        if (has(m, "25+")) return "Phase One P25+";
        if (has(m, "25")) return "Phase One P25";
        if (has(m, "30+")) return "Phase One P30+";
        if (has(m, "30")) return "Phase One P30";
    }
    if (has(make, "SIGMA")) {
        if (has(m, "DP1")) return "Sigma DP1";
        if (has(m, "DP2")) return "Sigma DP2";
    }
    if (has(make, "RICOH")) return "Ricoh";
    return img.color.rgb_cam[0][0] == 0.0f ? "AdobeRGB2.2" : "Built-in";
}

}  // namespace dvk
