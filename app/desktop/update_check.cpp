#include "app/desktop/update_check.h"

#include "platform/user_defaults.h"

namespace dvk {

std::optional<std::string> updateCheckURL(const std::string& feedURL) {
    // scheme "://" [userinfo "@"] host [":" port] [path] ["?" query] ["#" fragment]
    const std::size_t schemeEnd = feedURL.find("://");
    if (schemeEnd == std::string::npos || schemeEnd == 0) return std::nullopt;
    const std::size_t authorityStart = schemeEnd + 3;
    const std::size_t authorityEnd = feedURL.find_first_of("/?#", authorityStart);
    std::string authority = feedURL.substr(authorityStart, authorityEnd == std::string::npos
                                                               ? std::string::npos
                                                               : authorityEnd - authorityStart);
    const std::size_t at = authority.rfind('@');
    if (at != std::string::npos) authority.erase(0, at + 1);
    std::string host = authority, port;
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string::npos) return std::nullopt;
        host = authority.substr(0, close + 1);
        if (close + 1 < authority.size()) {
            if (authority[close + 1] != ':') return std::nullopt;
            port = authority.substr(close + 2);
        }
    } else if (const std::size_t colon = authority.rfind(':'); colon != std::string::npos) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
    }
    if (host.empty() || host == "[]") return std::nullopt;
    for (char c : port)
        if (c < '0' || c > '9') return std::nullopt;

    std::string url = "https://";
    url += host;
    if (!port.empty()) {
        url += ':';
        url += port;
    }
    url += kUpdateFeedPath;
    if (authorityEnd != std::string::npos) {
        const std::size_t q = feedURL.find('?', authorityEnd);
        const std::size_t hash = feedURL.find('#', authorityEnd);
        if (q != std::string::npos && (hash == std::string::npos || q < hash))
            url += feedURL.substr(q, hash == std::string::npos ? std::string::npos : hash - q);
    }
    return url;
}

std::optional<std::string> updateCheckRequest(const UserDefaults& defaults) {
    if (!defaults.boolForKey("SUCheckAtStartup")) return std::nullopt;
    return updateCheckURL(defaults.stringForKey("SUFeedURL"));
}

}  // namespace dvk
