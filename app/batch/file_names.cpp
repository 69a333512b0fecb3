#include "app/batch/file_names.h"

#include <string>

namespace dvk {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::string_view take_run(std::string_view s, std::size_t& i) {
    std::size_t start = i;
    bool digits = is_digit(s[i]);
    while (i < s.size() && is_digit(s[i]) == digits) ++i;
    return s.substr(start, i - start);
}

int compare_numbers(std::string_view a, std::string_view b) {
    std::size_t za = 0, zb = 0;
    while (za + 1 < a.size() && a[za] == '0') ++za;
    while (zb + 1 < b.size() && b[zb] == '0') ++zb;
    std::string_view da = a.substr(za), db = b.substr(zb);
    if (da.size() != db.size()) return da.size() < db.size() ? -1 : 1;
    int c = da.compare(db);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int compare_text(std::string_view a, std::string_view b, const std::collate<char>& collate) {
    int c = collate.compare(a.data(), a.data() + a.size(), b.data(), b.data() + b.size());
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace

int compareFileNames(std::string_view a, std::string_view b, const std::locale& locale) {
    const auto& collate = std::use_facet<std::collate<char>>(locale);
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        bool digitsA = is_digit(a[i]), digitsB = is_digit(b[j]);
        std::string_view ra = take_run(a, i), rb = take_run(b, j);
        int c = digitsA && digitsB ? compare_numbers(ra, rb) : compare_text(ra, rb, collate);
        if (c) return c;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    // Equal by value ("a02" and "a2"): the plain text decides, so the order is total.
    int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace dvk
