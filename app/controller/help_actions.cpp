#include "app/controller/help_actions.h"

#include <memory>

#include "app/batch/batch_export.h"
#include "app/controller/controller.h"
#include "app/desktop/diagnostics.h"
#include "app/desktop/help.h"
#include "app/desktop/plugin_install.h"
#include "platform/dispatch.h"
#include "platform/folders.h"
#include "platform/process_runner.h"
#include "platform/resource_path.h"
#include "platform/url_opener.h"

namespace dvk {

HelpActions::HelpActions(Controller& controller, AlertFunction alert)
    : controller_(controller), alert_(std::move(alert)) {}

void HelpActions::feedback() { dvk::feedback(*url_opener(), feedbackAddress(), alert_); }

void HelpActions::openManual(const std::string& senderTitle) {
    dvk::openManual(*url_opener(), senderTitle, manualPath(), alert_);
}

void HelpActions::archiveCrashLogs() {
    DiagnosticsPaths paths = standardDiagnosticsPaths();
    paths.supportFolder = controller_.applicationSupportFolder();
    paths.preferencesFile = controller_.preferencesFile();
    // The archive counts as running work until the user has read where it
    // is: zip's end is reported from the runner's thread, the alert follows
    // on the main queue, and the work ends after it.
    auto work = std::make_shared<ActivityTracker::Token>(controller_.activity().begin());
    DiagnosticsDone report = reportDiagnosticsWithAlert(alert_);
    dvk::archiveCrashLogs(paths, *process_runner(), [report, work](const DiagnosticsOutcome& outcome) {
        runOnMainQueue([report, work, outcome] {
            report(outcome);
            work->end();
        });
    });
}

void HelpActions::installLR2Plugin() {
    const PluginInstallPaths paths{userApplicationSupportFolder(), resource_file("DVK_LR2.lrplugin"),
                                   lightroomPreferenceFile()};
    dvk::installLR2Plugin(paths, alert_);
}

void HelpActions::exportBatchSavedToApp() {
    static const std::vector<std::string> none;
    const std::vector<std::string>& editors = editors_.editors ? editors_.editors() : none;
    const std::int64_t current = editors_.currentEditor ? editors_.currentEditor() : 0;
    dvk::exportBatchSavedToApp(editors, current, controller_.batchSavedFile(), alert_, *process_runner());
}

}  // namespace dvk
