#include "platform/url_opener.h"

#include "platform/log.h"

namespace dvk {

namespace {

std::mutex g_mutex;

std::shared_ptr<UrlOpener> fallbackOpener() {
    static const std::shared_ptr<UrlOpener> fallback = std::make_shared<RecordingUrlOpener>(false);
    return fallback;
}

std::shared_ptr<UrlOpener>& current() {
    static std::shared_ptr<UrlOpener> opener = fallbackOpener();
    return opener;
}

}  // namespace

bool RecordingUrlOpener::openUrl(const std::string& url) {
    std::lock_guard<std::mutex> lock(mutex_);
    urls_.push_back(url);
    if (!answer_) log_line("No application to open %s", url.c_str());
    return answer_;
}

std::vector<std::string> RecordingUrlOpener::urls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return urls_;
}

std::shared_ptr<UrlOpener> url_opener() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return current();
}

void set_url_opener(std::shared_ptr<UrlOpener> opener) {
    std::lock_guard<std::mutex> lock(g_mutex);
    current() = opener ? std::move(opener) : fallbackOpener();
}

std::string fileUrlForPath(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (unsigned char c : path) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            url += char(c);
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 15];
        }
    }
    return url;
}

}  // namespace dvk
