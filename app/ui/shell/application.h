// The program after its log is set up: the Qt forms of the platform layers
// (or the developer hooks' answers), the controller with its windows, the
// launch work and the event loop. Returns the exit code.
#pragma once

class QApplication;

namespace dvk {

int runApplication(QApplication& app, int argc, char** argv);

}  // namespace dvk
