#include "app/ui/controls/no_click_through.h"

#include <QtGui/QMouseEvent>

namespace dvk {

bool activatesWindowInstead(QWidget* widget) {
    QWidget* w = widget->window();
    if (!w || w->isActiveWindow()) return false;
    w->activateWindow();
    w->raise();
    // Offscreen and some window managers never report an active window: a
    // window that cannot become active takes the click.
    return w->isActiveWindow();
}

void NoClickThroughButton::mousePressEvent(QMouseEvent* event) {
    if (activatesWindowInstead(this)) {
        event->ignore();
        return;
    }
    QPushButton::mousePressEvent(event);
}

}  // namespace dvk
