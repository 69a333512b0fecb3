#include "app/ui/application.h"

#include <QtCore/QTimer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QStyleFactory>

#include "app/controller.h"
#include "app/dev_hooks.h"
#include "app/ui/controller_windows.h"
#include "platform/qt/qt_platform.h"

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
        // The launch work runs once the event loop turns.
        QTimer::singleShot(0, &windows, [&] {
            windows.showLaunchWindows();
            controller.launch();
            // A pending batch offered, then the files named on the command line.
            controller.completeBatchAndOpenArguments();
            if (hooks.quitIdle) controller.activity().whenIdle([&windows] { windows.terminate(); });
        });
        rc = app.exec();
        // A batch stops after its file (its list kept for the next start), a
        // save or an open ends, before anything they use goes.
        controller.stopRoads();
        controller.applicationWillTerminate();
    }
    uninstallQtPlatform();
    return rc;
}

}  // namespace dvk
