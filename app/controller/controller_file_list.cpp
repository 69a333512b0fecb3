// Controller: choosing files and folders and expanding the choice to files.
#include <ctime>

#include "app/controller/controller.h"
#include "app/controller/controller_ui.h"
#include "app/batch/file_list.h"
#include "platform/alert.h"
#include "platform/panels.h"

namespace dvk {

namespace {

// The wall-clock second of the last "Scanned" report.
std::atomic<long long> g_last_report{0};

}  // namespace

std::atomic<int>& Controller::scanCounter() {
    static std::atomic<int> counter{0};
    return counter;
}

std::vector<std::string> Controller::expandFileList(const std::vector<std::string>& paths) {
    auto report = [this] {
        int n = scanCounter().load();
        runOnMainQueueWhileAlive([this, n] {
            if (!ui_) return;
            ui_->showInfoText(formatString("Scanned %d files", n));
            ui_->displayMainWindow();
        });
    };
    std::vector<std::string> files = expandPaths(paths, [&] {
        ++scanCounter();
        long long now = static_cast<long long>(std::time(nullptr));
        long long last = g_last_report.load();
        if (now > last && g_last_report.compare_exchange_strong(last, now)) report();
    });
    report();
    return files;
}

std::vector<std::string> Controller::chooseFilesFromOpenFile() {
    OpenPanelRequest request;
    request.startPath = rawProcessor_->fileName();
    std::optional<std::vector<std::string>> chosen = runOpenPanel(request);
    if (!chosen) return {};
    return expandFileList(*chosen);
}

}  // namespace dvk
