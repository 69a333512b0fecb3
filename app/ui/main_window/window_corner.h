// The main window's corner placement on Qt: windowDidMove and the anchored
// frame, over the Qt-free rules of app/window/window_placement.h.
#pragma once

#include <QRect>
#include <optional>

#include "app/window/window_placement.h"

class QWidget;

namespace dvk {

class UserDefaults;

// windowDidMove: records the corner of `window` (its frameGeometry() within
// its screen's availableGeometry()) under "topRightPointP" or
// "topRightPointL". `byUser` says the user moved it (the window knows when
// it moves itself); nothing is recorded in full screen or on Wayland, where
// windows are not told their place.
std::optional<CornerRecord> windowDidMove(const QWidget& window, bool byUser, UserDefaults& defaults);

// The frame rectangle of `frameSize` placed at the corner its shape
// records, on the window's screen (the anchor step of anchorFrameRect).
QRect anchoredFrame(const QWidget& window, QSize frameSize, const CornerDistance& portrait,
                    const CornerDistance& landscape);

}  // namespace dvk
