// What the window tests share: a QApplication for the whole binary, the main
// queue on Qt's event loop, and a synthetic raw file.
#pragma once

#include <QtCore/QCoreApplication>
#include <QtWidgets/QApplication>

#include "platform/dispatch.h"

namespace dvk::test {

// Posts main-queue tasks to the Qt event loop (the program's executor).
inline void installQtMainQueue() {
    markMainThread();
    setMainExecutor([](MainTask task) {
        QMetaObject::invokeMethod(qApp, [task = std::move(task)] { task(); }, Qt::QueuedConnection);
    });
}

}  // namespace dvk::test
