// dvk: the raw developer.
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include <QtWidgets/QApplication>

#include "app/controller/open_events.h"
#include "app/desktop/command_line.h"
#include "app/desktop/startup_log.h"
#include "app/ui/shell/application.h"
#include "app/ui/shell/single_instance.h"
#include "platform/log.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + std::min(argc, 1), argv + argc);
    // --help and --version print and end here: no window, no lock, no log.
    const dvk::CommandLineOptions options = dvk::scanCommandLineOptions(args);
    if (options.help || options.version) {
        std::fputs(options.help ? dvk::usageText().c_str() : dvk::versionText().c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    // An option that does not exist, and a file named here that does not
    // exist, are said on the terminal, before the log takes standard error,
    // whichever program opens the rest.
    for (const std::string& o : options.unknown) std::fprintf(stderr, "DVK: Unknown option: %s\n", o.c_str());
    dvk::reportMissingFiles(dvk::commandLineFiles(args, dvk::currentDirectory()), stderr);
    // A program already runs for this support folder: it takes the files.
    if (std::optional<int> handedOver = dvk::claimSingleInstance(argc, argv)) return *handedOver;
    dvk::startLogging();
    for (const std::string& o : options.unknown) dvk::log_line("Unknown option: %s", o.c_str());
    QApplication app(argc, argv);
    // Numbers in files and settings text are written with a decimal point,
    // whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    return dvk::runApplication(app, argc, argv);
}
