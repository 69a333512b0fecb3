// Opening URLs (a mail to write, a document to show) with the desktop's
// chosen application. The program installs the desktop's opener (xdg-open)
// at start-up; until then, and in tests, a recording opener answers.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace dvk {

// Told why a URL was not opened (on the caller's thread or a worker's).
using UrlOpenFailed = std::function<void(const std::string& reason)>;

class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    // Hands `url` to the desktop; false when nothing could take it.
    virtual bool openUrl(const std::string& url) = 0;
    // The same, and `failed` (may be empty) hears why nothing opened it: at
    // once when nothing could take it, or later, from a worker thread, when
    // the desktop's opener ends with a failure. True when it was handed over.
    // (This form: openUrl, then `failed` when it answered false.)
    virtual bool openUrl(const std::string& url, UrlOpenFailed failed);
};

// The desktop's opener: "xdg-open URL" through the process runner, not
// waited for. Its exit status tells whether it could open the URL (a fresh
// system without a handler ends it with 3, "no method available"); a failure
// is logged with what it printed and told to `failed`.
class XdgUrlOpener : public UrlOpener {
public:
    explicit XdgUrlOpener(std::string program = "xdg-open") : program_(std::move(program)) {}
    bool openUrl(const std::string& url) override { return openUrl(url, {}); }
    bool openUrl(const std::string& url, UrlOpenFailed failed) override;

private:
    std::string program_;
};

// Keeps every URL it is asked to open and answers `answer`.
class RecordingUrlOpener : public UrlOpener {
public:
    explicit RecordingUrlOpener(bool answer = true) : answer_(answer) {}
    using UrlOpener::openUrl;
    bool openUrl(const std::string& url) override;
    std::vector<std::string> urls() const;

private:
    bool answer_;
    mutable std::mutex mutex_;
    std::vector<std::string> urls_;
};

// The opener in use (a RecordingUrlOpener answering false until one is set;
// nullptr restores that one).
std::shared_ptr<UrlOpener> url_opener();
void set_url_opener(std::shared_ptr<UrlOpener> opener);

// "file://" + the absolute path with every byte outside the unreserved
// characters and "/" percent-encoded.
std::string fileUrlForPath(const std::string& path);

}  // namespace dvk
