// Developer hooks: environment variables that let scripted checks drive the
// whole program (any argument beyond the program path would put it in
// command-line mode, so the hooks never come as options). They are read
// here, once; each changes only what it names.
//
//   DVK_DEV_QUIT_IDLE=1        quit the normal way once the launch work and
//                              every open, save, batch and tag copy it
//                              started have ended
//   DVK_DEV_ALERTS=first|A,B   show no alert: each takes the first of its
//                              buttons named in the list, else its first
//                              button; panels answer Cancel
//   DVK_DEV_SCREENSHOT=PATH    grab the main window once the named file is
//                              shown (and DVK_DEV_SET applied, the apply
//                              worker idle) into PATH (PNG, or binary PPM for
//                              ".ppm"), write PATH.rects, quit; exit 1 when
//                              the file fails to open or no preview comes in
//                              120 s; alerts take their first button
//   DVK_DEV_SET="K=V;K=V"      settings applied before the grab (apply:)
//   DVK_DEV_ACTIONS="a: b:"    menu actions run in order after launch, each
//                              once the previous one, the work it started
//                              and its child processes have ended
//   DVK_DEV_EXIFTOOL=PATH      the program run in place of /usr/bin/exiftool
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/common/activity.h"
#include "platform/alert.h"

namespace dvk {

struct DevHooks {
    bool quitIdle = false;
    bool scriptedAlerts = false;
    std::vector<std::string> alertButtons;  // the list of DVK_DEV_ALERTS ("first": empty)
    std::string screenshot;
    std::string set;
    std::string actions;
    std::string exiftool;
};

// Reads the hooks through `getenv` (tests pass their own).
DevHooks readDevHooks(const std::function<const char*(const char*)>& getenv);
// The process's hooks, read from the environment on first use.
const DevHooks& devHooks();

// The answer of an alert under DVK_DEV_ALERTS: the first of its buttons that
// the list names, else its first button (1000 + position).
int devAlertAnswer(const std::vector<std::string>& listed, const AlertRequest& request);
// Installs the alert answerer and Cancel panels when the hooks script alerts
// (the screenshot hook answers every alert with its first button).
void installDevAlertsAndPanels(const DevHooks& hooks);

// The settings of DVK_DEV_SET in order: "KEY=VALUE" items split at ';',
// blanks around keys and values dropped; an item without '=' or key is
// logged and skipped.
std::vector<std::pair<std::string, std::string>> parseDevSettings(const std::string& text);

// The lines of PATH.rects: "imageView X Y W H" and "histogramView X Y W H".
std::string devScreenshotRects(int imageX, int imageY, int imageW, int imageH, int histX, int histY, int histW,
                               int histH);

// The action names of DVK_DEV_ACTIONS in order (separated by blanks, tabs or
// line breaks).
std::vector<std::string> parseDevActions(const std::string& text);

// Runs the actions of DVK_DEV_ACTIONS one after the other on the main
// thread. The first runs once the launch work has ended and the program is
// idle; each next one once the previous action, every piece of work it
// started (the activity record) and every child process have ended. While
// actions are left, the runner itself counts as running work, so a
// DVK_DEV_QUIT_IDLE quit waits for them. A name no action answers to is
// logged and skipped.
class DevActionRunner {
public:
    struct Ports {
        // The action of a name ("archiveCrashLogs:"); empty when none has it.
        std::function<std::function<void()>(const std::string& name)> find;
        // Child processes still running (default: running_child_count()).
        std::function<int()> childCount;
        // Calls `check` again a little later on the main thread.
        std::function<void(std::function<void()> check)> later;
    };
    DevActionRunner(std::vector<std::string> names, ActivityTracker& activity, Ports ports);
    ~DevActionRunner();
    DevActionRunner(const DevActionRunner&) = delete;
    DevActionRunner& operator=(const DevActionRunner&) = delete;

    // The names not yet run.
    std::size_t remaining() const { return names_.size() - next_; }

private:
    void check();
    bool settled() const;

    std::vector<std::string> names_;
    std::size_t next_ = 0;
    ActivityTracker& activity_;
    Ports ports_;
    ActivityTracker::Token token_;
    bool started_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace dvk
