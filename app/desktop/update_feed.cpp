#include "app/desktop/update_feed.h"

#include "app/common/app_version.h"
#include "platform/user_defaults.h"

namespace dvk {

std::string base64Encode(const std::string& bytes) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                           (static_cast<unsigned char>(bytes[i + 1]) << 8) | static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (i < bytes.size()) {
        const bool two = i + 1 < bytes.size();
        const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                           (two ? static_cast<unsigned char>(bytes[i + 1]) << 8 : 0u);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += two ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string updateFeedAddress(const std::string& build, const std::string& camera) {
    return std::string(kUpdateFeedBase) + "dvk_updates_64.xml?Build=" + build + ";" + base64Encode(camera);
}

void storeUpdateFeedAddress(UserDefaults& defaults, const std::string& camera) {
    defaults.setString("SUFeedURL", updateFeedAddress(dvkBuildVersion(), camera));
    defaults.synchronize();
}

}  // namespace dvk
