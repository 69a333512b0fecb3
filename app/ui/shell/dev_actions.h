// DVK_DEV_ACTIONS in the program: the named actions run one after the other
// after launch (DevActionRunner of app/hooks/dev_hooks.h). A name is found as the
// object name of an enabled action of the program's windows (the menus'
// items carry their action's name, "archiveCrashLogs:"), else of an enabled
// button of theirs, which is clicked (the history window's buttons,
// "addToHistory:"); "terminate:" without such an item quits the normal way.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QtCore/QObject>

namespace dvk {

class Controller;
class ControllerUi;
class DevActionRunner;
struct DevHooks;

class DevActions : public QObject {
    Q_OBJECT
public:
    // Made before the event loop starts (see DevActionRunner).
    DevActions(Controller& controller, ControllerUi& ui, const DevHooks& hooks);
    ~DevActions() override;

    // The action of `name` among the windows' actions; empty when none.
    std::function<void()> find(const std::string& name);

private:
    ControllerUi& ui_;
    std::unique_ptr<DevActionRunner> runner_;
};

}  // namespace dvk
