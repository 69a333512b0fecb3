// MainWindow: the set-up from the preferences (awakeFromNib), the appearance
// switch, the preference menu and the window's menus.
#include <QtGui/QAction>
#include <QtGui/QPalette>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QStyleFactory>

#include "app/ui/windows/diagram_window.h"
#include "app/ui/windows/keyboard_helper_window.h"
#include "app/ui/windows/secondary_window.h"
#include "app/ui/main_window/main_window.h"
#include "app/ui/main_window/undo_keys.h"
#include "app/ui/controls/k_slider.h"
#include "app/ui/controls/pop_up_button_scroller.h"
#include "app/ui/controls/text_field_scroller.h"
#include "pipeline/processor/raw_processor.h"
#include "pipeline/settings/undo_manager.h"
#include "platform/user_defaults.h"

namespace dvk {

namespace {

QPalette darkPalette() {
    QPalette p;
    const QColor window(0x35, 0x35, 0x35), base(0x2a, 0x2a, 0x2a), text(0xe6, 0xe6, 0xe6);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::Highlight, QColor(0x3d, 0x7a, 0xd6));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x80, 0x80, 0x80));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x80, 0x80, 0x80));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x80, 0x80, 0x80));
    return p;
}

}  // namespace

void MainWindow::awakeFromNib(UserDefaults& defaults) {
    prefs_ = readWindowPreferences(defaults);
    setProcessWideValues(prefs_);
    {
        const QSignalBlocker block(darkMode_);
        darkMode_->setChecked(prefs_.darkMode);
    }
    switchDarkLightMode(prefs_.darkMode);
    setTopRightPoints(prefs_.topRightPointL, prefs_.topRightPointP);

    RawProcessor& rp = pc_.rawProcessor();
    rp.setUndoManager(pc_.windowWillReturnUndoManager(PreviewController::WindowKind::Main));

    WindowControls& c = pc_.controls();
    c.zoomToFit = true;
    c.showClipping = false;
    c.diagramL = 50;
    c.fullGamut = prefs_.fullGamut == 1;
    c.histR = prefs_.histR != 0;
    c.histG = prefs_.histG != 0;
    c.histB = prefs_.histB != 0;
    c.histL = prefs_.histL != 0;
    {
        const QSignalBlocker block(copyTags_);
        copyTags_->setChecked(prefs_.copyTags != 0);
    }
    applyButton_->setEnabled(false);
    saveButton_->setEnabled(false);
    anchorFrameRect(QRect(geometry().topLeft(), QSize(static_cast<int>(kSidePanelWidth), 720)));

    if (prefs_.diagramProfile) pc_.prepareDiagramProfileFromPath(*prefs_.diagramProfile);
    pc_.diagram({});
    if (prefs_.diagramWindow == 1) {
        showDiagramWindow();
        diagramWindow_->lower();
    }
    runPlatformChecks(prefs_.enableCoreDumps);
    pc_.setGrayPoint(prefs_.grayPoint);
    pc_.setDisableAutoApply(prefs_.disableAutoApply);
    rp.setDontOverwriteOnSave(prefs_.dontOverwriteOnSave ? 1 : 0);
    const auto dontScroll = [this] { return prefs_.dontMouseScrollValues; };
    TextFieldScroller::setDontMouseScrollValues(dontScroll);
    PopUpButtonScroller::setDontMouseScrollValues(dontScroll);
    KSlider::setDontMouseScrollValues(dontScroll);
    if (pc_.hooks().updateFiltersButton) pc_.hooks().updateFiltersButton();
    showSaveButtonText(prefs_.autoNextAfterSave);
    for (QAction* a : preferencesMenu_->actions()) {
        const int tag = a->data().toInt();
        const bool on = tag == 1   ? defaults.boolForKey("SUCheckAtStartup")
                        : tag == 2 ? prefs_.autoNextAfterSave
                        : tag == 3 ? defaults.boolForKey("keepMax")
                        : tag == 4 ? prefs_.disableAutoApply
                        : tag == 5 ? prefs_.enableLabOptimize
                        : tag == 6 ? prefs_.dontOverwriteOnSave
                                   : prefs_.dontMouseScrollValues;
        a->setChecked(on);
    }
    // The helper opens beside the main window and in front of it: once that
    // is on show.
    keyboardHelperPending_ = prefs_.showKeyboardHelper;
    if (isVisible()) openPendingKeyboardHelper();
    pc_.controls().zBoxVisible = false;
    stateChanged();
    refreshAllSettings();
}

void MainWindow::showSaveButtonText(bool autoNext) {
    const SaveButtonText t = saveButtonText(autoNext);
    saveButton_->setText(QString::fromStdString(t.title));
    fitButtonToTitle(saveButton_);
    saveButton_->setToolTip(QString::fromStdString(t.toolTip));
}

