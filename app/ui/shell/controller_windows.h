// The controller's windows: the main window (when one is set), the history
// window, and the small windows of the settings selector, the new preset and
// the rename-source panel. Until a main window is set, the history window
// stands in for it (shown at launch, it takes the info texts, drops and the
// close that quits).
//
// The controller reaches the windows through the ControllerUi calls here:
// the roads (open, save, batch, navigation) and the delegate (launch, quit,
// presets, maintenance). The File menu and the Save, Cancel and Postpone
// buttons send the user's actions to the roads.
#pragma once

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtWidgets/QWidget>
#include <memory>
#include <optional>
#include <vector>

#include "app/controller/controller_ui.h"

class QAction;

class QComboBox;

namespace dvk {

class Controller;
class CreatePresetWindow;
class HistoryWindow;
class MainWindow;
class PresetsPopUp;
class RenameSourcePanel;
class SettingsSelectorBox;
class SettingsSelectorWindow;

class ControllerWindows : public QObject, public ControllerUi {
    Q_OBJECT

public:
    explicit ControllerWindows(Controller& controller, QObject* parent = nullptr);
    ~ControllerWindows() override;

    Controller& controller() { return controller_; }
    HistoryWindow* historyWindow() const { return historyWindow_.get(); }
    // The main window (not owned); null until one is made.
    QWidget* mainWindow() const { return mainWindow_; }
    // Sets the main window; a MainWindow gets the File menu and the roads' buttons.
    void setMainWindow(QWidget* window);
    // Shows the windows of the launch: the main window, else the history window.
    void showLaunchWindows();
    // Drives a pop-up of the main window as the presets pop-up, kept in step
    // with the presets menu.
    PresetsPopUp* bindPresetsPopUp(QComboBox* popUp);
    SettingsSelectorBox* settingsSelectorBox() const { return selectorBox_.get(); }
    SettingsSelectorWindow* settingsSelectorWindow();
    CreatePresetWindow* createPresetWindow();
    RenameSourcePanel* renameSourcePanel();
    // Enables the main window's menu items by the menus' enabling rules
    // (menu_enabling.h); done whenever the window shows a new state and
    // before a menu opens.
    void refreshMenuStates();

    // ControllerUi
    void showInfoText(const std::string& text) override;
    void showStatusLine(const std::string& text, const std::string& details) override;
    void displayMainWindow() override;
    void bringMainWindowToFront() override;
    void terminate() override;
    void setMainWindowTitle(const std::string& title, const std::string& representedFile) override;
    void resetForNewFile() override;
    void fileOpened(unsigned sensorFilters) override;
    bool disableAutoApply() const override;
    void apply(const std::string& senderTitle) override;
    void setSaveButtonHighlighted(bool on) override;
    void switchShowPreviousOff() override;
    void updatePrev() override;
    double progressMaximum() const override { return 100; }
    bool copyTagsChecked() const override;
    void setEditorsButtonItems(const std::vector<EditorsButtonItem>& items, long selected) override;
    std::string saveButtonTitle() const override;
    void showCancelButton(bool shown) override;
    void showEmptyWindow() override;
    void resetFrame() override;
    void setPreferenceMenuStates(const PreferenceMenuStates& states) override;
    void setWhiteBalanceStepTag(long tag) override;
    void registerForDrops() override;
    std::optional<WindowStateDefaults> windowStateDefaults() const override;
    void presetsMenuChanged() override;
    void settingsSelectorChanged() override;
    void runSettingsSelectorWindow() override;
    void runCreatePresetWindow() override;
    void runRenameSourcePanel() override;
    void renameSourcePanelChanged() override;

protected:
    // The front window: its close quits, files dropped on it open.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* frontWindow() const;
    MainWindow* main() const;
    void watchFrontWindow();
    // The File menu of the main window and its buttons for the roads.
    void connectMainWindow(MainWindow& window);
    // Offers the interpolations the sensor of the loaded file has.
    void showInterpolationChoices(unsigned filters);

    Controller& controller_;
    std::unique_ptr<HistoryWindow> historyWindow_;
    QPointer<QWidget> mainWindow_;
    QPointer<QWidget> watched_;
    std::unique_ptr<SettingsSelectorBox> selectorBox_;
    std::unique_ptr<SettingsSelectorWindow> selectorWindow_;
    std::unique_ptr<CreatePresetWindow> presetWindow_;
    std::unique_ptr<RenameSourcePanel> renamePanel_;
    std::vector<QPointer<PresetsPopUp>> presetsPopUps_;
    // The editors pop-up's key equivalents, made again with its items.
    std::vector<QPointer<QAction>> editorShortcuts_;
    bool dropsRegistered_ = false;
    bool quitting_ = false;
};

}  // namespace dvk
