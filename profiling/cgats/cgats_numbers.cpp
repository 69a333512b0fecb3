#include "profiling/cgats/cgats_numbers.h"

#include <locale.h>
#include <stdlib.h>

#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

namespace dvk {
namespace {

locale_t c_locale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return loc;
}

// Right-aligns the first len bytes of out in a field of width characters.
std::size_t pad_to(char* out, std::size_t len, int width) {
    if (width <= 0 || len >= static_cast<std::size_t>(width)) return len;
    const std::size_t pad = static_cast<std::size_t>(width) - len;
    std::memmove(out + pad, out, len);
    std::memset(out, ' ', pad);
    return static_cast<std::size_t>(width);
}

std::size_t fixed(double v, int width, int precision, char* out) {
    const auto r = std::to_chars(out, out + 39, v, std::chars_format::fixed, precision);
    return pad_to(out, static_cast<std::size_t>(r.ptr - out), width);
}

std::size_t scientific(double v, int width, char* out) {
    const auto r = std::to_chars(out, out + 39, v, std::chars_format::scientific, 4);
    return pad_to(out, static_cast<std::size_t>(r.ptr - out), width);
}

}  // namespace

int cgats_parse_int(const char* text) {
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    long long v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        v = v * 10 + (*p - '0');
        if (v > static_cast<long long>(INT_MAX) + 1) v = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) v = -v;
    if (v > INT_MAX) v = INT_MAX;
    return static_cast<int>(v);
}

double cgats_parse_real(const char* text) {
    const locale_t loc = c_locale();
    if (loc == locale_t(0)) return std::strtod(text, nullptr);
    return strtod_l(text, nullptr, loc);
}

std::size_t cgats_format_real(double v, char* out) {
    if (!std::isfinite(v)) return 0;
    const int base_width = v < 0 ? 7 : 6;
    if (v == 0) return fixed(v, 6, 4, out);
    const double a = std::fabs(v);
    const int d = static_cast<int>(std::log10(a));
    if (a >= 1) {
        if (d < 4) return fixed(v, base_width, 4 - d, out);
        return scientific(v, base_width, out);
    }
    if (d > -2) return fixed(v, base_width - d, 5 - d, out);
    return scientific(v, base_width, out);
}

std::size_t cgats_format_int(int v, char* out) {
    const auto r = std::to_chars(out, out + 39, v);
    return static_cast<std::size_t>(r.ptr - out);
}

}  // namespace dvk
