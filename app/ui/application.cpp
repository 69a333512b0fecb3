#include "app/ui/application.h"

#include <QtCore/QTimer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QStyleFactory>

#include "app/controller.h"
#include "app/dev_hooks.h"
#include "app/ui/controller_windows.h"
#include "app/ui/desktop_url_opener.h"
#include "app/ui/quit_signals.h"
#include "app/ui/single_instance.h"
#include "app/ui/update_requester.h"
#include "platform/qt/qt_platform.h"
#include "platform/url_opener.h"

namespace dvk {

int runApplication(QApplication& app, int argc, char** argv) {
    QApplication::setApplicationName(QStringLiteral("DVK"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    // Closing the main window quits through the quit steps, not by itself.
    QApplication::setQuitOnLastWindowClosed(false);
    installQtPlatform();
    set_url_opener(std::make_shared<DesktopUrlOpener>());
    const DevHooks& hooks = devHooks();
    installDevAlertsAndPanels(hooks);

    Controller::setArguments(argc, argv);
    int rc = 0;
    {
        Controller controller;
        ControllerWindows windows(controller);
        InstanceServer instanceServer(controller, claimedInstanceSocket());
        installQuitSignals([&windows] { windows.terminate(); });
        controller.applicationWillFinishLaunching(requestUpdateFeed);
        // The launch work runs once the event loop turns.
        QTimer::singleShot(0, &windows, [&] {
            windows.showLaunchWindows();
            controller.launch();
            if (hooks.quitIdle) controller.activity().whenIdle([&windows] { windows.terminate(); });
        });
        rc = app.exec();
        controller.applicationWillTerminate();
    }
    uninstallQtPlatform();
    releaseSingleInstance();
    return rc;
}

}  // namespace dvk
