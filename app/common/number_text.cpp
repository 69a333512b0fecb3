#include "app/common/number_text.h"

#include <charconv>
#include <cmath>

#include "pipeline/settings/settings_value.h"

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
    std::string t = text;
    if (commaIsPoint)
        for (char& c : t)
            if (c == ',') c = '.';
    const double v = parse_leading_double(t);
    return std::isfinite(v) ? v : 0.0;
}

}  // namespace dvk
