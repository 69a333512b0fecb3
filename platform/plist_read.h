// Property-list data reaches libplist only through here. libplist's readers
// recurse once per level of nesting, so data nested deeper than
// kPlistMaxNesting levels (elements of an XML property list, arrays and
// dictionaries of a binary one) is refused before they see it, as is a
// binary list whose objects refer back to themselves or point outside the
// data. Its XML reader compares each key of a dictionary with the keys before
// it (keys made to share a hash defeat its table), so an XML list whose
// dictionaries would take more than kPlistMaxKeyComparisons comparisons is
// refused too: one dictionary of 4472 keys passes, one of 4473 does not.
// Numbers are parsed in the "C" locale.
#pragma once

#include <plist/plist.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dvk {

inline constexpr int kPlistMaxNesting = 256;
// About a tenth of a second of libplist's time at worst.
inline constexpr std::uint64_t kPlistMaxKeyComparisons = 10'000'000;

// Why the data must not be handed to libplist ("nested too deeply (more than
// 256 levels)", "damaged binary property list", "too many keys in its
// dictionaries"), or nullopt when it may.
// Data in neither form passes.
std::optional<std::string> plist_nesting_problem(std::string_view data, int maxNesting = kPlistMaxNesting);

// Parses binary data ("bplist00") or XML data holding "<plist"; the root
// node (the caller frees it), or null with the reason in *error (when given):
// "no property list", "nested too deeply ...", "damaged ...".
plist_t plist_read(std::string_view data, std::string* error = nullptr);

}  // namespace dvk
