#include "app/ui/controller_windows.h"

#include <QtWidgets/QApplication>

#include "app/controller.h"
#include "app/ui/history_window.h"

namespace dvk {

ControllerWindows::ControllerWindows(Controller& controller, QObject* parent)
    : QObject(parent), controller_(controller), historyWindow_(std::make_unique<HistoryWindow>(controller)) {
    controller_.setUi(this);
}

ControllerWindows::~ControllerWindows() {
    if (controller_.ui() == this) controller_.setUi(nullptr);
}

void ControllerWindows::setMainWindow(QWidget* window) { mainWindow_ = window; }

QWidget* ControllerWindows::frontWindow() const {
    return mainWindow_ ? mainWindow_.data() : static_cast<QWidget*>(historyWindow_.get());
}

void ControllerWindows::showLaunchWindows() {
    QWidget* w = frontWindow();
    w->show();
    w->raise();
}

void ControllerWindows::showInfoText(const std::string& text) {
    if (!mainWindow_) historyWindow_->setStatusText(QString::fromStdString(text));
}

void ControllerWindows::displayMainWindow() { frontWindow()->repaint(); }

void ControllerWindows::bringMainWindowToFront() {
    QWidget* w = frontWindow();
    w->show();
    w->raise();
    w->activateWindow();
}

void ControllerWindows::terminate() {
    if (controller_.applicationShouldTerminate()) QApplication::quit();
}

}  // namespace dvk
