// Controller: construction, launch and quit, and the shared functions.
#include "app/controller/controller.h"

#include "app/controller/controller_ui.h"
#include "app/preview/preview_controller.h"
#include "app/batch/tag_copy_ledger.h"
#include "platform/alert.h"
#include "platform/dispatch.h"
#include "platform/log.h"
#include "platform/user_defaults.h"

namespace dvk {

namespace {

std::vector<std::string>& process_arguments() {
    static std::vector<std::string> arguments;
    return arguments;
}

}  // namespace

void Controller::setArguments(int argc, char** argv) {
    auto& arguments = process_arguments();
    arguments.clear();
    for (int i = 0; i < argc; ++i) arguments.emplace_back(argv[i] ? argv[i] : "");
}

const std::vector<std::string>& Controller::arguments() { return process_arguments(); }

bool Controller::isCommandLineMode() { return process_arguments().size() >= 2; }

Controller::Controller(ControllerOptions options)
    : options_(std::move(options)), rawProcessor_(std::make_unique<RawProcessor>()), fileSearch_(options_.search) {
    tagLedger_ = std::make_shared<TagCopyLedger>(batchTagsFile());
    startSettings_ = rawProcessor_->undoSettings();
    startWhiteBalance_ = rawProcessor_->useCameraWB();
    makePreviewController();
}

Controller::~Controller() {
    // The roads end first (they call on the preview), then the apply worker
    // (a run going finishes), before anything else goes.
    stopRoads();
    preview_.reset();
    if (store_ && storeObserver_) store_->removeObserver(storeObserver_);
}

void Controller::launch() {
    // A defaults file that could not be read was set aside at its first
    // reading (before any window): the user hears of it now that one is up.
    if (std::optional<std::string> note = defaults().takeUnreadableFileNote())
        showAlert("Defaults file set aside", *note, {"OK"});
    persistentStoreCoordinator();
    migrateHistoryVer1ToVer2();
    reloadHistory();
    createPresetsMenu();
    applicationDidFinishLaunching();
    activity_.launchFinished();
}

UserDefaults& Controller::defaults() const {
    return options_.defaults ? *options_.defaults : UserDefaults::standard();
}

void Controller::runOnMainQueueWhileAlive(std::function<void()> task) {
    std::weak_ptr<int> alive = lifeToken_;
    runOnMainQueue([alive, task = std::move(task)] {
        if (alive.lock()) task();
    });
}

void Controller::onMain(const std::function<void()>& task) { runOnMainQueueSync(task); }

void Controller::setProgressMT(double value) {
    runOnMainQueueWhileAlive([this, value] { rawProcessor_->setProgress(value); });
}

void Controller::presentError(const std::string& message) { showAlert(message, std::string(), {"OK"}); }

}  // namespace dvk
