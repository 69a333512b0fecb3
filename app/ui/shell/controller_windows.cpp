#include "app/ui/shell/controller_windows.h"

#include <QtCore/QMimeData>
#include <QtCore/QThread>
#include <QtCore/QUrl>
#include <QtGui/QAction>
#include <QtGui/QCloseEvent>
#include <QtGui/QDragEnterEvent>
#include <QtGui/QDropEvent>
#include <QtGui/QKeySequence>
#include <QtGui/QStandardItemModel>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QPushButton>

#include "app/common/app_version.h"
#include "app/controller/controller.h"
#include "app/controller/open_events.h"
#include "app/menus/menu_enabling.h"
#include "app/preview/preview_controller.h"
#include "app/ui/windows/history_window.h"
#include "app/ui/main_window/main_window.h"
#include "app/ui/controls/pop_up_button_scroller.h"
#include "app/ui/main_window/presets_pop_up.h"
#include "app/ui/windows/rename_source_panel.h"
#include "app/ui/windows/settings_selector_window.h"
#include "app/ui/controls/text_field_scroller.h"
#include "pipeline/processor/raw_processor.h"
#include "platform/user_defaults.h"

namespace dvk {

namespace {

std::vector<std::string> local_paths(const QMimeData* mime) {
    std::vector<std::string> paths;
    if (!mime || !mime->hasUrls()) return paths;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
    return paths;
}

// The interpolation codes of the pop-up (AHD, VNG, half size, VCD, LMMSE,
// two-thirds) a sensor offers: all but two-thirds for a Bayer pattern, half
// size and two-thirds for X-Trans, none for other sensors.
bool interpolationOffered(int code, unsigned filters) {
    if (filters > 1000) return code != 5;
    return filters == 9 && (code == 2 || code == 5);
}

ApplySender apply_sender(const std::string& title) {
    if (title.empty()) return ApplySender::none();
    if (title == "Settings") return ApplySender::settings();
    return ApplySender::control(title);
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
    // The roads' threads may call on the windows until they end.
    controller_.stopRoads();
    if (controller_.ui() == this) controller_.setUi(nullptr);
    // The box may sit in one of the windows: it is this object's, not theirs.
    selectorBox_->setParent(nullptr);
}

void ControllerWindows::setMainWindow(QWidget* window) {
    mainWindow_ = window;
    if (MainWindow* m = main()) {
        connectMainWindow(*m);
        connect(m, &MainWindow::stateShown, this, &ControllerWindows::refreshMenuStates);
        refreshMenuStates();
    }
    watchFrontWindow();
}

void ControllerWindows::refreshMenuStates() {
    MainWindow* m = main();
    if (!m) return;
    MenuEnablingState state;
    state.fileOpen = controller_.preview().fileLoaded();
    std::function<void(QMenu*)> walk = [&](QMenu* menu) {
        for (QAction* a : menu->actions()) {
            if (a->menu()) walk(a->menu());
            if (!a->objectName().isEmpty()) a->setEnabled(menuItemEnabled(a->objectName().toStdString(), state));
        }
    };
    for (QAction* top : m->menuBar()->actions()) {
        QMenu* menu = top->menu();
        if (!menu) continue;
        // Menus added later (the shell's) are watched from the next refresh on.
        if (!menu->property("dvkEnablingWatched").toBool()) {
            menu->setProperty("dvkEnablingWatched", true);
            connect(menu, &QMenu::aboutToShow, this, &ControllerWindows::refreshMenuStates);
        }
        walk(menu);
    }
}

MainWindow* ControllerWindows::main() const { return qobject_cast<MainWindow*>(mainWindow_.data()); }

QWidget* ControllerWindows::frontWindow() const {
    return mainWindow_ ? mainWindow_.data() : static_cast<QWidget*>(historyWindow_.get());
}

void ControllerWindows::watchFrontWindow() {
    if (watched_) watched_->removeEventFilter(this);
    watched_ = frontWindow();
    watched_->installEventFilter(this);
    if (dropsRegistered_) watched_->setAcceptDrops(true);
}

void ControllerWindows::connectMainWindow(MainWindow& window) {
    Controller& c = controller_;
    QMenuBar* bar = window.menuBar();
    auto* file = new QMenu(tr("&File"), &window);
    // Each action is named after its operation, as DVK_DEV_ACTIONS names them.
    // The keys of opening and saving work from every window of the program
    // (the history window, the gamut diagram, ...), as the menu bar's would.
    auto add = [&](const char* name, const QString& title, const QKeySequence& keys, std::function<void()> run) {
        QAction* a = file->addAction(title, this, std::move(run));
        a->setObjectName(QString::fromLatin1(name));
        if (!keys.isEmpty()) {
            a->setShortcut(keys);
            a->setShortcutContext(Qt::ApplicationShortcut);
        }
        return a;
    };
    add("selectFile:", tr("Open..."), QKeySequence::Open, [&c] { c.selectFile(); });
    add("openNextFile:", tr("Open Next"), QKeySequence(Qt::CTRL | Qt::Key_PageDown), [&c] { c.openNextFile(); });
    add("openPreviousFile:", tr("Open Previous"), QKeySequence(Qt::CTRL | Qt::Key_PageUp),
        [&c] { c.openPreviousFile(); });
    file->addSeparator();
    add("saveFile:", tr("Save"), QKeySequence::Save, [&c] { c.saveFile(); });
    add("saveFileAs:", tr("Save As..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), [&c] { c.saveFileAs(); });
    file->addSeparator();
    // Ctrl+Backspace in a field of another window deletes a word: this key
    // is the main window's alone.
    add("moveCurrentFileToTrash:", tr("Move to Trash"), QKeySequence(Qt::CTRL | Qt::Key_Backspace),
        [&c] { c.moveCurrentFileToTrash(); })
        ->setShortcutContext(Qt::WindowShortcut);
    add("moveCurrentProfileToTrash:", tr("Move Camera Profile to Trash"), {}, [&c] { c.moveCurrentProfileToTrash(); });
    add("runAWBLock:", tr("Lock Auto White Balance of Folders..."), {}, [&c] { c.runAWBLock(); });
    bar->insertMenu(bar->actions().isEmpty() ? nullptr : bar->actions().front(), file);

    connect(window.saveButton(), &QPushButton::clicked, this, [&c] { c.saveFile(); });
    connect(window.cancelButton(), &QPushButton::clicked, this, [&c] { c.clickCancel("Cancel"); });
    connect(window.postponeButton(), &QPushButton::clicked, this, [&c] { c.clickCancel("Postpone"); });
    // The Lab optimisation preference (tag 5) goes to the saves.
    c.setEnableLabOptimize(window.preferences().enableLabOptimize);
    for (QAction* a : window.preferencesMenu()->actions())
        if (a->data().toInt() == 5)
            connect(a, &QAction::triggered, this, [&c, a] { c.setEnableLabOptimize(a->isChecked()); });
}

void ControllerWindows::showLaunchWindows() {
    refreshMenuStates();
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
    if (MainWindow* m = main())
        m->setCameraInfo(text);
    else if (!mainWindow_)
        historyWindow_->setStatusText(QString::fromStdString(text));
}

void ControllerWindows::showStatusLine(const std::string& text, const std::string& details) {
    if (MainWindow* m = main()) m->setStatusLine(QString::fromStdString(text), QString::fromStdString(details));
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

void ControllerWindows::setPreferenceMenuStates(const PreferenceMenuStates& s) {
    MainWindow* m = main();
    if (!m || !m->preferencesMenu()) return;
    for (QAction* a : m->preferencesMenu()->actions()) {
        switch (a->data().toInt()) {
            case 1: a->setChecked(s.checkForUpdates); break;
            case 2: a->setChecked(s.autoNextAfterSave); break;
            case 3: a->setChecked(s.keepMax); break;
            case 4: a->setChecked(s.disableAutoApply); break;
            case 5: a->setChecked(s.optimizeForPP); break;
            case 6: a->setChecked(s.dontOverwriteOnSave); break;
            case 7: a->setChecked(s.dontMouseScrollValues); break;
            default: break;
        }
    }
}

void ControllerWindows::setWhiteBalanceStepTag(long tag) {
    MainWindow* m = main();
    if (!m) return;
    for (const char* key : {"evRed", "evGreen", "evBlue", "evGreen2"})
        if (auto* field = m->findChild<TextFieldScroller*>(QString::fromLatin1(key)))
            field->setTag(static_cast<int>(tag));
}

void ControllerWindows::registerForDrops() {
    dropsRegistered_ = true;
    if (watched_) watched_->setAcceptDrops(true);
}

std::optional<WindowStateDefaults> ControllerWindows::windowStateDefaults() const {
    MainWindow* m = main();
    if (!m) return std::nullopt;
    const WindowControls& c = controller_.preview().controls();
    WindowStateDefaults s;
    s.copyTags = m->copyTagsButton() && m->copyTagsButton()->isChecked() ? 1 : 0;
    s.histR = c.histR, s.histG = c.histG, s.histB = c.histB, s.histL = c.histL;
    s.fullGamut = c.fullGamut;
    s.diagramWindow = m->diagramWindowVisible() ? 1 : 0;
    return s;
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

void ControllerWindows::setMainWindowTitle(const std::string& title, const std::string& representedFile) {
    QWidget* w = frontWindow();
    w->setWindowTitle(QString::fromStdString(title));
    w->setWindowFilePath(QString::fromStdString(representedFile));
}

void ControllerWindows::resetForNewFile() {
    if (main()) controller_.preview().resetForNewFile();
}

void ControllerWindows::fileOpened(unsigned sensorFilters) {
    MainWindow* m = main();
    if (!m) return;
    if (UserDefaults::standard().boolForKey("keepMax") && !m->isMaximized()) m->maximise();
    showInterpolationChoices(sensorFilters);
    refreshMenuStates();
}

void ControllerWindows::showInterpolationChoices(unsigned filters) {
    MainWindow* m = main();
    auto* popUp = m ? m->findChild<QComboBox*>(QStringLiteral("interpolation")) : nullptr;
    auto* model = popUp ? qobject_cast<QStandardItemModel*>(popUp->model()) : nullptr;
    if (!model) return;
    for (int code = 0; code < model->rowCount(); ++code)
        if (QStandardItem* item = model->item(code)) item->setEnabled(interpolationOffered(code, filters));
}

bool ControllerWindows::disableAutoApply() const { return controller_.preview().disableAutoApply(); }

void ControllerWindows::apply(const std::string& senderTitle) {
    controller_.preview().apply(apply_sender(senderTitle));
}

void ControllerWindows::setSaveButtonHighlighted(bool on) {
    if (MainWindow* m = main()) m->saveButton()->setStyleSheet(on ? QStringLiteral("color: #0a60ff;") : QString());
}

void ControllerWindows::switchShowPreviousOff() {
    if (!main()) return;
    controller_.preview().showPrevImage(false);
    main()->stateChanged();
}

void ControllerWindows::updatePrev() {
    if (!main()) return;
    controller_.preview().updatePrev();
    main()->stateChanged();
}

bool ControllerWindows::copyTagsChecked() const {
    MainWindow* m = main();
    return m && m->copyTagsButton()->isChecked();
}

void ControllerWindows::setEditorsButtonItems(const std::vector<EditorsButtonItem>& items, long selected) {
    MainWindow* m = main();
    if (!m) return;
    PopUpButtonScroller* popUp = m->extEditorsButton();
    for (QAction* action : editorShortcuts_) delete action;
    editorShortcuts_.clear();
    const QSignalBlocker block(popUp);
    popUp->clear();
    for (std::size_t i = 0; i < items.size(); ++i) {
        const EditorsButtonItem& item = items[i];
        if (item.separator) {
            popUp->insertSeparator(popUp->count());
            continue;
        }
        const int index = popUp->count();
        popUp->addTaggedItem(QString::fromStdString(item.title), index);
        if (item.keyEquivalent.empty()) continue;
        // The item's key with Control (Meta here) chooses it as a click would.
        auto* action = new QAction(m);
        action->setShortcut(QKeySequence(QStringLiteral("Meta+") + QString::fromStdString(item.keyEquivalent)));
        action->setShortcutContext(Qt::WindowShortcut);
        QObject::connect(action, &QAction::triggered, popUp, [popUp, index] {
            popUp->setCurrentIndex(index);
            emit popUp->tagChosen(index);
        });
        m->addAction(action);
        editorShortcuts_.push_back(action);
    }
    popUp->setCurrentIndex(static_cast<int>(selected));
}

std::string ControllerWindows::saveButtonTitle() const {
    MainWindow* m = main();
    return m ? m->saveButton()->text().toStdString() : std::string("Save");
}

void ControllerWindows::showCancelButton(bool shown) {
    if (MainWindow* m = main()) m->showBatchButtons(shown);
}

void ControllerWindows::showEmptyWindow() {
    if (MainWindow* m = main()) {
        PreviewController& pc = controller_.preview();
        pc.showNoFile();
        m->setCameraInfo(std::string());
        m->setStatusLine(QString());
        // No file's values stay on show: the settings of an empty start, the
        // readouts 0, the zone distances blank, nothing to undo.
        pc.whenIdle([this, &pc] {
            controller_.resetToStartSettings();
            pc.controls().zoneTitles = {};
            pc.controls().zBoxVisible = false;
            pc.resetForNewFile();
        });
    }
    setMainWindowTitle(kProgramName, std::string());
    refreshMenuStates();
}

void ControllerWindows::resetFrame() {
    MainWindow* m = main();
    if (!m) return;
    // The empty frame, whatever the file before it had ("keepMax" maximises
    // files, not the empty window).
    m->anchorNormalFrameRect(QRect(m->geometry().topLeft(), QSize(256, 720)));
    m->update();
}

}  // namespace dvk
