#include "app/ui/windows/secondary_window.h"

#include <cmath>

#include <QtGui/QScreen>
#include <QtGui/QWindow>
#include <QtWidgets/QApplication>
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
        QSize size = window.size();
        if (!window.testAttribute(Qt::WA_Resized)) size = size.expandedTo(window.sizeHint());
        const QSize frameSize = size.grownBy(margins);
        PlacementRect frame;
        if (mainWindow && mainWindow->isVisible())
            frame = window.property("dvkShownBefore").toBool()
                        ? keptInside(toPlacement(QRect(window.pos(), frameSize)), free)
                        : besideFrame(frameSize.width(), frameSize.height(), toPlacement(mainWindow->frameGeometry()),
                                      free);
        else
            frame = keptInside(toPlacement(QRect(window.pos(), frameSize)), free);
        setFrame(window, toRect(frame), margins);
        window.setProperty("dvkShownBefore", true);
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
