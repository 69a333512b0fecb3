// Controller: the main window's preview concern, and the open of a file named
// on the command line until the open road exists.
#include "app/controller.h"
#include "app/preview_controller.h"
#include "platform/modifier_keys.h"
#include "platform/panels.h"

namespace dvk {

void Controller::makePreviewController() {
    PreviewHooks hooks;
    hooks.setProgressMT = [this](double v) { setProgressMT(v); };
    hooks.modifierFlags = [] { return currentModifierFlags(); };
    hooks.chooseProfileFile = [](const std::optional<std::string>& startAt) -> std::optional<std::string> {
        OpenPanelRequest request;
        request.title = "Choose a profile";
        request.startPath = startAt.value_or(std::string());
        request.allowsMultipleSelection = false;
        request.canChooseDirectories = false;
        const auto chosen = runOpenPanel(request);
        if (!chosen || chosen->empty()) return std::nullopt;
        return chosen->front();
    };
    preview_ = std::make_unique<PreviewController>(*rawProcessor_, std::move(hooks));
}

void Controller::openCommandLineFile(const std::string& path, std::function<void(int)> done) {
    auto token = std::make_shared<ActivityTracker::Token>(activity_.begin());
    preview_->openFileForPreview(path, [token, done = std::move(done)](int result) {
        if (done) done(result);
        token->end();
    });
}

}  // namespace dvk
