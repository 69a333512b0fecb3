#include "app/ui/shell/app_delegate_windows.h"

#include <QtGui/QAction>
#include <QtGui/QKeySequence>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>

#include "app/controller/controller.h"
#include "app/preview/preview_controller.h"
#include "app/ui/shell/controller_windows.h"
#include "app/ui/windows/history_window.h"
#include "app/ui/main_window/main_window.h"
#include "app/ui/controls/pop_up_button_scroller.h"
#include "app/ui/main_window/presets_pop_up.h"
#include "app/ui/windows/secondary_window.h"

namespace dvk {

namespace {

// The menu of this title in the bar, made when there is none.
QMenu* menu_titled(QMenuBar* bar, const QString& title) {
    for (QAction* a : bar->actions())
        if (a->menu() && a->text() == title) return a->menu();
    return bar->addMenu(title);
}

}  // namespace

void wireAppDelegate(Controller& controller, ControllerWindows& windows, MainWindow& window) {
    PreviewController& pc = window.controller();

    if (PresetsPopUp* presets = window.presetsPopUp() ? windows.bindPresetsPopUp(window.presetsPopUp()) : nullptr)
        pc.hooks().selectFirstPreset = [presets] { presets->selectFirst(); };

    // Each action is named by its operation, for the developer hook that runs actions by name.
    auto add = [&windows](QMenu* menu, const char* title, const char* name, std::function<void()> action) {
        QAction* a = menu->addAction(QObject::tr(title), &windows, std::move(action));
        if (name) a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    QMenuBar* bar = window.menuBar();
    // The File menu the windows made for the roads ends with Quit.
    QMenu* file = menu_titled(bar, QObject::tr("&File"));
    file->addSeparator();
    // Quit's key, Ctrl+Q on every platform theme (some have none), works
    // from every window of the program.
    QAction* quit = add(file, "Quit", "terminate:", [&windows] { windows.terminate(); });
    QList<QKeySequence> quitKeys{QKeySequence(Qt::CTRL | Qt::Key_Q)};
    for (const QKeySequence& k : QKeySequence::keyBindings(QKeySequence::Quit))
        if (!quitKeys.contains(k)) quitKeys << k;
    quit->setShortcuts(quitKeys);
    quit->setShortcutContext(Qt::ApplicationShortcut);

    QMenu* settings = menu_titled(bar, QObject::tr("&Settings"));
    add(settings, "Copy Settings", "copySettings:", [&controller] { controller.copySettings("Copy Settings"); });
    add(settings, "Paste Settings", "pasteSettings:", [&controller] { controller.pasteSettings(); });
    // copySettings: with its title as the sender, as Copy Settings.
    add(settings, "Export Settings", "copySettings:", [&controller] { controller.copySettings("Export Settings"); });
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
    add(history, "Show History", "showHistory:",
        [&windows, &window] { openSecondaryWindow(*windows.historyWindow(), &window); });
    history->addSeparator();
    // The "set default" action: its item's title tells the camera default
    // from the folder default (Alt held makes either the camera default).
    for (const char* title : {"Set current settings as Folder Default", "Set current settings as Camera Default"})
        add(history, title, "addToHistoryAndSetDirectoryDefault:",
            [&controller, title] { controller.addToHistoryAndSetDirectoryDefault(title); });
    history->addSeparator();
    add(history, "Clean History...", "cleanHistory:", [&controller] { controller.cleanHistory(); });
}

}  // namespace dvk
