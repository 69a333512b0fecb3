// dvk: the raw developer.
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include <QtWidgets/QApplication>

#include "app/controller/open_events.h"
#include "app/desktop/startup_log.h"
#include "app/ui/shell/application.h"
#include "app/ui/shell/single_instance.h"

int main(int argc, char** argv) {
    // A file named here that does not exist is said on the terminal, before
    // the log takes standard error, whichever program opens the rest.
    {
        std::vector<std::string> args(argv + std::min(argc, 1), argv + argc);
        dvk::reportMissingFiles(dvk::commandLineFiles(args, dvk::currentDirectory()), stderr);
    }
    // A program already runs for this support folder: it takes the files.
    if (std::optional<int> handedOver = dvk::claimSingleInstance(argc, argv)) return *handedOver;
    dvk::startLogging();
    QApplication app(argc, argv);
    // Numbers in files and settings text are written with a decimal point,
    // whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    return dvk::runApplication(app, argc, argv);
}
