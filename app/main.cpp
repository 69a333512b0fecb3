// dvk: the raw developer.
#include <clocale>

#include <QtWidgets/QApplication>

#include "app/startup_log.h"
#include "app/ui/application.h"

int main(int argc, char** argv) {
    dvk::startLogging();
    QApplication app(argc, argv);
    // Numbers in files and settings text are written with a decimal point,
    // whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    return dvk::runApplication(app, argc, argv);
}
