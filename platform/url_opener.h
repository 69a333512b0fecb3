// Opening URLs (a mail to write, a document to show) with the desktop's
// chosen application. The program installs the desktop's opener at start-up;
// until then, and in tests, a recording opener answers.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace dvk {

class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    // Hands `url` to the desktop; false when nothing could take it.
    virtual bool openUrl(const std::string& url) = 0;
};

// Keeps every URL it is asked to open and answers `answer`.
class RecordingUrlOpener : public UrlOpener {
public:
    explicit RecordingUrlOpener(bool answer = true) : answer_(answer) {}
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
