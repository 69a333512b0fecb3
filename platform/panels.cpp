#include "platform/panels.h"

#include "platform/dispatch.h"
#include "platform/modal_session.h"

namespace dvk {

namespace {

std::mutex g_mutex;
std::shared_ptr<PanelPresenter> g_presenter;

std::shared_ptr<PanelPresenter> presenter() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_presenter;
}

}  // namespace

void setPanelPresenter(std::shared_ptr<PanelPresenter> p) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_presenter = std::move(p);
}

std::optional<std::vector<std::string>> runOpenPanel(const OpenPanelRequest& request) {
    auto p = presenter();
    if (!p) return std::nullopt;
    std::optional<std::vector<std::string>> result;
    runOnMainQueueSync([&] {
        if (modalSessionsDismissed()) return;
        ModalSession session;
        result = p->runOpenPanel(request);
        if (modalSessionsDismissed()) result.reset();
    });
    return result;
}

std::optional<std::string> runSavePanel(const SavePanelRequest& request) {
    auto p = presenter();
    if (!p) return std::nullopt;
    std::optional<std::string> result;
    runOnMainQueueSync([&] {
        if (modalSessionsDismissed()) return;
        ModalSession session;
        result = p->runSavePanel(request);
        if (modalSessionsDismissed()) result.reset();
    });
    return result;
}

void ScriptedPanels::answerOpen(std::vector<std::string> paths) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_.emplace_back(std::move(paths));
}

void ScriptedPanels::answerSave(std::string path) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_.emplace_back(std::move(path));
}

void ScriptedPanels::answerCancel() {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_.emplace_back(std::monostate{});
}

ScriptedPanels::Answer ScriptedPanels::next() {
    if (answers_.empty()) return std::monostate{};
    Answer a = std::move(answers_.front());
    answers_.pop_front();
    return a;
}

std::optional<std::vector<std::string>> ScriptedPanels::runOpenPanel(const OpenPanelRequest& request) {
    std::lock_guard<std::mutex> lock(mutex_);
    openRequests_.push_back(request);
    Answer a = next();
    if (auto* paths = std::get_if<std::vector<std::string>>(&a)) return *paths;
    return std::nullopt;
}

std::optional<std::string> ScriptedPanels::runSavePanel(const SavePanelRequest& request) {
    std::lock_guard<std::mutex> lock(mutex_);
    saveRequests_.push_back(request);
    Answer a = next();
    if (auto* path = std::get_if<std::string>(&a)) return *path;
    return std::nullopt;
}

std::vector<OpenPanelRequest> ScriptedPanels::openRequests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return openRequests_;
}

std::vector<SavePanelRequest> ScriptedPanels::saveRequests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return saveRequests_;
}

}  // namespace dvk
