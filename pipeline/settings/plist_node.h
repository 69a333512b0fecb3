// Small owning wrappers around libplist nodes and buffers, parsing and
// serialising in the "C" numeric locale.
#pragma once

#include <plist/plist.h>

#include <memory>
#include <string>
#include <string_view>

namespace dvk {

struct PlistDeleter {
    void operator()(void* p) const {
        if (p) plist_free(static_cast<plist_t>(p));
    }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

// Parses XML or binary property-list data (through plist_read, which
// refuses data nested too deeply); empty, with the reason in *error when
// given, when it is neither or is refused.
PlistPtr plist_parse(std::string_view data, std::string* error = nullptr);
std::string plist_xml_text(plist_t node);
std::string plist_binary_bytes(plist_t node);
// A string node's text; *ok is false (and the text empty) when the node is no string.
std::string plist_string(plist_t node, bool* ok);

}  // namespace dvk
