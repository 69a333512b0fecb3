#include "pipeline/settings/plist_node.h"

#include <cstdlib>

#include "platform/c_locale_scope.h"
#include "platform/plist_read.h"

namespace dvk {

PlistPtr plist_parse(std::string_view data, std::string* error) { return PlistPtr(plist_read(data, error)); }

std::string plist_xml_text(plist_t node) {
    CNumericScope c_numbers;
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(node, &xml, &length);
    std::string out = xml ? std::string(xml, length) : std::string();
    if (xml) plist_to_xml_free(xml);
    return out;
}

std::string plist_binary_bytes(plist_t node) {
    char* bin = nullptr;
    uint32_t length = 0;
    plist_to_bin(node, &bin, &length);
    std::string out = bin ? std::string(bin, length) : std::string();
    if (bin) plist_to_bin_free(bin);
    return out;
}

std::string plist_string(plist_t node, bool* ok) {
    *ok = false;
    if (!node || plist_get_node_type(node) != PLIST_STRING) return {};
    char* s = nullptr;
    plist_get_string_val(node, &s);
    if (!s) return {};
    std::string out(s);
    std::free(s);
    *ok = true;
    return out;
}

}  // namespace dvk
