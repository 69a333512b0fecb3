// The Qt forms of the platform layers.
//
// installQtPlatform() (after the QApplication exists, on its thread) marks
// the main thread and installs: the main executor (tasks posted to the
// application's event loop) and the main-thread pump (a local event loop while
// the main thread waits), the message-box alert presenter, the file panels,
// the modifier-key query, the clipboard as the general pasteboard, the
// Trash and the dismisser of modal sessions. uninstallQtPlatform() removes
// them all again (before the QApplication goes).
#pragma once

#include <QtCore/QPointer>
#include <QtCore/Qt>
#include <optional>
#include <string>
#include <vector>

#include "platform/alert.h"
#include "platform/panels.h"
#include "platform/pasteboard.h"
#include "platform/trash.h"

class QDialog;
class QWidget;

namespace dvk {

void installQtPlatform();
void uninstallQtPlatform();

// The pieces, for tests and for the developer hooks that replace some.
void installQtMainQueue();
void uninstallQtMainQueue();
// A modal message box: the title as its text, the alert's text below, the
// buttons in the given order, the first one the default. 1000 + the position
// of the button pressed, -1 when the box closed without one.
int presentAlertWithMessageBox(const AlertRequest& request);
// Runs a modal window as a modal session (modal_session.h); once the
// sessions are dismissed it is rejected without being shown.
int execModalDialog(QDialog& dialog);
// The dismisser: rejects every modal window that is up, innermost first.
void closeModalWidgets();
// Held while a modal window (alert, panel, dialog) runs: when it ends, the
// window that was active when it opened (else the main window) is active
// again, with its keyboard focus where it was. Without a window manager
// nothing else gives the focus back to it.
class KeyboardFocusReturn {
public:
    KeyboardFocusReturn();
    ~KeyboardFocusReturn();
    KeyboardFocusReturn(const KeyboardFocusReturn&) = delete;
    KeyboardFocusReturn& operator=(const KeyboardFocusReturn&) = delete;

private:
    QPointer<QWidget> window_;
};
// Qt's keyboard modifiers as the program's flags: Ctrl is Command, Alt is
// Option, Meta is Control.
unsigned modifierFlagsFromQt(Qt::KeyboardModifiers modifiers);

// File dialogs. The open panel lets files and folders be chosen together.
class QtPanels : public PanelPresenter {
public:
    std::optional<std::vector<std::string>> runOpenPanel(const OpenPanelRequest& request) override;
    std::optional<std::string> runSavePanel(const SavePanelRequest& request) override;
};

// The system clipboard as the general pasteboard (its text).
class QtPasteboard : public Pasteboard {
public:
    bool setString(std::string_view text) override;
    bool hasString() const override;
    std::optional<std::string> string() const override;
    void clearContents() override;
};

}  // namespace dvk

namespace dvk {

// The freedesktop Trash (QFile::moveToTrash).
class QtTrash : public Trash {
public:
    bool moveToTrash(const std::string& path, std::string* error) override;
};

}  // namespace dvk
