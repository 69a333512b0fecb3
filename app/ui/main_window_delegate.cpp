#include "app/ui/main_window_delegate.h"

#include <QtGui/QAction>
#include <QtGui/QKeySequence>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>

#include "app/controller.h"
#include "app/preview_controller.h"
#include "app/ui/controller_windows.h"
#include "app/ui/history_window.h"
#include "app/ui/main_window.h"
#include "app/ui/pop_up_button_scroller.h"
#include "app/ui/presets_pop_up.h"
#include "app/ui/text_field_scroller.h"

namespace dvk {

namespace {

ApplySender apply_sender(const std::string& title) {
    if (title.empty()) return ApplySender::none();
    if (title == "Settings") return ApplySender::settings();
    return ApplySender::control(title);
}

// The menu of this title in the bar, made when there is none.
QMenu* menu_titled(QMenuBar* bar, const QString& title) {
    for (QAction* a : bar->actions())
        if (a->menu() && a->text() == title) return a->menu();
    return bar->addMenu(title);
}

}  // namespace

void wireMainWindowDelegate(Controller& controller, ControllerWindows& windows, MainWindow& window) {
    PreviewController& pc = window.controller();

    MainWindowHooks hooks;
    hooks.whenApplyIdle = [&pc](std::function<void()> change) { pc.whenIdle(std::move(change)); };
    hooks.disableAutoApply = [&pc] { return pc.disableAutoApply(); };
    hooks.apply = [&pc](const std::string& title) { pc.apply(apply_sender(title)); };
    hooks.setCustomCameraProfile = [&pc](const std::string& name) {
        // Only the profile menu marks a choice; the processor has it already.
        if (pc.hooks().setCustomCameraProfile) pc.hooks().setCustomCameraProfile(name);
    };
    hooks.setPreferenceMenuStates = [&window](const PreferenceMenuStates& s) {
        if (!window.preferencesMenu()) return;
        for (QAction* a : window.preferencesMenu()->actions()) {
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
    };
    hooks.setWhiteBalanceStepTag = [&window](long tag) {
        for (const char* key : {"evRed", "evGreen", "evBlue", "evGreen2"})
            if (auto* field = window.findChild<TextFieldScroller*>(QString::fromLatin1(key)))
                field->setTag(static_cast<int>(tag));
    };
    hooks.windowStateDefaults = [&window, &pc]() -> std::optional<WindowStateDefaults> {
        const WindowControls& c = pc.controls();
        WindowStateDefaults s;
        s.copyTags = window.copyTagsButton() && window.copyTagsButton()->isChecked() ? 1 : 0;
        s.histR = c.histR, s.histG = c.histG, s.histB = c.histB, s.histL = c.histL;
        s.fullGamut = c.fullGamut;
        s.diagramWindow = window.diagramWindowVisible() ? 1 : 0;
        return s;
    };
    windows.setMainWindowHooks(std::move(hooks));

    if (PresetsPopUp* presets = window.presetsPopUp() ? windows.bindPresetsPopUp(window.presetsPopUp()) : nullptr)
        pc.hooks().selectFirstPreset = [presets] { presets->selectFirst(); };

    QMenuBar* bar = window.menuBar();
    QMenu* file = menu_titled(bar, QObject::tr("&File"));
    QAction* quit = file->addAction(QObject::tr("Quit"), &windows, [&windows] { windows.terminate(); });
    quit->setShortcut(QKeySequence::Quit);

    QMenu* settings = menu_titled(bar, QObject::tr("&Settings"));
    settings->addAction(QObject::tr("Copy Settings"), &windows,
                        [&controller] { controller.copySettings("Copy Settings"); });
    settings->addAction(QObject::tr("Paste Settings"), &windows, [&controller] { controller.pasteSettings(); });
    settings->addAction(QObject::tr("Export Settings"), &windows,
                        [&controller] { controller.copySettings("Export Settings"); });
    settings->addAction(QObject::tr("Export Settings As..."), &windows,
                        [&controller] { controller.exportSettingsAs(); });
    settings->addSeparator();
    settings->addAction(QObject::tr("Export Settings for Files..."), &windows,
                        [&controller] { controller.exportMultipleSettings(); });
    settings->addAction(QObject::tr("Import Settings from Files..."), &windows,
                        [&controller] { controller.importMultipleSettings(); });
    settings->addSeparator();
    settings->addAction(QObject::tr("Settings Selector..."), &windows,
                        [&controller] { controller.showSettingSelectorWindow(); });

    QMenu* history = menu_titled(bar, QObject::tr("&History"));
    history->addAction(QObject::tr("Show History"), &windows, [&windows] {
        HistoryWindow* w = windows.historyWindow();
        w->show();
        w->raise();
        w->activateWindow();
    });
    history->addAction(QObject::tr("Clean History..."), &windows, [&controller] { controller.cleanHistory(); });
}

}  // namespace dvk
