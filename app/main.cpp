// dvk: the raw developer.
#include <clocale>

#include <QtWidgets/QApplication>

#include "app/desktop/startup_log.h"
#include "app/ui/shell/application.h"
#include "app/ui/shell/single_instance.h"

int main(int argc, char** argv) {
    // A program already runs for this support folder: it takes the files.
    if (std::optional<int> handedOver = dvk::claimSingleInstance(argc, argv)) return *handedOver;
    dvk::startLogging();
    QApplication app(argc, argv);
    // Numbers in files and settings text are written with a decimal point,
    // whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    return dvk::runApplication(app, argc, argv);
}
