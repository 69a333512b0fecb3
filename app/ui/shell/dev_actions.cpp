#include "app/ui/shell/dev_actions.h"

#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include "app/controller/controller.h"
#include "app/controller/controller_ui.h"
#include "app/hooks/dev_hooks.h"

namespace dvk {

namespace {

// How often the runner looks whether the previous action's work has ended.
constexpr int kSettleCheckMs = 50;

}  // namespace

DevActions::DevActions(Controller& controller, ControllerUi& ui, const DevHooks& hooks) : ui_(ui) {
    std::vector<std::string> names = parseDevActions(hooks.actions);
    if (names.empty()) return;
    DevActionRunner::Ports ports;
    ports.find = [this](const std::string& name) { return find(name); };
    ports.later = [this](std::function<void()> check) { QTimer::singleShot(kSettleCheckMs, this, std::move(check)); };
    runner_ = std::make_unique<DevActionRunner>(std::move(names), controller.activity(), std::move(ports));
}

DevActions::~DevActions() = default;

std::function<void()> DevActions::find(const std::string& name) {
    const QString objectName = QString::fromStdString(name);
    for (QWidget* window : QApplication::topLevelWidgets()) {
        for (QAction* action : window->findChildren<QAction*>(objectName)) {
            if (!action->isEnabled()) continue;
            QPointer<QAction> a(action);
            return [a] {
                if (a) a->trigger();
            };
        }
    }
    for (QWidget* window : QApplication::topLevelWidgets()) {
        for (QAbstractButton* button : window->findChildren<QAbstractButton*>(objectName)) {
            if (!button->isEnabled()) continue;
            QPointer<QAbstractButton> b(button);
            return [b] {
                if (b) b->click();
            };
        }
    }
    if (name == "terminate:") return [this] { ui_.terminate(); };
    return {};
}

}  // namespace dvk
