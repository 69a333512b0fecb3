#include "app/ui/controller_windows.h"

#include <QtCore/QMimeData>
#include <QtCore/QThread>
#include <QtCore/QUrl>
#include <QtGui/QCloseEvent>
#include <QtGui/QDragEnterEvent>
#include <QtGui/QDropEvent>
#include <QtWidgets/QApplication>

#include "app/controller.h"
#include "app/open_events.h"
#include "app/ui/history_window.h"
#include "app/ui/presets_pop_up.h"
#include "app/ui/rename_source_panel.h"
#include "app/ui/settings_selector_window.h"

namespace dvk {

namespace {

std::vector<std::string> local_paths(const QMimeData* mime) {
    std::vector<std::string> paths;
    if (!mime || !mime->hasUrls()) return paths;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
    return paths;
}

}  // namespace

ControllerWindows::ControllerWindows(Controller& controller, QObject* parent)
    : QObject(parent),
      controller_(controller),
      historyWindow_(std::make_unique<HistoryWindow>(controller)),
      selectorBox_(std::make_unique<SettingsSelectorBox>(controller)) {
    controller_.setUi(this);
    watchFrontWindow();
}

ControllerWindows::~ControllerWindows() {
    if (controller_.ui() == this) controller_.setUi(nullptr);
    // The box may sit in one of the windows: it is this object's, not theirs.
    selectorBox_->setParent(nullptr);
}

void ControllerWindows::setMainWindow(QWidget* window) {
    mainWindow_ = window;
    watchFrontWindow();
}

QWidget* ControllerWindows::frontWindow() const {
    return mainWindow_ ? mainWindow_.data() : static_cast<QWidget*>(historyWindow_.get());
}

void ControllerWindows::watchFrontWindow() {
    if (watched_) watched_->removeEventFilter(this);
    watched_ = frontWindow();
    watched_->installEventFilter(this);
    if (dropsRegistered_) watched_->setAcceptDrops(true);
}

void ControllerWindows::showLaunchWindows() {
    QWidget* w = frontWindow();
    w->show();
    w->raise();
}

bool ControllerWindows::eventFilter(QObject* watched, QEvent* event) {
    if (watched != watched_) return false;
    switch (event->type()) {
        case QEvent::Close:
            // Closing the front window quits, through the quit steps.
            if (quitting_) return false;
            event->ignore();
            terminate();
            return true;
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (dropsRegistered_ && dragAcceptable(local_paths(drag->mimeData())))
                drag->acceptProposedAction();
            else
                drag->ignore();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            std::vector<std::string> paths = local_paths(drop->mimeData());
            if (!dropsRegistered_ || !dragAcceptable(paths)) {
                drop->ignore();
                return true;
            }
            drop->acceptProposedAction();
            controller_.performDragOperation(paths);
            return true;
        }
        default:
            return false;
    }
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
    if (quitting_) return;
    if (controller_.applicationShouldTerminate() != TerminateReply::Now) return;
    quitting_ = true;
    // exit, not quit: the windows' close is what asked for this. (With no
    // event loop running there is nothing to leave.)
    if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(0);
}

void ControllerWindows::whenApplyIdle(std::function<void()> change) {
    if (hooks_.whenApplyIdle)
        hooks_.whenApplyIdle(std::move(change));
    else
        change();
}

bool ControllerWindows::disableAutoApply() const { return hooks_.disableAutoApply && hooks_.disableAutoApply(); }

void ControllerWindows::apply(const std::string& senderTitle) {
    if (hooks_.apply) hooks_.apply(senderTitle);
}

void ControllerWindows::setCustomCameraProfile(const std::string& name) {
    if (hooks_.setCustomCameraProfile) hooks_.setCustomCameraProfile(name);
}

void ControllerWindows::setPreferenceMenuStates(const PreferenceMenuStates& states) {
    if (hooks_.setPreferenceMenuStates) hooks_.setPreferenceMenuStates(states);
}

void ControllerWindows::setWhiteBalanceStepTag(long tag) {
    if (hooks_.setWhiteBalanceStepTag) hooks_.setWhiteBalanceStepTag(tag);
}

void ControllerWindows::registerForDrops() {
    dropsRegistered_ = true;
    if (watched_) watched_->setAcceptDrops(true);
}

std::optional<WindowStateDefaults> ControllerWindows::windowStateDefaults() const {
    return hooks_.windowStateDefaults ? hooks_.windowStateDefaults() : std::nullopt;
}

void ControllerWindows::closeProfilingWindow() {
    if (hooks_.closeProfilingWindow) hooks_.closeProfilingWindow();
}

PresetsPopUp* ControllerWindows::bindPresetsPopUp(QComboBox* popUp) {
    auto* binding = new PresetsPopUp(controller_, popUp);
    presetsPopUps_.emplace_back(binding);
    return binding;
}

void ControllerWindows::presetsMenuChanged() {
    for (const QPointer<PresetsPopUp>& p : presetsPopUps_)
        if (p) p->rebuild();
}

void ControllerWindows::settingsSelectorChanged() { selectorBox_->refresh(); }

SettingsSelectorWindow* ControllerWindows::settingsSelectorWindow() {
    if (!selectorWindow_)
        selectorWindow_ = std::make_unique<SettingsSelectorWindow>(controller_, *selectorBox_);
    return selectorWindow_.get();
}

CreatePresetWindow* ControllerWindows::createPresetWindow() {
    if (!presetWindow_) presetWindow_ = std::make_unique<CreatePresetWindow>(controller_, *selectorBox_);
    return presetWindow_.get();
}

RenameSourcePanel* ControllerWindows::renameSourcePanel() {
    if (!renamePanel_) renamePanel_ = std::make_unique<RenameSourcePanel>(controller_);
    return renamePanel_.get();
}

void ControllerWindows::runSettingsSelectorWindow() {
    settingsSelectorWindow()->run();
    selectorBox_->setParent(nullptr);
}

void ControllerWindows::runCreatePresetWindow() {
    createPresetWindow()->run();
    selectorBox_->setParent(nullptr);
}

void ControllerWindows::runRenameSourcePanel() { renameSourcePanel()->run(); }

void ControllerWindows::renameSourcePanelChanged() {
    if (renamePanel_) renamePanel_->refresh();
}

}  // namespace dvk
