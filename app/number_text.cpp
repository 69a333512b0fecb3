#include "app/number_text.h"

#include <charconv>
#include <cmath>

namespace dvk {

std::string formatFixed(double value, int decimals, bool plus) {
    if (std::isnan(value)) return "NaN";
    char buf[400];
    char* p = buf;
    if (plus && !std::signbit(value)) *p++ = '+';
    const auto r = std::to_chars(p, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    return std::string(buf, r.ptr);
}

double leadingNumber(const std::string& text, bool commaIsPoint) {
    std::string t;
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    t = text.substr(i);
    if (commaIsPoint)
        for (char& c : t)
            if (c == ',') c = '.';
    double v = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::general);
    if (r.ec != std::errc() || !std::isfinite(v)) return 0.0;
    return negative ? -v : v;
}

}  // namespace dvk
