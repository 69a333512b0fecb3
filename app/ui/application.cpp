#include "app/ui/application.h"

#include <QtCore/QTimer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QStyleFactory>

#include "app/controller.h"
#include "app/dev_hooks.h"
#include "app/preview_controller.h"
#include "app/ui/controller_windows.h"
#include "app/ui/dev_screenshot.h"
#include "app/ui/main_window.h"
#include "pipeline/processor/raw_processor.h"
#include "platform/qt/qt_platform.h"
#include "platform/user_defaults.h"

namespace dvk {

int runApplication(QApplication& app, int argc, char** argv) {
    QApplication::setApplicationName(QStringLiteral("DVK"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    installQtPlatform();
    const DevHooks& hooks = devHooks();
    installDevAlertsAndPanels(hooks);

    Controller::setArguments(argc, argv);
    int rc = 0;
    {
        Controller controller;
        ControllerWindows windows(controller);
        MainWindow mainWindow(controller.preview());
        mainWindow.awakeFromNib(UserDefaults::standard());
        windows.setMainWindow(&mainWindow);
        DevScreenshot screenshot(controller, mainWindow, hooks);
        // The file named on the command line, opened until the open road exists.
        const std::vector<std::string>& args = Controller::arguments();
        const std::string file = args.size() >= 2 ? args[1] : std::string();
        // The launch work runs once the event loop turns.
        QTimer::singleShot(0, &windows, [&] {
            windows.showLaunchWindows();
            controller.launch();
            if (!hooks.screenshot.empty()) {
                screenshot.start(file);
            } else if (!file.empty()) {
                controller.openCommandLineFile(file, [&mainWindow, &controller, file](int result) {
                    if (result != 0) return;
                    mainWindow.setWindowFilePath(QString::fromStdString(file));
                    mainWindow.setWindowTitle(QString::fromStdString(file).section(QLatin1Char('/'), -1));
                    mainWindow.setCameraInfo(controller.rawProcessor()->cameraInfo());
                });
            }
            if (hooks.quitIdle) controller.activity().whenIdle([&windows] { windows.terminate(); });
        });
        rc = app.exec();
        controller.applicationWillTerminate();
    }
    uninstallQtPlatform();
    return rc;
}

}  // namespace dvk
