#include "platform/alert.h"

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <thread>

#include "platform/dispatch.h"
#include "platform/log.h"
#include "platform/modal_session.h"

namespace dvk {

namespace {

std::mutex g_mutex;
AlertPresenter g_presenter;
std::atomic<bool> g_logged{true};

std::string vformat(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n <= 0) return std::string();
    std::string text(static_cast<std::size_t>(n), '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, args);
    return text;
}

std::string describe_buttons(const std::vector<std::string>& buttons) {
    std::string s = "(";
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (i) s += ", ";
        s += buttons[i];
    }
    return s + ")";
}

int present_and_log(const AlertRequest& request) {
    AlertPresenter presenter;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        presenter = g_presenter;
    }
    int result = -1;
    if (!modalSessionsDismissed()) {
        ModalSession session;
        if (presenter) result = presenter(request);
    }
    // Closed (or never shown) because nothing may wait for the user now.
    if (modalSessionsDismissed()) result = cancellingAnswer(request);
    if (g_logged.load())
        log_line("Alert %s %s %s %d", request.title.value_or("").c_str(), request.text.c_str(),
                 describe_buttons(request.buttons).c_str(), result);
    return result;
}

}  // namespace

AlertStyle alertStyle(const AlertRequest& request) {
    return request.title && *request.title == "Warning" ? AlertStyle::Warning : AlertStyle::Informational;
}

int cancellingAnswer(const AlertRequest& request) {
    for (const char* title : {"Cancel", "Later"})
        for (std::size_t i = 0; i < request.buttons.size(); ++i)
            if (request.buttons[i] == title) return 1000 + static_cast<int>(i);
    return request.buttons.size() == 1 ? 1000 : -1;
}

void setAlertPresenter(AlertPresenter presenter) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_presenter = std::move(presenter);
}

void setAlertsLogged(bool logged) { g_logged = logged; }

std::string formatString(const char* format, ...) {
    if (!format) return std::string();
    va_list args;
    va_start(args, format);
    std::string text = vformat(format, args);
    va_end(args);
    return text;
}

int showAlert(const std::optional<std::string>& title, const std::optional<std::string>& text,
              const std::vector<std::string>& buttons) {
    if (!text || buttons.empty()) return -1;
    AlertRequest request{title, *text, buttons};
    if (isMainThread()) return present_and_log(request);
    // A worker gives the window a moment, then waits while the main thread
    // shows the alert.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    int result = -1;
    runOnMainQueueSync([&] { result = present_and_log(request); });
    return result;
}

int showAlertf(const std::optional<std::string>& title, const std::vector<std::string>& buttons, const char* format,
               ...) {
    if (!format) return -1;
    va_list args;
    va_start(args, format);
    std::string text = vformat(format, args);
    va_end(args);
    return showAlert(title, text, buttons);
}

void ScriptedAlerts::answer(std::string buttonTitle) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_.emplace_back(std::move(buttonTitle), 0);
}

void ScriptedAlerts::answerIndex(int index) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_.emplace_back(std::string(), index);
}

AlertPresenter ScriptedAlerts::presenter() {
    return [this](const AlertRequest& request) { return present(request); };
}

int ScriptedAlerts::present(const AlertRequest& request) {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(request);
    int index = 0;
    if (!answers_.empty()) {
        auto [title, position] = answers_.front();
        answers_.pop_front();
        if (title.empty()) {
            index = position;
        } else {
            for (std::size_t i = 0; i < request.buttons.size(); ++i)
                if (request.buttons[i] == title) {
                    index = static_cast<int>(i);
                    break;
                }
        }
    }
    if (index < 0 || index >= static_cast<int>(request.buttons.size())) index = 0;
    return 1000 + index;
}

std::vector<AlertRequest> ScriptedAlerts::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::size_t ScriptedAlerts::count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_.size();
}

void ScriptedAlerts::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
    answers_.clear();
}

}  // namespace dvk
