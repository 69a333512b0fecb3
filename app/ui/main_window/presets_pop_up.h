// The presets pop-up of the main window, driven from the controller's
// presets menu: the pop-up's items are the menu's, and choosing one hands its
// index to presetSelected (after the choice's own event, as the menu may be
// rebuilt meanwhile). The pop-up itself is the main window's.
#pragma once

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtWidgets/QComboBox>

namespace dvk {

class Controller;

class PresetsPopUp : public QObject {
    Q_OBJECT

public:
    // Drives `popUp` (owned by its window) while both live.
    PresetsPopUp(Controller& controller, QComboBox* popUp);
    // The items again from the controller's menu; item 0 selected.
    void rebuild();
    // Item 0 again (apply: does it after each change of the settings).
    void selectFirst();
    QComboBox* popUp() const { return popUp_; }

private:
    Controller& controller_;
    QPointer<QComboBox> popUp_;
    bool rebuilding_ = false;
};

}  // namespace dvk
