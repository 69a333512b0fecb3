// The controller's windows: the main window (when one is set) and the history
// window. Until a main window is set, the history window stands in for it
// (shown at launch, it takes the info texts).
//
// The roads of the controller (open, save, batch, navigation) reach the main
// window through the ControllerUi calls here; the File menu and the Save,
// Cancel and Postpone buttons send the user's actions to them.
#pragma once

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtWidgets/QWidget>
#include <memory>

#include "app/controller_ui.h"

namespace dvk {

class Controller;
class HistoryWindow;
class MainWindow;

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

    // ControllerUi
    void showInfoText(const std::string& text) override;
    void displayMainWindow() override;
    void bringMainWindowToFront() override;
    void terminate() override;
    void setMainWindowTitle(const std::string& title, const std::string& representedFile) override;
    void resetForNewFile() override;
    void developOpenedFile() override;
    bool disableAutoApply() const override;
    void apply(const std::string& senderTitle) override;
    void setSaveButtonHighlighted(bool on) override;
    void switchShowPreviousOff() override;
    void updatePrev() override;
    double progressMaximum() const override { return 100; }
    bool copyTagsChecked() const override;
    std::string saveButtonTitle() const override;
    void showCancelButton(bool shown) override;
    void showEmptyWindow() override;
    void resetFrame() override;

private:
    QWidget* frontWindow() const;
    MainWindow* main() const;
    // The File menu of the main window and its buttons for the roads.
    void connectMainWindow(MainWindow& window);
    // Offers the interpolations the sensor of the loaded file has.
    void showInterpolationChoices(unsigned filters);

    Controller& controller_;
    std::unique_ptr<HistoryWindow> historyWindow_;
    QPointer<QWidget> mainWindow_;
};

}  // namespace dvk
