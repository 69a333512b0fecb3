// SIGTERM, SIGHUP and SIGINT (the session ending, the terminal closing,
// Ctrl-C) quit the program the normal way: the handler only writes to a
// pipe, and the event loop then calls `quit` on the main thread, after
// answering every open question with its cancelling choice (a batch's
// question included): nothing that waits for a person holds such a quit.
#pragma once

#include <functional>

namespace dvk {

// Once, after the QApplication exists.
void installQuitSignals(std::function<void()> quit);

}  // namespace dvk
