// Text comparisons of the history's rules: equality, containment, prefix,
// suffix, membership and LIKE patterns that ignore case and, when asked,
// diacritics, over all of Unicode ("Café.NEF" ends with "cafe.nef" when both
// are ignored). Text is UTF-8 and is compared after canonical decomposition,
// so composed and decomposed forms of a letter are equal. SQLite's own LIKE,
// lower() and NOCASE fold ASCII letters only; rules decide in C++ with these.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dvk {

enum TextFold : unsigned {
    kFoldNone = 0,
    kFoldCase = 1,        // [c]
    kFoldDiacritics = 2,  // [d]
};

// The comparison form of `text`: decomposed, case-folded and without
// combining marks as `fold` asks.
std::string foldText(std::string_view text, unsigned fold);

bool equalsText(std::string_view a, std::string_view b, unsigned fold);                // ==
bool containsText(std::string_view text, std::string_view part, unsigned fold);        // CONTAINS
bool beginsWithText(std::string_view text, std::string_view prefix, unsigned fold);    // BEGINSWITH
bool endsWithText(std::string_view text, std::string_view suffix, unsigned fold);      // ENDSWITH
bool inTexts(std::string_view text, const std::vector<std::string>& list, unsigned fold);  // IN
// LIKE: "*" matches any run of characters, "?" exactly one character (a
// letter with its combining marks); the whole text must match.
bool likeText(std::string_view text, std::string_view pattern, unsigned fold);

}  // namespace dvk
