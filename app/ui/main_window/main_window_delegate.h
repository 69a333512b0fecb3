// The delegate of the main window, of its numeric fields and of the camera-
// profiling panel:
//   - windowShouldClose: the main window always closes (what closing it
//     means, the program's quit steps, is the application's);
//   - windowDidEnterFullScreen: / windowDidExitFullScreen: the main window
//     placed at its anchor again (anchorFrameRect:);
//   - windowWillClose: of the profiling panel, while it is visible: the
//     panel's close steps (resetSampler:, "EnforceBlack" / "EnforceWhite",
//     the save format back, a run, the readouts cleared);
//   - control:textView:doCommandBySelector: the arrow keys step a field with
//     a tag by tag / 100 (Up, Down), the page keys by ten times that; the
//     bound setting takes the new value;
//   - controlTextDidEndEditing: the field shows its setting's value again,
//     in the setting's own form.
// windowDidMove: and windowWillResize:toSize: are the main window's own
// (main_window_geometry.cpp).
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <QtCore/QObject>
#include <QtCore/QPointer>

#include "app/window/control_rules.h"

namespace dvk {

class MainWindow;
class TextFieldScroller;

// Made after the main window and gone before it.
class MainWindowDelegate : public QObject {
    Q_OBJECT
public:
    explicit MainWindowDelegate(MainWindow& window);

    bool windowShouldClose(QWidget* window) const;
    void windowWillClose(QWidget* window);
    // Places the main window at its anchor (after full screen began or ended).
    void windowDidChangeFullScreen();
    bool doCommandBySelector(TextFieldScroller& field, FieldCommand command);
    void controlTextDidEndEditing(TextFieldScroller& field);

    // The camera-profiling panel and its close steps (the profiling
    // workflow's windowWillClose()); run when the panel closes while visible.
    void setProfilingPanel(QWidget* panel, std::function<void()> closeSteps);

    // The setting a field is bound to: its object name, less a "Field" suffix.
    static std::string boundKey(const TextFieldScroller& field);
    // The command of a key press in a field, if it is one of the four.
    static std::optional<FieldCommand> fieldCommandForKey(int key, Qt::KeyboardModifiers modifiers);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MainWindow& window_;
    QPointer<QWidget> profilingPanel_;
    std::function<void()> profilingCloseSteps_;
};

}  // namespace dvk
