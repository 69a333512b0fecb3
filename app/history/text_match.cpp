#include "app/history/text_match.h"

#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <vector>

namespace dvk {

namespace {

std::u16string to_utf16(std::string_view text) {
    if (text.empty()) return {};
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8WithSub(nullptr, 0, &length, text.data(), static_cast<int32_t>(text.size()), 0xFFFD, nullptr,
                         &status);
    status = U_ZERO_ERROR;
    std::u16string out(static_cast<std::size_t>(length), u'\0');
    u_strFromUTF8WithSub(out.data(), length, &length, text.data(), static_cast<int32_t>(text.size()), 0xFFFD,
                         nullptr, &status);
    if (U_FAILURE(status)) return {};
    out.resize(static_cast<std::size_t>(length));
    return out;
}

std::string to_utf8(const std::u16string& text) {
    if (text.empty()) return {};
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    u_strToUTF8WithSub(nullptr, 0, &length, text.data(), static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
    status = U_ZERO_ERROR;
    std::string out(static_cast<std::size_t>(length), '\0');
    u_strToUTF8WithSub(out.data(), length, &length, text.data(), static_cast<int32_t>(text.size()), 0xFFFD, nullptr,
                       &status);
    if (U_FAILURE(status)) return {};
    out.resize(static_cast<std::size_t>(length));
    return out;
}

std::u16string decompose(const std::u16string& text) {
    if (text.empty()) return text;
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* nfd = unorm2_getNFDInstance(&status);
    if (U_FAILURE(status)) return text;
    int32_t length = unorm2_normalize(nfd, text.data(), static_cast<int32_t>(text.size()), nullptr, 0, &status);
    status = U_ZERO_ERROR;
    std::u16string out(static_cast<std::size_t>(length), u'\0');
    unorm2_normalize(nfd, text.data(), static_cast<int32_t>(text.size()), out.data(), length, &status);
    if (U_FAILURE(status)) return text;
    return out;
}

std::u16string fold_case(const std::u16string& text) {
    if (text.empty()) return text;
    UErrorCode status = U_ZERO_ERROR;
    int32_t length =
        u_strFoldCase(nullptr, 0, text.data(), static_cast<int32_t>(text.size()), U_FOLD_CASE_DEFAULT, &status);
    status = U_ZERO_ERROR;
    std::u16string out(static_cast<std::size_t>(length), u'\0');
    u_strFoldCase(out.data(), length, text.data(), static_cast<int32_t>(text.size()), U_FOLD_CASE_DEFAULT, &status);
    if (U_FAILURE(status)) return text;
    return out;
}

std::u16string without_marks(const std::u16string& text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        UChar32 c;
        std::size_t start = i;
        U16_NEXT(text.data(), i, text.size(), c);
        if (u_charType(c) == U_NON_SPACING_MARK) continue;
        out.append(text, start, i - start);
    }
    return out;
}

std::u16string fold16(std::string_view text, unsigned fold) {
    std::u16string s = decompose(to_utf16(text));
    if (fold & kFoldCase) s = decompose(fold_case(s));
    if (fold & kFoldDiacritics) s = without_marks(s);
    return s;
}

// Characters for LIKE: a code point with the combining marks that follow it.
std::vector<std::u16string> characters(const std::u16string& s) {
    std::vector<std::u16string> out;
    for (std::size_t i = 0; i < s.size();) {
        std::size_t start = i;
        UChar32 c;
        U16_NEXT(s.data(), i, s.size(), c);
        if (!out.empty() && u_charType(c) == U_NON_SPACING_MARK) {
            out.back().append(s, start, i - start);
            continue;
        }
        out.emplace_back(s, start, i - start);
    }
    return out;
}

}  // namespace

std::string foldText(std::string_view text, unsigned fold) { return to_utf8(fold16(text, fold)); }

bool equalsText(std::string_view a, std::string_view b, unsigned fold) { return fold16(a, fold) == fold16(b, fold); }

bool containsText(std::string_view text, std::string_view part, unsigned fold) {
    return fold16(text, fold).find(fold16(part, fold)) != std::u16string::npos;
}

bool beginsWithText(std::string_view text, std::string_view prefix, unsigned fold) {
    std::u16string t = fold16(text, fold), p = fold16(prefix, fold);
    return t.size() >= p.size() && t.compare(0, p.size(), p) == 0;
}

bool endsWithText(std::string_view text, std::string_view suffix, unsigned fold) {
    std::u16string t = fold16(text, fold), s = fold16(suffix, fold);
    return t.size() >= s.size() && t.compare(t.size() - s.size(), s.size(), s) == 0;
}

bool inTexts(std::string_view text, const std::vector<std::string>& list, unsigned fold) {
    std::u16string t = fold16(text, fold);
    for (const std::string& item : list)
        if (fold16(item, fold) == t) return true;
    return false;
}

bool likeText(std::string_view text, std::string_view pattern, unsigned fold) {
    std::vector<std::u16string> t = characters(fold16(text, fold));
    std::vector<std::u16string> p = characters(fold16(pattern, fold));
    // Greedy matching with one backtrack point for the last "*".
    std::size_t ti = 0, pi = 0, star = std::u16string::npos, mark = 0;
    while (ti < t.size()) {
        if (pi < p.size() && (p[pi] == u"?" || p[pi] == t[ti])) {
            ++ti;
            ++pi;
        } else if (pi < p.size() && p[pi] == u"*") {
            star = pi++;
            mark = ti;
        } else if (star != std::u16string::npos) {
            pi = star + 1;
            ti = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == u"*") ++pi;
    return pi == p.size();
}

}  // namespace dvk
