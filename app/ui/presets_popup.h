// The presets pop-up of the main window: the controller's presets menu as a
// combo box. Choosing an item hands its index to presetSelected (after the
// choice's own event, so the menu may be rebuilt meanwhile).
#pragma once

#include <QtWidgets/QComboBox>

namespace dvk {

class Controller;

class PresetsPopup : public QComboBox {
    Q_OBJECT

public:
    explicit PresetsPopup(Controller& controller, QWidget* parent = nullptr);
    // The items again from the controller's menu; item 0 selected.
    void rebuild();
    // Item 0 again (apply: does it after each change of the settings).
    void selectFirst() { setCurrentIndex(0); }

private:
    Controller& controller_;
    bool rebuilding_ = false;
};

}  // namespace dvk
