// The settings selector: a box of 19 checkboxes, one per group of settings,
// shown by the settings-selector window and by the new-preset window (the
// box moves into whichever is shown). The checkboxes mirror the
// controller's SettingsSelector; the windows' buttons call the controller.
#pragma once

#include <QtWidgets/QDialog>
#include <QtWidgets/QGroupBox>
#include <vector>

class QCheckBox;
class QLineEdit;
class QVBoxLayout;

namespace dvk {

class Controller;

class SettingsSelectorBox : public QGroupBox {
    Q_OBJECT

public:
    explicit SettingsSelectorBox(Controller& controller, QWidget* parent = nullptr);
    // The checkboxes show the controller's choice again.
    void refresh();
    const std::vector<QCheckBox*>& checkboxes() const { return boxes_; }

private:
    Controller& controller_;
    std::vector<QCheckBox*> boxes_;
    bool refreshing_ = false;
};

// "Settings Selector": the box, "Cancel" and "Ok".
class SettingsSelectorWindow : public QDialog {
    Q_OBJECT

public:
    SettingsSelectorWindow(Controller& controller, SettingsSelectorBox& box, QWidget* parent = nullptr);
    // Takes the box in and runs the window modally.
    void run();
    // "Ok", "Cancel" (also the window's close and Escape).
    void press(const QString& title);

protected:
    void reject() override;

private:
    Controller& controller_;
    SettingsSelectorBox& box_;
    QVBoxLayout* boxPlace_;
};

// "New Preset": the name, the box, "Cancel" and "Ok".
class CreatePresetWindow : public QDialog {
    Q_OBJECT

public:
    CreatePresetWindow(Controller& controller, SettingsSelectorBox& box, QWidget* parent = nullptr);
    void run();
    // "Ok" (the window stays open when the controller says so) or "Cancel".
    void press(const QString& title);
    QLineEdit* nameField() const { return name_; }

protected:
    void reject() override;

private:
    Controller& controller_;
    SettingsSelectorBox& box_;
    QLineEdit* name_;
    QVBoxLayout* boxPlace_;
};

}  // namespace dvk
