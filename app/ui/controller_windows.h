// The controller's windows: the history window, the main window when it
// exists, and the small windows of the settings selector, the new preset and
// the rename-source panel. Until a main window is set, the history window
// stands in for it (shown at launch, it takes the info texts, drops and the
// close that quits).
//
// What only the main window can do (its controls, the apply worker, the
// profiling panel) comes in through MainWindowHooks, which the main window
// fills when it is made; a hook left empty does nothing.
#pragma once

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtWidgets/QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/controller_ui.h"

class QComboBox;

namespace dvk {

class Controller;
class CreatePresetWindow;
class HistoryWindow;
class PresetsPopUp;
class RenameSourcePanel;
class SettingsSelectorBox;
class SettingsSelectorWindow;

struct MainWindowHooks {
    std::function<void(std::function<void()>)> whenApplyIdle;
    std::function<bool()> disableAutoApply;
    std::function<void(const std::string& senderTitle)> apply;
    std::function<void(const std::string& name)> setCustomCameraProfile;
    std::function<void(const PreferenceMenuStates&)> setPreferenceMenuStates;
    std::function<void(long tag)> setWhiteBalanceStepTag;
    std::function<std::optional<WindowStateDefaults>()> windowStateDefaults;
    std::function<void()> closeProfilingWindow;
};

class ControllerWindows : public QObject, public ControllerUi {
    Q_OBJECT

public:
    explicit ControllerWindows(Controller& controller, QObject* parent = nullptr);
    ~ControllerWindows() override;

    Controller& controller() { return controller_; }
    HistoryWindow* historyWindow() const { return historyWindow_.get(); }
    // The main window (not owned); null until one is made.
    QWidget* mainWindow() const { return mainWindow_; }
    void setMainWindow(QWidget* window);
    void setMainWindowHooks(MainWindowHooks hooks) { hooks_ = std::move(hooks); }
    // Shows the windows of the launch: the main window, else the history window.
    void showLaunchWindows();
    // Drives a pop-up of the main window as the presets pop-up, kept in step
    // with the presets menu.
    PresetsPopUp* bindPresetsPopUp(QComboBox* popUp);
    SettingsSelectorBox* settingsSelectorBox() const { return selectorBox_.get(); }
    SettingsSelectorWindow* settingsSelectorWindow();
    CreatePresetWindow* createPresetWindow();
    RenameSourcePanel* renameSourcePanel();

    // ControllerUi
    void showInfoText(const std::string& text) override;
    void displayMainWindow() override;
    void bringMainWindowToFront() override;
    void terminate() override;
    void whenApplyIdle(std::function<void()> change) override;
    bool disableAutoApply() const override;
    void apply(const std::string& senderTitle) override;
    void setCustomCameraProfile(const std::string& name) override;
    void setPreferenceMenuStates(const PreferenceMenuStates& states) override;
    void setWhiteBalanceStepTag(long tag) override;
    void registerForDrops() override;
    std::optional<WindowStateDefaults> windowStateDefaults() const override;
    void closeProfilingWindow() override;
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
    void watchFrontWindow();

    Controller& controller_;
    MainWindowHooks hooks_;
    std::unique_ptr<HistoryWindow> historyWindow_;
    QPointer<QWidget> mainWindow_;
    QPointer<QWidget> watched_;
    std::unique_ptr<SettingsSelectorBox> selectorBox_;
    std::unique_ptr<SettingsSelectorWindow> selectorWindow_;
    std::unique_ptr<CreatePresetWindow> presetWindow_;
    std::unique_ptr<RenameSourcePanel> renamePanel_;
    std::vector<QPointer<PresetsPopUp>> presetsPopUps_;
    bool dropsRegistered_ = false;
    bool quitting_ = false;
};

}  // namespace dvk
