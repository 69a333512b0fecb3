#include "app/ui/windows/secondary_window.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <QtGui/QScreen>
#include <QtGui/QWindow>
#include <QtCore/QEvent>
#include <QtCore/QVariant>
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

// The main window's frame, menu band and side panel (reaching to the
// frame's right and bottom edges: its border belongs to it).
MainWindowParts main_window_parts(const QWidget& main) {
    MainWindowParts parts;
    const QRect frame = main.frameGeometry();
    parts.frame = toPlacement(frame);
    parts.menuBand = menu_band(main);
    if (const QWidget* panel = main.findChild<QWidget*>(QStringLiteral("sidePanel")); panel && panel->isVisible()) {
        const QPoint at = panel->mapToGlobal(QPoint(0, 0));
        parts.panel = toPlacement(QRect(at, QPoint(frame.right(), frame.bottom())));
    }
    return parts;
}

// The secondary windows on show beside `main`, but `except`.
std::vector<QWidget*> secondary_windows(const QWidget& main, const QWidget* except = nullptr) {
    std::vector<QWidget*> windows;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != &main && w != except && w->isVisible() && w->property("dvkShownBefore").toBool())
            windows.push_back(w);
    return windows;
}

std::vector<PlacementRect> frames_of(const std::vector<QWidget*>& windows) {
    std::vector<PlacementRect> frames;
    for (const QWidget* w : windows) frames.push_back(toPlacement(w->frameGeometry()));
    return frames;
}

// The frame size of `window` (with `margins`) and the least it can take.
SecondarySize secondary_size(const QWidget& window, const QSize& size, const QMargins& margins) {
    const QSize frame = size.grownBy(margins);
    const QSize least = window.minimumSizeHint().expandedTo(window.minimumSize()).grownBy(margins);
    return {static_cast<double>(frame.width()), static_cast<double>(frame.height()),
            static_cast<double>(least.width()), static_cast<double>(least.height())};
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
        PlacementRect frame = keptInside(toPlacement(QRect(window.pos(), size.grownBy(margins))), free);
        if (mainWindow && mainWindow->isVisible()) {
            // Where it was on show before, unless the main window's menus or
            // panel are there now.
            const MainWindowParts main = main_window_parts(*mainWindow);
            if (!window.property("dvkShownBefore").toBool() || coversMenuBandOrPanel(frame, main))
                frame = besideFrame(secondary_size(window, size, margins), main, free,
                                    frames_of(secondary_windows(*mainWindow, &window)));
            window.setProperty("dvkMainFrame", mainWindow->frameGeometry());
        }
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

void placeSecondaryWindowsAgain(const QWidget& mainWindow, bool movedByUser) {
    if (!mainWindow.isVisible()) return;
    const QScreen* screen = mainWindow.screen();
    const PlacementRect free = screen ? toPlacement(screen->availableGeometry()) : PlacementRect{};
    const MainWindowParts main = main_window_parts(mainWindow);
    const std::vector<QWidget*> windows = secondary_windows(mainWindow);
    std::vector<QWidget*> again, settled;
    for (QWidget* w : windows) {
        const QVariant before = w->property("dvkMainFrame");
        w->setProperty("dvkMainFrame", mainWindow.frameGeometry());
        // Where the user takes the main window, the windows stay where they are.
        const bool placed = !movedByUser && placedAgainAfterMainWindowChange(
                                                toPlacement(w->frameGeometry()),
                                                before.isValid() ? toPlacement(before.toRect()) : PlacementRect{}, main);
        (placed ? again : settled).push_back(w);
    }
    // Each clear of those that stay and of those placed before it.
    for (QWidget* w : again) {
        const QMargins margins = frameMargins(*w, &mainWindow);
        setFrame(*w, toRect(besideFrame(secondary_size(*w, w->size(), margins), main, free, frames_of(settled))),
                 margins);
        w->raise();
        settled.push_back(w);
    }
}

void raiseWindowsInFrontOf(const QWidget& mainWindow) {
    const QWindow* main = mainWindow.windowHandle();
    if (!main) return;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != &mainWindow && w->isVisible() && w->windowHandle() && w->windowHandle()->transientParent() == main)
            w->raise();
}

}  // namespace dvk
