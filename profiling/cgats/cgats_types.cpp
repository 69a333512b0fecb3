// Field types, value kinds, reserved keywords and quoting of CGATS text.
#include <cstring>

#include "profiling/cgats/cgats.h"

namespace dvk {

const char* data_type_name(data_type type) {
    switch (type) {
    case data_type::real: return "real";
    case data_type::integer: return "integer";
    case data_type::char_string: return "char string";
    case data_type::nonquoted_string: return "non-quoted char string";
    case data_type::no_type: return "no type";
    }
    return "no type";
}

data_type standard_field_type(const char* name) {
    static const char* const reals[] = {
        "CMYK_C", "CMYK_M", "CMYK_Y", "CMYK_K", "CMY_C",   "CMY_M",   "CMY_Y",   "D_RED",    "D_GREEN",
        "D_BLUE", "D_VIS",  "RGB_R",  "RGB_G",  "RGB_B",   "SPECTRAL_NM", "SPECTRAL_PCT", "XYZ_X", "XYZ_Y",
        "XYZ_Z",  "XYY_X",  "XYY_Y",  "XYY_CAPY", "LAB_L", "LAB_A",   "LAB_B",   "LAB_C",    "LAB_H",
        "LAB_DE", "STDEV_X", "STDEV_Y", "STDEV_Z", "STDEV_L", "STDEV_A", "STDEV_B", "STDEV_DE",
    };
    if (!name) return data_type::no_type;
    if (std::strcmp(name, "SAMPLE_ID") == 0) return data_type::nonquoted_string;
    if (std::strcmp(name, "STRING") == 0) return data_type::char_string;
    for (const char* r : reals)
        if (std::strcmp(name, r) == 0) return data_type::real;
    return data_type::no_type;
}

data_type guess_value_type(const char* text) {
    const std::size_t len = std::strlen(text);
    if (len == 0) return data_type::integer;
    if (text[0] == '"') {
        if (len >= 2 && text[len - 1] == '"') return data_type::char_string;
        return data_type::nonquoted_string;
    }
    bool point = false, exponent = false;
    for (std::size_t i = 0; i < len; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') continue;
        if (c == '+' || c == '-') {
            if (i == 0 || text[i - 1] == 'e' || text[i - 1] == 'E') continue;
            return data_type::nonquoted_string;
        }
        if (c == '.') {
            if (point || exponent) return data_type::nonquoted_string;
            point = true;
            continue;
        }
        if (c == 'e' || c == 'E') {
            if (exponent) return data_type::nonquoted_string;
            exponent = true;
            continue;
        }
        return data_type::nonquoted_string;
    }
    return point || exponent ? data_type::real : data_type::integer;
}

bool reserved_keyword(const char* name) {
    static const char* const reserved[] = {"NUMBER_OF_FIELDS", "BEGIN_DATA_FORMAT", "END_DATA_FORMAT",
                                           "NUMBER_OF_SETS",   "BEGIN_DATA",        "END_DATA",
                                           "KEYWORD"};
    if (!name) return false;
    for (const char* r : reserved)
        if (std::strcmp(name, r) == 0) return true;
    return false;
}

cgats_string quote_cs(cgats_alloc* al, const char* text) {
    cgats_string out{cgats_allocator<char>(al)};
    std::size_t quotes = 0;
    for (const char* p = text; *p; ++p) quotes += *p == '"';
    out.reserve(std::strlen(text) + quotes + 2);
    out += '"';
    for (const char* p = text; *p; ++p) {
        out += *p;
        if (*p == '"') out += '"';
    }
    out += '"';
    return out;
}

}  // namespace dvk