void MainWindow::switchDarkLightMode(bool on) {
    const std::optional<Appearance> next = dvk::switchDarkLightMode(on, appearance_);
    if (!next) return;
    appearance_ = *next;
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(appearance_ == Appearance::Dark ? darkPalette()
                                                             : QApplication::style()->standardPalette());
    showZoneNameColours();
    UserDefaults::standard().setBool("DarkMode", on);
    UserDefaults::standard().synchronize();
}

void MainWindow::initCheckUpdateMenu(QAction* item) {
    if (!item || !item->data().isValid()) {
        std::fprintf(stderr, "Wrong menu sender\n");
        return;
    }
    // A checkable item has flipped its mark already: its state before is the other one.
    const bool before = item->isCheckable() ? !item->isChecked() : item->isChecked();
    const std::optional<PreferenceToggle> t = togglePreference(item->data().toInt(), before, UserDefaults::standard());
    if (!t) {
        item->setChecked(before);
        return;
    }
    item->setChecked(t->state);
    switch (t->tag) {
    case 2:
        prefs_.autoNextAfterSave = t->state;
        showSaveButtonText(t->state);
        break;
    case 4:
        prefs_.disableAutoApply = t->state;
        pc_.setDisableAutoApply(t->state);
        break;
    case 5:
        prefs_.enableLabOptimize = t->state;
        saveButton_->setStyleSheet(t->state ? QStringLiteral("color: #0a60ff;") : QString());
        break;
    case 6:
        prefs_.dontOverwriteOnSave = t->state;
        pc_.whenIdle([this, on = t->state] { pc_.rawProcessor().setDontOverwriteOnSave(on ? 1 : 0); });
        break;
    case 7:
        prefs_.dontMouseScrollValues = t->state;
        break;
    default:
        break;
    }
}

void MainWindow::buildMenus() {
    // Each item is named after its action, as the menus' enabling rules and
    // DVK_DEV_ACTIONS know it.
    const auto add = [this](QMenu* menu, const QString& title, const char* name, const QKeySequence& keys,
                            std::function<void()> run) {
        QAction* a = menu->addAction(title, this, std::move(run));
        a->setObjectName(QString::fromLatin1(name));
        if (!keys.isEmpty()) a->setShortcut(keys);
        return a;
    };
    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    // The keys work wherever the focus is in the window (undo_keys.h).
    add(edit, tr("Undo"), "undo:", {}, [this] { pc_.undo(); })->setShortcuts(undoShortcuts());
    add(edit, redoMenuTitle(tr("Redo")), "redo:", {}, [this] { pc_.redo(); })->setShortcuts(redoShortcuts());

    QMenu* image = imageMenu_ = menuBar()->addMenu(tr("&Image"));
    add(image, tr("Rotate Left"), "rotateImageLeft:", QKeySequence(Qt::CTRL | Qt::Key_BracketLeft),
        [this] { pc_.rotateImageLeft(); });
    add(image, tr("Rotate Right"), "rotateImageRight:", QKeySequence(Qt::CTRL | Qt::Key_BracketRight),
        [this] { pc_.rotateImageRight(); });
    add(image, tr("Zoom to Fit"), "zoomToFitChanged:", QKeySequence(Qt::CTRL | Qt::Key_0), [this] {
        pc_.controls().zoomToFit = !pc_.controls().zoomToFit;
        pc_.zoomToFitChanged();
    });
    add(image, tr("Show Clipping"), "showClippingChanged:", QKeySequence(Qt::CTRL | Qt::Key_K), [this] {
        pc_.controls().showClipping = !pc_.controls().showClipping;
        pc_.showClippingChanged();
        stateChanged();
    });
    add(image, tr("Deselect"), "deselectRect:", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A),
        [this] { pc_.deselectRect(); });
    add(image, tr("Gamut Diagram"), "drawDiagram:", QKeySequence(Qt::CTRL | Qt::Key_D),
        [this] { pc_.drawDiagram("ChD"); });
    image->addSeparator();
    add(image, tr("Keyboard Helper"), "showKeyboardHelper:", {},
        [this] { openSecondaryWindow(*keyboardHelper_, this); });

    preferencesMenu_ = menuBar()->addMenu(tr("&Preferences"));
    const char* const titles[] = {"Check for Updates at Start-up", "Open Next after Save", "Keep Window Zoomed",
                                  "Disable Auto Apply",            "Optimise Lab on Save", "Don't Overwrite on Save",
                                  "Don't Step Values with the Scroll Wheel"};
    for (int tag = 1; tag <= 7; ++tag) {
        QAction* a = preferencesMenu_->addAction(tr(titles[tag - 1]));
        a->setCheckable(true);
        a->setData(tag);
        connect(a, &QAction::triggered, this, [this, a] { initCheckUpdateMenu(a); });
    }
}

}  // namespace dvk
