#include "app/hooks/dev_hooks.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "platform/log.h"
#include "platform/panels.h"
#include "platform/process_runner.h"

namespace dvk {

namespace {

std::string value_of(const std::function<const char*(const char*)>& getenv, const char* name) {
    const char* v = getenv(name);
    return v ? std::string(v) : std::string();
}

std::string trimmed(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return std::string();
    std::size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

}  // namespace

DevHooks readDevHooks(const std::function<const char*(const char*)>& getenv) {
    DevHooks h;
    h.quitIdle = value_of(getenv, "DVK_DEV_QUIT_IDLE") == "1";
    std::string alerts = value_of(getenv, "DVK_DEV_ALERTS");
    if (!alerts.empty()) {
        h.scriptedAlerts = true;
        if (alerts != "first") {
            std::size_t start = 0;
            while (start <= alerts.size()) {
                std::size_t comma = alerts.find(',', start);
                if (comma == std::string::npos) comma = alerts.size();
                std::string item = trimmed(alerts.substr(start, comma - start));
                if (!item.empty()) h.alertButtons.push_back(item);
                start = comma + 1;
            }
        }
    }
    h.screenshot = value_of(getenv, "DVK_DEV_SCREENSHOT");
    h.set = value_of(getenv, "DVK_DEV_SET");
    h.actions = value_of(getenv, "DVK_DEV_ACTIONS");
    h.exiftool = value_of(getenv, "DVK_DEV_EXIFTOOL");
    return h;
}

const DevHooks& devHooks() {
    static const DevHooks hooks = readDevHooks([](const char* name) { return std::getenv(name); });
    return hooks;
}

int devAlertAnswer(const std::vector<std::string>& listed, const AlertRequest& request) {
    if (request.buttons.empty()) return -1;
    for (std::size_t i = 0; i < request.buttons.size(); ++i)
        if (std::find(listed.begin(), listed.end(), request.buttons[i]) != listed.end())
            return 1000 + static_cast<int>(i);
    return 1000;
}

void installDevAlertsAndPanels(const DevHooks& hooks) {
    if (!hooks.scriptedAlerts && hooks.screenshot.empty()) return;
    std::vector<std::string> listed = hooks.alertButtons;
    setAlertPresenter([listed](const AlertRequest& request) { return devAlertAnswer(listed, request); });
    setPanelPresenter(std::make_shared<CancellingPanels>());
}

std::vector<std::pair<std::string, std::string>> parseDevSettings(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(';', start);
        if (end == std::string::npos) end = text.size();
        const std::string item = trimmed(text.substr(start, end - start));
        start = end + 1;
        if (item.empty()) continue;
        const std::size_t eq = item.find('=');
        const std::string key = eq == std::string::npos ? std::string() : trimmed(item.substr(0, eq));
        if (key.empty()) {
            log_line("DVK_DEV_SET: no setting in \"%s\"", item.c_str());
            continue;
        }
        out.emplace_back(key, trimmed(item.substr(eq + 1)));
    }
    return out;
}

std::string devScreenshotRects(int imageX, int imageY, int imageW, int imageH, int histX, int histY, int histW,
                               int histH) {
    return "imageView " + std::to_string(imageX) + " " + std::to_string(imageY) + " " + std::to_string(imageW) + " " +
           std::to_string(imageH) + "\nhistogramView " + std::to_string(histX) + " " + std::to_string(histY) + " " +
           std::to_string(histW) + " " + std::to_string(histH) + "\n";
}

std::vector<std::string> parseDevActions(const std::string& text) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (true) {
        start = text.find_first_not_of(" \t\r\n", start);
        if (start == std::string::npos) break;
        std::size_t end = text.find_first_of(" \t\r\n", start);
        if (end == std::string::npos) end = text.size();
        names.push_back(text.substr(start, end - start));
        start = end;
    }
    return names;
}

DevActionRunner::DevActionRunner(std::vector<std::string> names, ActivityTracker& activity, Ports ports)
    : names_(std::move(names)), activity_(activity), ports_(std::move(ports)) {
    if (!ports_.childCount) ports_.childCount = [] { return running_child_count(); };
    if (names_.empty()) return;
    // Idle callbacks run in the order they were asked for: made before the
    // launch work asks for its own, the runner holds its token before a
    // quit-when-idle could run.
    std::weak_ptr<bool> alive = alive_;
    activity_.whenIdle([this, alive] {
        if (!alive.lock()) return;
        token_ = activity_.begin();
        started_ = true;
        check();
    });
}

DevActionRunner::~DevActionRunner() = default;

bool DevActionRunner::settled() const {
    return activity_.running() == (token_.active() ? 1 : 0) && ports_.childCount() == 0;
}

void DevActionRunner::check() {
    if (!started_) return;
    std::weak_ptr<bool> alive = alive_;
    const auto again = [this, alive] {
        if (alive.lock()) check();
    };
    while (next_ < names_.size()) {
        if (!settled()) {
            ports_.later(again);
            return;
        }
        const std::string name = names_[next_++];
        // The last action runs as the program's only work (it may well quit).
        if (next_ == names_.size()) token_.end();
        const std::function<void()> action = ports_.find ? ports_.find(name) : std::function<void()>();
        if (!action) {
            log_line("DVK_DEV_ACTIONS: no action \"%s\"", name.c_str());
            continue;
        }
        log_line("DVK_DEV_ACTIONS: %s", name.c_str());
        action();
        if (next_ < names_.size()) ports_.later(again);
        return;
    }
}

}  // namespace dvk
