// The controller's windows: the history window now, the main window when it
// exists. Until a main window is set, the history window stands in for it
// (shown at launch, it takes the info texts).
#pragma once

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtWidgets/QWidget>
#include <memory>

#include "app/controller_ui.h"

namespace dvk {

class Controller;
class HistoryWindow;

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
    // Shows the windows of the launch: the main window, else the history window.
    void showLaunchWindows();

    // ControllerUi
    void showInfoText(const std::string& text) override;
    void displayMainWindow() override;
    void bringMainWindowToFront() override;
    void terminate() override;

private:
    QWidget* frontWindow() const;

    Controller& controller_;
    std::unique_ptr<HistoryWindow> historyWindow_;
    QPointer<QWidget> mainWindow_;
};

}  // namespace dvk
