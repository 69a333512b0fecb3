// The main window's undo and redo keys act on the settings wherever the
// focus is in the window. A line edit claims Ctrl+Z and Ctrl+Shift+Z for its
// own text undo before the window's shortcuts see them; the window's fields
// leave them to the window instead, ending an edit first (its value becomes
// a step of its own, which the key then undoes).
#pragma once

#include <QtCore/QList>
#include <QtGui/QKeySequence>

class QWidget;

namespace dvk {

// Undo: the platform's keys (Ctrl+Z). Redo: Ctrl+Shift+Z, and the
// platform's other keys for it (Ctrl+Y).
QList<QKeySequence> undoShortcuts();
QList<QKeySequence> redoShortcuts();

// Every line edit in `window` (made so far) leaves the undo and redo keys to
// the window's shortcuts.
void leaveUndoKeysToTheWindow(QWidget& window);

}  // namespace dvk
