#include "app/ui/controls/context_actions.h"

#include <QtGui/QAction>
#include <QtWidgets/QWidget>

namespace dvk {

QAction* addContextAction(QWidget* control, const QString& title, std::function<void()> run) {
    control->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* action = new QAction(title, control);
    QObject::connect(action, &QAction::triggered, control, [run = std::move(run)] { run(); });
    control->addAction(action);
    return action;
}

}  // namespace dvk
