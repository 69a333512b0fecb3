#include "app/ui/windows/secondary_window.h"

#include <algorithm>
#include <cmath>

#include <QtGui/QScreen>
#include <QtGui/QWindow>
#include <QtCore/QEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QWidget>

#include "app/window/window_placement.h"

namespace dvk {

namespace {

PlacementRect toPlacement(const QRect& r) {
    return {static_cast<double>(r.x()), static_cast<double>(r.y()), static_cast<double>(r.width()),
            static_cast<double>(r.height())};
}

QRect toRect(const PlacementRect& r) {
    return QRect(static_cast<int>(std::lround(r.x)), static_cast<int>(std::lround(r.y)),
                 static_cast<int>(std::lround(r.width)), static_cast<int>(std::lround(r.height)));
}

// The frame around a window: its own once shown, else the main window's (the
// same window system frames both alike).
QMargins frameMargins(const QWidget& w, const QWidget* main) {
    const QWidget& from = w.isVisible() || !main ? w : *main;
    const QRect f = from.frameGeometry(), c = from.geometry();
    return QMargins(c.left() - f.left(), c.top() - f.top(), f.right() - c.right(), f.bottom() - c.bottom());
}

// The height of the main window's frame above its content: the title bar
// and the menu bar, which secondary windows keep clear of.
double menu_band(const QWidget& main) {
    int bottom = main.geometry().top();
    if (const auto* w = qobject_cast<const QMainWindow*>(&main); w && w->menuWidget() && w->menuWidget()->isVisible())
        bottom = w->menuWidget()->mapToGlobal(QPoint(0, w->menuWidget()->height())).y();
    return std::max(0, bottom - main.frameGeometry().top());
}

// Brings its window to the top of the stack whenever it becomes the active
// one: where no window manager stacks windows, the window the user turns to
// would otherwise stay under those raised after it.
class RaiseWhenActivated : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::WindowActivate)
            if (auto* w = qobject_cast<QWidget*>(watched); w && w->isWindow()) w->raise();
        return false;
    }
};

// Sets the frame of `window` (with `margins` around its own rectangle): the
// window's own rectangle is placed, the window system's frame around it.
void setFrame(QWidget& window, const QRect& frame, const QMargins& margins) {
    const QRect client = frame.marginsRemoved(margins);
    window.setGeometry(QRect(client.topLeft(), client.size().expandedTo(window.minimumSize())));
}

}  // namespace

void openSecondaryWindow(QWidget& window, const QWidget* mainWindow) {
    if (!window.isVisible()) {
        const QScreen* screen = mainWindow ? mainWindow->screen() : window.screen();
        const PlacementRect free = screen ? toPlacement(screen->availableGeometry()) : PlacementRect{};
        const QMargins margins = frameMargins(window, mainWindow);
        window.ensurePolished();
        // A size of its own when one was given, else the size its contents ask.
        const QSize size = window.testAttribute(Qt::WA_Resized) ? window.size() : window.sizeHint();
        const QSize frameSize = size.grownBy(margins);
        PlacementRect frame;
        if (mainWindow && mainWindow->isVisible())
            frame = window.property("dvkShownBefore").toBool()
                        ? keptInside(toPlacement(QRect(window.pos(), frameSize)), free)
                        : besideFrame(frameSize.width(), frameSize.height(), toPlacement(mainWindow->frameGeometry()),
                                      menu_band(*mainWindow), free);
        else
            frame = keptInside(toPlacement(QRect(window.pos(), frameSize)), free);
        setFrame(window, toRect(frame), margins);
        window.setProperty("dvkShownBefore", true);
    }
    if (!window.property("dvkRaisedWhenActivated").toBool()) {
        window.setProperty("dvkRaisedWhenActivated", true);
        window.installEventFilter(new RaiseWhenActivated(&window));
    }
    window.show();
    window.raise();
    window.activateWindow();
}

void raiseWindowsInFrontOf(const QWidget& mainWindow) {
    const QWindow* main = mainWindow.windowHandle();
    if (!main) return;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != &mainWindow && w->isVisible() && w->windowHandle() && w->windowHandle()->transientParent() == main)
            w->raise();
}

}  // namespace dvk
