// compareFileNames: the order of file names in folder listings and menus.
// Runs of digits compare by their numeric value ("IMG_2" before "IMG_10"),
// the rest by the given locale's collation (byte order in the "C" locale).
#pragma once

#include <locale>
#include <string_view>

namespace dvk {

// Negative, 0 or positive as a sorts before, with or after b.
int compareFileNames(std::string_view a, std::string_view b, const std::locale& locale);
// For std::sort: a before b.
struct FileNameOrder {
    std::locale locale;
    bool operator()(std::string_view a, std::string_view b) const { return compareFileNames(a, b, locale) < 0; }
};

}  // namespace dvk
