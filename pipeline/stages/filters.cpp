#include "pipeline/stages/filters.h"

namespace dvk {

namespace {

struct Filter {
    int code;
    const char* name;
    const char* rgb_profile;  // RGB filter profile, or null
};

// In the order names are matched.
const Filter kFilters[] = {
    {0, "Color", nullptr},
    {1, "Photobrom B&W", "BetaRGBGrey"},
    {2, "Bromportret Sepia", "BetaRGBSepia"},
    {3, "Iodocont Green", "BetaRGBGreen"},
    {4, "Iodocont Blue", "BetaRGBBlue"},
    {5, "Red-o-Green", nullptr},
    {6, "Lightness (Lab)", nullptr},
    {7, "A25 B&W", "BetaRGBA25"},
    {8, "V100", "BetaRGBV100"},
    {10, "P160NC", "BetaRGBPortra160NC"},
    {11, "V50", "BetaRGBV50"},
    {14, "P50 B&W", "BetaRGBP50"},
    {15, "TC4", "BetaRGBTechnicolor4"},
    {16, "LF", "BetaRGBEktar"},
    {22, "A100F", "BetaRGBAstia100F"},
    {99, "Custom BetaRGB", "/tmp/BetaRGBCustom.icc"},
    {100, "Custom AdobeRGB", "/tmp/AdobeRGBCustom.icc"},
    {1000, "GF Lith Selenium-Gold", nullptr},
    {1001, "GF Lith Selenium", nullptr},
    {1002, "GF Lith Silver", nullptr},
    {1003, "KL25 B&W", nullptr},
    {1004, "LFv2", nullptr},
    {1005, "TC4v2", nullptr},
    {1006, "V50v2", nullptr},
    {1007, "K64", nullptr},
    {1008, "Duo", nullptr},
    {1009, "K64 PW", nullptr},
    {1010, "TP25 B&W", nullptr},
};

const char* const kOutputProfiles[kOutputProfileCount] = {
    "BetaRGB2.2", "sRGBwithBPC2.2", "ECIRGBv4", "sRGBv4", "BetaStar", "ProPhotoStar", "BetaStarPerc", "HD709A", "HD709",
};

}  // namespace

int filter_code_for_name(const std::string& name, const std::vector<std::string>& extra) {
    for (const Filter& f : kFilters)
        if (name == f.name) return f.code;
    for (std::size_t i = 0; i < extra.size(); ++i)
        if (extra[i] == name) return 2000 + static_cast<int>(i);
    return 0;
}

std::string filter_name_for_code(int code, const std::vector<std::string>& extra) {
    if (code >= 2000) {
        std::size_t i = static_cast<std::size_t>(code - 2000);
        return i < extra.size() ? extra[i] : std::string("Color");
    }
    if (code == 5) return "Color";  // set-only name
    for (const Filter& f : kFilters)
        if (f.code == code) return f.name;
    return "Color";
}

bool filter_is_rgb(int code) { return code != 0 && code != 6 && code < 1000; }

const char* rgb_filter_profile(int code) {
    for (const Filter& f : kFilters)
        if (f.code == code) return f.rgb_profile;
    return nullptr;
}

std::string lab_filter_profile(int code, const std::string& name, const std::vector<std::string>& extra) {
    if (code >= 2000) {
        std::size_t i = static_cast<std::size_t>(code - 2000);
        return i < extra.size() ? "/tmp/" + extra[i] : std::string();
    }
    if (code >= 1000) return name;
    return std::string();
}

const char* output_profile_name_for_code(int code) {
    if (code < 1 || code >= kOutputProfileCount) return kOutputProfiles[0];
    return kOutputProfiles[code];
}

}  // namespace dvk
