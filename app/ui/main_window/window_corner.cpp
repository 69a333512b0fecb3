#include "app/ui/main_window/window_corner.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace dvk {

namespace {

PlacementRect toPlacement(const QRect& r) { return {double(r.x()), double(r.y()), double(r.width()), double(r.height())}; }

PlacementRect availableArea(const QWidget& window) {
    const QScreen* screen = window.screen();
    return screen ? toPlacement(screen->availableGeometry()) : PlacementRect{};
}

}  // namespace

std::optional<CornerRecord> windowDidMove(const QWidget& window, bool byUser, UserDefaults& defaults) {
    WindowMove move;
    move.frame = toPlacement(window.frameGeometry());
    move.available = availableArea(window);
    move.byUser = byUser;
    move.fullScreen = window.isFullScreen();
    move.wayland = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    return recordWindowMove(move, defaults);
}

QRect anchoredFrame(const QWidget& window, QSize frameSize, const CornerDistance& portrait,
                    const CornerDistance& landscape) {
    const double w = frameSize.width(), h = frameSize.height();
    const PlacementRect r = placeAtCorner(w, h, isPortraitFrame(w, h) ? portrait : landscape, availableArea(window));
    return QRect(int(std::lround(r.x)), int(std::lround(r.y)), frameSize.width(), frameSize.height());
}

}  // namespace dvk
