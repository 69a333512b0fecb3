#include "app/ui/shell/application.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <QtCore/QTimer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QStyleFactory>

#include "app/common/app_version.h"
#include "app/controller/controller.h"
#include "app/hooks/dev_hooks.h"
#include "app/controller/help_actions.h"
#include "app/preview/preview_controller.h"
#include "app/ui/shell/app_delegate_windows.h"
#include "app/ui/shell/controller_windows.h"
#include "app/ui/shell/dev_actions.h"
#include "app/ui/shell/dev_screenshot.h"
#include "app/ui/main_window/editors_pop_up.h"
#include "app/ui/shell/help_menu.h"
#include "app/ui/main_window/main_window.h"
#include "app/ui/main_window/main_window_delegate.h"
#include "app/ui/main_window/main_window_menus.h"
#include "app/ui/controls/pop_up_button_scroller.h"
#include "app/ui/windows/profiling_panel.h"
#include "app/ui/shell/quit_signals.h"
#include "app/ui/shell/single_instance.h"
#include "app/ui/shell/update_requester.h"
#include "pipeline/load/raw_probe.h"
#include "pipeline/processor/raw_processor.h"
#include "platform/log.h"
#include "platform/qt/qt_platform.h"
#include "platform/url_opener.h"
#include "platform/user_defaults.h"

namespace dvk {

namespace {

// How long the quit waits for a develop of the preview that is still going
// (one takes a second or two).
constexpr std::chrono::seconds kDevelopWaitAtQuit{15};

}  // namespace

int runApplication(QApplication& app, int argc, char** argv) {
    QApplication::setApplicationName(QString::fromLatin1(kProgramName));
    // The installed desktop entry (dvk.desktop): docks and task bars take its
    // name and icon for the window.
    QApplication::setDesktopFileName(QStringLiteral("dvk"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    // Closing the main window quits through the quit steps, not by itself.
    QApplication::setQuitOnLastWindowClosed(false);
    installQtPlatform();
    set_url_opener(std::make_shared<XdgUrlOpener>());
    // Raw files are first read by the probe, in a process of its own.
    use_raw_probe_beside_executable();
    const DevHooks& hooks = devHooks();
    installDevAlertsAndPanels(hooks);

    Controller::setArguments(argc, argv);
    int rc = 0;
    {
        ControllerOptions options;
        options.openCommandLineFiles = hooks.screenshot.empty();
        Controller controller(options);
        ControllerWindows windows(controller);
        MainWindow mainWindow(controller.preview());
        MainWindowMenus menus(controller, mainWindow);
        // A first start's keyboard helper opens beside the window as the
        // launch's files left it.
        mainWindow.holdKeyboardHelper(true);
        mainWindow.awakeFromNib(UserDefaults::standard());
        windows.setMainWindow(&mainWindow);
        wireAppDelegate(controller, windows, mainWindow);
        DevScreenshot screenshot(controller, mainWindow, hooks);
        MainWindowDelegate windowDelegate(mainWindow);
        windowDelegate.setProfilingPanel(&menus.profilingPanel(),
                                         [&controller] { controller.profilingWindowWillClose(); });
        HelpActions helpActions(controller);
        // The editors the saves open files in (the delegate fills them from the defaults).
        const EditorsAccess editors{[&controller]() -> std::vector<std::string>& { return controller.editors(); },
                                    [&controller] { return controller.currentEditor(); },
                                    [&controller](std::int64_t item) { controller.setCurrentEditor(item); },
                                    [&controller] { controller.initEditorsButton(); }};
        helpActions.setEditors(editors);
        connectEditorsPopUp(*mainWindow.extEditorsButton(), editors);
        addToolsAndHelpMenus(*mainWindow.menuBar(), helpActions);
        DevActions devActions(controller, windows, hooks);

        InstanceServer instanceServer(controller, claimedInstanceSocket());
        installQuitSignals([&windows] { windows.terminate(); });
        controller.applicationWillFinishLaunching(requestUpdateFeed);
        // The file the screenshot hook opens (the launch leaves it to the hook).
        const std::vector<std::string>& args = Controller::arguments();
        const std::string file = args.size() >= 2 ? args[1] : std::string();
        // The launch work runs once the event loop turns: the launch steps offer
        // an unfinished batch, then open the files named on the command line.
        QTimer::singleShot(0, &windows, [&] {
            windows.showLaunchWindows();
            controller.launch();
            controller.activity().whenIdle([&mainWindow] { mainWindow.holdKeyboardHelper(false); });
            if (!hooks.screenshot.empty()) screenshot.start(file);
            if (hooks.quitIdle) controller.activity().whenIdle([&windows] { windows.terminate(); });
        });
        rc = app.exec();
        // A batch stops after its file (its list kept for the next start), a
        // save or an open ends, before anything they use goes.
        controller.stopRoads();
        // Files a batch of the command line did not write: said, and the exit status tells.
        if (rc == 0 && controller.commandLineFilesNotWritten()) rc = 1;
        // A develop that does not end must not keep the process (and its
        // lock) alive: after a while the program ends without it.
        if (!controller.preview().applyWorker().waitForRunToEnd(kDevelopWaitAtQuit)) {
            log_line("The preview was still being developed %lld s after the quit: DVK quits without it",
                     static_cast<long long>(kDevelopWaitAtQuit.count()));
            controller.applicationWillTerminate();
            releaseSingleInstance();
            std::fflush(nullptr);
            std::_Exit(rc);
        }
        controller.applicationWillTerminate();
    }
    uninstallQtPlatform();
    releaseSingleInstance();
    return rc;
}

}  // namespace dvk
