#include "app/ui/main_window/undo_keys.h"

#include <QtCore/QEvent>
#include <QtCore/QObject>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QWidget>

namespace dvk {

namespace {

bool isUndoOrRedoKey(const QKeyEvent& key) {
    const QKeySequence pressed(key.keyCombination());
    for (const QList<QKeySequence>& keys : {undoShortcuts(), redoShortcuts()})
        for (const QKeySequence& k : keys)
            if (k.matches(pressed) == QKeySequence::ExactMatch) return true;
    return false;
}

class UndoKeysToWindow : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ShortcutOverride || !isUndoOrRedoKey(*static_cast<QKeyEvent*>(event)))
            return false;
        // The edit ends (a changed value is handed on as Enter would), and
        // the key is left unclaimed: the window's shortcut takes it.
        if (auto* field = qobject_cast<QLineEdit*>(watched); field && field->isModified())
            emit field->editingFinished();
        event->ignore();
        return true;
    }
};

}  // namespace

QList<QKeySequence> undoShortcuts() { return QKeySequence::keyBindings(QKeySequence::Undo); }

QList<QKeySequence> redoShortcuts() { return redoShortcuts(QKeySequence::keyBindings(QKeySequence::Redo)); }

QList<QKeySequence> redoShortcuts(const QList<QKeySequence>& platformKeys) {
    QList<QKeySequence> keys{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)};
    for (const QKeySequence& k : platformKeys)
        if (!keys.contains(k)) keys << k;
    return keys;
}

QString redoMenuTitle(const QString& title) {
    // A menu shows an item's first key only.
    const QList<QKeySequence> keys = redoShortcuts({});
    return title + QLatin1Char('\t') + keys[0].toString(QKeySequence::NativeText) + QStringLiteral(", ") +
           keys[1].toString(QKeySequence::NativeText);
}

void leaveUndoKeysToTheWindow(QWidget& window) {
    auto* filter = new UndoKeysToWindow(&window);
    for (QLineEdit* field : window.findChildren<QLineEdit*>()) field->installEventFilter(filter);
}

}  // namespace dvk
