// The QApplication of the window tests (offscreen, Fusion style), made on
// first use, and the Qt platform layers installed for one test.
#pragma once

#include <QtWidgets/QApplication>

#include "platform/qt/qt_platform.h"

namespace dvk::test {

QApplication& qtApp();

struct QtPlatformScope {
    QtPlatformScope() { installQtPlatform(); }
    ~QtPlatformScope() { uninstallQtPlatform(); }
};

}  // namespace dvk::test
