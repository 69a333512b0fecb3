#include "profiling/patches.h"

#include <strings.h>

namespace dvk {

std::string cut_patch_id(std::string_view text) {
    if (text.size() <= kPatchIdMaxBytes) return std::string(text);
    std::size_t end = kPatchIdMaxBytes;
    // Step back over continuation bytes (10xxxxxx) to the start of the
    // sequence that does not fit, and cut before it.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return std::string(text.substr(0, end));
}

bool patch_ids_equal(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    return strncasecmp(a.data(), b.data(), a.size()) == 0;
}

bool is_enforced_patch_id(std::string_view id) {
    return patch_ids_equal(id, kEnforcedWhiteId) || patch_ids_equal(id, kEnforcedBlackId);
}

}  // namespace dvk
