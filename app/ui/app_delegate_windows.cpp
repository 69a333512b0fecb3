#include "app/ui/app_delegate_windows.h"

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

void wireAppDelegate(Controller& controller, ControllerWindows& windows, MainWindow& window) {
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
    hooks.closeProfilingWindow = [&controller] { controller.closeProfilingPanelIfOpen(); };
    windows.setMainWindowHooks(std::move(hooks));

    if (PresetsPopUp* presets = window.presetsPopUp() ? windows.bindPresetsPopUp(window.presetsPopUp()) : nullptr)
        pc.hooks().selectFirstPreset = [presets] { presets->selectFirst(); };

    // Each action is named by its operation, for the developer hook that runs actions by name.
    auto add = [&windows](QMenu* menu, const char* title, const char* name, std::function<void()> action) {
        QAction* a = menu->addAction(QObject::tr(title), &windows, std::move(action));
        if (name) a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    QMenuBar* bar = window.menuBar();
    QMenu* file = menu_titled(bar, QObject::tr("&File"));
    add(file, "Quit", "terminate:", [&windows] { windows.terminate(); })->setShortcut(QKeySequence::Quit);

    QMenu* settings = menu_titled(bar, QObject::tr("&Settings"));
    add(settings, "Copy Settings", "copySettings:", [&controller] { controller.copySettings("Copy Settings"); });
    add(settings, "Paste Settings", "pasteSettings:", [&controller] { controller.pasteSettings(); });
    add(settings, "Export Settings", nullptr, [&controller] { controller.copySettings("Export Settings"); });
    add(settings, "Export Settings As...", "exportSettingsAs:", [&controller] { controller.exportSettingsAs(); });
    settings->addSeparator();
    add(settings, "Export Settings for Files...", "exportMultipleSettings:",
        [&controller] { controller.exportMultipleSettings(); });
    add(settings, "Import Settings from Files...", "importMultipleSettings:",
        [&controller] { controller.importMultipleSettings(); });
    settings->addSeparator();
    add(settings, "Settings Selector...", "showSettingSelectorWindow:",
        [&controller] { controller.showSettingSelectorWindow(); });

    QMenu* history = menu_titled(bar, QObject::tr("&History"));
    add(history, "Show History", nullptr, [&windows] {
        HistoryWindow* w = windows.historyWindow();
        w->show();
        w->raise();
        w->activateWindow();
    });
    add(history, "Clean History...", "cleanHistory:", [&controller] { controller.cleanHistory(); });
}

}  // namespace dvk
