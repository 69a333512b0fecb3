// A second road to what a control does with a modifier key held: an entry of
// the control's context menu (right-click). Many window managers take
// Alt-click (and Super-click) for themselves, so the modifier alone may never
// reach the program.
#pragma once

#include <functional>

#include <QtCore/QString>

class QAction;
class QWidget;

namespace dvk {

// Adds an entry titled `title` that runs `run` to the context menu of
// `control` (which then shows its actions as that menu); returns the entry.
QAction* addContextAction(QWidget* control, const QString& title, std::function<void()> run);

}  // namespace dvk
