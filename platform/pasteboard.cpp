#include "platform/pasteboard.h"

namespace dvk {

bool MemoryPasteboard::setString(std::string_view text) {
    std::lock_guard lock(mutex_);
    text_ = std::string(text);
    return true;
}

bool MemoryPasteboard::hasString() const {
    std::lock_guard lock(mutex_);
    return text_.has_value();
}

std::optional<std::string> MemoryPasteboard::string() const {
    std::lock_guard lock(mutex_);
    return text_;
}

void MemoryPasteboard::clearContents() {
    std::lock_guard lock(mutex_);
    text_.reset();
}

namespace {

std::mutex g_mutex;

std::shared_ptr<Pasteboard>& installed() {
    static std::shared_ptr<Pasteboard> board = std::make_shared<MemoryPasteboard>();
    return board;
}

}  // namespace

std::shared_ptr<Pasteboard> general_pasteboard() {
    std::lock_guard lock(g_mutex);
    return installed();
}

void set_general_pasteboard(std::shared_ptr<Pasteboard> pasteboard) {
    std::lock_guard lock(g_mutex);
    installed() = pasteboard ? std::move(pasteboard) : std::make_shared<MemoryPasteboard>();
}

}  // namespace dvk
