// The main window's undo and redo keys act on the settings wherever the
// focus is in the window. A line edit claims Ctrl+Z and Ctrl+Shift+Z for its
// own text undo before the window's shortcuts see them; the window's fields
// leave them to the window instead, ending an edit first (its value becomes
// a step of its own, which the key then undoes).
#pragma once

#include <QtCore/QList>
#include <QtCore/QString>
#include <QtGui/QKeySequence>

class QWidget;

namespace dvk {

// Undo: the platform's keys (Ctrl+Z). Redo: Ctrl+Shift+Z and Ctrl+Y on
// every desktop (the platform's list has Ctrl+Y in some keyboard schemes
// only), then the platform's other keys for it (`platformKeys`, by default
// the running platform's).
QList<QKeySequence> undoShortcuts();
QList<QKeySequence> redoShortcuts();
QList<QKeySequence> redoShortcuts(const QList<QKeySequence>& platformKeys);

// The Redo item's title, naming both of its keys: "Redo\tCtrl+Shift+Z, Ctrl+Y".
QString redoMenuTitle(const QString& title);

// Every line edit in `window` (made so far) leaves the undo and redo keys to
// the window's shortcuts.
void leaveUndoKeysToTheWindow(QWidget& window);

}  // namespace dvk
