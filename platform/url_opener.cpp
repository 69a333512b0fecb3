#include "platform/url_opener.h"

#include "platform/log.h"
#include "platform/process_runner.h"

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

// The last line a tool printed ("xdg-open: no method available for ..."), or "".
std::string last_line(const std::string& output) {
    const std::string::size_type end = output.find_last_not_of(" \t\r\n");
    if (end == std::string::npos) return std::string();
    const std::string::size_type newline = output.rfind('\n', end);
    const std::string::size_type start = newline == std::string::npos ? 0 : newline + 1;
    return output.substr(start, end + 1 - start);
}

}  // namespace

bool UrlOpener::openUrl(const std::string& url, UrlOpenFailed failed) {
    if (openUrl(url)) return true;
    if (failed) failed("no application could be started for it");
    return false;
}

bool XdgUrlOpener::openUrl(const std::string& url, UrlOpenFailed failed) {
    ProcessRequest request;
    request.program = program_;
    request.arguments = {url};
    request.output = OutputMode::Merge;
    // No time limit: the opener may stay with the application it starts.
    const DetachedStart start =
        process_runner()->start_detached(request, [program = program_, url, failed](const ProcessResult& result) {
            if (result.succeeded()) return;
            const std::string said = last_line(result.output);
            const std::string reason = said.empty() ? result.describe() : result.describe() + ": " + said;
            log_line("%s %s: %s", program.c_str(), url.c_str(), reason.c_str());
            if (failed) failed(reason);
        });
    if (start.started()) return true;
    log_line("%s", start.start_error.c_str());
    if (failed) failed(start.start_error);
    return false;
}

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
