// The white-balance pop-up of the main window as the preset menu's view
// (wb_preset_menu.h): four fixed modes, then the user's and the camera
// vendor's presets, replaced whole for each file and after a preset changed.
// Beside it, the small modal window that names a new preset.
#pragma once

#include <QtWidgets/QDialog>
#include <functional>
#include <string>

#include "app/menus/wb_preset_menu.h"

class QLineEdit;

namespace dvk {

class PopUpButtonScroller;

class WbPopUp : public WbButtonView {
public:
    // Fills `popUp` with the fixed items.
    explicit WbPopUp(PopUpButtonScroller& popUp);

    void setGeneratedWbItems(const MenuItems& items) override;
    void selectWbTag(int tag) override;
    int selectedWbTag() const override;

private:
    PopUpButtonScroller& popUp_;
};

// "Create WB Preset": the preset's name, "Cancel" and "Ok". Each button goes
// to `pressed` with its title and the typed name; the window closes when the
// answer says so (the Escape key and the window's close are "Cancel").
class WbPresetWindow : public QDialog {
    Q_OBJECT
public:
    using Pressed =
        std::function<void(const std::string& title, const std::string& name, std::function<void(bool)> close)>;
    explicit WbPresetWindow(Pressed pressed, QWidget* parent = nullptr);

    // Runs the window modally under `title`, the name field empty.
    void run(const std::string& title);
    void press(const QString& title);
    QLineEdit* nameField() const { return name_; }

protected:
    void reject() override;

private:
    Pressed pressed_;
    QLineEdit* name_;
};

}  // namespace dvk
