#include <QtCore/QCoreApplication>
#include <QtCore/QEventLoop>
#include <QtCore/QMetaObject>

#include "platform/dispatch.h"
#include "platform/qt/qt_platform.h"

namespace dvk {

void installQtMainQueue() {
    markMainThread();
    setMainExecutor([](MainTask task) {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) return;  // the queue has ended: the task is dropped
        QMetaObject::invokeMethod(app, std::move(task), Qt::QueuedConnection);
    });
    setMainThreadPump([](const std::function<bool()>& done) {
        while (!done()) QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    });
}

void uninstallQtMainQueue() {
    setMainThreadPump({});
    setMainExecutor({});
}

}  // namespace dvk
