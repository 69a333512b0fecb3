#include "app/ui/controller_windows.h"

#include <QtGui/QAction>
#include <QtGui/QKeySequence>
#include <QtGui/QStandardItemModel>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QPushButton>

#include "app/controller.h"
#include "app/preview_controller.h"
#include "app/ui/history_window.h"
#include "app/ui/main_window.h"
#include "pipeline/processor/raw_processor.h"
#include "platform/dispatch.h"
#include "platform/user_defaults.h"

namespace dvk {

namespace {

// The interpolation codes of the pop-up (AHD, VNG, half size, VCD, LMMSE,
// two-thirds) a sensor offers: all but two-thirds for a Bayer pattern, half
// size and two-thirds for X-Trans, none for other sensors.
bool interpolationOffered(int code, unsigned filters) {
    if (filters > 1000) return code != 5;
    return filters == 9 && (code == 2 || code == 5);
}

}  // namespace

ControllerWindows::ControllerWindows(Controller& controller, QObject* parent)
    : QObject(parent), controller_(controller), historyWindow_(std::make_unique<HistoryWindow>(controller)) {
    controller_.setUi(this);
}

ControllerWindows::~ControllerWindows() {
    // The roads' threads may call on the windows until they end.
    controller_.stopRoads();
    if (controller_.ui() == this) controller_.setUi(nullptr);
}

void ControllerWindows::setMainWindow(QWidget* window) {
    mainWindow_ = window;
    if (MainWindow* m = main()) connectMainWindow(*m);
}

MainWindow* ControllerWindows::main() const { return qobject_cast<MainWindow*>(mainWindow_.data()); }

QWidget* ControllerWindows::frontWindow() const {
    return mainWindow_ ? mainWindow_.data() : static_cast<QWidget*>(historyWindow_.get());
}

void ControllerWindows::connectMainWindow(MainWindow& window) {
    Controller& c = controller_;
    QMenuBar* bar = window.menuBar();
    auto* file = new QMenu(tr("&File"), &window);
    // Each action is named after its operation, as DVK_DEV_ACTIONS names them.
    auto add = [&](const char* name, const QString& title, const QKeySequence& keys, std::function<void()> run) {
        QAction* a = file->addAction(title, this, std::move(run));
        a->setObjectName(QString::fromLatin1(name));
        if (!keys.isEmpty()) a->setShortcut(keys);
    };
    add("selectFile:", tr("Open..."), QKeySequence::Open, [&c] { c.selectFile(); });
    add("openNextFile:", tr("Open Next"), QKeySequence(Qt::CTRL | Qt::Key_PageDown), [&c] { c.openNextFile(); });
    add("openPreviousFile:", tr("Open Previous"), QKeySequence(Qt::CTRL | Qt::Key_PageUp),
        [&c] { c.openPreviousFile(); });
    file->addSeparator();
    add("saveFile:", tr("Save"), QKeySequence::Save, [&c] { c.saveFile(); });
    add("saveFileAs:", tr("Save As..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), [&c] { c.saveFileAs(); });
    file->addSeparator();
    add("moveCurrentFileToTrash:", tr("Move to Trash"), QKeySequence(Qt::CTRL | Qt::Key_Backspace),
        [&c] { c.moveCurrentFileToTrash(); });
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
    QWidget* w = frontWindow();
    w->show();
    w->raise();
}

void ControllerWindows::showInfoText(const std::string& text) {
    if (MainWindow* m = main())
        m->setCameraInfo(text);
    else if (!mainWindow_)
        historyWindow_->setStatusText(QString::fromStdString(text));
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

void ControllerWindows::setMainWindowTitle(const std::string& title, const std::string& representedFile) {
    QWidget* w = frontWindow();
    w->setWindowTitle(QString::fromStdString(title));
    w->setWindowFilePath(QString::fromStdString(representedFile));
}

void ControllerWindows::resetForNewFile() {
    if (main()) controller_.preview().resetForNewFile();
}

void ControllerWindows::developOpenedFile() {
    // The opening thread's part: orientation, reset and the preview.
    controller_.preview().showOpenedFile();
    const DVKLib* d = controller_.rawProcessor()->dvklib();
    const unsigned filters = d && d->libraw ? d->libraw->imgdata.idata.filters : 0;
    runOnMainQueueSync([this, filters] {
        MainWindow* m = main();
        if (!m) return;
        if (UserDefaults::standard().boolForKey("keepMax") && !m->isMaximized()) m->showMaximized();
        showInterpolationChoices(filters);
    });
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
    controller_.preview().apply(senderTitle.empty() ? ApplySender::none() : ApplySender::control(senderTitle));
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

std::string ControllerWindows::saveButtonTitle() const {
    MainWindow* m = main();
    return m ? m->saveButton()->text().toStdString() : std::string("Save");
}

void ControllerWindows::showCancelButton(bool shown) {
    if (MainWindow* m = main()) {
        m->cancelButton()->setVisible(shown);
        m->postponeButton()->setVisible(shown);
    }
}

void ControllerWindows::showEmptyWindow() {
    if (MainWindow* m = main()) {
        controller_.preview().showNoFile();
        m->setCameraInfo(std::string());
    }
    setMainWindowTitle("Dravik", std::string());
}

void ControllerWindows::resetFrame() {
    MainWindow* m = main();
    if (!m) return;
    m->anchorFrameRect(QRect(m->geometry().topLeft(), QSize(256, 720)));
    m->update();
}

}  // namespace dvk
