#include "tests/app/ui/shell/qt_test_app.h"

#include <QtCore/QSettings>
#include <QtCore/QTemporaryDir>
#include <QtWidgets/QStyleFactory>

namespace dvk::test {

QApplication& qtApp() {
    static int argc = 1;
    static char name[] = "test_app_ui";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        // Qt's own settings (the file dialogs' history and column widths)
        // in a folder of the run's, not the user's.
        static QTemporaryDir settings;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
        auto* a = new QApplication(argc, argv);
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        return a;
    }();
    return *app;
}

}  // namespace dvk::test

// Fontconfig keeps its caches for the life of the process; the leak checker of
// the sanitizer build is told not to count them.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
